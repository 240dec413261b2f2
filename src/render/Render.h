#pragma once
// The base of every render object: the components attached to a window that draw it and react to
// its messages. Each class knows its registered name, transfers its own record after the shared
// base record, describes its attributes, draws into a rectangle resolved from the window's, and
// handles named messages through a per-object handler table.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/EngineString.h"
#include "common/Types.h"

class CIArchive;
class CIEditHook;
class CKVQEditHook;
class CKVQMessage;
class CKVQWindow;
class IRender;

// A message handler: (the object, the message name, the owner window, the message, the sender).
using RenderHandler = void (*)(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message,
                               CKVQWindow* sender);

// Blend modes (the device's table).
enum BlendModes : int32_t {
    BLEND_REPLACE = 0,
    BLEND_BLEND = 1,
    BLEND_RGB = 2,
    BLEND_ALPHA = 3,
    BLEND_TRANSPARENT = 4,
    BLEND_AND = 5,
    BLEND_NOT = 6,
    BLEND_XOR = 7,
    BLEND_XORDEST = 8,
    BLEND_ADDITIVE = 9,
};

class IRender {
public:
    static constexpr int32_t kRecordCapacity = 16;
    // The record version windows write (render-object records inside them follow it).
    static constexpr uint8_t kCurrentRecordVersion = 2;

    IRender();
    IRender(const IRender&) = delete;
    IRender& operator=(const IRender&) = delete;
    virtual ~IRender();  // releases the handler table and the child objects

    // The name this class is registered under ("Rectangle", "Line", ...).
    virtual const char* GetClassName() const = 0;
    // The class's own record, after the base record.
    virtual void TransferRecord(CIArchive& ar) { (void)ar; }
    // Opens the class's own group, calls DescribeBase, then describes the class's fields.
    virtual void Describe(CIEditHook& hook) = 0;
    // Draws into the window's rectangle.
    virtual void Draw(const KVQRect& windowRect) { (void)windowRect; }
    virtual bool CanDraw() { return true; }
    // The class's process-wide attribute table.
    virtual CKVQEditHook& AttributeTable() const = 0;
    // sizeof the concrete class (the extent of the object for the attribute table).
    virtual size_t ObjectSize() const = 0;
    // An editor command on one of the object's own groups (groupPath names the groups from the
    // window down, ':' between them). False when the object does not handle it, so the window's
    // own commands for the object apply.
    virtual bool ExecuteCommand(const char* groupPath, const char* command)
    {
        (void)groupPath;
        (void)command;
        return false;
    }

    // The whole record inside the object's block: the base record, then TransferRecord.
    void Serialize(CIArchive& ar);
    // The base group ("Base" and "LayoutRect"), called by each class inside its own group.
    void DescribeBase(CIEditHook& hook);

    // Offers a message: handler for name (if any), then the visible child objects, depth first;
    // stops when the owner window has been deleted. Returns 1 when a handler ran. Objects removed
    // by a handler meanwhile are freed only after the outermost dispatch.
    int32_t ProcMessage(CKVQWindow* owner, const char* name, CKVQMessage* message, CKVQWindow* sender);
    // First registration of a name wins.
    void RegisterHandler(const char* name, RenderHandler handler, void* object = nullptr);
    void RemoveHandler(const char* name);
    bool HasHandler(const char* name) const { return handlers_.count(name) != 0; }

    // A new object of the same class with the same record (no owner). Null when the class is not
    // registered.
    IRender* Clone() const;

    void SetOwner(CKVQWindow* owner);  // recursively for the child objects
    CKVQWindow* GetOwner() const { return owner_; }

    // The object's rectangle: its LayoutRect resolved against the window's rectangle, normalized.
    KVQRect ResolveRect(const KVQRect& windowRect) const;

    // Attribute access through the class's table (described on first use).
    int32_t GetAttributeNameRef(const char* name, int32_t index = 0);
    std::string GetAttribute(int32_t index);
    // Stores, then invalidates the owner window when it still exists.
    bool SetAttribute(int32_t index, const char* text);
    uintptr_t GetAddress(int32_t index);
    // Makes sure the class table is built, with this object as its base.
    CKVQEditHook& BoundTable();

    std::vector<IRender*>& Children() { return children_; }
    const std::vector<IRender*>& Children() const { return children_; }
    // Takes ownership of child; refused (false) for an object that some list already holds.
    bool AddChildObject(IRender* child);

    // Whether a list holds the object (a window's render list, a state's, another object's child
    // list, or the disposal queue). Every list that takes an object in sets it, removal clears it,
    // and a list refuses an object that is already held: an object held twice is freed twice.
    bool IsAttached() const { return attached_; }
    void SetAttached(bool attached) { attached_ = attached; }

    // Fields, named as the records and scripts name them.
    CKVQString Name;
    int32_t IsVisible = 1;
    int32_t Layer = 0;
    int32_t BlendMode = 0;
    LayoutRect Layout{};

    // Colours streamed by render objects are four bytes in the order alpha, red, blue, green.
    static void TransferColor(CIArchive& ar, RGBA& color, const char* name = nullptr);
    // The alignment record: four anchor bytes, four int32 offsets.
    static void TransferLayout(CIArchive& ar, LayoutRect& layout, const char* name = nullptr);
    // Resolves an alignment record against a reference rectangle (the window rules: an empty
    // reference makes the offsets absolute; anchors 0, 1, 2 add 0, the extent, half the extent).
    static KVQRect ResolveLayout(const LayoutRect& layout, const KVQRect& reference);
    // Describes a colour group of "red", "green", "blue", "alpha" with hint "0:255".
    static void DescribeColor(CIEditHook& hook, RGBA& color, const char* name);
    // Describes the eight alignment attributes (LeftSide, Left, TopSide, Top, ...) with their
    // hints into the current group (windows and render objects share them).
    static void DescribeLayout(CIEditHook& hook, LayoutRect& layout);

private:
    CKVQWindow* owner_ = nullptr;
    // std::less<> finds by const char* without building a string on every message.
    std::map<std::string, std::pair<RenderHandler, void*>, std::less<>> handlers_;
    std::vector<IRender*> children_;
    bool attached_ = false;
};

// Deletes a render object (the owner of a list calls this).
void DestroyRender(IRender* object);

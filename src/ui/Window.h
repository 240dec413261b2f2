#pragma once
// The window: the node of the user-interface tree. A window owns a rectangle anchored to its
// parent's, a status word, children drawn in layers, render objects that draw it and handle its
// messages, named states each with their own render objects, message bookings and extra data.
// Windows are made by CKVQWindow::New, addressed from outside by handle, and released by the
// window module at the frame boundary after Delete.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/EngineString.h"
#include "common/HandleTable.h"
#include "common/IntArray.h"
#include "common/Types.h"
#include "gfx/DC.h"
#include "ui/Message.h"

class CIArchive;
class CIEditHook;
class CKVQEditHook;
class IRender;
class CKVQWindow;

// Status bit numbers (SetBit, DelBit and IsBitSet take the number, not a mask).
enum WindowStatusBit : int32_t {
    STATUS_IsVisible = 0,
    STATUS_IsCanFocus = 1,
    STATUS_IsClipChildren = 2,
    STATUS_IsExternWindow = 3,
    STATUS_IsHideChildren = 4,
    STATUS_IsCanBeSelected = 5,
    STATUS_IsClipSelf = 6,
    STATUS_IsSelected = 7,
    STATUS_IsFrameWindow = 8,
    STATUS_IsDisable = 9,
    STATUS_IsActive = 10,
    STATUS_IsLocked = 11,
    STATUS_IsParentRender = 12,
    STATUS_IsLockPos = 13,
    STATUS_IsDisableChildren = 14,
    STATUS_IsNotDirty = 15,
    STATUS_IsCharCache = 16,
    STATUS_IsNotSerialChild = 17,
    STATUS_IsOpenIME = 18,
    STATUS_IsSysControl = 19,
    STATUS_UserBitStart = 24,
};

enum HotAlign : int32_t {
    ALIGN_TOPLEFT = 0,
    ALIGN_TOPCENTER = 1,
    ALIGN_CENTER = 2,
    ALIGN_BOTTOMCENTER = 3,
};

enum WindowSide : int32_t {
    SIDE_LEFT = 0,
    SIDE_TOP = 1,
    SIDE_RIGHT = 2,
    SIDE_BOTTOM = 3,
};

// A named state with its own render objects (owned).
struct WindowState {
    CKVQString name;
    std::vector<IRender*> renders;
};

// The script's array of windows (references, not owned).
class WndArray : public KVQArray<CKVQWindow*> {
public:
    // Reads a window-list file (int32 count, then window blocks) and pushes every window read;
    // the windows have no parent. Nothing happens when the file cannot be opened.
    bool load(const char* path);
};

// What the window module shares: the handle table, creation counter, release pool, the windows
// deleted this frame, the manager's references by handle, the shared event message, the editor's
// clipboards and the seams that the script host and platform bridge connect.
class WindowModule {
public:
    static constexpr size_t kPoolCap = 256;
    static constexpr int kHoverMax = 10;

    static WindowModule& Get();

    HandleTable<CKVQWindow> handles;
    int32_t creationCounter = 0;
    std::vector<CKVQWindow*> pool;
    std::vector<CKVQWindow*> deletedThisFrame;

    // The manager's references.
    uint32_t activeFrame = 0;
    uint32_t capture = 0;
    uint32_t focus = 0;
    uint32_t drag = 0;
    std::array<uint32_t, kHoverMax> hover{};
    int32_t hoverCount = 0;
    void RemoveFromHover(uint32_t handle);

    // The message reused for "OnLoad", "OnUnload" and "OnUpdate".
    CKVQMessage sharedMessage{CKVQMessage::kEventCapacity};

    // Editor clipboards: a whole window, a LayoutRect alone, one render object.
    CKVQMessage windowClipboard{CKVQMessage::kWindowCapacity};
    CKVQMessage layoutClipboard{CKVQMessage::kEventCapacity};
    CKVQMessage renderClipboard{CKVQMessage::kEventCapacity};

    // The editor's "Event" triggers: one process-wide word and two parameters.
    uint32_t eventTrigger = 0;
    int32_t nParam1 = 0;
    int32_t nParam2 = 0;

    // Seams (no-ops until the script host and the platform bridge connect them).
    std::function<int32_t(CKVQWindow*)> makeScriptRef;
    std::function<void(CKVQWindow*)> dropScriptRef;
    std::function<void(const char* event, const char* argument)> notify;
    std::function<void(bool)> setIMEState;

    // Releases the windows deleted since the last call (once per tick): each leaves the handle
    // table, is reset and goes back to the pool (or is freed when the pool is full).
    void ReleaseDeleted();
    // Frees every pooled window (tests and process end).
    void DrainPool();
};

class CKVQWindow {
public:
    // No window sits this deep or deeper (the root is at depth 0): deeper layouts are refused,
    // not recursed into, and so are children whose subtree would reach it.
    static constexpr int32_t kMaxNestingDepth = 4096;

    // ---- lifecycle ----
    // Takes a window from the pool (or allocates one), resets it to the defaults, numbers it,
    // enters it in the handle table and gives it its script reference.
    static CKVQWindow* New();
    static CKVQWindow* FromHandle(uint32_t handle);
    // "OnDelete", the notification, children first to last, unlink, queue for release.
    void Delete();
    bool IsDeleted() const;
    // Back to the defaults: children deleted, bookings, render objects, states and extra data
    // dropped, handle removed (used by release and by "Paste").
    void Reset();

    // ---- tree ----
    CKVQWindow* GetParent() const { return parent_; }
    CKVQWindow* GetRoot();
    CKVQWindow* GetFirstChild() const { return firstChild_; }
    CKVQWindow* GetLastChild() const { return lastChild_; }
    CKVQWindow* GetPrevSibling() const { return prev_; }
    CKVQWindow* GetNextSibling() const { return next_; }
    int32_t GetChildCount() const;
    int32_t GetChildIndex() const;  // -1 without parent
    CKVQWindow* GetChildByIndex(int32_t index) const;
    bool IsChild(const CKVQWindow* window) const;
    CKVQWindow* GetChild(const char* name) const;
    CKVQWindow* GetKVQWindow(const char* path) const;  // names separated by ":"
    int32_t GetDepth() const;
    // Appends c, sends "OnAddChild", runs c's load cascade, marks dirty, invalidates.
    void AddChild(CKVQWindow* child);
    // Only for a child of this window: unlink, "OnDeleteChild", Delete.
    void DeleteChild(CKVQWindow* child);
    void ClearChilds();
    // Plain append without events (loaders). Refused when the child or one of its descendants
    // would end up at kMaxNestingDepth or deeper.
    void AppendChild(CKVQWindow* child);
    // Removes this window from its parent's list without events.
    void Unlink();

    // ---- layers ----
    void LayerDown(CKVQWindow* child);  // swap with previous sibling
    void LayerUp(CKVQWindow* child);    // swap with next sibling
    void LayerTop(CKVQWindow* child);   // move to the end (drawn last)
    void MoveToFront(CKVQWindow* child);  // move to the start (layout reload)
    void TopMost();

    // ---- messages ----
    // Offers the message to the current state's render objects, then the own render objects,
    // then the bookings; stops as soon as the window is deleted.
    void ProcMessage(const char* name, CKVQMessage* message, CKVQWindow* sender, bool force = false);
    // When source receives `name`, it is re-sent to this window as `handlerName`.
    void BookMsg(const char* name, const char* handlerName, CKVQWindow* source);
    // Sends an event of this window with the given message (sender: this window).
    void SendEvent(const char* name, CKVQMessage* message, bool force = false);

    // ---- render objects ----
    // Takes ownership; an object that some list already holds is refused.
    void AddRender(IRender* object);
    // Removes and frees an object of the own list (after the dispatch, when one is running).
    void DelRender(IRender* object);
    IRender* GetRender(const char* text) const;
    void RenderLayerDown(IRender* object);
    void RenderLayerUp(IRender* object);
    std::vector<IRender*>& RenderLst() { return renderLst_; }
    const std::vector<IRender*>& RenderLst() const { return renderLst_; }
    std::vector<WindowState>& States() { return states_; }
    const std::vector<WindowState>& States() const { return states_; }

    // ---- geometry ----
    KVQRect GetRect();  // screen coordinates, cached while STATUS_IsNotDirty is set
    void GetRect(KVQRect& out) { out = GetRect(); }
    void GetFrame(KVQRect& out) { out = GetRect(); }
    KVQRect GetVisualFrame();
    int32_t GetWidth();
    int32_t GetHeight();
    void SetWidth(int32_t width);
    void SetHeight(int32_t height);
    KVQPoint GetScreenPos();
    KVQPoint ScreenToWindowPos(const KVQPoint& p);
    KVQPoint GetPos();
    void SetPos(const KVQPoint& p);
    KVQPoint GetHotPos();
    void SetHotPos(const KVQPoint& p);
    void NormalAligned(const KVQRect& r);
    void SetAligned(int32_t side, int32_t alignment);
    void SetSideAligned(int32_t side, int32_t alignment);
    int32_t GetExtX() const { return nExtX; }
    int32_t GetExtY() const { return nExtY; }
    int32_t GetExtW() const { return nExtW; }
    int32_t GetExtH() const { return nExtH; }
    void SetExtX(int32_t v);
    void SetExtY(int32_t v);
    void SetExtW(int32_t v);
    void SetExtH(int32_t v);
    void SetClipOffset(uint16_t left, uint16_t top, uint16_t right, uint16_t bottom);
    void SetDirty();  // this window and all descendants
    void Zoom(float factor);
    void MoveToCenter();
    float Distance(CKVQWindow* other);
    void GetCloseSiblings(const char* className, float distance, WndArray& array);
    // Applies a freshly loaded counterpart's layout to this live window (layout reload).
    void ReloadLayout(CKVQWindow& loaded);

    // ---- status ----
    void SetBit(int32_t bit);
    void DelBit(int32_t bit);
    bool IsBitSet(int32_t bit) const;
    bool IsFrameWindow() const { return IsBitSet(STATUS_IsFrameWindow); }
    bool IsExternWnd() const { return IsBitSet(STATUS_IsExternWindow); }
    bool IsClipChildren() const { return IsBitSet(STATUS_IsClipChildren); }
    bool IsHideChildren() const { return IsBitSet(STATUS_IsHideChildren); }
    bool IsCanFocus() const { return IsBitSet(STATUS_IsCanFocus); }
    bool IsCanBeSelected() const { return IsBitSet(STATUS_IsCanBeSelected); }
    bool IsSelected() const { return IsBitSet(STATUS_IsCanBeSelected) && IsBitSet(STATUS_IsSelected); }
    bool IsVisible() const;  // effective visibility through the ancestors
    bool IsFocus() const;
    bool IsCapture() const;
    void Show();
    void Hide();
    void HideChildren(int32_t flag);
    void Enable();
    void Disable();
    bool SetSelected(int32_t flag);

    // ---- states ----
    int32_t GetState() const { return curState; }
    int32_t GetOldState() const { return oldState; }
    void SetState(int32_t index, int32_t notify);

    // ---- focus and capture ----
    void SetFocus(CKVQWindow* caller = nullptr);
    void SetCapture(CKVQWindow* caller = nullptr);
    void EnableDrag();

    // ---- cascades ----
    void OnLoad();    // load cascade ("OnLoad" once per window)
    void OnUnload();  // unload cascade
    void Update(uint32_t value);  // "OnUpdate" to active windows, whole subtree

    // ---- drawing and hit testing ----
    void Render(CKVQDC& device);
    CKVQWindow* HitTest(int32_t x, int32_t y);
    CKVQWindow* HitTest0(int32_t x, int32_t y);
    // Reports rect (the window's rectangle when null) as dirty to the current device.
    void Invalidate(const KVQRect* rect = nullptr, int32_t flag = 0);
    // Clears this window's char cache and those of its ancestors up to the first that keeps one.
    void InvalidateCharCache();
    // This window or an ancestor collects text glyphs.
    bool IsCharCacheActive() const;
    GlyphCache& CharCache() { return charCache_; }

    // ---- attributes ----
    static CKVQEditHook& AttributeTable();
    void Describe(CIEditHook& hook);
    int32_t GetAttributeNameRef(const char* name);
    std::string GetAttribute(int32_t index);
    bool SetAttribute(int32_t index, const char* text);  // null text: nothing
    uintptr_t GetAddress(int32_t index);
    // Editor commands ("Copy", "Paste", "OutputAttribute", "AddState", a class name, ...). The
    // render object and state index say which object or state a command is for (-1: none).
    bool ExecuteCommand(const char* group, const char* command, IRender* object = nullptr, int32_t state = -1);

    // ---- data ----
    const char* GetName() const { return name.c_str(); }
    void SetName(const char* text) { name = text; }
    const char* GetClassName() const { return className.c_str(); }
    void SetClassName(const char* text) { className = text; }
    uint32_t GetAddData() const { return addData; }
    void SetAddData(uint32_t value) { addData = value; }
    int32_t GetID() const { return id_; }
    uint32_t GetWindowHandle() const { return handle_; }
    int32_t GetScriptRef() const { return scriptRef_; }
    void SetMask(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
    void SetScale(float scaleX, float scaleY);
    void SetExtraData(const char* key, const CKVQMessage& message);
    CKVQMessage* GetExtraData(const char* key) const;

    // ---- persistence ----
    // The window record (both directions).
    void Serialize(CIArchive& ar, int32_t depth = 0);
    // A window block: the record inside a length-prefixed block.
    void WriteBlock(CIArchive& ar);
    // Creates a window and reads its block; null when the block is corrupt or nested too deep.
    static CKVQWindow* ReadBlock(CIArchive& ar, int32_t depth = 0);
    CKVQWindow* Clone();
    // A window-list section (int32 count, then window blocks), both directions. Load appends
    // every window read (without a parent) to windows; depth is where they will sit in the tree
    // (records nested to kMaxNestingDepth below the tree's root are passed over).
    static void SerializeList(CIArchive& ar, std::vector<CKVQWindow*>& windows, int32_t depth = 0);
    bool LoadChildsFromFile(const char* path, WndArray* array = nullptr);
    bool SaveChildsToFile(const char* path);

    // ---- fields (named as layouts, scripts and the editor name them) ----
    CKVQString name;
    CKVQString className;
    uint32_t Status = 1u << STATUS_IsVisible;
    uint8_t version = 0;
    int8_t curState = 0;
    uint8_t oldState = 255;
    uint16_t ClipOffset[4] = {0, 0, 0, 0};  // left, right, top, bottom
    int32_t nExtX = 0;
    int32_t nExtY = 0;
    int32_t nExtW = 0;
    int32_t nExtH = 0;
    LayoutRect Layout{0, 0, 0, 0, 20, 70, 20, 70};
    uint32_t addData = 0xFFFFFFFFu;
    int32_t nMaxLayer = 0;
    int32_t nLayer = 0;
    float fScaleX = 1.0f;
    float fScaleY = 1.0f;
    KVQPoint HotOffset{};
    int32_t nHotAlign = ALIGN_CENTER;
    RGBA Mask{255, 255, 255, 255};

private:
    CKVQWindow() = default;
    ~CKVQWindow();
    friend class WindowModule;

    void RestoreDefaults();
    // Links a window without a parent at the end of the child list; the nesting depth is the
    // caller's to bound (the record reader does).
    void LinkChild(CKVQWindow* child);
    KVQRect ReferenceRect() const;   // the parent's rect as children see it (extern shift)
    void ShowCascade();
    void HideCascade();

    CKVQWindow* parent_ = nullptr;
    CKVQWindow* prev_ = nullptr;
    CKVQWindow* next_ = nullptr;
    CKVQWindow* firstChild_ = nullptr;
    CKVQWindow* lastChild_ = nullptr;
    // name -> (target handle, target message name), in insertion order
    std::unique_ptr<std::map<std::string, std::vector<std::pair<uint32_t, std::string>>>> bookings_;
    bool loaded_ = false;
    bool deleted_ = false;
    int32_t id_ = 0;
    uint32_t handle_ = 0;
    KVQRect rectCache_{};
    std::vector<IRender*> renderLst_;
    std::vector<WindowState> states_;
    int32_t scriptRef_ = -1;
    GlyphCache charCache_;
    std::map<std::string, std::unique_ptr<CKVQMessage>> extraData_;
};

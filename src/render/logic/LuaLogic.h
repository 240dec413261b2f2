#pragma once
// A logic component that turns the messages reaching its window into calls of global Lua
// functions. Each entry names a message and the function that handles it; the function receives
// the window, the message name, the message and the sending window (nil when there is none).

#include <cstdint>
#include <memory>
#include <vector>

#include "render/Render.h"

class CKVQWindow;
class CKVQMessage;

// Calls a global Lua function with the four window-event arguments through the current script
// host. functionRef and nameRef are the caller's cached references (-1 until taken). Returns the
// host's call result (CKVQLuaHost::CallResult); without a host, kCallError.
int32_t CallLogicFunction(const char* function, int32_t& functionRef, const char* name, int32_t& nameRef,
                          CKVQWindow* window, CKVQMessage* message, CKVQWindow* sender);

// Editor group paths name the groups from the window down ("CKVQWindow:RenderLst:LuaLogic:
// LuaLogic:entries:Entry2"); the window's group for an object and the object's own group both carry
// the class name. Returns the part below the component's own group ("entries:Entry2", "" for the
// component group itself), or null when the path does not reach into the component.
const char* ComponentGroupPath(const char* groupPath, const char* className);
// The number of the last segment of path spelled prefix and decimal digits ("Entry2" gives 2 for
// "Entry"); -1 when there is none.
int32_t GroupPathItem(const char* path, const char* prefix);

class CRenderObject_LuaLogic : public IRender {
public:
    static constexpr const char* kClassName = "LuaLogic";

    struct Entry {
        int32_t ListenGlobal = 0;
        int32_t messageRef = -1;  // run time: the message name on the Lua side
        CKVQString Msg;
        CKVQString LuaFunc;
        CKVQString LuaScript;     // defines LuaFunc when the function does not exist yet
        int32_t LuaFuncRef = -1;  // run time: the function name on the Lua side
    };

    CRenderObject_LuaLogic();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_LuaLogic); }

    static IRender* Create() { return new CRenderObject_LuaLogic; }

    // Editor commands: "AddLuaFunction" and "Paste" on the component (item -1); "Delete" and
    // "Copy" on entry number item. False when the command did nothing.
    bool ExecuteCommand(const char* command, int32_t item = -1);
    // The same commands addressed by group path: the entry number comes from its "EntryN" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    // Start-up: handlers for every entry's message, bookings, the Lua file.
    void Start(CKVQWindow* window);
    // The call for message name (the first entry whose Msg equals it); -1 when no entry matches,
    // else the host's call result.
    int32_t Call(const char* name, CKVQWindow* window, CKVQMessage* message, CKVQWindow* sender);

    std::vector<std::unique_ptr<Entry>> entries;
    CKVQString strLuaFile;
};

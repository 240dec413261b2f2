#include "render/logic/LuaLogic.h"

#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <lua.h>
}

#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "render/logic/LogicSupport.h"
#include "script/LuaHost.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

// Editor widget codes.
constexpr int32_t kEditPlain = 0;
constexpr int32_t kEditText = 1;
constexpr int32_t kEditChoice = 3;
constexpr int32_t kEditCommands = 5;
constexpr int32_t kEditFile = 7;

constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kComponentCommands = "AddLuaFunction|Paste|";
constexpr const char* kEntryCommands = "Delete|Copy|";
constexpr const char* kBoolHint = "false|true|";
// The stored form of an entry takes at least two empty strings and a bool.
constexpr int32_t kMinEntryBytes = 8 + 8 + 4;
// Entries carry their defining script from this record version on.
constexpr uint8_t kScriptVersion = 2;

CKVQMessage& Clipboard()
{
    static CKVQMessage clipboard(CKVQMessage::kEventCapacity);
    return clipboard;
}

void TransferEntry(CIArchive& ar, CRenderObject_LuaLogic::Entry& entry)
{
    ar.String(entry.Msg, "Msg");
    ar.String(entry.LuaFunc, "LuaFunc");
    bool listen = entry.ListenGlobal != 0;
    ar.Bool(listen, "ListenGlobal");
    if (ar.IsLoading())
        entry.ListenGlobal = listen ? 1 : 0;
    if (ar.GetVersion() >= kScriptVersion)
        ar.String(entry.LuaScript, "LuaScript");
}

void OnLoadHandler(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
{
    auto* logic = static_cast<CRenderObject_LuaLogic*>(self);
    logic->Start(owner);
    logic_support::CallUnlessOwnerDeleted(*logic, name, owner, message, sender);
}

void OnLuaFileChanged(void* object, const char*, int32_t)
{
    auto* logic = static_cast<CRenderObject_LuaLogic*>(object);
    CKVQLuaHost* host = GetCurrentHost();
    if (logic && host && !logic->strLuaFile.IsEmpty())
        host->DoFile(logic->strLuaFile.c_str());
}

// Whether the global name holds a function.
bool IsFunctionDefined(CKVQLuaHost& host, const char* name)
{
    lua_State* L = host.GetState();
    if (!L || !name)
        return false;
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    const bool defined = lua_isfunction(L, -1);
    lua_pop(L, 1);
    return defined;
}

}  // namespace

int32_t CallLogicFunction(const char* function, int32_t& functionRef, const char* name, int32_t& nameRef,
                          CKVQWindow* window, CKVQMessage* message, CKVQWindow* sender)
{
    CKVQLuaHost* host = GetCurrentHost();
    if (!host || !host->GetState())
        return CKVQLuaHost::kCallError;
    // Windows come from their own script references; a copy is handed over so that the call
    // cannot replace the window's reference.
    int32_t windowRef = window ? window->GetScriptRef() : -1;
    int32_t senderRef = sender ? sender->GetScriptRef() : -1;
    // One list serves every call: the host pushes the arguments before the function runs, so a
    // nested call refilling it cannot disturb an outer one.
    static LuaArgList args;
    args.Clear();
    args.AddObject(window, "CKVQWindow", windowRef > 0 ? &windowRef : nullptr);
    args.AddString(name, &nameRef);
    // Long-lived messages (the shared event messages) carry their own script reference.
    int32_t messageRef = message ? message->GetScriptRef() : -1;
    args.AddObject(message, "CKVQMessage", messageRef > 0 ? &messageRef : nullptr);
    args.AddObject(sender, "CKVQWindow", senderRef > 0 ? &senderRef : nullptr);
    // A failure names the window and the message it was called for.
    const ScriptCallSite site{window ? window->GetWindowHandle() : 0u, name};
    return host->CallGlobal(function, functionRef, args, &site);
}

const char* ComponentGroupPath(const char* groupPath, const char* className)
{
    if (!groupPath || !className || !*className)
        return nullptr;
    const size_t nameLength = std::strlen(className);
    // A segment equal to the class name, followed by at least one more segment.
    auto classSegmentAt = [&](const char* at) {
        return std::strncmp(at, className, nameLength) == 0 && at[nameLength] == ':';
    };
    for (const char* at = groupPath; at; ) {
        if (classSegmentAt(at)) {
            const char* rest = at + nameLength + 1;
            // The object's own group below the window's group of the same name.
            if (std::strcmp(rest, className) == 0)
                return rest + nameLength;
            if (classSegmentAt(rest))
                return rest + nameLength + 1;
            return rest;
        }
        const char* colon = std::strchr(at, ':');
        at = colon ? colon + 1 : nullptr;
    }
    return nullptr;
}

int32_t GroupPathItem(const char* path, const char* prefix)
{
    if (!path || !prefix)
        return -1;
    // More digits than this cannot name an item of a bounded list.
    constexpr size_t kMaxDigits = 9;
    const size_t prefixLength = std::strlen(prefix);
    int32_t found = -1;
    for (const char* at = path; at; ) {
        const char* colon = std::strchr(at, ':');
        const size_t length = colon ? static_cast<size_t>(colon - at) : std::strlen(at);
        if (length > prefixLength && length - prefixLength <= kMaxDigits &&
            std::strncmp(at, prefix, prefixLength) == 0) {
            int32_t value = 0;
            size_t i = prefixLength;
            for (; i < length && at[i] >= '0' && at[i] <= '9'; ++i)
                value = value * 10 + (at[i] - '0');
            if (i == length)
                found = value;
        }
        at = colon ? colon + 1 : nullptr;
    }
    return found;
}

CRenderObject_LuaLogic::CRenderObject_LuaLogic()
{
    RegisterHandler(kOnLoad, &OnLoadHandler);
}

CKVQEditHook& CRenderObject_LuaLogic::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_LuaLogic::TransferRecord(CIArchive& ar)
{
    std::vector<std::unique_ptr<Entry>> loaded;
    std::vector<std::unique_ptr<Entry>>& list = ar.IsLoading() ? loaded : entries;
    auto count = static_cast<int32_t>(list.size());
    TransferList(ar, "entries", count, kMinEntryBytes, [&](int32_t i) {
        if (ar.IsLoading())
            list.push_back(std::make_unique<Entry>());
        TransferEntry(ar, *list[static_cast<size_t>(i)]);
        return true;
    });
    if (ar.IsLoading())
        entries.swap(loaded);
    ar.String(strLuaFile, "strLuaFile");
}

void CRenderObject_LuaLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditCommands, kComponentCommands, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    logic_support::BeginItemList(hook, &entries, "entries");
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& e = *entries[i];
        char itemName[32];
        std::snprintf(itemName, sizeof itemName, "Entry%zu", i);
        hook.BeginGroup(&e, itemName, kEditCommands, kEntryCommands, nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.String(&e.Msg, "Msg", kEditText, "", nullptr, nullptr, 0);
        hook.Int32AsBool(&e.ListenGlobal, "ListenGlobal", kEditChoice, kBoolHint, nullptr, nullptr, 0);
        hook.String(&e.LuaFunc, "LuaFunc", kEditText, "", nullptr, nullptr, 0);
        hook.Int32(&e.LuaFuncRef, "LuaFuncRef", kEditPlain, "", nullptr, nullptr, 0);
        hook.String(&e.LuaScript, "LuaScript", kEditText, "", nullptr, nullptr, 0);
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
    hook.String(&strLuaFile, "strLuaFile", kEditFile, "*.lua", &OnLuaFileChanged, this, 0);
    hook.LeaveGroup();
}

bool CRenderObject_LuaLogic::ExecuteCommand(const char* command, int32_t item)
{
    return logic_support::ItemListCommand(entries, Clipboard(), command, item, "AddLuaFunction", &TransferEntry,
                                          kScriptVersion);
}

bool CRenderObject_LuaLogic::ExecuteCommand(const char* groupPath, const char* command)
{
    if (!command)
        return false;
    if (std::strcmp(command, "AddLuaFunction") == 0)
        return ExecuteCommand(command, -1);
    // Copy, Paste and Delete are the window's commands for the object unless the path reaches
    // into the component's own groups.
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    if (!inside)
        return false;
    const int32_t item = GroupPathItem(inside, "Entry");
    if (item >= 0 && std::strcmp(command, "Paste") != 0)
        return ExecuteCommand(command, item);
    return ExecuteCommand(command, -1);
}

void CRenderObject_LuaLogic::Start(CKVQWindow* window)
{
    for (const std::unique_ptr<Entry>& e : entries) {
        RegisterHandler(e->Msg.c_str(), &logic_support::CallEntry<CRenderObject_LuaLogic>);
        if (e->ListenGlobal != 0 && window)
            CKVQWindowMgr::Instance().BookMessage(e->Msg.c_str(), window);
    }
    CKVQLuaHost* host = GetCurrentHost();
    if (host && !strLuaFile.IsEmpty())
        host->DoFile(strLuaFile.c_str());
}

int32_t CRenderObject_LuaLogic::Call(const char* name, CKVQWindow* window, CKVQMessage* message,
                                     CKVQWindow* sender)
{
    if (!name)
        return -1;
    Entry* entry = nullptr;
    for (const std::unique_ptr<Entry>& e : entries) {
        if (std::strcmp(e->Msg.c_str(), name) == 0) {
            entry = e.get();
            break;
        }
    }
    if (!entry)
        return -1;
    CKVQLuaHost* host = GetCurrentHost();
    if (!host)
        return CKVQLuaHost::kCallError;
    if (entry->messageRef == -1)
        entry->messageRef = host->RefName(name);
    // The script defines the function: it runs once, when the function does not exist yet.
    if (entry->LuaFuncRef == -1 && !entry->LuaScript.IsEmpty() && !entry->LuaFunc.IsEmpty()) {
        entry->LuaFuncRef = host->RefName(entry->LuaFunc.c_str());
        if (entry->LuaFuncRef == -1 || !IsFunctionDefined(*host, entry->LuaFunc.c_str())) {
            // Errors in the entry's code name the logic and the handler it defines.
            const std::string chunk =
                std::string("=LuaLogic '") + Name.c_str() + "' LuaScript of " + entry->LuaFunc.c_str();
            const char* script = entry->LuaScript.c_str();
            host->DoBuffer(script, std::strlen(script), chunk.c_str());
        }
    }
    if (entry->LuaFuncRef == -1)
        entry->LuaFuncRef = host->RefName(entry->LuaFunc.c_str());
    // The entry may go while the function runs (a script can edit the list): the call works on
    // copies of the references, all taken already, and the host reads the function's name only
    // before the function runs.
    int32_t functionRef = entry->LuaFuncRef;
    int32_t messageRef = entry->messageRef;
    const int32_t result =
        CallLogicFunction(entry->LuaFunc.c_str(), functionRef, name, messageRef, window, message, sender);
    return result;
}

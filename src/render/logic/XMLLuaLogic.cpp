#include "render/logic/XMLLuaLogic.h"

#include <tinyxml.h>

#include <cstdio>
#include <cstring>

#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/File.h"
#include "io/FileSystem.h"
#include "render/logic/LogicSupport.h"
#include "common/Notices.h"
#include "render/logic/LuaLogic.h"
#include "script/LuaHost.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int32_t kEditPlain = 0;
constexpr int32_t kEditText = 1;
constexpr int32_t kEditChoice = 3;
constexpr int32_t kEditCommands = 5;
constexpr int32_t kEditFile = 7;

constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kComponentCommands = "ParseXML|ExecuteLua|";
constexpr const char* kBoolHint = "false|true|";
constexpr const char* kRootElement = "GameLogic";
constexpr const char* kEventElement = "Event";
// A function name must be longer than this to make an entry.
constexpr size_t kMinFunctionNameLength = 3;
// Logic tables are small; a larger file is not one.
constexpr int32_t kMaxXmlBytes = 16 * 1024 * 1024;

void OnLoadHandler(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
{
    auto* logic = static_cast<CRenderObject_XMLLuaLogic*>(self);
    logic->ExecuteLua();
    logic->ParseXML(owner);
    logic_support::CallUnlessOwnerDeleted(*logic, name, owner, message, sender);
}

void OnXmlFileChanged(void* object, const char*, int32_t)
{
    auto* logic = static_cast<CRenderObject_XMLLuaLogic*>(object);
    if (logic)
        logic->ParseXML(logic->GetOwner());
}

void OnLuaFileChanged(void* object, const char*, int32_t)
{
    if (auto* logic = static_cast<CRenderObject_XMLLuaLogic*>(object))
        logic->ExecuteLua();
}

// False when the file cannot be opened (reported once per name) or is too large to be a logic table.
bool ReadWholeFile(const char* path, std::string& text)
{
    IFile* file = path ? GetFileSystem().Open(path, true) : nullptr;
    if (!file) {
        if (path)
            notices::ReportMissing("script", path, ScriptLookupText(path));
        return false;
    }
    const int32_t size = file->GetSize();
    bool ok = size >= 0 && size <= kMaxXmlBytes;
    if (ok && size > 0) {
        text.resize(static_cast<size_t>(size));
        file->Seek(0, IFile::kFromStart);
        const int32_t got = file->Read(text.data(), size);
        text.resize(static_cast<size_t>(got > 0 ? got : 0));
    }
    GetFileSystem().Close(file);
    return ok;
}

// The element nesting of an XML text, counted without parsing it (comments, declarations,
// character data sections and quoted attribute values do not count). Stops counting beyond limit.
int32_t NestingDepth(const std::string& text, int32_t limit)
{
    int32_t depth = 0;
    int32_t deepest = 0;
    const size_t n = text.size();
    size_t i = 0;
    auto skipPast = [&](const char* end) {
        const size_t at = text.find(end, i);
        i = at == std::string::npos ? n : at + std::strlen(end);
    };
    while (i < n && deepest <= limit) {
        if (text[i] != '<') {
            ++i;
            continue;
        }
        if (text.compare(i, 4, "<!--") == 0) {
            skipPast("-->");
        } else if (text.compare(i, 9, "<![CDATA[") == 0) {
            skipPast("]]>");
        } else if (i + 1 < n && (text[i + 1] == '!' || text[i + 1] == '?')) {
            skipPast(">");
        } else if (i + 1 < n && text[i + 1] == '/') {
            --depth;
            skipPast(">");
        } else {
            // An opening tag: find its end past quoted values; "/>" closes it at once.
            char quote = 0;
            size_t j = i + 1;
            for (; j < n; ++j) {
                const char c = text[j];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            const bool selfClosing = j < n && j > i + 1 && text[j - 1] == '/';
            if (!selfClosing && ++depth > deepest)
                deepest = depth;
            i = j < n ? j + 1 : n;
        }
    }
    return deepest;
}

}  // namespace

CRenderObject_XMLLuaLogic::CRenderObject_XMLLuaLogic()
{
    RegisterHandler(kOnLoad, &OnLoadHandler);
}

CKVQEditHook& CRenderObject_XMLLuaLogic::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_XMLLuaLogic::TransferRecord(CIArchive& ar)
{
    ar.String(strLuaFile, "strLuaFile");
    ar.String(strXMLFile, "strXMLFile");
}

void CRenderObject_XMLLuaLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditCommands, kComponentCommands, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    logic_support::BeginItemList(hook, &entries, "entries");
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& e = entries[i];
        char itemName[32];
        std::snprintf(itemName, sizeof itemName, "Entry%zu", i);
        hook.BeginGroup(&e, itemName, kEditPlain, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.String(&e.Msg, "Msg", kEditText, "", nullptr, nullptr, 0);
        hook.Int32AsBool(&e.ListenGlobal, "ListenGlobal", kEditChoice, kBoolHint, nullptr, nullptr, 0);
        hook.String(&e.LuaFunc, "LuaFunc", kEditText, "", nullptr, nullptr, 0);
        hook.Int32(&e.LuaFuncRef, "LuaFuncRef", kEditPlain, "", nullptr, nullptr, 0);
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
    hook.String(&strXMLFile, "strXMLFile", kEditFile, "*.xml", &OnXmlFileChanged, this, 0);
    hook.String(&strLuaFile, "strLuaFile", kEditFile, "*.lua", &OnLuaFileChanged, this, 0);
    hook.LeaveGroup();
}

bool CRenderObject_XMLLuaLogic::ExecuteCommand(const char* command)
{
    if (!command)
        return false;
    if (std::strcmp(command, "ParseXML") == 0) {
        ParseXML(GetOwner());
        return true;
    }
    if (std::strcmp(command, "ExecuteLua") == 0) {
        ExecuteLua();
        return true;
    }
    return false;
}

void CRenderObject_XMLLuaLogic::ExecuteLua()
{
    CKVQLuaHost* host = GetCurrentHost();
    if (!host || strLuaFile.IsEmpty())
        return;
    host->DoFile(strLuaFile.c_str());
    // The file may have replaced the functions: the names are looked up afresh.
    for (Entry& e : entries) {
        if (e.LuaFuncRef != -1) {
            host->Unref(e.LuaFuncRef);
            e.LuaFuncRef = host->RefName(e.LuaFunc.c_str());
        }
    }
}

void CRenderObject_XMLLuaLogic::ParseXML(CKVQWindow* window)
{
    CKVQLuaHost* host = GetCurrentHost();
    if (host) {
        for (Entry& e : entries) {
            host->Unref(e.LuaFuncRef);
            host->Unref(e.messageRef);
        }
    }
    entries.clear();

    std::string text;
    if (strXMLFile.IsEmpty() || !ReadWholeFile(strXMLFile.c_str(), text) || text.empty())
        return;
    if (NestingDepth(text, kMaxXmlDepth) > kMaxXmlDepth)
        return;
    TiXmlDocument document;
    document.Parse(text.c_str());
    if (document.Error()) {
        // Said once per file: every window carrying the logic parses it on load.
        const std::string file = strXMLFile.c_str();
        notices::NoticeOnce("xml logic\x1f" + file, file + ":" + std::to_string(document.ErrorRow()) + ": " +
                                                        document.ErrorDesc() + " (the logic handles no message)");
        return;
    }
    const TiXmlElement* root = document.RootElement();
    if (!root || std::strcmp(root->Value(), kRootElement) != 0)
        return;
    for (const TiXmlElement* event = root->FirstChildElement(kEventElement); event;
         event = event->NextSiblingElement(kEventElement)) {
        const char* call = event->Attribute("call");
        const char* name = event->Attribute("name");
        if (!call || std::strlen(call) <= kMinFunctionNameLength || !name)
            continue;
        int global = 0;
        event->QueryIntAttribute("global", &global);
        Entry e;
        e.LuaFunc = call;
        e.Msg = name;
        e.ListenGlobal = global;
        e.LuaFuncRef = host ? host->RefName(call) : -1;
        entries.push_back(e);
        RegisterHandler(name, &logic_support::CallEntry<CRenderObject_XMLLuaLogic>);
        if (global == 1 && window)
            CKVQWindowMgr::Instance().BookMessage(name, window);
    }
}

int32_t CRenderObject_XMLLuaLogic::Call(const char* name, CKVQWindow* window, CKVQMessage* message,
                                        CKVQWindow* sender)
{
    if (!name)
        return -1;
    for (Entry& e : entries) {
        if (std::strcmp(e.Msg.c_str(), name) != 0)
            continue;
        CKVQLuaHost* host = GetCurrentHost();
        if (!host)
            return CKVQLuaHost::kCallError;
        if (e.messageRef == -1)
            e.messageRef = host->RefName(name);
        if (e.LuaFuncRef == -1)
            e.LuaFuncRef = host->RefName(e.LuaFunc.c_str());
        // Copies of the references: the function may rebuild the table (the host reads the name
        // only before the function runs).
        int32_t functionRef = e.LuaFuncRef;
        int32_t messageRef = e.messageRef;
        return CallLogicFunction(e.LuaFunc.c_str(), functionRef, name, messageRef, window, message, sender);
    }
    return -1;
}

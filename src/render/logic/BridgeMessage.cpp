#include "render/logic/BridgeMessage.h"

#include <cstdio>
#include <cstring>

#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "render/logic/LogicSupport.h"
#include "render/logic/LuaLogic.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int32_t kEditText = 1;
constexpr int32_t kEditCheck = 2;
constexpr int32_t kEditChoice = 3;
constexpr int32_t kEditCommands = 5;

constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kComponentCommands = "AddMsg|Paste|";
constexpr const char* kLinkCommands = "Delete|Copy|";
constexpr const char* kBoolHint = "false|true|";
constexpr const char* kLinkTypeHint = "Parent|Sibling|Child|Self|global|";
// A link's smallest stored form: its type, three strings and its flags.
constexpr int32_t kMinLinkBytes = 4 + 3 * 8 + 4;

using Link = CRenderObject_BridgeMessage::Link;

CKVQMessage& Clipboard()
{
    static CKVQMessage clipboard(CKVQMessage::kEventCapacity);
    return clipboard;
}

void TransferLink(CIArchive& ar, Link& link)
{
    ar.Int32(link.nLinkType, "nLinkType");
    ar.String(link.WndName, "WndName");
    ar.String(link.msg, "msg");
    ar.String(link.transmsg, "transmsg");
    ar.UInt32(link.flags, "flags");
}

void OnLoadHandler(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
{
    auto* bridge = static_cast<CRenderObject_BridgeMessage*>(self);
    bridge->Start(owner);
    bridge->Bridge(name, owner, message, sender);
}

void LinkHandler(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
{
    static_cast<CRenderObject_BridgeMessage*>(self)->Bridge(name, owner, message, sender);
}

void OnInitializeSet(void* object, const char*, int32_t)
{
    if (auto* bridge = static_cast<CRenderObject_BridgeMessage*>(object))
        bridge->RegisterLinks();
}

// A Self link that sends its own message back would re-enter its window until the dispatch depth
// runs out: such a link does nothing.
bool IsSelfLoop(const Link& link)
{
    return link.nLinkType == CRenderObject_BridgeMessage::kSelf && link.transmsg == link.msg;
}

bool NameIs(const CKVQWindow* window, const CKVQString& name)
{
    return std::strcmp(window->GetName(), name.c_str()) == 0;
}

CKVQWindow* ResolveTarget(Link& link, CKVQWindow* window)
{
    return logic_support::ResolveCached(link.target, window, [&link](CKVQWindow* from) -> CKVQWindow* {
        switch (link.nLinkType) {
        case CRenderObject_BridgeMessage::kParent: {
            CKVQWindow* target = from->GetParent();
            if (!link.WndName.IsEmpty()) {
                while (target && !NameIs(target, link.WndName))
                    target = target->GetParent();
            }
            return target;
        }
        case CRenderObject_BridgeMessage::kSibling: {
            CKVQWindow* parent = from->GetParent();
            return parent ? parent->GetChild(link.WndName.c_str()) : nullptr;
        }
        case CRenderObject_BridgeMessage::kChild:
            return from->GetChild(link.WndName.c_str());
        case CRenderObject_BridgeMessage::kSelf:
            return from;
        default:
            return nullptr;
        }
    });
}

}  // namespace

CRenderObject_BridgeMessage::CRenderObject_BridgeMessage()
{
    RegisterHandler(kOnLoad, &OnLoadHandler);
}

CKVQEditHook& CRenderObject_BridgeMessage::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_BridgeMessage::TransferRecord(CIArchive& ar)
{
    logic_support::TransferOwnedList(ar, "links", kMinLinkBytes, links, &TransferLink);
}

void CRenderObject_BridgeMessage::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditCommands, kComponentCommands, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    logic_support::BeginItemList(hook, &links, "links");
    for (size_t i = 0; i < links.size(); ++i) {
        Link& link = *links[i];
        char itemName[32];
        std::snprintf(itemName, sizeof itemName, "Link%zu", i);
        hook.BeginGroup(&link, itemName, kEditCommands, kLinkCommands, nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.Int32(&link.nLinkType, "nLinkType", kEditChoice, kLinkTypeHint, nullptr, nullptr, 0);
        hook.String(&link.WndName, "WndName", kEditText, "", nullptr, nullptr, 0);
        hook.Bit(&link.flags, 0, "listenglobal", kEditCheck, kBoolHint, nullptr, nullptr, 0);
        hook.Bit(&link.flags, 1, "senderself", kEditCheck, kBoolHint, nullptr, nullptr, 0);
        hook.String(&link.msg, "msg", kEditText, "", nullptr, nullptr, 0);
        hook.String(&link.transmsg, "transmsg", kEditText, "", nullptr, nullptr, 0);
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
    hook.BoolAsInt32(&IsInitialize, "IsInitialize", kEditCheck, kBoolHint, &OnInitializeSet, this, 0);
    hook.LeaveGroup();
}

bool CRenderObject_BridgeMessage::ExecuteCommand(const char* command, int32_t item)
{
    return logic_support::ItemListCommand(links, Clipboard(), command, item, "AddMsg", &TransferLink);
}

bool CRenderObject_BridgeMessage::ExecuteCommand(const char* groupPath, const char* command)
{
    if (!command)
        return false;
    if (std::strcmp(command, "AddMsg") == 0)
        return ExecuteCommand(command, -1);
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    if (!inside)
        return false;
    const int32_t item = GroupPathItem(inside, "Link");
    if (item >= 0 && std::strcmp(command, "Paste") != 0)
        return ExecuteCommand(command, item);
    return ExecuteCommand(command, -1);
}

void CRenderObject_BridgeMessage::Start(CKVQWindow* window)
{
    for (const std::unique_ptr<Link>& link : links) {
        if (IsSelfLoop(*link))
            continue;
        RegisterHandler(link->msg.c_str(), &LinkHandler);
        if ((link->flags & kListenGlobal) != 0 && window)
            CKVQWindowMgr::Instance().BookMessage(link->msg.c_str(), window);
    }
    IsInitialize = 1;
}

void CRenderObject_BridgeMessage::RegisterLinks()
{
    for (const std::unique_ptr<Link>& link : links) {
        if (IsSelfLoop(*link))
            continue;
        RegisterHandler(link->msg.c_str(), &LinkHandler);
    }
}

void CRenderObject_BridgeMessage::Bridge(const char* name, CKVQWindow* window, CKVQMessage* message,
                                         CKVQWindow* sender)
{
    if (!name || !window)
        return;
    // The receivers' handlers may edit this list: it is re-read by index, and each link's
    // fields are copied before its message goes out.
    for (size_t i = 0; i < links.size() && !window->IsDeleted(); ++i) {
        Link& link = *links[i];
        if (std::strcmp(link.msg.c_str(), name) != 0 || IsSelfLoop(link))
            continue;
        const CKVQString transmsg = link.transmsg;
        if (link.nLinkType == kGlobal) {
            CKVQWindowMgr::Instance().ProcessMessage(transmsg.c_str(), message, sender);
            continue;
        }
        CKVQWindow* target = ResolveTarget(link, window);
        if (!target)
            continue;
        CKVQWindow* passedSender = (link.flags & kSenderSelf) != 0 ? window : sender;
        target->ProcMessage(transmsg.c_str(), message, passedSender);
    }
}

#include "render/pictures/SpriteList.h"

#include <cstdio>
#include <cstring>

#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "render/logic/LogicSupport.h"
#include "render/logic/LuaLogic.h"
#include "render/pictures/Picture.h"

namespace {

constexpr const char* kListCommands = "AddSprite|";
constexpr const char* kEntryCommands = "Delete|";
constexpr const char* kAddSprite = "AddSprite";
constexpr const char* kDelete = "Delete";
constexpr const char* kEntryPrefix = "Sprite";
// Each stored sprite is at least its block header.
constexpr int32_t kMinSpriteBytes = record_block::kBlockHeaderBytes;

void TransferSprite(CIArchive& ar, Sprite& sprite)
{
    sprite.Transfer(ar);
}

}  // namespace

CKVQEditHook& CRenderObject_SpriteList::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_SpriteList::TransferRecord(CIArchive& ar)
{
    ar.Int32(nState, "nState");
    logic_support::TransferOwnedList(ar, "List", kMinSpriteBytes, List, &TransferSprite);
}

void CRenderObject_SpriteList::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, kClassName, kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.Int32(&nState, "nState", kText, "", nullptr, nullptr, 0);
    // The sprites live outside the object: the one process-wide table cannot address them, so the
    // runtime table leaves them out (an external editor still sees them).
    const bool runtimeTable = dynamic_cast<CKVQEditHook*>(&hook) != nullptr;
    hook.BeginGroup(&List, "List", kCommands, kListCommands, nullptr, nullptr, 0, runtimeTable);
    hook.EnterGroup();
    for (size_t i = 0; i < List.size(); ++i) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%s%zu", kEntryPrefix, i);
        List[i]->Describe(hook, entry, kEntryCommands);
    }
    hook.LeaveGroup();
    hook.LeaveGroup();
}

void CRenderObject_SpriteList::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const KVQRect r = ResolveRect(windowRect);
    dc->PushClip(r, 0);
    if (Sprite* shown = GetSprite(nState))
        shown->Draw(r);
    dc->PopClip();
}

Sprite& CRenderObject_SpriteList::AddSprite()
{
    List.push_back(std::make_unique<Sprite>());
    return *List.back();
}

bool CRenderObject_SpriteList::DeleteSprite(int32_t index)
{
    if (index < 0 || index >= GetCount())
        return false;
    List.erase(List.begin() + index);
    return true;
}

Sprite* CRenderObject_SpriteList::GetSprite(int32_t index)
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return List[static_cast<size_t>(index)].get();
}

bool CRenderObject_SpriteList::ExecuteCommand(const char* groupPath, const char* command)
{
    if (!command)
        return false;
    if (std::strcmp(command, kAddSprite) == 0) {
        AddSprite();
        return true;
    }
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    if (!inside)
        return false;
    Sprite* sprite = GetSprite(GroupPathItem(inside, kEntryPrefix));
    if (!sprite)
        return false;
    if (std::strcmp(command, kDelete) == 0)
        return DeleteSprite(GroupPathItem(inside, kEntryPrefix));
    if (IsSpriteRectPath(inside))
        return sprite->ExecuteRectCommand(command);
    return false;
}

#include "render/behaviour/DraggingLogic.h"

#include <algorithm>

#include "app/CoreCfg.h"
#include "io/Archive.h"
#include "ui/Message.h"
#include "ui/Window.h"

using namespace behaviour;

namespace {

constexpr const char* kGroup = "Dragging";
constexpr const char* kOnDragging = "OnDragging";
constexpr const char* kOnDraggingEnd = "OnDraggingEnd";
constexpr int32_t kNoPoint = -1;  // the drag point of a press before its first "OnDragging"

// lo wins when the bounds cross.
int64_t Clamp(int64_t v, int64_t lo, int64_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

int32_t ToInt32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int64_t Extent(int32_t from, int32_t to)
{
    return static_cast<int64_t>(to) - from;
}

}  // namespace

CRenderObject_DraggingLogic::CRenderObject_DraggingLogic()
{
    Handle<&CRenderObject_DraggingLogic::OnDragging>(kOnDragging);
    Handle<&CRenderObject_DraggingLogic::OnDraggingEnd>(kOnDraggingEnd);
}

void CRenderObject_DraggingLogic::TransferRecord(CIArchive& ar)
{
    ar.Int32(nMinX, "nMinX");
    ar.Int32(nMaxX, "nMaxX");
    ar.Int32(nMinY, "nMinY");
    ar.Int32(nMaxY, "nMaxY");
    bool fix = IsFixChildrens != 0;
    ar.Bool(fix, "IsFixChildrens");
    IsFixChildrens = fix ? 1 : 0;
}

void CRenderObject_DraggingLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kGroup, kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.Int32(&nMaxX, "nMaxX", kEditText, "0", nullptr, nullptr, 0);
    hook.Int32(&nMinX, "nMinX", kEditText, "0", nullptr, nullptr, 0);
    hook.Int32(&nMaxY, "nMaxY", kEditText, "0", nullptr, nullptr, 0);
    hook.Int32(&nMinY, "nMinY", kEditText, "0", nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsFixChildrens, "IsFixChildrens", kEditCheck, kBoolHint, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

KVQPoint CRenderObject_DraggingLogic::Target(CKVQWindow& window, KVQPoint pos, int64_t dx, int64_t dy) const
{
    const int64_t x = pos.x + dx, y = pos.y + dy;
    if (!IsFixChildrens)
        return {ToInt32(Clamp(x, nMinX, nMaxX)), ToInt32(Clamp(y, nMinY, nMaxY))};
    KVQRect children{};
    for (CKVQWindow* child = window.GetFirstChild(); child; child = child->GetNextSibling()) {
        if (child->IsBitSet(STATUS_IsVisible))
            children.Union(child->GetRect());
    }
    const KVQRect own = window.GetRect();
    const int64_t ox = std::max<int64_t>(0, Extent(children.left, children.right) - Extent(own.left, own.right));
    const int64_t oy = std::max<int64_t>(0, Extent(children.top, children.bottom) - Extent(own.top, own.bottom));
    return {ToInt32(Clamp(x, -ox, 0)), ToInt32(Clamp(y, -oy, 0))};
}

void CRenderObject_DraggingLogic::OnDragging(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
{
    int32_t x = 0, y = 0;
    if (!owner || !message || message->Int32(x) != 4 || message->Int32(y) != 4)
        return;
    KVQCoreCfg& cfg = GetCoreCfg();
    if (cfg.nUserSaveX == kNoPoint || cfg.nUserSaveY == kNoPoint) {
        cfg.nUserSaveX = x;
        cfg.nUserSaveY = y;
        if (sender)
            sender->EnableDrag();
        return;
    }
    const int64_t dx = Extent(cfg.nUserSaveX, x), dy = Extent(cfg.nUserSaveY, y);
    if (dx == 0 && dy == 0)
        return;
    cfg.nUserSaveX = x;
    cfg.nUserSaveY = y;
    const KVQPoint pos = owner->GetPos();
    const KVQPoint to = Target(*owner, pos, dx, dy);
    // A clamped step that leaves the window where it is sends no "OnMove".
    if (to != pos)
        owner->SetPos(to);
}

void CRenderObject_DraggingLogic::OnDraggingEnd(CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    WindowModule::Get().drag = 0;
}

#include "render/behaviour/ArrayKVQWindowLogic.h"

#include "io/Archive.h"
#include "ui/Message.h"
#include "ui/Window.h"

using namespace behaviour;

namespace {

constexpr const char* kGroup = "ArrayKVQWindow";
constexpr const char* kModeHint = "FixWidthX|FixHeightY|JionX|JionY|";
constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kOnAddChild = "OnAddChild";
constexpr const char* kOnDeleteChild = "OnDeleteChild";
constexpr const char* kOnArrayWindow = "OnArrayWindow";

using Array = CRenderObject_ArrayKVQWindowLogic;

void OnArrangementSet(void* object, const char*, int32_t)
{
    if (auto* array = static_cast<Array*>(object))
        array->Arrange(array->GetOwner());
}

}  // namespace

CRenderObject_ArrayKVQWindowLogic::CRenderObject_ArrayKVQWindowLogic()
{
    for (const char* name : {kOnLoad, kOnAddChild, kOnDeleteChild})
        Handle<&Array::OnChildrenChanged>(name);
}

void CRenderObject_ArrayKVQWindowLogic::TransferRecord(CIArchive& ar)
{
    ar.Int32(mode, "mode");
    ar.Int32(FixWidth, "FixWidth");
    ar.Int32(FixHeight, "FixHeight");
    ar.Int32(Offset.x, "Offset.x");
    ar.Int32(Offset.y, "Offset.y");
}

void CRenderObject_ArrayKVQWindowLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kGroup, kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.BeginGroup(&Offset, "Offset", kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&Offset.x, "x", kEditText, "", &OnArrangementSet, this, 0);
    hook.Int32(&Offset.y, "y", kEditText, "", &OnArrangementSet, this, 0);
    hook.LeaveGroup();
    hook.Int32(&mode, "mode", kEditChoice, kModeHint, &OnArrangementSet, this, 0);
    hook.Int32(&FixWidth, "FixWidth", kEditText, "", &OnArrangementSet, this, 0);
    hook.Int32(&FixHeight, "FixHeight", kEditText, "", &OnArrangementSet, this, 0);
    hook.LeaveGroup();
}

void CRenderObject_ArrayKVQWindowLogic::OnChildrenChanged(CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    Arrange(owner);
}

void CRenderObject_ArrayKVQWindowLogic::Arrange(CKVQWindow* window)
{
    if (!window || window->IsDeleted())
        return;
    int32_t tx = 0, ty = 0, n = 0;
    // Each move tells the child ("OnMove"), whose handlers may change the child list.
    for (uint32_t handle : ChildHandles(window)) {
        if (window->IsDeleted())
            return;
        CKVQWindow* child = ChildStill(window, handle);
        if (!child || !child->IsBitSet(STATUS_IsVisible))
            continue;
        KVQPoint to = Offset;
        CKVQWindow* previous = child->GetPrevSibling();
        switch (mode) {
        case kFixWidthX:
            to.x = wrap32::Add(Offset.x, wrap32::Mul(FixWidth, n));
            tx = wrap32::Add(tx, FixWidth);
            break;
        case kFixHeightY:
            to.y = wrap32::Add(Offset.y, wrap32::Mul(FixHeight, n));
            ty = wrap32::Add(ty, FixHeight);
            break;
        case kJoinX:
            if (previous) {
                const int32_t width = previous->GetWidth();
                to = previous->GetPos();
                to.x = wrap32::Add(to.x, width);
                tx = wrap32::Add(tx, width);
            }
            break;
        case kJoinY:
            if (previous) {
                const int32_t height = previous->GetHeight();
                to = previous->GetPos();
                to.y = wrap32::Add(to.y, height);
                ty = wrap32::Add(ty, height);
            }
            break;
        default:
            break;  // an unknown mode puts every visible child at Offset
        }
        child->SetPos(to);
        ++n;
    }
    if (window->IsDeleted())
        return;
    CKVQMessage message;
    message.Int32(tx);
    message.Int32(ty);
    window->ProcMessage(kOnArrayWindow, &message, window);
}

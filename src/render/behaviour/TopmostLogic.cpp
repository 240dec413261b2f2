#include "render/behaviour/TopmostLogic.h"

#include "ui/Window.h"

using namespace behaviour;

namespace {

constexpr const char* kOnShow = "OnShow";

}  // namespace

CRenderObject_TopmostLogic::CRenderObject_TopmostLogic()
{
    Handle<&CRenderObject_TopmostLogic::OnShow>(kOnShow);
}

void CRenderObject_TopmostLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.LeaveGroup();
}

void CRenderObject_TopmostLogic::OnShow(CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    if (!owner || !owner->GetParent())
        return;
    owner->TopMost();
    owner->Invalidate();
}

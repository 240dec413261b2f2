#include "render/behaviour/SelectKVQWindowLogic.h"

#include "io/Archive.h"
#include "ui/Message.h"
#include "ui/Window.h"

using namespace behaviour;

namespace {

constexpr const char* kGroup = "SelectKVQWindow";
constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kOnAddChild = "OnAddChild";
constexpr const char* kOnDeleteChild = "OnDeleteChild";
constexpr const char* kOnLClickDown = "OnLClickDown";
constexpr const char* kOnSelectChild = "OnSelectChild";
constexpr const char* kWindowType = "CKVQWindow";

// The child's presses come to window as "OnSelectChild", the child as sender (booked once).
void Forward(CKVQWindow* window, CKVQWindow* child)
{
    if (child->IsCanBeSelected())
        window->BookMsg(kOnLClickDown, kOnSelectChild, child);
}

}  // namespace

CRenderObject_SelectKVQWindowLogic::CRenderObject_SelectKVQWindowLogic()
{
    Handle<&CRenderObject_SelectKVQWindowLogic::OnLoad>(kOnLoad);
    Handle<&CRenderObject_SelectKVQWindowLogic::OnAddChild>(kOnAddChild);
    Handle<&CRenderObject_SelectKVQWindowLogic::OnDeleteChild>(kOnDeleteChild);
    Handle<&CRenderObject_SelectKVQWindowLogic::OnLClickDown>(kOnLClickDown);
    Handle<&CRenderObject_SelectKVQWindowLogic::OnSelectChild>(kOnSelectChild);
}

void CRenderObject_SelectKVQWindowLogic::TransferRecord(CIArchive& ar)
{
    bool multiple = IsCanMultiSelected != 0;
    ar.Bool(multiple, "IsCanMultiSelected");
    IsCanMultiSelected = multiple ? 1 : 0;
}

void CRenderObject_SelectKVQWindowLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kGroup, kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.BoolAsInt32(&IsCanMultiSelected, "IsCanMultiSelected", kEditText, kBoolHint, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

void CRenderObject_SelectKVQWindowLogic::OnLoad(CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    if (!owner)
        return;
    for (CKVQWindow* child = owner->GetFirstChild(); child; child = child->GetNextSibling())
        Forward(owner, child);
}

void CRenderObject_SelectKVQWindowLogic::OnAddChild(CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    if (!owner || !message)
        return;
    // A script may send any pointer: only one of this window's children is used.
    void* added = message->Ptr(kWindowType, nullptr);
    if (IsChildPointer(owner, added))
        Forward(owner, static_cast<CKVQWindow*>(added));
}

void CRenderObject_SelectKVQWindowLogic::OnDeleteChild(CKVQWindow*, CKVQMessage*, CKVQWindow*) {}

void CRenderObject_SelectKVQWindowLogic::OnLClickDown(CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    if (owner)
        DeselectChildren(owner);
}

void CRenderObject_SelectKVQWindowLogic::OnSelectChild(CKVQWindow* owner, CKVQMessage*, CKVQWindow* sender)
{
    if (!owner)
        return;
    if (!sender || !sender->IsCanBeSelected()) {
        DeselectChildren(owner);
        return;
    }
    const uint32_t chosen = sender->GetWindowHandle();
    if (!IsCanMultiSelected)
        DeselectChildren(owner);
    // The deselection's handlers may have deleted the chosen window meanwhile.
    if (CKVQWindow* still = CKVQWindow::FromHandle(chosen); still && !owner->IsDeleted())
        still->SetSelected(1);
}

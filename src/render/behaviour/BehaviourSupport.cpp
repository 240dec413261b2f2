#include "render/behaviour/BehaviourSupport.h"

#include "ui/Window.h"

namespace behaviour {

std::vector<uint32_t> ChildHandles(const CKVQWindow* window)
{
    std::vector<uint32_t> handles;
    if (!window)
        return handles;
    for (CKVQWindow* child = window->GetFirstChild(); child; child = child->GetNextSibling())
        handles.push_back(child->GetWindowHandle());
    return handles;
}

CKVQWindow* ChildStill(const CKVQWindow* window, uint32_t handle)
{
    CKVQWindow* child = CKVQWindow::FromHandle(handle);
    return child && window && child->GetParent() == window && !child->IsDeleted() ? child : nullptr;
}

void DeselectChildren(CKVQWindow* window)
{
    for (uint32_t handle : ChildHandles(window)) {
        if (window->IsDeleted())
            return;
        if (CKVQWindow* child = ChildStill(window, handle))
            child->SetSelected(0);
    }
}

bool IsChildPointer(const CKVQWindow* window, const void* pointer)
{
    if (!window || !pointer)
        return false;
    for (CKVQWindow* child = window->GetFirstChild(); child; child = child->GetNextSibling()) {
        if (child == pointer)
            return true;
    }
    return false;
}

}  // namespace behaviour

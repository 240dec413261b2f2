#pragma once
// What the behaviour components share: they draw nothing, each class has one attribute table,
// their handlers are member functions, and the ones that act on a window's children walk them by
// handle, because the messages they send on the way (selection changes, moves) may add, delete or
// re-order children.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "io/EditHook.h"
#include "render/Render.h"

class CKVQMessage;
class CKVQWindow;

namespace behaviour {

// Editor widget kinds of the attribute descriptions.
constexpr int32_t kEditPlain = 0;
constexpr int32_t kEditText = 1;
constexpr int32_t kEditCheck = 2;
constexpr int32_t kEditChoice = 3;
constexpr int32_t kEditCommands = 5;
constexpr int32_t kEditFile = 7;
constexpr int32_t kEditSlider = 9;
constexpr const char* kBoolHint = "false|true|";

// The handlers of a behaviour component: (the receiving window, the message, the sender).
template <class T>
using Member = void (T::*)(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);

// The base of the six: no drawing, the class's process-wide attribute table, its size, its factory,
// and member functions registered as handlers.
template <class T>
class CBehaviourRender : public IRender {
public:
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(T); }
    static IRender* Create() { return new T; }

protected:
    template <Member<T> handler>
    void Handle(const char* name)
    {
        RegisterHandler(name, [](IRender* self, const char*, CKVQWindow* owner, CKVQMessage* message,
                                 CKVQWindow* sender) { (static_cast<T*>(self)->*handler)(owner, message, sender); });
    }
};

// The handles of window's children, in child order.
std::vector<uint32_t> ChildHandles(const CKVQWindow* window);
// The child a handle names while it is still a child of window; null otherwise.
CKVQWindow* ChildStill(const CKVQWindow* window, uint32_t handle);
// Deselects every child of window (windows that cannot be selected are left alone).
void DeselectChildren(CKVQWindow* window);
// Whether pointer names a child of window, found without reading through the pointer (message
// parameters can carry pointers to windows that are gone).
bool IsChildPointer(const CKVQWindow* window, const void* pointer);

}  // namespace behaviour

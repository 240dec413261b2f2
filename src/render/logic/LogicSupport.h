#pragma once
// Pieces shared by the logic components: stored lists of owned items, cached target windows, the
// editor group of an item list and the message handlers of the script-driven logics.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "render/Render.h"
#include "ui/Message.h"
#include "ui/Window.h"

class CKVQMessage;

namespace logic_support {

// Stores or loads a list of owned items. A load is read into a fresh list and takes the place of
// the old one only at the end, so the items in use stay valid while it runs.
template <class T>
void TransferOwnedList(CIArchive& ar, const char* name, int32_t minItemBytes, std::vector<std::unique_ptr<T>>& items,
                       void (*transfer)(CIArchive&, T&))
{
    std::vector<std::unique_ptr<T>> loaded;
    std::vector<std::unique_ptr<T>>& list = ar.IsLoading() ? loaded : items;
    auto count = static_cast<int32_t>(list.size());
    TransferList(ar, name, count, minItemBytes, [&](int32_t i) {
        if (ar.IsLoading())
            list.push_back(std::make_unique<T>());
        transfer(ar, *list[static_cast<size_t>(i)]);
        return true;
    });
    if (ar.IsLoading())
        items.swap(loaded);
}

// The window a cached handle names; when none is cached yet, the one resolve(window) finds,
// whose handle is then kept.
template <class Resolve>
CKVQWindow* ResolveCached(uint32_t& handle, CKVQWindow* window, Resolve&& resolve)
{
    if (handle != 0)
        return CKVQWindow::FromHandle(handle);
    CKVQWindow* target = resolve(window);
    if (target)
        handle = target->GetWindowHandle();
    return target;
}

// Opens the group of a component's item list. The items live outside the object: one
// process-wide table cannot address them, so the runtime table leaves them out (an external
// editor still sees them).
inline void BeginItemList(CIEditHook& hook, void* list, const char* name)
{
    constexpr int32_t kEditPlain = 0;
    const bool runtimeTable = dynamic_cast<CKVQEditHook*>(&hook) != nullptr;
    hook.BeginGroup(list, name, kEditPlain, "", nullptr, nullptr, 0, runtimeTable);
    hook.EnterGroup();
}

// The editor's commands on a component's item list, with the component's own clipboard (which
// holds one item's record): with item < 0, addCommand appends a new item and "Paste" appends the
// clipboard's; on an item, "Delete" removes it and "Copy" puts it on the clipboard, written with
// record version copyVersion when one is given. False for anything else.
template <class T>
bool ItemListCommand(std::vector<std::unique_ptr<T>>& items, CKVQMessage& clipboard, const char* command,
                     int32_t item, const char* addCommand, void (*transfer)(CIArchive&, T&), int32_t copyVersion = -1)
{
    if (!command)
        return false;
    if (item < 0) {
        if (std::strcmp(command, addCommand) == 0) {
            items.push_back(std::make_unique<T>());
            return true;
        }
        if (std::strcmp(command, "Paste") != 0 || clipboard.GetSize() == 0)
            return false;
        clipboard.setMode(CIArchive::SM_READ);
        auto pasted = std::make_unique<T>();
        transfer(clipboard, *pasted);
        if (clipboard.GetError() != 0)
            return false;
        items.push_back(std::move(pasted));
        return true;
    }
    if (static_cast<size_t>(item) >= items.size())
        return false;
    if (std::strcmp(command, "Delete") == 0) {
        items.erase(items.begin() + item);
        return true;
    }
    if (std::strcmp(command, "Copy") == 0) {
        clipboard.Buffer().Reset();
        clipboard.setMode(CIArchive::SM_WRITE);
        if (copyVersion >= 0)
            clipboard.SetVersion(static_cast<uint8_t>(copyVersion));
        transfer(clipboard, *items[static_cast<size_t>(item)]);
        return true;
    }
    return false;
}

// Hands a message to a script logic's Call unless the owner was deleted first.
template <class T>
void CallUnlessOwnerDeleted(T& logic, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
{
    if (owner && owner->IsDeleted())
        return;
    logic.Call(name, owner, message, sender);
}

// The handler registered for a script logic's entries.
template <class T>
void CallEntry(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
{
    static_cast<T*>(self)->Call(name, owner, message, sender);
}

}  // namespace logic_support

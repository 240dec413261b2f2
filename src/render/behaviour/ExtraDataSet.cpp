#include "render/behaviour/ExtraDataSet.h"

#include <cstdio>
#include <utility>

#include "io/Archive.h"
#include "render/RenderDisposal.h"
#include "ui/Message.h"
#include "ui/Window.h"

using namespace behaviour;

namespace {

using DataSet = CRenderObject_ExtraDataSet;

constexpr const char* kOnLoad = "OnLoad";

template <int32_t slot>
void OnValueSet(void* object, const char*, int32_t)
{
    if (auto* set = static_cast<DataSet*>(object))
        set->Announce(slot);
}

template <size_t... slots>
constexpr std::array<AttributeCallback, sizeof...(slots)> ValueCallbacks(std::index_sequence<slots...>)
{
    return {&OnValueSet<static_cast<int32_t>(slots)>...};
}

constexpr auto kValueSet = ValueCallbacks(std::make_index_sequence<DataSet::kSlotCount>());

}  // namespace

CRenderObject_ExtraDataSet::CRenderObject_ExtraDataSet()
{
    Handle<&DataSet::OnLoad>(kOnLoad);
}

void CRenderObject_ExtraDataSet::TransferRecord(CIArchive& ar)
{
    for (int32_t i = 0; i < kSlotCount; ++i) {
        Slot& slot = ExtraData[static_cast<size_t>(i)];
        char name[40];
        auto field = [&](const char* part) {
            std::snprintf(name, sizeof name, "ExtraData[%d].%s", static_cast<int>(i), part);
            return name;
        };
        ar.String(slot.Name, field("Name"));
        ar.String(slot.Value, field("Value"));
        ar.String(slot.TransMsg, field("TransMsg"));
    }
}

void CRenderObject_ExtraDataSet::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    for (int32_t i = 0; i < kSlotCount; ++i) {
        Slot& slot = ExtraData[static_cast<size_t>(i)];
        char group[24];
        std::snprintf(group, sizeof group, "ExtraData[%d]", static_cast<int>(i));
        hook.BeginGroup(&slot, group, kEditPlain, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.String(&slot.Name, "Name", kEditText, "", nullptr, nullptr, 0);
        hook.String(&slot.Value, "Value", kEditText, "", kValueSet[static_cast<size_t>(i)], this, 0);
        hook.String(&slot.TransMsg, "TransMsg", kEditText, "", nullptr, nullptr, 0);
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
}

void CRenderObject_ExtraDataSet::Announce(int32_t slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    const uint32_t bit = 1u << slot;
    CKVQWindow* owner = GetOwner();
    const CKVQString message = ExtraData[static_cast<size_t>(slot)].TransMsg;
    if (!owner || owner->IsDeleted() || message.IsEmpty() || (announcing_ & bit) != 0)
        return;
    RenderDispatchScope scope;  // this object outlives the handlers, even one that removes it
    announcing_ |= bit;
    CKVQMessage empty;
    owner->ProcMessage(message.c_str(), &empty, owner);
    announcing_ &= ~bit;
}

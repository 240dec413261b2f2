#include "render/logic/TimerLogic.h"

#include <cstdint>
#include <cstring>

#include "io/Archive.h"
#include "io/EditHook.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

constexpr int32_t kEditPlain = 0;
constexpr int32_t kEditText = 1;

constexpr const char* kOnLoad = "OnLoad";

void OnLoadHandler(IRender* self, const char*, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    static_cast<CRenderObject_TimerLogic*>(self)->Start(owner);
}

// One handler serves both names: a trigger and a cancel message may be the same name.
void TriggerHandler(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    auto* logic = static_cast<CRenderObject_TimerLogic*>(self);
    if (std::strcmp(name, logic->TriggerMsg.c_str()) == 0)
        logic->StartTimer(owner);
    else if (std::strcmp(name, logic->CancelMsg.c_str()) == 0)
        logic->StopTimer();
}

void OnTimingChanged(void* object, const char*, int32_t)
{
    if (auto* logic = static_cast<CRenderObject_TimerLogic*>(object))
        logic->RegisterTrigger();
}

}  // namespace

CRenderObject_TimerLogic::CRenderObject_TimerLogic()
{
    RegisterHandler(kOnLoad, &OnLoadHandler);
}

CRenderObject_TimerLogic::~CRenderObject_TimerLogic()
{
    StopTimer();
}

CKVQEditHook& CRenderObject_TimerLogic::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_TimerLogic::TransferRecord(CIArchive& ar)
{
    ar.UInt32(Delay, "Delay");
    ar.Int32(Interval, "Interval");
    ar.Int32(Count, "Count");
    ar.String(TransMsg, "TransMsg");
    ar.String(TriggerMsg, "TriggerMsg");
    ar.String(CancelMsg, "CancelMsg");
}

void CRenderObject_TimerLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.UInt32(&Delay, "Delay", kEditText, "", &OnTimingChanged, this, 0);
    hook.Int32(&Interval, "Interval", kEditText, "", &OnTimingChanged, this, 0);
    hook.Int32(&Count, "Count", kEditText, "", &OnTimingChanged, this, 0);
    hook.String(&TriggerMsg, "TriggerMsg", kEditText, "", nullptr, nullptr, 0);
    hook.String(&CancelMsg, "CancelMsg", kEditText, "", nullptr, nullptr, 0);
    hook.String(&TransMsg, "TransMsg", kEditText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
}

void CRenderObject_TimerLogic::Start(CKVQWindow* window)
{
    if (!IsEnabled() || TriggerMsg.IsEmpty())
        return;
    if (std::strcmp(TriggerMsg.c_str(), kOnLoad) == 0) {
        // A timer started by the load can still be cancelled.
        if (!CancelMsg.IsEmpty())
            RegisterHandler(CancelMsg.c_str(), &TriggerHandler);
        StartTimer(window);
        return;
    }
    RegisterTrigger();
}

void CRenderObject_TimerLogic::RegisterTrigger()
{
    if (!TriggerMsg.IsEmpty())
        RegisterHandler(TriggerMsg.c_str(), &TriggerHandler);
    if (!CancelMsg.IsEmpty())
        RegisterHandler(CancelMsg.c_str(), &TriggerHandler);
}

bool CRenderObject_TimerLogic::StartTimer(CKVQWindow* window)
{
    if (!window || window->IsDeleted() || !IsEnabled())
        return false;
    // The timer system counts its delay in a signed number: longer delays are its longest.
    const int32_t delay = Delay > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(Delay);
    timerId = CKVQTimerSystem::Instance().SetTimer(window, TransMsg.c_str(), Interval, static_cast<uint32_t>(Count),
                                                   delay);
    return timerId != 0;
}

void CRenderObject_TimerLogic::StopTimer()
{
    if (timerId != 0)
        CKVQTimerSystem::Instance().KillTimer(timerId);
    timerId = 0;
}

#pragma once
// A logic component that runs a timer for its window: a trigger message starts (or restarts) it,
// a cancel message kills it, and every tick sends TransMsg to the window through the timer
// system. A trigger of "OnLoad" starts the timer as soon as the window loads.

#include <cstdint>

#include "render/Render.h"

class CKVQWindow;

class CRenderObject_TimerLogic : public IRender {
public:
    static constexpr const char* kClassName = "TimerLogic";

    CRenderObject_TimerLogic();
    ~CRenderObject_TimerLogic() override;  // kills the timer

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_TimerLogic); }

    static IRender* Create() { return new CRenderObject_TimerLogic; }

    // The load start-up: starts the timer at once or registers the trigger and cancel handlers.
    void Start(CKVQWindow* window);
    // Registers the trigger and cancel handlers (the editor does when the timing changes).
    void RegisterTrigger();
    // Starts or restarts the timer for window; false when the component is disabled.
    bool StartTimer(CKVQWindow* window);
    void StopTimer();
    // Whether the timer can run at all: a message to send and a positive interval.
    bool IsEnabled() const { return Interval > 0 && !TransMsg.IsEmpty(); }

    uint32_t Delay = 0;
    int32_t Interval = 100;
    int32_t Count = 0;
    CKVQString TriggerMsg;
    CKVQString CancelMsg;
    CKVQString TransMsg;
    uint32_t timerId = 0;  // run time
};

#pragma once
// Timers: named messages sent to windows at intervals of engine (frame) time, optionally after a
// delay, a given number of times, followed by "OnTimerEnd"; sub-timers take over when their parent
// ends. Timers are addressed by handle; a released timer's handle stops resolving.

#include <cstdint>

class CKVQMessage;
class CKVQWindow;

class CKVQTimerSystem {
public:
    static CKVQTimerSystem& Instance();

    // Starts or restarts the timer (window, name); returns its id (0 when it cannot be made).
    uint32_t SetTimer(CKVQWindow* window, const char* name, int32_t interval, uint32_t count, int32_t delay,
                      CKVQMessage* message = nullptr);
    // A timer that starts when the parent ends; 0 when the parent does not exist.
    uint32_t AddSubTimer(uint32_t parent, CKVQWindow* window, const char* name, int32_t interval, uint32_t count,
                         int32_t delay, CKVQMessage* message = nullptr);
    // Releases the timer and its chain of sub-timers.
    void KillTimer(uint32_t id);
    uint32_t GetTimerLeftCount(uint32_t id) const;
    uint32_t GetTriggeredCount(uint32_t id) const;
    bool IsTimerEnd(uint32_t id) const;
    // Advances every active timer by the elapsed engine milliseconds (once per tick).
    void Update(int32_t elapsed);
    // Releases every timer (tests).
    void Clear();
};

// The tick's timer step.
void KVQAPI_UpdateTimer(int32_t elapsed);

#pragma once
// Timers: named messages sent to windows at intervals of engine (frame) time, optionally after a
// delay, a given number of times, followed by "OnTimerEnd"; sub-timers take over when their parent
// ends. Timers are addressed by handle; a released timer's handle stops resolving.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/HandleTable.h"

class CKVQMessage;
class CKVQWindow;

class CKVQTimerSystem {
public:
    // Longest message name a timer keeps; longer names are cut.
    static constexpr uint32_t kNameMax = 31;

    static CKVQTimerSystem& Instance();

    CKVQTimerSystem();
    CKVQTimerSystem(const CKVQTimerSystem&) = delete;
    CKVQTimerSystem& operator=(const CKVQTimerSystem&) = delete;
    ~CKVQTimerSystem();

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
    // New interval and remaining count for a live timer; the collected time starts again from 0.
    void SetTimer1(uint32_t id, int32_t interval, uint32_t count);
    // Advances every active timer by the elapsed engine milliseconds (once per tick).
    void Update(int32_t elapsed);
    // Releases every timer (tests).
    void Clear();

    // Live timer records (started, waiting as sub-timers or pending), for tests and tools.
    uint32_t GetTimerCount() const { return handles_.LiveCount(); }

private:
    // What Update reads and writes for every timer on every tick, in one dense array indexed by
    // handle slot, so that an update walks as little memory as possible.
    struct Clock {
        uint32_t handle = 0;  // 0 while the slot is free
        int32_t accumulator = 0;
        int32_t interval = 0;
        // While stale entries may alias live timers: the update that last advanced this timer (its
        // serial), or whose clean-up kept its list entry (the serial with the top bit set), so
        // that a timer is advanced at most once per update and listed once.
        uint32_t stamp = 0;
    };
    // What a trigger and the queries use, in a second array by the same slot.
    struct Timer {
        uint32_t window = 0;  // 0 once the timer has ended
        uint32_t remaining = 0;
        uint32_t triggered = 0;
        uint32_t next = 0;
    };
    struct Record;

    // Timer state by id; null when the id does not resolve. Invalidated by any timer creation.
    Timer* Find(uint32_t id);
    const Timer* Find(uint32_t id) const;
    // The clock of a timer that Find resolved.
    Clock& ClockOf(uint32_t id) { return clocks_[HandleTable<Record>::SlotIndex(id)]; }
    uint32_t Create(CKVQWindow* window, const char* name, int32_t interval, uint32_t count, int32_t delay,
                    CKVQMessage* message);
    void Release(uint32_t id);
    void Free(Record* record);
    // A timer whose collected time reached its interval: the entry at index may be replaced by
    // its sub-timer.
    void Trigger(size_t index);

    HandleTable<Record> handles_;
    std::vector<Clock> clocks_;
    std::vector<Timer> timers_;
    std::vector<uint32_t> active_;
    std::vector<uint32_t> pending_;
    // Every live record, so that Clear and the destructor reach sub-timers that wait in no list.
    std::vector<Record*> records_;
    // Records released while Update runs: a handler may still be reading their message, so they
    // are freed when the update is over.
    std::vector<Record*> retired_;
    bool updating_ = false;
    // Something was released or ended since the active list was last cleaned up.
    bool listChanged_ = false;
    // A slot handed out again with its first generation: a stale list entry may now name a live
    // timer, so the next update looks out for timers listed twice.
    bool mayAlias_ = false;
    uint32_t issuedSlots_ = 0;
    uint32_t updateSerial_ = 0;
};

// The tick's timer step.
void KVQAPI_UpdateTimer(int32_t elapsed);
// The script globals: SetTimer on the process-wide timers, and the interval/count reset.
uint32_t KVQAPI_SetTimer(CKVQWindow* window, const char* name, int32_t interval, uint32_t count, int32_t delay,
                         CKVQMessage* message = nullptr);
void KVQAPI_SetTimer1(uint32_t id, int32_t interval, uint32_t count);

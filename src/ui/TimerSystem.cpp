#include "ui/TimerSystem.h"

#include <cstring>
#include <limits>
#include <type_traits>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "io/Archive.h"
#include "script/LuaHost.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr const char* kOnTimerEnd = "OnTimerEnd";
constexpr const char* kMessageClass = "CKVQMessage";
// The mark of a list entry dropped during an update: slot 1 with generation 0, which no handle
// ever has, so it never resolves (the clock array always has that slot).
constexpr uint32_t kDroppedEntry = 1;
constexpr size_t kMinimumSlots = 2;

// Update serials use 31 bits; the top bit marks a stamp left by the clean-up of the list.
constexpr uint32_t kSerialMask = 0x7FFFFFFFu;

// Timer arithmetic saturates instead of wrapping: a timer that never ends keeps collecting time
// for as long as the game runs, and hostile intervals and delays must not overflow.
int32_t SaturatingAdd(int32_t a, int32_t b)
{
    int32_t sum;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
    return sum;
}

int32_t Saturate(int64_t value)
{
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

lua_State* ScriptState()
{
    CKVQLuaHost* host = GetCurrentHost();
    return host != nullptr ? host->GetState() : nullptr;
}

// Whether the registry entry ref holds this message's script object (a reference taken in an
// interpreter that has been closed since may name anything in the new one).
bool HoldsMessage(lua_State* L, int32_t ref, CKVQMessage* message)
{
    if (ref <= 0)
        return false;
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    const bool held = lua_type(L, -1) == LUA_TUSERDATA && *static_cast<void**>(lua_touserdata(L, -1)) == message;
    lua_pop(L, 1);
    return held;
}

// The timer's message reaches handlers as one script object for the timer's whole life, so
// scripts see the same userdata on every trigger.
void MakeScriptObject(CKVQMessage& message)
{
    lua_State* L = ScriptState();
    if (L == nullptr)
        return;
    if (message.GetScriptRef() != -1 && HoldsMessage(L, message.GetScriptRef(), &message))
        return;
    message.SetScriptRef(GetCurrentHost()->RefObject(&message, kMessageClass));
}

// Timers come and go every frame: each gives its registry reference back, so the registry does
// not grow with them.
void DropScriptObject(CKVQMessage& message)
{
    lua_State* L = ScriptState();
    if (L != nullptr && HoldsMessage(L, message.GetScriptRef(), &message))
        GetCurrentHost()->Unref(message.GetScriptRef());
    message.SetScriptRef(-1);
}

}  // namespace

// The parts of a timer that an update reads only when it triggers.
struct CKVQTimerSystem::Record {
    uint32_t id = 0;
    char name[kNameMax + 1] = {};
    size_t slot = 0;  // position in records_
    CKVQMessage message{CKVQMessage::kEventCapacity};
};

CKVQTimerSystem& CKVQTimerSystem::Instance()
{
    // Never destroyed: windows and scripts may still start or kill timers during static
    // destruction.
    static CKVQTimerSystem* system = new CKVQTimerSystem;
    return *system;
}

CKVQTimerSystem::CKVQTimerSystem() : clocks_(kMinimumSlots), timers_(kMinimumSlots) {}

CKVQTimerSystem::~CKVQTimerSystem()
{
    for (Record* record : records_)
        Free(record);
    for (Record* record : retired_)
        Free(record);
}

CKVQTimerSystem::Timer* CKVQTimerSystem::Find(uint32_t id)
{
    const uint32_t slot = HandleTable<Record>::SlotIndex(id);
    if (id == 0 || slot >= clocks_.size() || clocks_[slot].handle != id)
        return nullptr;
    return &timers_[slot];
}

const CKVQTimerSystem::Timer* CKVQTimerSystem::Find(uint32_t id) const
{
    return const_cast<CKVQTimerSystem*>(this)->Find(id);
}

uint32_t CKVQTimerSystem::Create(CKVQWindow* window, const char* name, int32_t interval, uint32_t count,
                                 int32_t delay, CKVQMessage* message)
{
    auto* record = new Record;
    const uint32_t id = handles_.Enter(record);
    if (id == 0) {
        delete record;
        return 0;
    }
    const uint32_t slot = HandleTable<Record>::SlotIndex(id);
    if (slot < issuedSlots_ && HandleTable<Record>::Generation(id) == 1)
        mayAlias_ = true;
    if (slot >= issuedSlots_)
        issuedSlots_ = slot + 1;
    if (slot >= clocks_.size()) {
        clocks_.resize(slot + 1);
        timers_.resize(slot + 1);
    }
    Clock& clock = clocks_[slot];
    clock = Clock{};
    clock.handle = id;
    clock.interval = interval;
    clock.accumulator = Saturate(static_cast<int64_t>(interval) - delay);
    Timer& timer = timers_[slot];
    timer = Timer{};
    timer.window = window->GetWindowHandle();
    timer.remaining = count;

    record->id = id;
    std::strncpy(record->name, name != nullptr ? name : "", kNameMax);
    if (message != nullptr)
        record->message.Copy(*message);
    record->message.setSystemData(id);
    record->slot = records_.size();
    records_.push_back(record);
    return id;
}

uint32_t CKVQTimerSystem::SetTimer(CKVQWindow* window, const char* name, int32_t interval, uint32_t count,
                                   int32_t delay, CKVQMessage* message)
{
    if (window == nullptr || window->IsDeleted())
        return 0;
    if (name == nullptr)
        name = "";
    // A timer of this window and name restarts, running or still waiting for its first update:
    // a second one would be out of reach of everyone who holds the first id.
    const uint32_t owner = window->GetWindowHandle();
    for (const std::vector<uint32_t>* list : {&active_, &pending_}) {
        for (uint32_t id : *list) {
            Timer* timer = Find(id);
            if (timer == nullptr || timer->window != owner)
                continue;
            Record* record = handles_.Lookup(id);
            if (std::strcmp(record->name, name) != 0)
                continue;
            timer->remaining = count;
            ClockOf(id).interval = interval;
            ClockOf(id).accumulator = Saturate(static_cast<int64_t>(interval) - delay);
            if (message != nullptr)
                record->message.Copy(*message);
            record->message.setSystemData(id);
            return id;
        }
    }
    const uint32_t id = Create(window, name, interval, count, delay, message);
    if (id != 0)
        pending_.push_back(id);
    return id;
}

uint32_t CKVQTimerSystem::AddSubTimer(uint32_t parent, CKVQWindow* window, const char* name, int32_t interval,
                                      uint32_t count, int32_t delay, CKVQMessage* message)
{
    if (Find(parent) == nullptr || window == nullptr || window->IsDeleted())
        return 0;
    const uint32_t id = Create(window, name, interval, count, delay, message);
    if (id == 0)
        return 0;
    Timer* timer = Find(parent);
    const uint32_t replaced = timer->next;
    timer->next = id;
    // A sub-timer that lost its link could never start again: it goes with its own chain.
    KillTimer(replaced);
    return id;
}

void CKVQTimerSystem::KillTimer(uint32_t id)
{
    // Links only ever point at timers made after their parent, so the chain has no cycle; every
    // timer visited is released, so the walk ends even when a stale link resolves again.
    while (const Timer* timer = Find(id)) {
        const uint32_t released = id;
        id = timer->next;
        Release(released);
    }
}

uint32_t CKVQTimerSystem::GetTimerLeftCount(uint32_t id) const
{
    const Timer* timer = Find(id);
    return timer != nullptr ? timer->remaining : 0;
}

uint32_t CKVQTimerSystem::GetTriggeredCount(uint32_t id) const
{
    const Timer* timer = Find(id);
    return timer != nullptr ? timer->triggered : 0;
}

bool CKVQTimerSystem::IsTimerEnd(uint32_t id) const
{
    const Timer* timer = Find(id);
    return timer == nullptr || timer->remaining == 0;
}

void CKVQTimerSystem::SetTimer1(uint32_t id, int32_t interval, uint32_t count)
{
    if (Timer* timer = Find(id)) {
        ClockOf(id).interval = interval;
        ClockOf(id).accumulator = 0;
        timer->remaining = count;
    }
}

void CKVQTimerSystem::Release(uint32_t id)
{
    Record* record = handles_.Lookup(id);
    Timer* timer = Find(id);
    if (record == nullptr || timer == nullptr)
        return;
    handles_.Remove(id);
    ClockOf(id).handle = 0;
    listChanged_ = true;
    Record* last = records_.back();
    last->slot = record->slot;
    records_[record->slot] = last;
    records_.pop_back();
    if (updating_)
        retired_.push_back(record);
    else
        Free(record);
}

void CKVQTimerSystem::Free(Record* record)
{
    DropScriptObject(record->message);
    delete record;
}

void CKVQTimerSystem::Clear()
{
    while (!records_.empty())
        Release(records_.back()->id);
    active_.clear();
    pending_.clear();
}

void CKVQTimerSystem::Trigger(size_t index)
{
    const uint32_t id = active_[index];
    Timer* timer = Find(id);
    if (timer->remaining == 0) {
        // A timer of count 0 never ends; once its window is gone nothing can use it or its chain.
        if (CKVQWindow::FromHandle(timer->window) == nullptr)
            KillTimer(id);
        return;
    }
    Clock& clock = ClockOf(id);
    clock.accumulator = Saturate(static_cast<int64_t>(clock.accumulator) - clock.interval);
    --timer->remaining;
    ++timer->triggered;

    if (CKVQWindow* owner = CKVQWindow::FromHandle(timer->window)) {
        // The record stays allocated until the update is over, so the message and the name outlive
        // a handler that kills the timer.
        Record& record = *handles_.Lookup(id);
        CKVQMessage& message = record.message;
        MakeScriptObject(message);
        message.setMode(CIArchive::SM_READ);
        owner->ProcMessage(record.name, &message, owner);
        // Handlers may have killed, restarted or re-timed the timer, deleted the window, or made
        // timers (which moves the timer array).
        timer = Find(id);
        if (timer == nullptr)
            return;
        if (timer->remaining == 0) {
            if (CKVQWindow* still = CKVQWindow::FromHandle(timer->window)) {
                message.setMode(CIArchive::SM_READ);
                still->ProcMessage(kOnTimerEnd, &message, still);
                timer = Find(id);
                if (timer == nullptr)
                    return;
            }
        }
    } else if (timer->next == 0) {
        // The window is gone and no sub-timer waits for this one: nothing could ever be delivered.
        timer->window = 0;
        listChanged_ = true;
        return;
    }

    if (timer->remaining == 0) {
        timer->window = 0;
        listChanged_ = true;
        if (timer->next != 0 && index < active_.size()) {
            active_[index] = timer->next;
            Release(id);
        }
    }
}

void CKVQTimerSystem::Update(int32_t elapsed)
{
    // A handler that reached the tick's timer step again would advance the same tick twice.
    if (updating_)
        return;
    updating_ = true;
    updateSerial_ = (updateSerial_ + 1) & kSerialMask;
    if (updateSerial_ == 0)
        updateSerial_ = 1;
    const uint32_t serial = updateSerial_;
    const uint32_t keptMark = serial | ~kSerialMask;

    active_.insert(active_.end(), pending_.begin(), pending_.end());
    pending_.clear();

    // Handlers add timers to the pending list only and release records without freeing them, so
    // the entries of the active list stay where they are while it is walked; but a trigger may
    // move the timer array (timers made) or empty the list (Clear). The walk therefore reads the
    // arrays afresh after every trigger, and between triggers runs over plain memory.
    // Only a slot that went through all its generations can make a stale entry name a live timer;
    // then (rarely) the walk stamps each timer it advances and the clean-up drops doubles.
    const bool careful = mayAlias_;
    mayAlias_ = false;
    if (careful)
        listChanged_ = true;
    auto walk = [&](auto stamped) {
        size_t i = 0;
        while (i < active_.size()) {
            uint32_t* entries = active_.data();
            const size_t count = active_.size();
            Clock* clocks = clocks_.data();
            for (; i < count; ++i) {
                // Every entry is an issued handle or the dropped mark: its slot is in the array.
                const uint32_t id = entries[i];
                Clock& clock = clocks[HandleTable<Record>::SlotIndex(id)];
                // (A timer that ended in this update was advanced already: it cannot pass here.)
                if (clock.handle != id)
                    continue;
                if constexpr (decltype(stamped)::value) {
                    if (clock.stamp == serial) {
                        entries[i] = kDroppedEntry;
                        continue;
                    }
                    clock.stamp = serial;
                }
                clock.accumulator = SaturatingAdd(clock.accumulator, elapsed);
                if (clock.accumulator >= clock.interval) {
                    Trigger(i);
                    ++i;
                    break;
                }
            }
        }
    };
    if (careful)
        walk(std::true_type{});
    else
        walk(std::false_type{});

    if (listChanged_) {
        listChanged_ = false;
        size_t kept = 0;
        for (size_t i = 0; i < active_.size(); ++i) {
            uint32_t id = active_[i];
            Timer* timer = Find(id);
            if (timer != nullptr && timer->window == 0) {
                // A sub-timer added to an ended timer by a later handler takes over like any other.
                const uint32_t ended = id;
                id = timer->next;
                Release(ended);
                timer = Find(id);
            }
            if (timer == nullptr || ClockOf(id).stamp == keptMark)
                continue;
            ClockOf(id).stamp = keptMark;
            active_[kept++] = id;
        }
        active_.resize(kept);
        listChanged_ = false;
    }

    updating_ = false;
    std::vector<Record*> retired;
    retired.swap(retired_);
    for (Record* record : retired)
        Free(record);
}

void KVQAPI_UpdateTimer(int32_t elapsed)
{
    CKVQTimerSystem::Instance().Update(elapsed);
}

uint32_t KVQAPI_SetTimer(CKVQWindow* window, const char* name, int32_t interval, uint32_t count, int32_t delay,
                         CKVQMessage* message)
{
    return CKVQTimerSystem::Instance().SetTimer(window, name, interval, count, delay, message);
}

void KVQAPI_SetTimer1(uint32_t id, int32_t interval, uint32_t count)
{
    CKVQTimerSystem::Instance().SetTimer1(id, interval, count);
}

#include "render/SharedTimer.h"

#include <map>

#include "ui/TimerSystem.h"

namespace {

// How many objects hold each timer.
std::map<uint32_t, int32_t>& Holders()
{
    static std::map<uint32_t, int32_t> holders;
    return holders;
}

}  // namespace

void HoldSharedTimer(uint32_t& held, CKVQWindow* owner, const char* name, int32_t interval, uint32_t count,
                     int32_t delay)
{
    const uint32_t id = CKVQTimerSystem::Instance().SetTimer(owner, name, interval, count, delay);
    if (id == held)
        return;  // restarted: the same timer, already counted
    ReleaseSharedTimer(held);
    held = id;
    if (id != 0)
        ++Holders()[id];
}

void ReleaseSharedTimer(uint32_t& held)
{
    const uint32_t id = held;
    held = 0;
    if (id == 0)
        return;
    auto found = Holders().find(id);
    if (found != Holders().end() && --found->second > 0)
        return;
    if (found != Holders().end())
        Holders().erase(found);
    CKVQTimerSystem::Instance().KillTimer(id);
}

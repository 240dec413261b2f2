#include "platform/Clock.h"

#include <chrono>

namespace platform {

namespace {

bool virtualOn = false;
uint32_t virtualNow = 0;

uint32_t RealMilliseconds()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

}  // namespace

uint32_t NowMilliseconds()
{
    return virtualOn ? virtualNow : RealMilliseconds();
}

void SetVirtualClock(bool on)
{
    if (on && !virtualOn)
        virtualNow = RealMilliseconds();
    virtualOn = on;
}

bool IsVirtualClock()
{
    return virtualOn;
}

void AdvanceVirtualClock(uint32_t milliseconds)
{
    virtualNow += milliseconds;  // wraps like the real count
}

}  // namespace platform

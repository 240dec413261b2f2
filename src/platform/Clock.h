#pragma once
// The platform clock: milliseconds as an unsigned 32-bit count that wraps. Headless runs switch
// to a virtual clock that moves only when told to, so that runs are reproducible.

#include <cstdint>

namespace platform {
uint32_t NowMilliseconds();
// Virtual time starts where the real clock stood when it was switched on.
void SetVirtualClock(bool on);
bool IsVirtualClock();
void AdvanceVirtualClock(uint32_t milliseconds);
}  // namespace platform

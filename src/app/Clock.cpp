#include "app/Clock.h"

#include "app/CoreCfg.h"
#include "platform/Clock.h"

namespace {

// Ticks run so far; kept unsigned so that a very long run wraps instead of overflowing.
uint32_t frameCounter = 0;
bool haveFirstSystemTime = false;
uint32_t firstSystemTime = 0;

}  // namespace

uint32_t KVQAPI_timeGetSystemTime()
{
    const uint32_t now = platform::NowMilliseconds();
    // A flag rather than "0 = not read yet": the platform clock may well read 0.
    if (!haveFirstSystemTime) {
        firstSystemTime = now;
        haveFirstSystemTime = true;
    }
    return now - firstSystemTime;
}

uint32_t KVQAPI_timeGetTime()
{
    return frameCounter * GetCoreCfg().nFrameInterval;
}

uint32_t KVQAPI_GetFrameTime()
{
    return GetCoreCfg().nFrameInterval;
}

void KVQAPI_SetFrameInterval(uint32_t milliseconds)
{
    GetCoreCfg().nFrameInterval = milliseconds;
}

int32_t GetFrameCounter()
{
    return static_cast<int32_t>(frameCounter);
}

void AdvanceFrameCounter()
{
    ++frameCounter;
}

void ResetClocks()
{
    frameCounter = 0;
    haveFirstSystemTime = false;
    firstSystemTime = 0;
}

#pragma once
// The engine clocks, in milliseconds: system time (since the first reading in this process) and
// frame time (ticks run so far x the tick interval; stands still while paused).

#include <cstdint>

uint32_t KVQAPI_timeGetSystemTime();
uint32_t KVQAPI_timeGetTime();
uint32_t KVQAPI_GetFrameTime();
void KVQAPI_SetFrameInterval(uint32_t milliseconds);

// The tick counter the frame loop advances.
int32_t GetFrameCounter();
void AdvanceFrameCounter();
void ResetClocks();  // tests

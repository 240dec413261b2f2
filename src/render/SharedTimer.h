#pragma once
// A timer that several render objects of one window share. The timer system gives a window one
// timer per message name (starting it again restarts it), so each object holds the timer's id and
// the timer is killed only when the last holder lets go: removing one object must not stop the
// others.

#include <cstdint>

class CKVQWindow;

// Starts (or restarts) owner's timer of that name and makes held name it, giving up the timer
// held before when the id changes (0 when the timer cannot be started).
void HoldSharedTimer(uint32_t& held, CKVQWindow* owner, const char* name, int32_t interval, uint32_t count,
                     int32_t delay);
// Gives up the timer held (killing it when no other holder is left); held becomes 0.
void ReleaseSharedTimer(uint32_t& held);

#pragma once
// Named events shared by name within the process: auto-reset (a successful wait takes the signal)
// and not signalled at creation. An empty name makes an event of this object alone.

#include <cstdint>
#include <memory>
#include <string>

class CKVQEvent {
public:
    static constexpr int32_t kInfinite = -1;

    // Creates the named event, or joins the one of that name that already exists. False when
    // this object already has an event.
    bool Initialize(const char* name);
    // Waits for a signal, at most timeout milliseconds (a negative timeout waits for ever).
    // True when signalled; false on timeout or without an event.
    bool Wait(int32_t timeout = kInfinite);
    void SetEvent();

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

// Arbitrary bytes as a replay file: parsing must never crash, a failure must leave no events and a
// message that names the line, and every event taken back must be one the window procedure knows,
// in non-decreasing tick order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/Replay.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ReplayScript script;
    std::string error;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!script.Parse(text, "fuzz.replay", error)) {
        Check(script.Events().empty());
        Check(error.rfind("fuzz.replay:", 0) == 0);
        return 0;
    }
    uint32_t lastTick = 0;
    for (const ReplayEvent& event : script.Events()) {
        Check(event.tick >= lastTick);
        Check(event.line >= 1);
        Check(event.event.kind != platform::EventKind::None);
        lastTick = event.tick;
    }
    // Taking everything back out, tick by tick, ends (a key-down may bring a character with it).
    platform::Event event;
    const size_t limit = 2 * script.Events().size();
    size_t taken = 0;
    for (const ReplayEvent& due : script.Events()) {
        while (taken <= limit && script.TakeDue(due.tick, event))
            ++taken;
    }
    while (taken <= limit && script.TakeDue(UINT32_MAX, event))
        ++taken;
    Check(taken <= 2 * script.Events().size());
    return 0;
}

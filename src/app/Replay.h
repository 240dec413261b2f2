#pragma once
// Recorded input for a run: a text file of one event a line, "TICK EVENT ARGS", fed through the
// shell's window procedure just before the numbered tick runs.
//
//   # a comment; blank lines are ignored
//   0 move 10 20          before the first tick
//   1 ldown 10 20         also ldbl, lup, rdown, rup, rdbl (X Y in client pixels)
//   3 wheel 10 20 -1      DELTA in notches (120 units each, as Windows reports them)
//   4 keydown 0x41        also keyup; a Windows virtual-key code, decimal or 0x hex (0-255);
//                         backspace, tab, enter and escape (0x08, 0x09, 0x0D, 0x1B) also type
//                         their character right after the key-down, as real keys do
//   5 text 你好           UTF-8 text: the rest of the line after one space, "#" included
//   6 minimize            also restore and quit
//
// Ticks count from 1 and must not decrease from one line to the next; "#" starts a comment on
// every line except in the text of a "text" event.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Video.h"

struct ReplayEvent {
    uint32_t tick = 0;
    int32_t line = 0;
    platform::Event event;
};

// Largest replay file read (a replay is typed or recorded text, never this large).
constexpr size_t kMaxReplayFileSize = size_t{16} << 20;
// Largest wheel movement a line may give, so that the delta fits its 16 bits.
constexpr int32_t kMaxWheelNotches = 273;
constexpr int32_t kWheelUnitsPerNotch = 120;
constexpr uint32_t kMaxVirtualKey = 255;

class ReplayScript {
public:
    // Reads and parses a file. On failure the script is empty and error reads
    // "FILE:LINE: what is wrong" (or names the file when it cannot be read).
    bool LoadFile(const std::string& path, std::string& error);
    // Parses text; fileName only names the source in messages.
    bool Parse(const std::string& text, const std::string& fileName, std::string& error);

    const std::vector<ReplayEvent>& Events() const { return events_; }
    bool Finished() const { return next_ >= events_.size() && pendingCharacter_.empty(); }
    // The next undelivered event due at or before tick (tick 0 events come before tick 1's);
    // false when there is none. The character a key-down types comes out on the next call.
    bool TakeDue(uint32_t tick, platform::Event& event);

private:
    std::vector<ReplayEvent> events_;
    size_t next_ = 0;
    std::string pendingCharacter_;  // typed by the key-down just delivered
};

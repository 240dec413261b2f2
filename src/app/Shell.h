#pragma once
// The process around the engine: the game window (or none, headless), the window procedure that
// maps platform events onto the engine's handlers, and the frame loop that handles waiting events
// first and attempts a tick only when none is waiting. Headless runs move a virtual clock by one
// tick interval per idle pass, so a run of N ticks is the same to the byte every time, unless
// they ask for the real clock.

#include <cstdint>
#include <functional>
#include <string>

#include "common/Types.h"
#include "platform/Video.h"

struct KVQCoreCfg;
class ReplayScript;

constexpr const char* kGameWindowTitle = "KVQGame v0.0000";
// Outer size allowance for the window frame and caption around the client area.
constexpr int32_t kWindowFrameAllowanceX = 8;
constexpr int32_t kWindowFrameAllowanceY = 30;
// Each idle pass of a windowed run sleeps this long, so an idle game uses little processor time.
constexpr uint32_t kIdleSleepMilliseconds = 10;

struct WindowSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The window's outer size for a client area (frame and caption included).
WindowSize OuterWindowSize(int32_t clientWidth, int32_t clientHeight);
// Top-left that centres a window of that outer size on the screen (division toward zero).
KVQPoint CenteredWindowPosition(int32_t screenWidth, int32_t screenHeight, const WindowSize& outer);
// With no height configured, the client area takes the loaded root's size.
void TakeScreenSizeFromRoot(KVQCoreCfg& cfg);

// The window procedure and the window's state.
class CKVQShell {
public:
    explicit CKVQShell(platform::Window* window = nullptr) : window_(window) {}

    // Handles one event; false when it asks to leave the frame loop (the window was closed).
    bool WindowProc(const platform::Event& event);

    platform::Window* GetWindow() const { return window_; }
    bool IsMinimized() const { return minimized_; }
    // The client size last reported by the window.
    WindowSize ClientSize() const { return client_; }

private:
    // Sets the device up for the window; when the device cannot start on it (no OpenGL, say),
    // the software device takes over. False when no device could start.
    bool BindDevice(int32_t width, int32_t height);
    void RememberSize(int32_t width, int32_t height);

    platform::Window* window_ = nullptr;
    bool minimized_ = false;
    bool fellBack_ = false;
    WindowSize client_;
};

// What the command line asks of a run.
struct ShellOptions {
    bool headless = false;
    // Headless runs tick on real time (one tick per interval of the wall clock) instead of the
    // virtual clock, for games that wait on transfers or other work outside the engine.
    bool realClock = false;
    int32_t deviceKind = 0;  // DeviceKind
    bool limitTicks = false;
    uint64_t ticks = 0;
    std::string screenshotPath;
    std::string replayPath;
};

// The frame loop. Counts steps: in headless runs every idle pass that moved the clock (one tick
// interval, a tick unless paused), in windowed runs every tick run and, while paused, every tick
// interval of system time (so a replay that minimises the window still reaches its restore).
// Replay events numbered for the next step are delivered through the window procedure before it.
class FrameLoop {
public:
    using EventSource = std::function<bool(platform::Event&)>;

    FrameLoop(CKVQShell& shell, const ShellOptions& options, ReplayScript* replay,
              EventSource source = platform::PollEvent);

    // Anchors the tick clock so that the first idle pass of a headless run already ticks.
    void Start();
    // One pass: a waiting event, else an idle pass. False when the loop ends.
    bool Pass();
    uint64_t Steps() const { return steps_; }

private:
    CKVQShell& shell_;
    const ShellOptions& options_;
    ReplayScript* replay_;
    EventSource source_;
    uint64_t steps_ = 0;
    uint32_t pausedStepTime_ = 0;  // system time of the last step counted while paused
};

// The whole run after the command line: the replay read, video, engine start-up, the window,
// the loop, the screenshot and exit. Returns the process's exit code.
int RunGame(const ShellOptions& options);

#pragma once
// The engine's life on the main thread: the start-up sequence, the fixed-step tick, rendering in
// answer to a repaint request, the automatic scale of the layout to the window, pause and resume,
// and the clean-up at exit. The shell (Shell.h) calls these from its window procedure and frame
// loop; nothing here knows about the platform window.

#include <cstdint>
#include <string>
#include <vector>

struct KVQRect;

// Tick interval the engine runs at, in milliseconds (about 30 ticks a second).
constexpr uint32_t kDefaultFrameInterval = 33;
// A measured backlog this large or larger is dropped instead of being caught up.
constexpr uint32_t kMaxTickBacklog = 1000;

// Results of KVQAPI_Update.
constexpr int32_t kTickRun = 0;
constexpr int32_t kNoTick = 1;

// Brings the engine up in its fixed order: locale, "default.cfg", render-object classes, the
// script host with every binding, the device kinds, the drawing device of `kind` (DeviceKind)
// made current together with its texture kind, the tick interval, then the start layout (the
// command line's, else "MainUI" of the configured package unless suppressed) with its root at
// (0, 0). False, with the reason in *error, when the device kind cannot be created on this
// platform; the steps before it have run.
bool KVQAPI_Init(int32_t kind, bool suppressStartLayout, std::string* error = nullptr);

// Why the start layout gave no usable root at the last KVQAPI_Init ("" when it did, or when it
// was suppressed): "start layout 'ui/mian.ui' not found (looked in: ...)", "... is damaged at
// byte 812", "... is JSON, build it with kvqtool layout build".
const std::string& KVQAPI_StartLayoutProblem();

// Asks the run to end after the current tick, as closing the window does (scripts).
void KVQAPI_Quit();
bool KVQAPI_QuitRequested();

// One pass of the frame clock: runs at most one engine tick. kTickRun or kNoTick.
int32_t KVQAPI_Update();
// Renders a frame into the current device when it has something to paint, then presents when
// the device is dirty. Nothing while paused.
void KVQAPI_Render();
// Fits the layout into the client area keeping its aspect ratio (when IsAutoScale is on) and
// broadcasts "OnAutoScale". Returns true.
bool KVQAPI_AutoScale();
void KVQAPI_Pause();
void KVQAPI_Resume();
// Unload cascade on the root. Returns 0.
int32_t KVQAPI_Exit();

// Draws the current window tree into the current device (the whole root invalidated) and reads
// the frame back as RGBA rows. False when there is no device or it cannot read frames. While
// paused the device and textures are restored for the capture and released again afterwards,
// without any message to the game and without leaving the pause.
bool KVQAPI_CaptureFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height);

// Scope guard of everything that may change what is shown: leaving the scope asks the current
// device for a repaint (which arrives later as a repaint event, never nested in the caller).
class CAutoFlip {
public:
    CAutoFlip() = default;
    CAutoFlip(const CAutoFlip&) = delete;
    CAutoFlip& operator=(const CAutoFlip&) = delete;
    ~CAutoFlip();
};

// The last script error kept for display in debug mode; it stays until a newer one arrives.
const std::string& GetErrorDisplayText();

// Back to the state before the first tick: frame counter, tick timing, last frame time, error
// text, pause flag, a requested quit (tests, benchmarks).
void ResetEngineClock();

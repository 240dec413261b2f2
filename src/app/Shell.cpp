#include "app/Shell.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "app/Engine.h"
#include "app/Replay.h"
#include "app/SystemAPI.h"
#include "common/EngineString.h"
#include "common/Notices.h"
#include "gfx/DC.h"
#include "gfx/DeviceKinds.h"
#include "gfx/Texture.h"
#include "platform/Clock.h"
#include "platform/ImageCodec.h"
#include "platform/MessageBox.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr const char* kStartedText = "RegisterClass Success!\r\n";
constexpr int32_t kBytesPerPixel = 4;

// The window manager's handler of each mouse-button event (all take client coordinates).
using ButtonHandlerFn = int32_t (CKVQWindowMgr::*)(int32_t, int32_t);

ButtonHandlerFn ButtonHandler(platform::EventKind kind)
{
    using platform::EventKind;
    switch (kind) {
    case EventKind::LButtonDown: return &CKVQWindowMgr::OnSysLClickDown;
    case EventKind::LButtonUp: return &CKVQWindowMgr::OnSysLClickUp;
    case EventKind::LButtonDblClk: return &CKVQWindowMgr::OnSysLDBClick;
    case EventKind::RButtonDown: return &CKVQWindowMgr::OnSysRClickDown;
    case EventKind::RButtonUp: return &CKVQWindowMgr::OnSysRButtonUp;
    default: return &CKVQWindowMgr::OnSysRDBClick;
    }
}

}  // namespace

WindowSize OuterWindowSize(int32_t clientWidth, int32_t clientHeight)
{
    return WindowSize{wrap32::Add(clientWidth, kWindowFrameAllowanceX),
                      wrap32::Add(clientHeight, kWindowFrameAllowanceY)};
}

KVQPoint CenteredWindowPosition(int32_t screenWidth, int32_t screenHeight, const WindowSize& outer)
{
    // 64-bit so that extreme sizes cannot overflow; C++ division already truncates toward zero.
    const int64_t x = (static_cast<int64_t>(screenWidth) - outer.width) / 2;
    const int64_t y = (static_cast<int64_t>(screenHeight) - outer.height) / 2;
    return KVQPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

void TakeScreenSizeFromRoot(KVQCoreCfg& cfg)
{
    if (cfg.nScreenHeight > 0)
        return;
    if (CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot()) {
        cfg.nScreenHeight = root->GetHeight();
        cfg.nScreenWidth = root->GetWidth();
    }
}

// ---------------------------------------------------------------------------------------------
// Window procedure

void CKVQShell::RememberSize(int32_t width, int32_t height)
{
    if (width > 0 && height > 0)
        client_ = WindowSize{width, height};
}

bool CKVQShell::BindDevice(int32_t width, int32_t height)
{
    CKVQDC* device = GetCurrentDevice();
    if (device == nullptr)
        return false;
    if (device->Init(width, height, window_, 0) == 0)
        return true;
    if (fellBack_) {
        std::fprintf(stderr, "kvqgame: the software drawing device could not start (%dx%d)\n", width, height);
        return false;
    }
    // A machine without usable OpenGL still runs the game, drawn by the software device.
    fellBack_ = true;
    std::fprintf(stderr, "kvqgame: the drawing device could not start on this window; "
                         "drawing with the software device instead\n");
    CKVQDC* software = CreateDevice(kDeviceSoftware);
    if (software == nullptr)
        return false;
    device->Shutdown();
    SetCurrentDevice(software);
    delete device;  // made by the start-up for the process; nothing else holds it
    SetTextureKind(DeviceKindTextureKind(kDeviceKindSoftware));
    if (software->Init(width, height, window_, 0) != 0) {
        std::fprintf(stderr, "kvqgame: the software drawing device could not start either\n");
        return false;
    }
    return true;
}

bool CKVQShell::WindowProc(const platform::Event& event)
{
    using platform::EventKind;
    CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
    switch (event.kind) {
    case EventKind::Size:
        // A zero-sized client area (some desktops report one while minimising) has nothing to bind.
        if (event.x > 0 && event.y > 0) {
            RememberSize(event.x, event.y);
            BindDevice(event.x, event.y);
        }
        break;
    case EventKind::Minimized:
        if (!minimized_) {
            minimized_ = true;
            KVQAPI_Pause();
        }
        break;
    case EventKind::Restored: {
        RememberSize(event.x, event.y);
        if (minimized_) {
            minimized_ = false;
            if (CKVQDC* device = GetCurrentDevice())
                device->ResetDevice();
            BindDevice(client_.width, client_.height);
            KVQAPI_Resume();
        } else if (client_.width > 0) {
            BindDevice(client_.width, client_.height);
        }
        break;
    }
    case EventKind::Paint: {
        // The window was exposed: present again without redrawing.
        CAutoFlip flip;
        RememberSize(event.x, event.y);
        const KVQRect area{0, client_.width, 0, client_.height};
        if (CKVQWindow* root = manager.GetRoot())
            root->Invalidate(&area, 1);
        else if (CKVQDC* device = GetCurrentDevice())
            device->InvalidateRect(area, 1);
        break;
    }
    case EventKind::Close:
        return false;
    case EventKind::KeyDown: {
        CAutoFlip flip;
        manager.OnSysKeyDown(event.key);
        break;
    }
    case EventKind::KeyUp: {
        CAutoFlip flip;
        manager.OnSysKeyUp(event.key);
        break;
    }
    case EventKind::Text: {
        // Typed text reaches the manager as the game's code page, one byte at a time, so that
        // double-byte characters are assembled as they always were.
        CAutoFlip flip;
        CKVQString text;
        text.AssignUtf8(event.text.data(), static_cast<int32_t>(event.text.size()));
        const std::string bytes(text.GetMBString(), static_cast<size_t>(text.GetByteLength()));
        for (const char byte : bytes)
            manager.OnSysChar(static_cast<uint8_t>(byte));
        break;
    }
    case EventKind::MouseMove:
        manager.OnSysMouseMove(event.x, event.y);
        break;
    case EventKind::LButtonDown:
    case EventKind::LButtonUp:
    case EventKind::LButtonDblClk:
    case EventKind::RButtonDown:
    case EventKind::RButtonUp:
    case EventKind::RButtonDblClk: {
        CAutoFlip flip;
        (manager.*ButtonHandler(event.kind))(event.x, event.y);
        break;
    }
    case EventKind::MouseWheel: {
        CAutoFlip flip;
        manager.OnSysMouseWheel(event.x, event.y, static_cast<int32_t>(event.key));
        break;
    }
    case EventKind::Repaint:
        KVQAPI_Render();
        break;
    case EventKind::None:
        break;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Frame loop

FrameLoop::FrameLoop(CKVQShell& shell, const ShellOptions& options, ReplayScript* replay, EventSource source)
    : shell_(shell), options_(options), replay_(replay), source_(std::move(source))
{
}

void FrameLoop::Start()
{
    if (!options_.headless || options_.realClock)
        return;
    // The tick clock takes its first reading one interval after the system clock's own first
    // reading (a reading of 0 would count as none), so every later pass is one tick due.
    KVQAPI_timeGetSystemTime();
    platform::AdvanceVirtualClock(GetCoreCfg().nFrameInterval);
    KVQAPI_Update();
}

bool FrameLoop::Pass()
{
    platform::Event event;
    if (source_ && source_(event))
        return shell_.WindowProc(event);

    // Both end the run here, once the repaint of the last tick has been handled.
    if ((options_.limitTicks && steps_ >= options_.ticks) || KVQAPI_QuitRequested())
        return false;

    // Input recorded for the next step goes first; the repaints it asks for are handled on the
    // following passes, before the step itself.
    const uint64_t next = steps_ + 1;
    const uint32_t replayTick = next > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(next);
    if (replay_ != nullptr && replay_->TakeDue(replayTick, event)) {
        do {
            if (event.kind == platform::EventKind::Restored && event.x <= 0) {
                event.x = shell_.ClientSize().width;
                event.y = shell_.ClientSize().height;
            }
            if (!shell_.WindowProc(event))
                return false;
        } while (replay_->TakeDue(replayTick, event));
        return true;
    }

    if (options_.headless && !options_.realClock) {
        platform::AdvanceVirtualClock(GetCoreCfg().nFrameInterval);
        ++steps_;
        KVQAPI_Update();
    } else {
        if (KVQAPI_Update() == kTickRun) {
            ++steps_;
        } else if (GetCoreCfg().IsPaused) {
            const uint32_t now = KVQAPI_timeGetSystemTime();
            if (now - pausedStepTime_ >= GetCoreCfg().nFrameInterval) {
                pausedStepTime_ = now;
                ++steps_;
            }
        }
        platform::SleepMilliseconds(kIdleSleepMilliseconds);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The run

namespace {

bool WriteScreenshot(const std::string& path)
{
    std::vector<uint8_t> rgba;
    int32_t width = 0;
    int32_t height = 0;
    if (!KVQAPI_CaptureFrame(rgba, width, height) || width <= 0 || height <= 0 ||
        rgba.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * kBytesPerPixel) {
        std::fprintf(stderr, "kvqgame: the drawing device cannot read the frame back for a screenshot\n");
        return false;
    }
    std::string error;
    if (!platform::WritePng(path.c_str(), rgba.data(), width, height, width * kBytesPerPixel, &error)) {
        std::fprintf(stderr, "kvqgame: cannot write the screenshot '%s': %s\n", path.c_str(), error.c_str());
        return false;
    }
    std::printf("screenshot: %s\n", path.c_str());
    std::fflush(stdout);
    return true;
}

bool HasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0')
            return true;
    }
    return false;
}

// The input method. Text input stays on for the whole run (characters must arrive whatever the
// switch says), so opening and closing only show in the developer output; a window that takes
// text places the candidate window itself (an edit box at its caret).
void WireInputMethod()
{
    CKVQSystemAPI& api = CKVQSystemAPI::Instance();
    api.SetIMESwitch([](bool open) { KVQAPI_OutputDebugStr(open ? "input method open" : "input method closed"); });
    api.SetIMEPlacement(
        [](const KVQRect& r) { platform::SetTextInputRect(r.left, r.top, r.Width(), r.Height()); });
}

// The game window, or null. A windowed run goes on without one (ticks only); a headless run
// has nothing to run for without it, so *fatal says to stop.
platform::Window* OpenWindow(const ShellOptions& options, const KVQCoreCfg& cfg, bool* fatal)
{
    *fatal = false;
    if (cfg.nScreenWidth <= 0 || cfg.nScreenHeight <= 0) {
        const std::string size = std::to_string(cfg.nScreenWidth) + "x" + std::to_string(cfg.nScreenHeight);
        if (options.headless) {
            notices::Notice("no window size (" + size + "): default.cfg names no width and height, and the start "
                            "layout's root has no size");
            *fatal = true;
        } else {
            notices::Notice("no window size (" + size + "; no width in default.cfg and no start layout size); "
                            "running without a window");
        }
        return nullptr;
    }
    std::string error;
    platform::Window* window = platform::CreateGameWindow(kGameWindowTitle, cfg.nScreenWidth, cfg.nScreenHeight,
                                                          options.deviceKind == kDeviceKindOpenGL, error);
    if (window == nullptr) {
        *fatal = options.headless;
        notices::Notice("cannot create the " + std::to_string(cfg.nScreenWidth) + "x" +
                        std::to_string(cfg.nScreenHeight) + " window (" + error + ")" +
                        (options.headless ? "" : "; running without one"));
        return nullptr;
    }
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    platform::GetScreenSize(screenWidth, screenHeight);
    const KVQPoint at =
        CenteredWindowPosition(screenWidth, screenHeight, OuterWindowSize(cfg.nScreenWidth, cfg.nScreenHeight));
    platform::ShowGameWindow(window, at.x, at.y);
    platform::SetMessageBoxWindowShown(!options.headless);
    return window;
}

}  // namespace

int RunGame(const ShellOptions& options)
{
    std::string error;
    ReplayScript replay;
    if (!options.replayPath.empty() && !replay.LoadFile(options.replayPath, error)) {
        std::fprintf(stderr, "kvqgame: %s\n", error.c_str());
        return 1;
    }
    // SDL falls back to a driver without any screen when there is no display, and a windowed
    // game would then run unseen for ever: a windowed run needs an X11 or Wayland display.
    if (!options.headless && !HasDisplay()) {
        std::fprintf(stderr, "kvqgame: no display to open the game window on (neither DISPLAY nor "
                             "WAYLAND_DISPLAY is set).\nRun with --headless to play without a screen.\n");
        return 1;
    }
    if (!platform::InitVideo(options.headless, error)) {
        if (options.headless)
            std::fprintf(stderr, "kvqgame: cannot start headless video: %s\n", error.c_str());
        else
            std::fprintf(stderr, "kvqgame: no display to open the game window on (%s).\n"
                                 "Run with --headless to play without a screen.\n", error.c_str());
        return 1;
    }
    if (options.headless && !options.realClock)
        platform::SetVirtualClock(true);

    if (!KVQAPI_Init(options.deviceKind, false, &error)) {
        std::fprintf(stderr, "kvqgame: %s\n", error.c_str());
        platform::ShutdownVideo();
        return 1;
    }
    // Without its start layout a game shows nothing and nothing in it can run.
    if (!KVQAPI_StartLayoutProblem().empty()) {
        notices::Notice(KVQAPI_StartLayoutProblem());
        platform::ShutdownVideo();
        return 1;
    }
    KVQAPI_SetFrameInterval(kDefaultFrameInterval);
    KVQAPI_OutputDebugStr(kStartedText);
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsAutoScale = true;
    TakeScreenSizeFromRoot(cfg);

    bool noWindowIsFatal = false;
    CKVQShell shell(OpenWindow(options, cfg, &noWindowIsFatal));
    if (noWindowIsFatal) {
        platform::ShutdownVideo();
        return 1;
    }
    if (shell.GetWindow() != nullptr) {
        // The first size report binds the device to the window.
        platform::Event size;
        size.kind = platform::EventKind::Size;
        platform::GetClientSize(shell.GetWindow(), size.x, size.y);
        if (size.x <= 0 || size.y <= 0)
            size.x = cfg.nScreenWidth, size.y = cfg.nScreenHeight;
        shell.WindowProc(size);
    }
    if (CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot())
        root->OnLoad();
    KVQAPI_AutoScale();
    CKVQSystemAPI::Instance().SetKeyTranslation(&CKVQSystemAPI::WindowsKeyTranslation);
    WireInputMethod();

    FrameLoop loop(shell, options, options.replayPath.empty() ? nullptr : &replay);
    loop.Start();
    while (loop.Pass()) {
    }

    int result = 0;
    if (!options.screenshotPath.empty() && !WriteScreenshot(options.screenshotPath))
        result = 1;
    KVQAPI_Exit();
    notices::PrintRepeatCounts();

    // GPU objects go before the context and window they belong to.
    CTextureCache::Instance().ReleaseAll();
    if (CKVQDC* device = GetCurrentDevice())
        device->Shutdown();
    platform::SetMessageBoxWindowShown(false);
    if (shell.GetWindow() != nullptr)
        platform::DestroyGameWindow(shell.GetWindow());
    platform::ShutdownVideo();
    return result;
}

#include "platform/Video.h"

#include "platform/KeyMap.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <deque>

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>
#endif

namespace platform {

struct Window {
    SDL_Window* sdl = nullptr;
    SDL_GLContext gl = nullptr;
    // Asked for at creation; SDL may turn a plain window into a GL one to present pixels, which
    // does not make it a window the engine draws into with OpenGL.
    bool withGL = false;
    SDL_Surface* surface = nullptr;  // the window surface pixels were last presented to
};

namespace {

constexpr const char* kHeadlessVideoDriver = "offscreen";
constexpr const char* kHeadlessAudioDriver = "dummy";
// The offscreen driver has no real screen; this is the one headless runs report.
constexpr int32_t kHeadlessScreenWidth = 1920;
constexpr int32_t kHeadlessScreenHeight = 1080;
constexpr int32_t kMaxWindowSide = 16384;
// Windows' wheel notch, and the largest notch count whose multiple still fits the signed
// 16-bit high word of wParam.
constexpr int32_t kWheelDelta = 120;
constexpr int32_t kMaxWheelNotches = 32767 / kWheelDelta;

bool videoStarted = false;
bool headlessRun = false;
// SDL user event types, registered once per process (SDL never hands them back).
Uint32 repaintEventType = 0;
Uint32 postedEventType = 0;
// Events posted by PostEvent, in posting order; each has a marker in SDL's queue so that they
// come out interleaved with SDL's own events exactly as they were posted.
std::deque<Event> postedEvents;
// The character a key press produces besides its key event (see ControlCharacterOf).
std::string pendingCharacter;

bool RegisterUserEvents()
{
    if (repaintEventType != 0)
        return true;
    const Uint32 first = SDL_RegisterEvents(2);
    if (first == static_cast<Uint32>(-1))
        return false;
    repaintEventType = first;
    postedEventType = first + 1;
    return true;
}

void ClientSizeOf(Uint32 windowId, int32_t& width, int32_t& height)
{
    width = 0;
    height = 0;
    if (SDL_Window* window = SDL_GetWindowFromID(windowId)) {
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(window, &w, &h);
        width = w;
        height = h;
    }
}

// Maps one window event; false for the ones the engine does not handle.
bool TranslateWindowEvent(const SDL_WindowEvent& window, Event& out)
{
    switch (window.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // SIZE_CHANGED follows every change, RESIZED only the user's: one event per change.
        out.kind = EventKind::Size;
        out.x = window.data1;
        out.y = window.data2;
        return true;
    case SDL_WINDOWEVENT_MINIMIZED:
        out.kind = EventKind::Minimized;
        return true;
    case SDL_WINDOWEVENT_RESTORED:
        out.kind = EventKind::Restored;
        ClientSizeOf(window.windowID, out.x, out.y);
        return true;
    case SDL_WINDOWEVENT_EXPOSED:
        out.kind = EventKind::Paint;
        ClientSizeOf(window.windowID, out.x, out.y);
        return true;
    case SDL_WINDOWEVENT_CLOSE:
        out.kind = EventKind::Close;
        return true;
    default:
        return false;
    }
}

// Mouse buttons: a press SDL counts as the second (fourth...) of a series is the double-click
// message, as Windows sends with CS_DBLCLKS: down, up, dblclk, up.
bool TranslateButton(const SDL_MouseButtonEvent& button, bool down, Event& out)
{
    const bool doubleClick = down && button.clicks >= 2 && button.clicks % 2 == 0;
    if (button.button == SDL_BUTTON_LEFT)
        out.kind = !down ? EventKind::LButtonUp : doubleClick ? EventKind::LButtonDblClk : EventKind::LButtonDown;
    else if (button.button == SDL_BUTTON_RIGHT)
        out.kind = !down ? EventKind::RButtonUp : doubleClick ? EventKind::RButtonDblClk : EventKind::RButtonDown;
    else
        return false;
    out.x = button.x;
    out.y = button.y;
    return true;
}

bool TranslateWheel(const SDL_MouseWheelEvent& wheel, Event& out)
{
    int32_t notches = wheel.y;
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
        notches = -notches;
    // A sideways scroll is a different message on Windows, which the engine does not handle.
    if (notches == 0)
        return false;
    notches = std::clamp(notches, -kMaxWheelNotches, kMaxWheelNotches);
    out.kind = EventKind::MouseWheel;
    out.x = wheel.mouseX;
    out.y = wheel.mouseY;
    out.key = static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(notches * kWheelDelta))) << 16;
    return true;
}

// Maps one SDL event; false for events the engine does not handle (the caller takes the next).
bool TranslateEvent(const SDL_Event& sdl, Event& out)
{
    out = Event{};
    switch (sdl.type) {
    case SDL_QUIT:
        out.kind = EventKind::Close;
        return true;
    case SDL_WINDOWEVENT:
        return TranslateWindowEvent(sdl.window, out);
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        out.kind = sdl.type == SDL_KEYDOWN ? EventKind::KeyDown : EventKind::KeyUp;
        out.key = VirtualKeyFromSDL(sdl.key.keysym.sym, sdl.key.keysym.scancode);
        return true;
    case SDL_TEXTINPUT:
        out.kind = EventKind::Text;
        out.text = sdl.text.text;
        return !out.text.empty();
    case SDL_MOUSEMOTION:
        out.kind = EventKind::MouseMove;
        out.x = sdl.motion.x;
        out.y = sdl.motion.y;
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return TranslateButton(sdl.button, sdl.type == SDL_MOUSEBUTTONDOWN, out);
    case SDL_MOUSEWHEEL:
        return TranslateWheel(sdl.wheel, out);
    default:
        break;
    }
    if (repaintEventType != 0 && sdl.type == repaintEventType) {
        out.kind = EventKind::Repaint;
        return true;
    }
    if (postedEventType != 0 && sdl.type == postedEventType) {
        if (postedEvents.empty())
            return false;  // its event went with a shutdown of the video
        out = std::move(postedEvents.front());
        postedEvents.pop_front();
        return true;
    }
    return false;
}

#if defined(__SANITIZE_ADDRESS__)
// The GL driver (and the desktop bus library SDL loads) are unloaded when the video shuts down,
// taking with them the globals that still point at their allocations; the leak checker would then
// blame them on the engine. Keeping the driver's
// libraries loaded (as they are at the end of any run) leaves those allocations reachable.
int PinGraphicsLibrary(dl_phdr_info* info, size_t, void*)
{
    static constexpr const char* kDriverParts[] = {"/dri/", "libGL", "libEGL", "libgallium", "libLLVM", "libglapi",
                                                   "libgbm", "libOpenGL", "libdbus"};
    const char* name = info->dlpi_name;
    if (name == nullptr || *name == '\0')
        return 0;
    for (const char* part : kDriverParts) {
        if (std::strstr(name, part) != nullptr) {
            dlopen(name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            break;
        }
    }
    return 0;
}

void KeepGraphicsDriverLoaded()
{
    dl_iterate_phdr(PinGraphicsLibrary, nullptr);
}
#else
void KeepGraphicsDriverLoaded() {}
#endif

// Windows turns these keys into character messages as well, right after their key-down; SDL's
// text input leaves control characters out, so they are added here for scripts that wait for them.
const char* ControlCharacterOf(const SDL_Keysym& key)
{
    if ((key.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) != 0)
        return nullptr;
    switch (key.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return "\r";
    case SDLK_BACKSPACE:
        return "\b";
    case SDLK_TAB:
        return "\t";
    case SDLK_ESCAPE:
        return "\x1b";
    default:
        return nullptr;
    }
}

bool PushUserEvent(Uint32 type, Sint32 code)
{
    SDL_Event event;
    SDL_zero(event);
    event.type = type;
    event.user.code = code;
    return SDL_PushEvent(&event) == 1;
}

}  // namespace

bool InitVideo(bool headless, std::string& error)
{
    if (videoStarted) {
        if (headless == headlessRun)
            return true;
        error = "the video is already running in the other mode";
        return false;
    }
    if (headless) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, kHeadlessVideoDriver);
        SDL_SetHint(SDL_HINT_AUDIODRIVER, kHeadlessAudioDriver);
    } else {
        // A windowed start after a headless one in the same process picks the usual drivers again.
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    // Closing the window is the one close request; without this SDL adds a quit event of its own.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot start the video: ") + SDL_GetError();
        return false;
    }
    // Without a screen SDL may quietly pick a driver that shows nothing; a windowed game would then
    // run unseen for ever.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!headless && driver != nullptr &&
        (std::strcmp(driver, kHeadlessVideoDriver) == 0 || std::strcmp(driver, "dummy") == 0)) {
        error = std::string("no display to open a window on (video driver \"") + driver + "\")";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    if (!RegisterUserEvents()) {
        error = std::string("cannot register the engine's events: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    // Character messages must arrive whatever the input method's state, for the whole run.
    SDL_StartTextInput();
    videoStarted = true;
    headlessRun = headless;
    // Events posted before the start keep their place ahead of everything SDL produces.
    for (size_t i = 0; i < postedEvents.size(); ++i)
        PushUserEvent(postedEventType, 0);
    return true;
}

void ShutdownVideo()
{
    if (!videoStarted)
        return;
    SDL_StopTextInput();
    KeepGraphicsDriverLoaded();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    postedEvents.clear();
    pendingCharacter.clear();
    videoStarted = false;
    headlessRun = false;
}

bool IsHeadless()
{
    return headlessRun;
}

Window* CreateGameWindow(const char* title, int32_t clientWidth, int32_t clientHeight, bool withGL,
                         std::string& error)
{
    if (!videoStarted) {
        error = "the video is not started";
        return nullptr;
    }
    if (clientWidth <= 0 || clientHeight <= 0 || clientWidth > kMaxWindowSide || clientHeight > kMaxWindowSide) {
        error = "window size out of range: " + std::to_string(clientWidth) + " x " + std::to_string(clientHeight);
        return nullptr;
    }
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (withGL) {
        flags |= SDL_WINDOW_OPENGL;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    }
    SDL_Window* sdl = SDL_CreateWindow(title != nullptr ? title : "", SDL_WINDOWPOS_UNDEFINED,
                                       SDL_WINDOWPOS_UNDEFINED, clientWidth, clientHeight, flags);
    if (sdl == nullptr) {
        error = std::string("cannot create the window: ") + SDL_GetError();
        return nullptr;
    }
    Window* window = new Window;
    window->sdl = sdl;
    window->withGL = withGL;
    KeepGraphicsDriverLoaded();
    return window;
}

void DestroyGameWindow(Window* window)
{
    if (window == nullptr)
        return;
    DestroyGLContext(window);
    SDL_DestroyWindow(window->sdl);
    delete window;
}

void GetScreenSize(int32_t& width, int32_t& height)
{
    width = kHeadlessScreenWidth;
    height = kHeadlessScreenHeight;
    if (!videoStarted || headlessRun)
        return;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        width = mode.w;
        height = mode.h;
    }
}

void ShowGameWindow(Window* window, int32_t x, int32_t y)
{
    if (window == nullptr)
        return;
    SDL_SetWindowPosition(window->sdl, x, y);
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
}

void GetClientSize(Window* window, int32_t& width, int32_t& height)
{
    width = 0;
    height = 0;
    if (window == nullptr)
        return;
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window->sdl, &w, &h);
    width = w;
    height = h;
}

void SetWindowTitle(Window* window, const char* title)
{
    if (window != nullptr)
        SDL_SetWindowTitle(window->sdl, title != nullptr ? title : "");
}

bool CreateGLContext(Window* window, std::string& error)
{
    if (window == nullptr) {
        error = "no window for the GL context";
        return false;
    }
    if (window->gl != nullptr)
        return MakeGLCurrent(window);
    if (!window->withGL) {
        error = "the window was not created for OpenGL";
        return false;
    }
    window->gl = SDL_GL_CreateContext(window->sdl);
    if (window->gl == nullptr) {
        error = std::string("cannot create the GL context: ") + SDL_GetError();
        return false;
    }
    KeepGraphicsDriverLoaded();
    glewExperimental = GL_TRUE;
    const GLenum glew = glewInit();
    // Under EGL (headless) GLEW loads the functions and then complains that there is no GLX
    // display: that answer is harmless.
    if (glew != GLEW_OK && glew != GLEW_ERROR_NO_GLX_DISPLAY) {
        error = std::string("cannot load the GL functions: ") +
                reinterpret_cast<const char*>(glewGetErrorString(glew));
        DestroyGLContext(window);
        return false;
    }
    return true;
}

bool MakeGLCurrent(Window* window)
{
    if (window == nullptr || window->gl == nullptr)
        return false;
    return SDL_GL_MakeCurrent(window->sdl, window->gl) == 0;
}

void SwapGLWindow(Window* window)
{
    if (window != nullptr && window->gl != nullptr)
        SDL_GL_SwapWindow(window->sdl);
}

void DestroyGLContext(Window* window)
{
    if (window == nullptr || window->gl == nullptr)
        return;
    if (SDL_GL_GetCurrentContext() == window->gl)
        SDL_GL_MakeCurrent(window->sdl, nullptr);
    SDL_GL_DeleteContext(window->gl);
    window->gl = nullptr;
}

bool PresentPixels(Window* window, const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch)
{
    if (window == nullptr || pixels == nullptr || width <= 0 || height <= 0 || pitch < width)
        return false;
    SDL_Surface* surface = SDL_GetWindowSurface(window->sdl);
    if (surface == nullptr)
        return false;
    if (surface != window->surface) {
        // Headless, SDL presents through a GL renderer of its own, loaded with the first surface.
        window->surface = surface;
        KeepGraphicsDriverLoaded();
    }
    // A buffer of another size than the window shows its top-left part; the rest stays as it was.
    const int copyWidth = std::min<int>(width, surface->w);
    const int copyHeight = std::min<int>(height, surface->h);
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return false;
    const int converted = SDL_ConvertPixels(copyWidth, copyHeight, SDL_PIXELFORMAT_RGBA32, pixels,
                                            pitch * static_cast<int>(sizeof(uint32_t)), surface->format->format,
                                            surface->pixels, surface->pitch);
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    return converted == 0 && SDL_UpdateWindowSurface(window->sdl) == 0;
}

bool PollEvent(Event& event)
{
    if (!videoStarted) {
        // Without SDL's queue posted events still come out, in order.
        if (postedEvents.empty())
            return false;
        event = std::move(postedEvents.front());
        postedEvents.pop_front();
        return true;
    }
    if (!pendingCharacter.empty()) {
        event = Event{};
        event.kind = EventKind::Text;
        event.text.swap(pendingCharacter);
        return true;
    }
    SDL_Event sdl;
    while (SDL_PollEvent(&sdl) == 1) {
        if (!TranslateEvent(sdl, event))
            continue;
        if (sdl.type == SDL_KEYDOWN) {
            if (const char* character = ControlCharacterOf(sdl.key.keysym))
                pendingCharacter = character;
        }
        return true;
    }
    return false;
}

void PostRepaint()
{
    // Before the video starts there is no window to repaint.
    if (videoStarted)
        PushUserEvent(repaintEventType, kRepaintMessage);
}

void PostEvent(const Event& event)
{
    postedEvents.push_back(event);
    if (videoStarted && !PushUserEvent(postedEventType, 0))
        postedEvents.pop_back();  // SDL's queue is full: the event is lost as a window's would be
}

void SetTextInputRect(int32_t x, int32_t y, int32_t width, int32_t height)
{
    SDL_Rect rect{x, y, width, height};
    SDL_SetTextInputRect(&rect);
}

void SleepMilliseconds(uint32_t milliseconds)
{
    SDL_Delay(milliseconds);
}

}  // namespace platform

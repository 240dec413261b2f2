#pragma once
// The game's one window and its events, on SDL2. The shell's window procedure sees events already
// in the shapes it handles (client pixels, Windows virtual-key codes, wheel wParam), so nothing
// above this layer knows about SDL. Headless runs use SDL's offscreen video driver: the same window,
// GL context and events, with no display.

#include <cstdint>
#include <string>

namespace platform {

enum class EventKind : int32_t {
    None = 0,
    Size,           // x, y: new client width and height
    Minimized,
    Restored,       // x, y: client width and height after restoring
    Paint,          // the window was exposed; x, y: client width and height
    Close,          // close button or the desktop's quit request
    KeyDown,        // key: Windows virtual-key code (0 for keys without one)
    KeyUp,
    Text,           // text: UTF-8 typed text
    MouseMove,      // x, y: client pixels
    LButtonDown,
    LButtonUp,
    LButtonDblClk,  // the second press of a double click (instead of a second LButtonDown)
    RButtonDown,
    RButtonUp,
    RButtonDblClk,
    MouseWheel,     // x, y: client pixels of the cursor; key: wParam (delta x 120 in the high 16 bits)
    Repaint,        // the repaint request posted by the drawing device
};

struct Event {
    EventKind kind = EventKind::None;
    int32_t x = 0;
    int32_t y = 0;
    uint32_t key = 0;
    std::string text;
};

// Code carried by the repaint event, the number the engine has always used for it.
constexpr int32_t kRepaintMessage = 1324;

// Starts SDL's video (and events). Headless selects the offscreen driver and the dummy audio
// driver. False with a message when SDL cannot start.
bool InitVideo(bool headless, std::string& error);
void ShutdownVideo();
bool IsHeadless();

struct Window;  // opaque

// Creates the window hidden, with a client area of clientWidth x clientHeight. withGL asks for
// an OpenGL-capable window (compatibility profile). Null with a message on failure.
Window* CreateGameWindow(const char* title, int32_t clientWidth, int32_t clientHeight, bool withGL,
                         std::string& error);
void DestroyGameWindow(Window* window);
// The primary screen's size in pixels (the headless screen is 1920 x 1080).
void GetScreenSize(int32_t& width, int32_t& height);
// Places the window with its top-left at (x, y) and shows it.
void ShowGameWindow(Window* window, int32_t x, int32_t y);
void GetClientSize(Window* window, int32_t& width, int32_t& height);
void SetWindowTitle(Window* window, const char* title);

// The GL context of the window: created once, made current, and presented by swapping.
// CreateGLContext also loads the GL functions (GLEW); it refuses windows made without withGL.
bool CreateGLContext(Window* window, std::string& error);
bool MakeGLCurrent(Window* window);
void SwapGLWindow(Window* window);
void DestroyGLContext(Window* window);

// Copies 32-bit pixels (bytes R, G, B, A in memory order) to the window and shows them.
// pitch is the row length in pixels.
bool PresentPixels(Window* window, const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch);

// Takes the next waiting event; false when none is waiting.
bool PollEvent(Event& event);
// Queues a Repaint event (safe to call from the main thread at any time).
void PostRepaint();
// Queues an event as if the window had produced it (replays, tests).
void PostEvent(const Event& event);

// Text input stays on for the whole run; the input method's candidate window is placed near rect.
void SetTextInputRect(int32_t x, int32_t y, int32_t width, int32_t height);

// Sleeps the calling thread (the idle pass of the frame loop).
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace platform

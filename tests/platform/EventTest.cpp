#include "platform/Video.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using platform::Event;
using platform::EventKind;

class EventTranslation : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(platform::InitVideo(true, error)) << error;
        Drain();
    }
    void TearDown() override { platform::ShutdownVideo(); }

    static std::vector<Event> Drain()
    {
        std::vector<Event> events;
        Event event;
        while (platform::PollEvent(event))
            events.push_back(event);
        return events;
    }

    static std::vector<EventKind> Kinds(const std::vector<Event>& events)
    {
        std::vector<EventKind> kinds;
        for (const Event& event : events)
            kinds.push_back(event.kind);
        return kinds;
    }

    static void Push(SDL_Event& event)
    {
        event.common.timestamp = SDL_GetTicks();
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    static void PushButton(bool down, Uint8 button, Uint8 clicks, Sint32 x, Sint32 y)
    {
        SDL_Event event;
        SDL_zero(event);
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.button = button;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.button.clicks = clicks;
        event.button.x = x;
        event.button.y = y;
        Push(event);
    }

    static void PushWheel(Sint32 y, Uint32 direction, Sint32 mouseX, Sint32 mouseY)
    {
        SDL_Event event;
        SDL_zero(event);
        event.type = SDL_MOUSEWHEEL;
        event.wheel.y = y;
        event.wheel.direction = direction;
        event.wheel.mouseX = mouseX;
        event.wheel.mouseY = mouseY;
        Push(event);
    }

    static void PushKey(bool down, SDL_Keycode key, Uint16 modifiers = KMOD_NONE)
    {
        SDL_Event event;
        SDL_zero(event);
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = key;
        event.key.keysym.mod = modifiers;
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        Push(event);
    }

    static void PushWindowEvent(Uint8 kind, Uint32 windowId, Sint32 data1 = 0, Sint32 data2 = 0)
    {
        SDL_Event event;
        SDL_zero(event);
        event.type = SDL_WINDOWEVENT;
        event.window.event = kind;
        event.window.windowID = windowId;
        event.window.data1 = data1;
        event.window.data2 = data2;
        Push(event);
    }
};

TEST_F(EventTranslation, DoubleClickFollowsTheWindowsOrder)
{
    PushButton(true, SDL_BUTTON_LEFT, 1, 5, 6);
    PushButton(false, SDL_BUTTON_LEFT, 1, 5, 6);
    PushButton(true, SDL_BUTTON_LEFT, 2, 5, 6);
    PushButton(false, SDL_BUTTON_LEFT, 2, 5, 6);
    PushButton(true, SDL_BUTTON_LEFT, 3, 5, 6);  // a third press starts over
    PushButton(true, SDL_BUTTON_RIGHT, 1, 7, 8);
    PushButton(true, SDL_BUTTON_RIGHT, 2, 7, 8);
    PushButton(false, SDL_BUTTON_RIGHT, 2, 7, 8);
    PushButton(true, SDL_BUTTON_MIDDLE, 1, 0, 0);  // not handled: skipped

    const std::vector<Event> events = Drain();
    ASSERT_EQ(Kinds(events), (std::vector<EventKind>{
        EventKind::LButtonDown, EventKind::LButtonUp,   EventKind::LButtonDblClk, EventKind::LButtonUp,
        EventKind::LButtonDown, EventKind::RButtonDown, EventKind::RButtonDblClk, EventKind::RButtonUp}));
    EXPECT_EQ(events[2].x, 5);
    EXPECT_EQ(events[2].y, 6);
    EXPECT_EQ(events[6].x, 7);
    EXPECT_EQ(events[6].y, 8);
}

TEST_F(EventTranslation, WheelCarriesDeltaTimes120InTheHighWord)
{
    PushWheel(1, SDL_MOUSEWHEEL_NORMAL, 30, 40);
    PushWheel(-1, SDL_MOUSEWHEEL_NORMAL, 31, 41);
    PushWheel(1, SDL_MOUSEWHEEL_FLIPPED, 0, 0);  // natural scrolling reports the other sign
    PushWheel(0, SDL_MOUSEWHEEL_NORMAL, 0, 0);   // sideways only: no wheel message
    PushWheel(1000, SDL_MOUSEWHEEL_NORMAL, 0, 0);

    const std::vector<Event> events = Drain();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, EventKind::MouseWheel);
    EXPECT_EQ(events[0].key, 0x00780000u);
    EXPECT_EQ(events[0].x, 30);
    EXPECT_EQ(events[0].y, 40);
    EXPECT_EQ(events[1].key, 0xFF880000u);
    EXPECT_EQ(events[1].x, 31);
    EXPECT_EQ(events[2].key, 0xFF880000u);
    // A burst too large for 16 bits stays positive instead of wrapping round to a negative delta.
    EXPECT_EQ(static_cast<int16_t>(events[3].key >> 16), 273 * 120);
}

TEST_F(EventTranslation, KeysTextAndMotion)
{
    PushKey(true, SDLK_a);
    PushKey(false, SDLK_LSHIFT);
    PushKey(true, SDLK_F13);

    SDL_Event text;
    SDL_zero(text);
    text.type = SDL_TEXTINPUT;
    std::strcpy(text.text.text, "\xE4\xB8\xAD");  // a Chinese character in UTF-8
    Push(text);

    SDL_Event motion;
    SDL_zero(motion);
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 12;
    motion.motion.y = 34;
    Push(motion);

    const std::vector<Event> events = Drain();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].kind, EventKind::KeyDown);
    EXPECT_EQ(events[0].key, 0x41u);
    EXPECT_EQ(events[1].kind, EventKind::KeyUp);
    EXPECT_EQ(events[1].key, 0x10u);
    EXPECT_EQ(events[2].kind, EventKind::KeyDown);  // keys without a code still arrive, as 0
    EXPECT_EQ(events[2].key, 0u);
    EXPECT_EQ(events[3].kind, EventKind::Text);
    EXPECT_EQ(events[3].text, "\xE4\xB8\xAD");
    EXPECT_EQ(events[4].kind, EventKind::MouseMove);
    EXPECT_EQ(events[4].x, 12);
    EXPECT_EQ(events[4].y, 34);
}

TEST_F(EventTranslation, ControlKeysAlsoTypeTheirCharacter)
{
    PushKey(true, SDLK_RETURN);
    PushKey(false, SDLK_RETURN);
    PushKey(true, SDLK_BACKSPACE);
    PushKey(true, SDLK_RETURN, KMOD_LCTRL);  // a shortcut, not typing
    PushKey(true, SDLK_ESCAPE);

    const std::vector<Event> events = Drain();
    ASSERT_EQ(Kinds(events), (std::vector<EventKind>{EventKind::KeyDown, EventKind::Text, EventKind::KeyUp,
                                                     EventKind::KeyDown, EventKind::Text, EventKind::KeyDown,
                                                     EventKind::KeyDown, EventKind::Text}));
    EXPECT_EQ(events[1].text, "\r");
    EXPECT_EQ(events[4].text, "\b");
    EXPECT_EQ(events[7].text, "\x1b");
}

TEST_F(EventTranslation, WindowEventsReportTheClientSize)
{
    std::string error;
    platform::Window* window = platform::CreateGameWindow("events", 320, 200, false, error);
    ASSERT_NE(window, nullptr) << error;
    Drain();
    const Uint32 id = 0;  // no window: sizes come from the event itself
    PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, id, 640, 480);
    PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED, id);
    PushWindowEvent(SDL_WINDOWEVENT_MOVED, id, 3, 4);  // not handled: skipped
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE, id);
    SDL_Event quit;
    SDL_zero(quit);
    quit.type = SDL_QUIT;
    Push(quit);

    std::vector<Event> events = Drain();
    ASSERT_EQ(Kinds(events), (std::vector<EventKind>{EventKind::Size, EventKind::Minimized, EventKind::Close,
                                                     EventKind::Close}));
    EXPECT_EQ(events[0].x, 640);
    EXPECT_EQ(events[0].y, 480);

    // Restoring and exposing name the window's own client size; ours is the only window there is.
    Uint32 windowId = 0;
    for (Uint32 candidate = 1; candidate < 64 && windowId == 0; ++candidate) {
        if (SDL_GetWindowFromID(candidate) != nullptr)
            windowId = candidate;
    }
    ASSERT_NE(windowId, 0u);
    PushWindowEvent(SDL_WINDOWEVENT_RESTORED, windowId);
    PushWindowEvent(SDL_WINDOWEVENT_EXPOSED, windowId);
    events = Drain();
    ASSERT_EQ(Kinds(events), (std::vector<EventKind>{EventKind::Restored, EventKind::Paint}));
    for (const Event& event : events)
        EXPECT_TRUE(event.x == 320 && event.y == 200) << event.x << " x " << event.y;
    platform::DestroyGameWindow(window);
}

TEST_F(EventTranslation, PostedEventsKeepTheirOrderAmongSDLEvents)
{
    Event first;
    first.kind = EventKind::KeyDown;
    first.key = 0x20;
    platform::PostEvent(first);
    PushKey(true, SDLK_b);
    platform::PostRepaint();
    Event second;
    second.kind = EventKind::Text;
    second.text = "x";
    platform::PostEvent(second);

    const std::vector<Event> events = Drain();
    ASSERT_EQ(Kinds(events), (std::vector<EventKind>{EventKind::KeyDown, EventKind::KeyDown, EventKind::Repaint,
                                                     EventKind::Text}));
    EXPECT_EQ(events[0].key, 0x20u);
    EXPECT_EQ(events[1].key, 0x42u);
    EXPECT_EQ(events[3].text, "x");
}

TEST(PostedEvents, ComeOutWithoutVideoAndAheadOfLaterWindowEvents)
{
    Event early;
    early.kind = EventKind::LButtonDown;
    early.x = 9;
    platform::PostEvent(early);
    platform::PostRepaint();  // no window yet: nothing to repaint

    std::string error;
    ASSERT_TRUE(platform::InitVideo(true, error)) << error;
    SDL_Event quit;
    SDL_zero(quit);
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);

    Event event;
    ASSERT_TRUE(platform::PollEvent(event));
    EXPECT_EQ(event.kind, EventKind::LButtonDown);
    EXPECT_EQ(event.x, 9);
    ASSERT_TRUE(platform::PollEvent(event));
    EXPECT_EQ(event.kind, EventKind::Close);
    EXPECT_FALSE(platform::PollEvent(event));
    platform::ShutdownVideo();

    platform::PostEvent(early);
    ASSERT_TRUE(platform::PollEvent(event));
    EXPECT_EQ(event.kind, EventKind::LButtonDown);
    EXPECT_FALSE(platform::PollEvent(event));
}

}  // namespace

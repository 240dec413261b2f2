#include "platform/KeyMap.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

struct KeyCase {
    SDL_Keycode sdl;
    uint32_t expected;
};

TEST(KeyMap, NamedKeysGiveTheirWindowsCodes)
{
    const KeyCase cases[] = {
        {SDLK_a, 0x41}, {SDLK_m, 0x4D}, {SDLK_z, 0x5A},
        {SDLK_0, 0x30}, {SDLK_5, 0x35}, {SDLK_9, 0x39},
        {SDLK_F1, 0x70}, {SDLK_F10, 0x79}, {SDLK_F12, 0x7B},
        {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09}, {SDLK_RETURN, 0x0D}, {SDLK_KP_ENTER, 0x0D},
        {SDLK_PAUSE, 0x13}, {SDLK_CAPSLOCK, 0x14}, {SDLK_ESCAPE, 0x1B}, {SDLK_SPACE, 0x20},
        {SDLK_PAGEUP, 0x21}, {SDLK_PAGEDOWN, 0x22}, {SDLK_END, 0x23}, {SDLK_HOME, 0x24},
        {SDLK_LEFT, 0x25}, {SDLK_UP, 0x26}, {SDLK_RIGHT, 0x27}, {SDLK_DOWN, 0x28},
        {SDLK_INSERT, 0x2D}, {SDLK_DELETE, 0x2E},
        {SDLK_KP_0, 0x60}, {SDLK_KP_1, 0x61}, {SDLK_KP_9, 0x69},
        {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B}, {SDLK_KP_MINUS, 0x6D}, {SDLK_KP_PERIOD, 0x6E},
        {SDLK_KP_DIVIDE, 0x6F},
        {SDLK_SEMICOLON, 0xBA}, {SDLK_EQUALS, 0xBB}, {SDLK_COMMA, 0xBC}, {SDLK_MINUS, 0xBD},
        {SDLK_PERIOD, 0xBE}, {SDLK_SLASH, 0xBF}, {SDLK_BACKQUOTE, 0xC0}, {SDLK_LEFTBRACKET, 0xDB},
        {SDLK_BACKSLASH, 0xDC}, {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(platform::VirtualKeyFromSDL(c.sdl), c.expected) << SDL_GetKeyName(c.sdl);
}

TEST(KeyMap, LeftAndRightModifiersShareTheGenericCode)
{
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_LSHIFT), 0x10u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_RSHIFT), 0x10u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_LCTRL), 0x11u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_RCTRL), 0x11u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_LALT), 0x12u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_RALT), 0x12u);
}

TEST(KeyMap, KeysWithoutACodeGiveZero)
{
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_UNKNOWN), 0u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_F13), 0u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_MUTE), 0u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_HASH), 0u);
    // An ASCII key keeps its own meaning even at a letter's position.
    EXPECT_EQ(platform::VirtualKeyFromSDL(SDLK_HASH, SDL_SCANCODE_A), 0u);
}

TEST(KeyMap, NonLatinLayoutsFallBackToTheKeyPosition)
{
    const SDL_Keycode cyrillicEf = 0x0444;  // the key at the "A" position on a Russian layout
    EXPECT_EQ(platform::VirtualKeyFromSDL(cyrillicEf, SDL_SCANCODE_A), 0x41u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(cyrillicEf, SDL_SCANCODE_1), 0x31u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(cyrillicEf, SDL_SCANCODE_0), 0x30u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(cyrillicEf, SDL_SCANCODE_UNKNOWN), 0u);
    EXPECT_EQ(platform::VirtualKeyFromSDL(cyrillicEf, SDL_SCANCODE_F1), 0u);
}

}  // namespace

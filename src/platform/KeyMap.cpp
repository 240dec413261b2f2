#include "platform/KeyMap.h"

#include <SDL.h>

#include <iterator>

namespace platform {

namespace {

struct KeyPair {
    SDL_Keycode sdl;
    uint32_t virtualKey;
};

// Single keys; letters, digits, function keys and numpad digits are runs handled below.
constexpr KeyPair kSingleKeys[] = {
    {SDLK_BACKSPACE, vk::kBack},
    {SDLK_TAB, vk::kTab},
    {SDLK_CLEAR, vk::kClear},
    {SDLK_RETURN, vk::kReturn},
    {SDLK_KP_ENTER, vk::kReturn},  // Windows reports it as Return (with the extended flag)
    {SDLK_LSHIFT, vk::kShift},
    {SDLK_RSHIFT, vk::kShift},
    {SDLK_LCTRL, vk::kControl},
    {SDLK_RCTRL, vk::kControl},
    {SDLK_LALT, vk::kMenu},
    {SDLK_RALT, vk::kMenu},
    {SDLK_PAUSE, vk::kPause},
    {SDLK_CAPSLOCK, vk::kCapital},
    {SDLK_ESCAPE, vk::kEscape},
    {SDLK_SPACE, vk::kSpace},
    {SDLK_PAGEUP, vk::kPrior},
    {SDLK_PAGEDOWN, vk::kNext},
    {SDLK_END, vk::kEnd},
    {SDLK_HOME, vk::kHome},
    {SDLK_LEFT, vk::kLeft},
    {SDLK_UP, vk::kUp},
    {SDLK_RIGHT, vk::kRight},
    {SDLK_DOWN, vk::kDown},
    {SDLK_PRINTSCREEN, vk::kSnapshot},
    {SDLK_INSERT, vk::kInsert},
    {SDLK_DELETE, vk::kDelete},
    {SDLK_LGUI, vk::kLeftWin},
    {SDLK_RGUI, vk::kRightWin},
    {SDLK_APPLICATION, vk::kApps},
    {SDLK_KP_MULTIPLY, vk::kMultiply},
    {SDLK_KP_PLUS, vk::kAdd},
    {SDLK_SEPARATOR, vk::kSeparator},
    {SDLK_KP_MINUS, vk::kSubtract},
    {SDLK_KP_PERIOD, vk::kDecimal},
    {SDLK_KP_DIVIDE, vk::kDivide},
    {SDLK_NUMLOCKCLEAR, vk::kNumLock},
    {SDLK_SCROLLLOCK, vk::kScroll},
    {SDLK_SEMICOLON, vk::kOem1},
    {SDLK_EQUALS, vk::kOemPlus},
    {SDLK_COMMA, vk::kOemComma},
    {SDLK_MINUS, vk::kOemMinus},
    {SDLK_PERIOD, vk::kOemPeriod},
    {SDLK_SLASH, vk::kOem2},
    {SDLK_BACKQUOTE, vk::kOem3},
    {SDLK_LEFTBRACKET, vk::kOem4},
    {SDLK_BACKSLASH, vk::kOem5},
    {SDLK_RIGHTBRACKET, vk::kOem6},
    {SDLK_QUOTE, vk::kOem7},
};

constexpr int kFunctionKeyCount = 12;

SDL_Keycode FunctionKey(int index)
{
    // SDL numbers F1..F12 in one run, as their scancodes do.
    const int scancode = SDL_SCANCODE_F1 + index;
    return SDL_SCANCODE_TO_KEYCODE(scancode);
}

uint32_t FromKeycode(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return vk::kLetterA + static_cast<uint32_t>(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return vk::kDigit0 + static_cast<uint32_t>(key - SDLK_0);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return vk::kNumpad0 + 1 + static_cast<uint32_t>(key - SDLK_KP_1);
    if (key == SDLK_KP_0)
        return vk::kNumpad0;
    for (int i = 0; i < kFunctionKeyCount; ++i) {
        if (key == FunctionKey(i))
            return vk::kF1 + static_cast<uint32_t>(i);
    }
    for (const KeyPair& pair : kSingleKeys) {
        if (pair.sdl == key)
            return pair.virtualKey;
    }
    return 0;
}

uint32_t FromScancode(int32_t scancode)
{
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return vk::kLetterA + static_cast<uint32_t>(scancode - SDL_SCANCODE_A);
    // The digit row runs 1..9 then 0.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return vk::kDigit0 + 1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0)
        return vk::kDigit0;
    return 0;
}

}  // namespace

uint32_t VirtualKeyFromSDL(int32_t sdlKeycode, int32_t sdlScancode)
{
    const uint32_t key = FromKeycode(sdlKeycode);
    if (key != 0)
        return key;
    // Only characters outside ASCII fall back: an ASCII key already named its own character.
    if (sdlKeycode >= 0x80 && (sdlKeycode & SDLK_SCANCODE_MASK) == 0)
        return FromScancode(sdlScancode);
    return 0;
}

}  // namespace platform

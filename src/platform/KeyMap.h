#pragma once
// Translation of SDL keys into Windows virtual-key codes, so that the engine's key table (built
// for Windows codes) applies unchanged.

#include <cstdint>

namespace platform {

// Windows virtual-key codes the engine's key table and scripts know by number.
namespace vk {
constexpr uint32_t kBack = 0x08;
constexpr uint32_t kTab = 0x09;
constexpr uint32_t kClear = 0x0C;
constexpr uint32_t kReturn = 0x0D;
constexpr uint32_t kShift = 0x10;
constexpr uint32_t kControl = 0x11;
constexpr uint32_t kMenu = 0x12;  // Alt
constexpr uint32_t kPause = 0x13;
constexpr uint32_t kCapital = 0x14;
constexpr uint32_t kEscape = 0x1B;
constexpr uint32_t kSpace = 0x20;
constexpr uint32_t kPrior = 0x21;
constexpr uint32_t kNext = 0x22;
constexpr uint32_t kEnd = 0x23;
constexpr uint32_t kHome = 0x24;
constexpr uint32_t kLeft = 0x25;
constexpr uint32_t kUp = 0x26;
constexpr uint32_t kRight = 0x27;
constexpr uint32_t kDown = 0x28;
constexpr uint32_t kSnapshot = 0x2C;
constexpr uint32_t kInsert = 0x2D;
constexpr uint32_t kDelete = 0x2E;
constexpr uint32_t kDigit0 = 0x30;  // '0' .. '9' follow
constexpr uint32_t kLetterA = 0x41;  // 'A' .. 'Z' follow
constexpr uint32_t kLeftWin = 0x5B;
constexpr uint32_t kRightWin = 0x5C;
constexpr uint32_t kApps = 0x5D;
constexpr uint32_t kNumpad0 = 0x60;  // numpad '0' .. '9' follow
constexpr uint32_t kMultiply = 0x6A;
constexpr uint32_t kAdd = 0x6B;
constexpr uint32_t kSeparator = 0x6C;
constexpr uint32_t kSubtract = 0x6D;
constexpr uint32_t kDecimal = 0x6E;
constexpr uint32_t kDivide = 0x6F;
constexpr uint32_t kF1 = 0x70;  // F1 .. F12 follow
constexpr uint32_t kNumLock = 0x90;
constexpr uint32_t kScroll = 0x91;
constexpr uint32_t kOem1 = 0xBA;       // ;
constexpr uint32_t kOemPlus = 0xBB;    // =
constexpr uint32_t kOemComma = 0xBC;   // ,
constexpr uint32_t kOemMinus = 0xBD;   // -
constexpr uint32_t kOemPeriod = 0xBE;  // .
constexpr uint32_t kOem2 = 0xBF;       // /
constexpr uint32_t kOem3 = 0xC0;       // `
constexpr uint32_t kOem4 = 0xDB;       // [
constexpr uint32_t kOem5 = 0xDC;       // backslash
constexpr uint32_t kOem6 = 0xDD;       // ]
constexpr uint32_t kOem7 = 0xDE;       // '
}  // namespace vk

// The virtual-key code of an SDL key (SDL_Keycode), 0 for keys that have none. Letter and digit
// keys that the keyboard layout names with other characters (Cyrillic, Greek...) fall back to their
// position (sdlScancode, an SDL_Scancode; 0 when unknown), as Windows reports them.
uint32_t VirtualKeyFromSDL(int32_t sdlKeycode, int32_t sdlScancode = 0);

}  // namespace platform

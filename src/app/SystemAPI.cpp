#include "app/SystemAPI.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "app/CoreCfg.h"
#include "script/LuaHost.h"

namespace {

// The interpreter the notify hook's cached reference was taken in: a reference of an interpreter
// closed since names nothing in the current one and must not be given back there.
const lua_State* notifyRefState = nullptr;
// Counts the hooks named, so that a notification sees whether its hook was replaced meanwhile.
uint32_t notifyHookGeneration = 0;

// Engine key code -> Windows virtual-key code, for engine codes 0 .. 77; every later code names
// no key (0).
constexpr uint8_t kVirtualKeyOfEngineCode[] = {
    0,                                                   // 0: none
    27,                                                  // 1: Escape
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123,  // 2 - 13: F1 - F12
    192,                                                 // 14: ` ~
    48, 49, 50, 51, 52, 53, 54, 55, 56, 57,              // 15 - 24: digits 0 - 9
    189, 187,                                            // 25, 26: minus, plus
    8, 9,                                                // 27, 28: Backspace, Tab
    65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77,  // 29 - 41: A - M
    78, 79, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90,  // 42 - 54: N - Z
    16, 17, 18,                                          // 55 - 57: Shift, Control, Alt
    32,                                                  // 58: Space
    219, 221, 186, 222,                                  // 59 - 62: [ ] ; '
    188, 190, 191, 220,                                  // 63 - 66: , . / backslash
    13,                                                  // 67: Return
    45, 46,                                              // 68, 69: Insert, Delete
    36, 35,                                              // 70, 71: Home, End
    33, 34,                                              // 72, 73: Page Up, Page Down
    38, 39, 40, 37,                                      // 74 - 77: Up, Right, Down, Left
};
constexpr int32_t kMappedEngineCodes = static_cast<int32_t>(sizeof kVirtualKeyOfEngineCode);
static_assert(kMappedEngineCodes == 78, "engine codes 0 .. 77 name keys");

constexpr int32_t kKeyStateDown = 0xFF;

}  // namespace

CKVQSystemAPI& CKVQSystemAPI::Instance()
{
    static CKVQSystemAPI instance;
    return instance;
}

void CKVQSystemAPI::SetIMEState(bool open)
{
    if (imeSwitch_)
        imeSwitch_(open);
}

void CKVQSystemAPI::PlaceIME(const KVQRect& layoutRect)
{
    imeRect_ = layoutRect;
    if (imePlacement_)
        imePlacement_(LayoutToWindowPixels(layoutRect));
}

KVQRect CKVQSystemAPI::LayoutToWindowPixels(const KVQRect& r)
{
    const KVQCoreCfg& cfg = GetCoreCfg();
    if (!cfg.IsAutoScale)
        return r;
    const auto along = [](int32_t v, float scale, int32_t offset) {
        const double pixels = static_cast<double>(v) * static_cast<double>(scale) + offset;
        if (std::isnan(pixels))
            return 0;
        return static_cast<int32_t>(std::clamp(pixels, -2147483648.0, 2147483647.0));
    };
    return {along(r.left, cfg.fAutoScaleX, cfg.nAutoOffsetX), along(r.right, cfg.fAutoScaleX, cfg.nAutoOffsetX),
            along(r.top, cfg.fAutoScaleY, cfg.nAutoOffsetY), along(r.bottom, cfg.fAutoScaleY, cfg.nAutoOffsetY)};
}

int32_t CKVQSystemAPI::TranslateKey(uint32_t virtualKey) const
{
    return translate_ ? translate_(virtualKey) : -1;
}

void CKVQSystemAPI::SetKeyState(int32_t code, bool down)
{
    if (code < 0 || code > 255)
        return;
    keyState_[code] = down ? kKeyStateDown : 0;
}

uint8_t CKVQSystemAPI::GetEngineKeyState(int32_t code) const
{
    if (code < 0 || code > 255)
        return 0;
    return keyState_[code];
}

bool CKVQSystemAPI::RegisterSystemAPI(const char* name, SystemFunction fn)
{
    if (name == nullptr || !fn)
        return false;
    return functions_.emplace(name, std::move(fn)).second;
}

void CKVQSystemAPI::UnregisterSystemAPI(const char* name)
{
    if (name != nullptr)
        functions_.erase(name);
}

bool CKVQSystemAPI::FindSystemAPI(const char* name) const
{
    return name != nullptr && functions_.count(name) != 0;
}

const std::string& CKVQSystemAPI::CallSystemAPI(const char* name, const char* argument)
{
    callResult_.clear();
    if (name == nullptr)
        return callResult_;
    auto it = functions_.find(name);
    if (it == functions_.end())
        return callResult_;
    // A copy: the function may unregister itself while it runs.
    SystemFunction fn = it->second;
    fn(argument != nullptr ? argument : "", callResult_);
    return callResult_;
}

void CKVQSystemAPI::HookSystemNotify(const char* name)
{
    // Every re-hook gives the cached reference back, so hooking again and again does not fill
    // the registry.
    CKVQLuaHost* host = GetCurrentHost();
    if (notifyRef_ > 0 && host != nullptr && host->GetState() != nullptr && host->GetState() == notifyRefState)
        host->Unref(notifyRef_);
    notifyHook_ = name != nullptr ? name : "";
    notifyRef_ = -1;
    notifyRefState = nullptr;
    ++notifyHookGeneration;
}

void CKVQSystemAPI::Notify(const char* event, const char* data)
{
    if (notifyHook_.empty())
        return;
    CKVQLuaHost* host = GetCurrentHost();
    if (host == nullptr || host->GetState() == nullptr)
        return;
    LuaArgList args;
    args.AddString(event);
    args.AddString(data);
    // The hook function may name a new hook while it runs.
    const std::string hook = notifyHook_;
    const int32_t before = notifyRef_;
    const uint32_t generation = notifyHookGeneration;
    int32_t ref = notifyRef_;
    host->CallGlobal(hook.c_str(), ref, args);
    if (generation != notifyHookGeneration) {
        // Re-hooked while the hook ran: the reference taken for the old name is not kept.
        if (ref > 0 && ref != before && host->GetState() != nullptr)
            host->Unref(ref);
        return;
    }
    if (ref != notifyRef_) {
        notifyRef_ = ref;
        notifyRefState = host->GetState();
    }
}

int32_t CKVQSystemAPI::WindowsKeyTranslation(uint32_t virtualKey)
{
    // Later engine codes overwrite earlier ones, so the unmapped codes 78 .. 255 leave
    // inverse[0] = 255.
    static const std::array<uint8_t, 256> inverse = [] {
        std::array<uint8_t, 256> table{};
        for (int32_t code = 0; code <= 255; ++code) {
            const uint32_t vk = VirtualKeyOfEngineCode(code);
            if (vk <= 255)
                table[vk] = static_cast<uint8_t>(code);
        }
        return table;
    }();
    if (virtualKey >= 255)
        return -1;
    return inverse[virtualKey];
}

uint32_t CKVQSystemAPI::VirtualKeyOfEngineCode(int32_t code)
{
    if (code < 0 || code >= kMappedEngineCodes)
        return 0;
    return kVirtualKeyOfEngineCode[code];
}

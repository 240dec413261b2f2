#pragma once
// The platform bridge: the input-method switch, key translation and key state, named platform
// functions, and system notifications passed to a script function that a script has named.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "common/Types.h"

class CKVQSystemAPI {
public:
    using SystemFunction = std::function<void(const char* argument, std::string& result)>;

    static CKVQSystemAPI& Instance();

    void SetIMEState(bool open);
    void SetIMESwitch(std::function<void(bool)> fn) { imeSwitch_ = std::move(fn); }
    // Where the input method's candidate window goes: a rectangle in the layout's coordinates
    // (what windows and the caret use), handed to the placement in the top-level window's pixels
    // (after the automatic scale). The last rectangle placed is remembered in layout coordinates.
    void PlaceIME(const KVQRect& layoutRect);
    const KVQRect& GetIMERect() const { return imeRect_; }
    void SetIMEPlacement(std::function<void(const KVQRect& pixels)> fn) { imePlacement_ = std::move(fn); }
    // Layout coordinates to the top-level window's pixels (the inverse of the window manager's
    // conversion of client coordinates).
    static KVQRect LayoutToWindowPixels(const KVQRect& layoutRect);

    // Platform key code -> engine key code (-1 when out of range), when a translation is installed.
    int32_t TranslateKey(uint32_t virtualKey) const;
    void SetKeyTranslation(std::function<int32_t(uint32_t)> fn) { translate_ = std::move(fn); }
    bool HasKeyTranslation() const { return static_cast<bool>(translate_); }
    void SetKeyState(int32_t code, bool down);
    uint8_t GetEngineKeyState(int32_t code) const;

    bool RegisterSystemAPI(const char* name, SystemFunction fn);
    void UnregisterSystemAPI(const char* name);
    bool FindSystemAPI(const char* name) const;
    const std::string& CallSystemAPI(const char* name, const char* argument);

    void HookSystemNotify(const char* name);
    const std::string& GetNotifyHook() const { return notifyHook_; }
    // Calls the hook function with (event, data) through the Lua host when a hook is set.
    void Notify(const char* event, const char* data);

    // The Windows virtual-key table, inverted: the translation this engine installs (SDL keys are
    // mapped to virtual keys by the platform layer first).
    static int32_t WindowsKeyTranslation(uint32_t virtualKey);
    // The engine key code of the table for code i (0 .. 255): its virtual key, 0 for none.
    static uint32_t VirtualKeyOfEngineCode(int32_t code);

private:
    std::function<void(bool)> imeSwitch_;
    std::function<void(const KVQRect&)> imePlacement_;
    KVQRect imeRect_{};
    std::function<int32_t(uint32_t)> translate_;
    uint8_t keyState_[256] = {};
    std::string callResult_;
    std::map<std::string, SystemFunction> functions_;
    std::string notifyHook_;
    int32_t notifyRef_ = -1;
};

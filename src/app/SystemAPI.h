#pragma once
// The platform bridge: the input-method switch, key translation and key state, named platform
// functions, and system notifications passed to a script function that a script has named.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class CKVQSystemAPI {
public:
    using SystemFunction = std::function<void(const char* argument, std::string& result)>;

    static CKVQSystemAPI& Instance();

    void SetIMEState(bool open);
    void SetIMESwitch(std::function<void(bool)> fn) { imeSwitch_ = std::move(fn); }

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
    std::function<int32_t(uint32_t)> translate_;
    uint8_t keyState_[256] = {};
    std::string callResult_;
    std::map<std::string, SystemFunction> functions_;
    std::string notifyHook_;
    int32_t notifyRef_ = -1;
};

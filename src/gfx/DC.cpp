#include "gfx/DC.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

struct DeviceRegistry {
    std::vector<std::pair<std::string, DeviceFactory>> kinds;
    CKVQDC* current = nullptr;
};

DeviceRegistry& Devices()
{
    static DeviceRegistry registry;
    return registry;
}

}  // namespace

void MakeOpaque(std::vector<uint8_t>& rgba)
{
    for (size_t i = 3; i < rgba.size(); i += 4)
        rgba[i] = 0xFF;
}

void RegisterDevice(const char* name, DeviceFactory create)
{
    if (name && create)
        Devices().kinds.emplace_back(name, create);
}

CKVQDC* CreateDevice(const char* name)
{
    if (!name)
        return nullptr;
    for (const auto& [kind, create] : Devices().kinds) {
        if (kind == name)
            return create();
    }
    return nullptr;
}

CKVQDC* SetCurrentDevice(CKVQDC* device)
{
    return std::exchange(Devices().current, device);
}

CKVQDC* GetCurrentDevice()
{
    return Devices().current;
}

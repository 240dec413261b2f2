#include "gfx/DeviceKinds.h"

#include "gfx/DC.h"
#include "gfx/Texture.h"

namespace {

CKVQDC* CreateDirect3D8DC()
{
    return nullptr;  // no Direct3D 8 on this platform
}

}  // namespace

void RegisterDeviceKinds()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    RegisterDevice(kDeviceSoftware, CreateWin32DC);
    RegisterDevice(kDeviceDirect3D8, CreateDirect3D8DC);
    RegisterDevice(kDeviceOpenGL, CreateOpenGLESDC);
}

const char* DeviceKindName(int32_t kind)
{
    switch (kind) {
    case kDeviceKindOpenGL: return kDeviceOpenGL;
    case kDeviceKindSoftware: return kDeviceSoftware;
    case kDeviceKindDirect3D8: return kDeviceDirect3D8;
    default: return nullptr;
    }
}

int32_t DeviceKindTextureKind(int32_t kind)
{
    switch (kind) {
    case kDeviceKindSoftware: return kTextureMemoryImage;
    case kDeviceKindDirect3D8: return kTextureDirect3D8;
    default: return kTextureOpenGL;
    }
}

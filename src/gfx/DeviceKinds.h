#pragma once
// The drawing-device kinds this platform offers, registered by name: "Win32DC" (the software
// rasteriser), "D3D8X" (registered so that games asking for it get a clean failure: there is no
// Direct3D 8 here) and "OpenGLESDC".

#include <cstdint>

class CKVQDC;

constexpr const char* kDeviceSoftware = "Win32DC";
constexpr const char* kDeviceDirect3D8 = "D3D8X";
constexpr const char* kDeviceOpenGL = "OpenGLESDC";

// Start-up device kinds.
enum DeviceKind : int32_t {
    kDeviceKindOpenGL = 0,
    kDeviceKindSoftware = 1,
    kDeviceKindDirect3D8 = 2,
};

// Registers the three names once (later calls do nothing).
void RegisterDeviceKinds();
// The registered name of a start-up kind (null for an unknown kind) and the texture kind it uses.
const char* DeviceKindName(int32_t kind);
int32_t DeviceKindTextureKind(int32_t kind);

// Factories of the concrete devices.
CKVQDC* CreateOpenGLESDC();
CKVQDC* CreateWin32DC();

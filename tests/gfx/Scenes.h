#pragma once
// Test scenes drawn through the device interface, so the same pictures can be drawn by every
// device kind: fills and lines, blits with clip cutting, stretched and rotated blits, the blend
// table with colour modulation and transforms, ellipses, a layout under the automatic scale, scaled
// images whose size is not a power of two, lines cut by clips, and frames that render objects draw
// from pieces. The software device's frames of these scenes are the golden pictures; the OpenGL
// device's frames are compared with them.

#include <cstdint>
#include <vector>

class CKVQDC;

namespace scenes {

constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 48;

// The scene textures, registered in the texture cache under fixed names with the current texture
// kind (registering again replaces the pictures and keeps the ids).
struct Textures {
    int32_t pattern = -1;  // 16 x 16 opaque cells of distinct colours with a diagonal marker
    int32_t ramp = -1;     // 16 x 16, colour and alpha rising left to right and top to bottom
    int32_t red = -1;      // 10 x 10 opaque red: not a power of two, so GL pads it
    int32_t redBlue = -1;  // 10 x 6, left half red, right half blue
};
Textures AddTextures();
void RemoveTextures();

struct Scene {
    const char* name;
    void (*draw)(CKVQDC& dc, const Textures& textures);
    bool autoScale;     // drawn under the automatic scale (1.5, offset (4, 2))
    bool softwareOnly;  // uses operations only the software device draws
};
const std::vector<Scene>& All();

// Draws a scene as one frame: sets the core configuration the scene needs, Init(kWidth, kHeight,
// window), BeginScene, draw, EndScene, then reads the frame (RGBA rows) and restores the
// configuration. False when the device cannot read its frame.
bool Render(CKVQDC& dc, const Scene& scene, const Textures& textures, void* window, std::vector<uint8_t>& rgba);

}  // namespace scenes

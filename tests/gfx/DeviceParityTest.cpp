// The OpenGL device against the software device: the same scenes drawn by both must agree within
// a small tolerance (the software device's pictures are the reference; GL may round blending and
// sample textures slightly differently).

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gfx/GLTestSupport.h"
#include "gfx/GoldenImage.h"
#include "gfx/Scenes.h"
#include "gfx/SoftwareDC.h"

namespace {

constexpr int32_t kChannelTolerance = 8;
constexpr double kMinFractionWithin = 0.99;

class DeviceParityTest : public GLDeviceTest {};

// Pixels whose colour both devices must show within the tolerance, whatever the golden pictures
// say: the edges of scaled images keep the image's own colour.
struct Probe {
    const char* scene;
    int32_t x, y;
    uint8_t rgb[3];
};
constexpr Probe kProbes[] = {
    {"scaled_sprites", 3, 3, {220, 30, 30}},    // top-left corner of the 10 x 10 red image, 3x
    {"scaled_sprites", 32, 32, {220, 30, 30}},  // its bottom-right corner, next to the padding
    {"scaled_sprites", 35, 10, {220, 30, 30}},  // the red|blue image: red at its left edge,
    {"scaled_sprites", 62, 10, {40, 60, 230}},  // blue at its right edge (no wrap-around)
    {"scaled_sprites", 58, 20, {40, 60, 230}},  // ... and along its bottom row
};

void ExpectProbes(const char* scene, const char* device, const std::vector<uint8_t>& rgba)
{
    for (const Probe& p : kProbes) {
        const uint8_t* px = &rgba[(static_cast<size_t>(p.y) * scenes::kWidth + static_cast<size_t>(p.x)) * 4];
        for (int c = 0; std::string(p.scene) == scene && c < 3; ++c)
            EXPECT_NEAR(px[c], p.rgb[c], kChannelTolerance) << scene << " on " << device << " at " << p.x << ", " << p.y;
    }
}

TEST_F(DeviceParityTest, ScenesAgreeWithTheSoftwareDevice)
{
    static_assert(kWidth == scenes::kWidth && kHeight == scenes::kHeight, "scenes fit the GL test window");
    const int64_t total = int64_t{kWidth} * kHeight;
    for (const scenes::Scene& scene : scenes::All()) {
        if (scene.softwareOnly)
            continue;
        SetTextureKind(kTextureOpenGL);
        const scenes::Textures glTextures = scenes::AddTextures();
        std::vector<uint8_t> gl;
        ASSERT_TRUE(scenes::Render(*dc_, scene, glTextures, window_, gl)) << scene.name;

        // The same names again as memory images: the ids stay, the pictures change kind.
        SetTextureKind(kTextureMemoryImage);
        const scenes::Textures softTextures = scenes::AddTextures();
        ASSERT_EQ(softTextures.pattern, glTextures.pattern);
        CKVQWin32DC soft;
        std::vector<uint8_t> reference;
        ASSERT_TRUE(scenes::Render(soft, scene, softTextures, nullptr, reference)) << scene.name;

        ExpectProbes(scene.name, "OpenGL", gl);
        ExpectProbes(scene.name, "software", reference);
        // Frames read back as the window shows them: opaque, whatever blending left in alpha.
        for (size_t i = 3; i < gl.size(); i += 4)
            ASSERT_TRUE(gl[i] == 255 && reference[i] == 255) << scene.name << ": see-through pixel " << i / 4;
        const golden::Difference d = golden::Compare(reference, gl, kWidth, kChannelTolerance);
        const double within = 1.0 - static_cast<double>(d.beyondTolerance) / static_cast<double>(total);
        std::printf("[ parity   ] %-16s %5lld of %lld pixels differ, %lld beyond %d (first at %d, %d), "
                    "worst channel %d\n",
                    scene.name, static_cast<long long>(d.pixels), static_cast<long long>(total),
                    static_cast<long long>(d.beyondTolerance), kChannelTolerance, d.firstX, d.firstY,
                    d.worstChannel);
        EXPECT_GE(within, kMinFractionWithin)
            << scene.name << ": " << d.beyondTolerance << " pixels beyond the tolerance, first at (" << d.firstX
            << ", " << d.firstY << ")";
        if (within < kMinFractionWithin) {
            const std::string base = std::string(scene.name) + ".parity";
            platform::WritePng((base + ".gl.png").c_str(), gl.data(), kWidth, kHeight, kWidth * 4);
            platform::WritePng((base + ".soft.png").c_str(), reference.data(), kWidth, kHeight, kWidth * 4);
        }
    }
    // GL textures go while their context exists.
    scenes::RemoveTextures();
}

}  // namespace

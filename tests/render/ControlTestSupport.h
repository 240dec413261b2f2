#pragma once
// What the control tests share: images made in memory, and frames drawn on the software device.

#include <cstdint>
#include <functional>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/DC.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"

namespace control_test {

// A width x height image of one colour with a one-pixel black border (so butted tiles and
// arrows show where they meet), registered in the texture cache under name.
inline int32_t AddFramedImage(const char* name, int32_t width, int32_t height, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            uint8_t* p = &pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
            p[0] = edge ? 0 : r;
            p[1] = edge ? 0 : g;
            p[2] = edge ? 0 : b;
            p[3] = 255;
        }
    }
    return CTextureCache::Instance().AddTexture(name, pixels.data(), width, height);
}

// One frame of the software device, grey underneath, with draw() run as the current device's
// drawing; the frame's RGBA rows, or nothing when the device cannot read it.
inline std::vector<uint8_t> DrawFrame(int32_t width, int32_t height, const std::function<void()>& draw)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    const KVQCoreCfg saved = cfg;
    cfg.IsAutoScale = false;
    cfg.IsEditTool = false;
    CKVQWin32DC dc;
    std::vector<uint8_t> rgba;
    if (dc.Init(width, height, nullptr, 0) != 0)
        return rgba;
    dc.BeginScene();
    dc.FillRect({0, width, 0, height}, 0xff606060u);
    CKVQDC* previous = SetCurrentDevice(&dc);
    draw();
    SetCurrentDevice(previous);
    dc.EndScene();
    int32_t w = 0, h = 0;
    if (!dc.ReadFrame(rgba, w, h) || w != width || h != height)
        rgba.clear();
    cfg = saved;
    return rgba;
}

}  // namespace control_test

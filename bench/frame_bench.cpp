// One frame of a 1,000-window layout (every window a filled Rectangle render object with a frame)
// drawn through the window manager: BeginScene, render the tree, EndScene. On the software device
// and on the OpenGL device in a headless context; the GL figure with the frame read back as well
// bounds the rasteriser's work that EndScene only starts.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/OpenGLESDC.h"
#include "gfx/SoftwareDC.h"
#include "platform/Video.h"
#include "support/GLTarget.h"
#include "render/Rectangle.h"
#include "render/RenderRegistry.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int kPanels = 9;            // 3 x 3 panels on the root
constexpr int kTilesPerPanel = 110;   // 10 x 11 tiles per panel: 1 + 9 + 990 = 1,000 windows

CKVQWindow* MakeWindow(const LayoutRect& layout, RGBA fill, bool frame)
{
    CKVQWindow* w = CKVQWindow::New();
    w->SetName("w");
    w->Layout = layout;
    auto* rect = new CRenderObject_Rectangle;
    rect->IsFill = 1;
    rect->FillColor = fill;
    rect->IsDrawFrame = frame ? 1 : 0;
    w->AddRender(rect);
    return w;
}

CKVQWindow* MakeLayout()
{
    RegisterRenderClasses();
    CKVQWindow* root =
        MakeWindow(LayoutRect{0, 0, 0, 0, 0, kScreenWidth, 0, kScreenHeight}, RGBA{30, 30, 40, 255}, false);
    const int32_t panelW = kScreenWidth / 3, panelH = kScreenHeight / 3;
    for (int p = 0; p < kPanels; ++p) {
        const int32_t px = (p % 3) * panelW, py = (p / 3) * panelH;
        CKVQWindow* panel = MakeWindow(LayoutRect{0, 0, 0, 0, px + 2, px + panelW - 2, py + 2, py + panelH - 2},
                                       RGBA{60, 60, 90, 255}, true);
        root->AppendChild(panel);
        const int32_t tileW = (panelW - 4) / 10, tileH = (panelH - 4) / 11;
        for (int t = 0; t < kTilesPerPanel; ++t) {
            const int32_t tx = (t % 10) * tileW, ty = (t / 10) * tileH;
            const RGBA fill{static_cast<uint8_t>(40 + t * 2), static_cast<uint8_t>(200 - p * 15), 120,
                            static_cast<uint8_t>(t % 2 ? 255 : 160)};
            panel->AppendChild(
                MakeWindow(LayoutRect{0, 0, 0, 0, tx + 1, tx + tileW - 1, ty + 1, ty + tileH - 1}, fill, t % 3 == 0));
        }
    }
    return root;
}

struct LayoutScope {
    LayoutScope()
    {
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().IsEditTool = false;
        CKVQWindowMgr::Instance().SetRoot(MakeLayout());
    }
    ~LayoutScope() { CKVQWindowMgr::Instance().Reset(); }
};

void DrawFrame(CKVQDC& dc)
{
    dc.BeginScene();
    CKVQWindowMgr::Instance().Render(dc);
    dc.EndScene();
}

void BM_FrameSoftware(benchmark::State& state)
{
    LayoutScope layout;
    CKVQWin32DC dc;
    dc.Init(kScreenWidth, kScreenHeight, nullptr, 0);
    for (auto _ : state) {
        DrawFrame(dc);
        benchmark::DoNotOptimize(dc.GetBits());
    }
    // The share of the screen the layout covered (a guard against measuring an empty frame).
    int64_t covered = 0;
    for (int32_t y = 0; y < kScreenHeight; ++y)
        for (int32_t x = 0; x < kScreenWidth; ++x)
            covered += dc.PixelAt(x, y) != 0xffc0c0c0u;
    state.counters["covered"] = static_cast<double>(covered) / (kScreenWidth * kScreenHeight);
}
BENCHMARK(BM_FrameSoftware)->Unit(benchmark::kMillisecond);

void BM_FrameOpenGL(benchmark::State& state)
{
    LayoutScope layout;
    GLTarget gl(state, "frame bench", kScreenWidth, kScreenHeight);
    if (!gl.dc)
        return;
    for (auto _ : state)
        DrawFrame(*gl.dc);
}
BENCHMARK(BM_FrameOpenGL)->Unit(benchmark::kMillisecond);

void BM_FrameOpenGLWithReadBack(benchmark::State& state)
{
    LayoutScope layout;
    GLTarget gl(state, "frame bench", kScreenWidth, kScreenHeight);
    if (!gl.dc)
        return;
    std::vector<uint8_t> rgba;
    int32_t w = 0, h = 0;
    for (auto _ : state) {
        DrawFrame(*gl.dc);
        gl.dc->ReadFrame(rgba, w, h);
    }
}
BENCHMARK(BM_FrameOpenGLWithReadBack)->Unit(benchmark::kMillisecond);

}  // namespace

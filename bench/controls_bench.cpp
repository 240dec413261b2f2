// One frame of a layout of 1,000 windows, each with a vertical scroll bar (a white track, two
// arrows and a thumb: four quads), drawn through the window manager on the software device and on
// OpenGL in a headless context, against the same layout with the four quads of each window drawn
// as four plain Pictures. The heap allocations per frame are counted (there should be none).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/OpenGLESDC.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"
#include "platform/Video.h"
#include "support/GLTarget.h"
#include "render/RenderRegistry.h"
#include "render/controls/VertScrollBar.h"
#include "render/pictures/Picture.h"
#include "support/HeapCounter.h"
#include "support/Ratio.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int32_t kColumns = 40;  // 40 x 25 windows of 16 x 19 pixels
constexpr int32_t kRows = 25;
constexpr int32_t kCellWidth = kScreenWidth / kColumns;
constexpr int32_t kCellHeight = kScreenHeight / kRows;
// A bar 15 x 18: rows of 6, arrows of 5, a track of 8 and a thumb of 3.
constexpr int32_t kBarWidth = 15;
constexpr int32_t kArrowHeight = 5;
constexpr int32_t kThumbHeight = 3;

// The bar's images in the current texture kind (registering again keeps the ids).
void AddImages()
{
    const auto add = [](const char* name, int32_t width, int32_t height, uint8_t shade) {
        std::vector<uint8_t> pixels(static_cast<size_t>(width * height * 4), shade);
        CTextureCache::Instance().AddTexture(name, pixels.data(), width, height);
    };
    add("bench-arrow", kBarWidth, kArrowHeight, 0x80);
    add("bench-thumb", kBarWidth, kThumbHeight, 0x40);
    add("bench-track", kBarWidth, 8, 0xff);
}

CRenderObject_Pitcture* MakePicture(const char* image, int32_t top)
{
    auto* picture = new CRenderObject_Pitcture;
    picture->sprite.file = image;
    picture->sprite.Offset = KVQPoint{0, top};
    picture->clip.IsClip = 0;
    return picture;
}

// Each window holds a scroll bar, or the four Pictures that draw the same quads.
CKVQWindow* MakeLayout(bool pictures)
{
    RegisterRenderClasses();
    CKVQWindow* root = CKVQWindow::New();
    root->Layout = LayoutRect{0, 0, 0, 0, 0, kScreenWidth, 0, kScreenHeight};
    for (int32_t i = 0; i < kColumns * kRows; ++i) {
        const int32_t x = (i % kColumns) * kCellWidth, y = (i / kColumns) * kCellHeight;
        CKVQWindow* w = CKVQWindow::New();
        w->Layout = LayoutRect{0, 0, 0, 0, x, x + kBarWidth, y, y + kCellHeight - 1};
        if (pictures) {
            w->AddRender(MakePicture("bench-track", 0));
            w->AddRender(MakePicture("bench-arrow", 0));
            w->AddRender(MakePicture("bench-arrow", 13));
            w->AddRender(MakePicture("bench-thumb", 5 + i % 6));
        } else {
            auto* bar = new CRenderObject_VertScrollBar;
            bar->first.file = bar->second.file = "bench-arrow";
            bar->thumbSprite.file = "bench-thumb";
            bar->Pos = (i * 7) % 101;
            w->AddRender(bar);
        }
        root->AppendChild(w);
    }
    return root;
}

struct LayoutScope {
    explicit LayoutScope(bool pictures)
    {
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().IsEditTool = false;
        AddImages();
        CKVQWindowMgr::Instance().SetRoot(MakeLayout(pictures));
    }
    ~LayoutScope() { CKVQWindowMgr::Instance().Reset(); }
};

void DrawFrames(benchmark::State& state, CKVQDC& dc)
{
    // The first frame uploads the textures and has the driver build its shaders: counted from
    // the second. The engine's drawing of the tree and the device's scene begin and end (where
    // the OpenGL driver does its own work) are counted apart.
    dc.BeginScene();
    CKVQWindowMgr::Instance().Render(dc);
    dc.EndScene();
    int64_t drawing = 0, device = 0;
    for (auto _ : state) {
        const int64_t start = heap_counter::allocations.load();
        dc.BeginScene();
        const int64_t begun = heap_counter::allocations.load();
        CKVQWindowMgr::Instance().Render(dc);
        const int64_t drawn = heap_counter::allocations.load();
        dc.EndScene();
        drawing += drawn - begun;
        device += heap_counter::allocations.load() - drawn + begun - start;
    }
    const auto perFrame = [&](int64_t n) { return static_cast<double>(n) / static_cast<double>(state.iterations()); };
    state.counters["allocations/frame"] = perFrame(drawing);
    state.counters["device allocations/frame"] = perFrame(device);
}

void RunSoftware(benchmark::State& state, bool pictures)
{
    SetTextureKind(kTextureMemoryImage);
    LayoutScope layout(pictures);
    CKVQWin32DC dc;
    dc.Init(kScreenWidth, kScreenHeight, nullptr, 0);
    DrawFrames(state, dc);
}

void BM_ScrollBarsSoftware(benchmark::State& state)
{
    RunSoftware(state, false);
}
BENCHMARK(BM_ScrollBarsSoftware)->Unit(benchmark::kMillisecond);

void BM_PicturesSoftware(benchmark::State& state)
{
    RunSoftware(state, true);
}
BENCHMARK(BM_PicturesSoftware)->Unit(benchmark::kMillisecond);

void RunOpenGL(benchmark::State& state, bool pictures)
{
    GLTarget gl(state, "controls bench", kScreenWidth, kScreenHeight);
    if (!gl.dc)
        return;
    SetTextureKind(kTextureOpenGL);
    LayoutScope layout(pictures);
    DrawFrames(state, *gl.dc);
}

void BM_ScrollBarsOpenGL(benchmark::State& state)
{
    RunOpenGL(state, false);
}
BENCHMARK(BM_ScrollBarsOpenGL)->Unit(benchmark::kMillisecond);

void BM_PicturesOpenGL(benchmark::State& state)
{
    RunOpenGL(state, true);
}
BENCHMARK(BM_PicturesOpenGL)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {{"BM_ScrollBarsSoftware", "BM_PicturesSoftware", 0},
                          {"BM_ScrollBarsOpenGL", "BM_PicturesOpenGL", 0}});
}

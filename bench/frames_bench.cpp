// One frame of a layout of 1,000 windows, each a nine-piece "Frame" (4 x 4 corners, edges and centre
// tiled: 20 quads in a 16 x 19 window), against the same 20,000 quads drawn as plain "Picture"
// objects placed where the tiles land. On the software device and on OpenGL in a headless context;
// each run also counts the heap allocations made while drawing (the goal is none).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/ImageSet.h"
#include "gfx/OpenGLESDC.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"
#include "platform/Video.h"
#include "support/GLTarget.h"
#include "render/RenderRegistry.h"
#include "render/pictures/Frame.h"
#include "render/pictures/Picture.h"
#include "support/HeapCounter.h"
#include "support/Ratio.h"
#include "support/TreeFrames.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int kColumns = 40;
constexpr int kRows = 25;  // 40 x 25 = 1,000 windows
constexpr int32_t kCellWidth = kScreenWidth / kColumns;   // 16
constexpr int32_t kCellHeight = kScreenHeight / kRows;    // 19
constexpr int32_t kPiece = 4;
constexpr const char* kAtlas = "frames-bench.png";
constexpr LayoutRect kWholeWindow{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0};

// Nine 4 x 4 regions of a 12 x 12 atlas, in the order of the frame's pieces below.
const char* const kRegions[] = {"tl", "tr", "bl", "br", "tc", "bc", "lc", "rc", "cc"};

void AddAtlas()
{
    std::vector<uint8_t> pixels(12 * 12 * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const auto cell = static_cast<uint8_t>((i / 4) % 12 / 4 + 3 * ((i / 4) / 12 / 4));
        pixels[i] = static_cast<uint8_t>(40 + cell * 20);
        pixels[i + 1] = static_cast<uint8_t>(200 - cell * 15);
        pixels[i + 2] = 120;
        pixels[i + 3] = 255;
    }
    CTextureCache::Instance().AddTexture(kAtlas, pixels.data(), 12, 12);
    CImageSet* set = CImageSetManager::Instance().GetSet(kAtlas, false);
    for (int i = 0; i < 9; ++i) {
        const int32_t x = (i % 3) * kPiece, y = (i / 3) * kPiece;
        set->SetRect(kRegions[i], KVQRect{x, x + kPiece, y, y + kPiece});
    }
}

void UsePiece(Sprite& s, int region)
{
    s.file = kAtlas;
    s.ImageName = kRegions[region];
}

CKVQWindow* MakeCell(int index)
{
    CKVQWindow* w = CKVQWindow::New();
    w->SetName("cell");
    const int32_t x = (index % kColumns) * kCellWidth, y = (index / kColumns) * kCellHeight;
    w->Layout = LayoutRect{0, 0, 0, 0, x, x + kCellWidth, y, y + kCellHeight};
    return w;
}

CKVQWindow* FrameCell(int index)
{
    CKVQWindow* w = MakeCell(index);
    auto* frame = new CRenderObject_Frame;
    frame->Layout = kWholeWindow;
    Sprite* pieces[] = {&frame->TopLeft,   &frame->TopRight,     &frame->BottomLeft, &frame->BottomRight, &frame->TopCenter,
                        &frame->BottomCenter, &frame->LeftCenter, &frame->RightCenter, &frame->Center};
    for (int i = 0; i < 9; ++i)
        UsePiece(*pieces[i], i);
    w->AddRender(frame);
    return w;
}

// The frame's 20 quads as pictures: where each piece lands inside a 16 x 19 window.
CKVQWindow* PictureCell(int index)
{
    struct Quad {
        int region;
        int32_t x, y;
    };
    static constexpr Quad kQuads[] = {
        {0, 0, 0},  {1, 12, 0},  {2, 0, 15},  {3, 12, 15},                       // corners
        {4, 4, 0},  {4, 8, 0},   {5, 4, 15},  {5, 8, 15},                        // top, bottom
        {6, 0, 4},  {6, 0, 8},   {6, 0, 12},  {7, 12, 4}, {7, 12, 8}, {7, 12, 12}, // sides
        {8, 4, 4},  {8, 8, 4},   {8, 4, 8},   {8, 8, 8},  {8, 4, 12}, {8, 8, 12},  // centre
    };
    CKVQWindow* w = MakeCell(index);
    for (const Quad& q : kQuads) {
        auto* picture = new CRenderObject_Pitcture;
        picture->Layout = LayoutRect{0, 0, 0, 0, q.x, q.x + kPiece, q.y, q.y + kPiece};
        UsePiece(picture->sprite, q.region);
        w->AddRender(picture);
    }
    return w;
}

struct LayoutScope {
    explicit LayoutScope(CKVQWindow* (*cell)(int))
    {
        RegisterRenderClasses();
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().IsEditTool = false;
        AddAtlas();
        CKVQWindow* root = CKVQWindow::New();
        root->SetName("root");
        root->Layout = LayoutRect{0, 0, 0, 0, 0, kScreenWidth, 0, kScreenHeight};
        for (int i = 0; i < kColumns * kRows; ++i)
            root->AppendChild(cell(i));
        CKVQWindowMgr::Instance().SetRoot(root);
    }
    ~LayoutScope()
    {
        CKVQWindowMgr::Instance().Reset();
        CTextureCache::Instance().RemoveTexture(kAtlas);
    }
};

void Software(benchmark::State& state, CKVQWindow* (*cell)(int))
{
    SetTextureKind(kTextureMemoryImage);
    LayoutScope layout(cell);
    CKVQWin32DC dc;
    dc.Init(kScreenWidth, kScreenHeight, nullptr, 0);
    SetCurrentDevice(&dc);
    RenderTreeFrames(state, dc);
    SetCurrentDevice(nullptr);
    // The share of the screen drawn (a guard against timing frames that stopped early).
    int64_t covered = 0;
    for (int32_t y = 0; y < kScreenHeight; ++y)
        for (int32_t x = 0; x < kScreenWidth; ++x)
            covered += dc.PixelAt(x, y) != 0xffc0c0c0u;
    state.counters["covered"] = static_cast<double>(covered) / (kScreenWidth * kScreenHeight);
}

void OpenGL(benchmark::State& state, CKVQWindow* (*cell)(int))
{
    GLTarget gl(state, "frames bench", kScreenWidth, kScreenHeight, true);
    if (!gl.dc)
        return;
    {
        LayoutScope layout(cell);
        SetCurrentDevice(gl.dc.get());
        RenderTreeFrames(state, *gl.dc);
        SetCurrentDevice(nullptr);
    }
}

void BM_FramesSoftware(benchmark::State& state) { Software(state, &FrameCell); }
void BM_PicturesSoftware(benchmark::State& state) { Software(state, &PictureCell); }
void BM_FramesOpenGL(benchmark::State& state) { OpenGL(state, &FrameCell); }
void BM_PicturesOpenGL(benchmark::State& state) { OpenGL(state, &PictureCell); }
BENCHMARK(BM_FramesSoftware)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PicturesSoftware)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FramesOpenGL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PicturesOpenGL)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {{"BM_FramesSoftware", "BM_PicturesSoftware", 0}, {"BM_FramesOpenGL", "BM_PicturesOpenGL", 0}});
}

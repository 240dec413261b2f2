// One brush stroke of 100 points with a 32 x 32 brush and mask on a 512 x 512 picture (Blend, the
// operation with the most arithmetic), painted through PictureMix's "OnBrush" message: on memory
// images (the software device's textures) and on GL textures in a headless context, where the one
// upload per message is part of the figure. The baseline is a plain loop doing the same pixel
// arithmetic over the same buffers, with none of the stroke's mapping or bounds.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/OpenGLESDC.h"
#include "gfx/Texture.h"
#include "platform/Video.h"
#include "render/RenderRegistry.h"
#include "render/pictures/PictureMix.h"
#include "support/Ratio.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr int32_t kPictureSide = 512;
constexpr int32_t kBrushSide = 32;
// A stroke from (100, 100) to (199, 150): 100 points, one per column.
constexpr int32_t kStartX = 100, kStartY = 100, kEndX = 199, kEndY = 150;

std::vector<uint8_t> Image(int32_t side, uint8_t alpha, uint32_t seed)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(side) * side * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        seed = seed * 1664525u + 1013904223u;
        pixels[i] = static_cast<uint8_t>(seed >> 24);
        pixels[i + 1] = static_cast<uint8_t>(seed >> 16);
        pixels[i + 2] = static_cast<uint8_t>(seed >> 8);
        pixels[i + 3] = alpha == 0 ? static_cast<uint8_t>(seed) : alpha;
    }
    return pixels;
}

// The picture, mask and brush textures of the current kind, and a window holding the PictureMix.
struct Painting {
    CKVQWindow* window = nullptr;
    CRenderObject_PitctureMix* mix = nullptr;

    Painting()
    {
        RegisterRenderClasses();
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().IsClickDown = true;
        CTextureCache& cache = CTextureCache::Instance();
        const std::vector<uint8_t> picture = Image(kPictureSide, 255, 1);
        const std::vector<uint8_t> brush = Image(kBrushSide, 0, 2);
        const std::vector<uint8_t> mask = Image(kBrushSide, 0, 3);
        cache.AddTexture("bench-picture", picture.data(), kPictureSide, kPictureSide);
        cache.AddTexture("bench-brush", brush.data(), kBrushSide, kBrushSide);
        cache.AddTexture("bench-mask", mask.data(), kBrushSide, kBrushSide);
        window = CKVQWindow::New();
        window->Layout = LayoutRect{0, 0, 0, 0, 0, kPictureSide, 0, kPictureSide};
        mix = new CRenderObject_PitctureMix;
        mix->picture.file = "bench-picture";
        mix->mask.file = "bench-mask";
        mix->brush.file = "bench-brush";
        mix->BrushHotPos = KVQPoint{16, 16};
        mix->nBlendMode = kBrushBlend;
        window->AddRender(mix);
    }
    ~Painting()
    {
        window->Delete();
        WindowModule::Get().ReleaseDeleted();
        CTextureCache::Instance().Clear();
        GetCoreCfg().IsClickDown = false;
    }

    // The two messages of a stroke, as a drag sends them.
    void Stroke()
    {
        Send("OnBeginBrush", kStartX, kStartY);
        Send("OnBrush", kEndX, kEndY);
    }
    void Send(const char* name, int32_t x, int32_t y)
    {
        CKVQMessage m(16);
        m.setMode(CIArchive::SM_WRITE);
        m.Int32(x);
        m.Int32(y);
        m.setMode(CIArchive::SM_READ);
        mix->ProcMessage(window, name, &m, nullptr);
    }
    uint32_t Uploads() const { return mix->picture.GetTexture()->GetRefreshCount(); }
};

void BM_BrushStrokeMemoryImage(benchmark::State& state)
{
    SetTextureKind(kTextureMemoryImage);
    Painting painting;
    for (auto _ : state)
        painting.Stroke();
    state.counters["uploads/stroke"] = static_cast<double>(painting.Uploads()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BrushStrokeMemoryImage)->Unit(benchmark::kMicrosecond);

void BM_BrushStrokeOpenGL(benchmark::State& state)
{
    std::string error;
    if (!platform::InitVideo(true, error)) {
        state.SkipWithError(("no headless video: " + error).c_str());
        return;
    }
    platform::Window* window = platform::CreateGameWindow("brush bench", 64, 64, true, error);
    if (!window) {
        state.SkipWithError(("no GL window: " + error).c_str());
        return;
    }
    {
        CKVQOpenGLESDC dc;
        if (dc.Init(64, 64, window, 0) != 0) {
            state.SkipWithError("no OpenGL context");
        } else {
            SetTextureKind(kTextureOpenGL);
            Painting painting;
            for (auto _ : state)
                painting.Stroke();
            state.counters["uploads/stroke"] =
                static_cast<double>(painting.Uploads()) / static_cast<double>(state.iterations());
            SetTextureKind(kTextureMemoryImage);
        }
    }
    platform::DestroyGameWindow(window);
}
BENCHMARK(BM_BrushStrokeOpenGL)->Unit(benchmark::kMicrosecond);

// The same 100 stamps of Blend arithmetic written as a plain loop over plain buffers.
void BM_PlainLoopSameArithmetic(benchmark::State& state)
{
    std::vector<uint8_t> picture = Image(kPictureSide, 255, 1);
    const std::vector<uint8_t> brush = Image(kBrushSide, 0, 2);
    const std::vector<uint8_t> mask = Image(kBrushSide, 0, 3);
    for (auto _ : state) {
        for (int32_t n = 0; n <= kEndX - kStartX; ++n) {
            const int32_t px = kStartX + n - 16;
            const int32_t py = kStartY + (49 + n * (kEndY - kStartY)) / (kEndX - kStartX) - 16;
            for (int32_t j = 0; j < kBrushSide; ++j) {
                for (int32_t k = 0; k < kBrushSide; ++k) {
                    const uint8_t* m = &mask[static_cast<size_t>(j * kBrushSide + k) * 4];
                    const uint8_t* b = &brush[static_cast<size_t>(j * kBrushSide + k) * 4];
                    uint8_t* t = &picture[(static_cast<size_t>(py + j) * kPictureSide + static_cast<size_t>(px + k)) * 4];
                    if (m[3] == 0 || b[3] == 0)
                        continue;
                    const uint32_t w = (uint32_t{b[3]} * m[3]) >> 8;
                    for (int c = 0; c < 3; ++c) {
                        const uint32_t kc = (uint32_t{b[c]} * m[c]) >> 8;
                        t[c] = static_cast<uint8_t>((w * kc + t[c] * (256 - w)) / 256);
                    }
                }
            }
        }
        benchmark::DoNotOptimize(picture.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainLoopSameArithmetic)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {{"BM_BrushStrokeMemoryImage", "BM_PlainLoopSameArithmetic", 2.0},
                          {"BM_BrushStrokeOpenGL", "BM_PlainLoopSameArithmetic", 2.0}});
}

// The OpenGL device's batching: one frame of 10,000 textured quads through Blit (clip, source cut,
// texture lookup, transform, six vertices, a flush every 341 quads) against writing the same
// vertices into plain arrays. The measured frame runs on a headless GL context whose vertex
// buffers are released, so each full batch is discarded where it would be drawn: the figure is
// the device's own cost, EndScene included, without the GL driver's. A second frame with the
// buffers in place (llvmpipe drawing every batch) is reported for scale, and the heap
// allocations per frame are counted (there should be none).

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/OpenGLESDC.h"
#include "gfx/Texture.h"
#include "platform/Video.h"
#include "support/HeapCounter.h"
#include "support/Ratio.h"

namespace {

constexpr int kQuads = 10000;
constexpr int kWindowSide = 256;
constexpr int kTextureSide = 32;
constexpr int kQuadSide = 16;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

KVQRect Destination(int i)
{
    int x = (i * 7) % (kWindowSide - kQuadSide), y = (i * 13) % (kWindowSide - kQuadSide);
    return KVQRect{x, x + kQuadSide, y, y + kQuadSide};
}

struct GLSetup {
    platform::Window* window = nullptr;
    std::unique_ptr<CKVQOpenGLESDC> dc;
    int32_t texture = -1;
    std::string error;

    GLSetup()
    {
        if (!platform::InitVideo(true, error))
            return;
        window = platform::CreateGameWindow("batch bench", kWindowSide, kWindowSide, true, error);
        if (!window)
            return;
        SetTextureKind(kTextureOpenGL);
        dc = std::make_unique<CKVQOpenGLESDC>();
        if (dc->Init(kWindowSide, kWindowSide, window, 0) != 0) {
            error = "no OpenGL context";
            dc.reset();
            return;
        }
        std::vector<uint8_t> pixels(kTextureSide * kTextureSide * 4, 0xFF);
        texture = CTextureCache::Instance().AddTexture("batch-bench", pixels.data(), kTextureSide, kTextureSide);
    }
};

GLSetup& Setup()
{
    static GLSetup setup;
    return setup;
}

void RunFrame(benchmark::State& state, bool drawn)
{
    GLSetup& gl = Setup();
    if (!gl.dc) {
        state.SkipWithError(gl.error.c_str());
        return;
    }
    CKVQOpenGLESDC& dc = *gl.dc;
    if (drawn)
        dc.ResetDevice();
    else
        dc.Shutdown();
    const KVQRect src{0, kQuadSide, 0, kQuadSide};
    int64_t allocated = 0;
    for (auto _ : state) {
        dc.BeginScene();
        int64_t before = heap_counter::allocations.load();
        for (int i = 0; i < kQuads; ++i)
            dc.Blit(gl.texture, src, Destination(i), kWhite);
        dc.EndScene();
        allocated += heap_counter::allocations.load() - before;
    }
    state.counters["allocations/frame"] = static_cast<double>(allocated) / static_cast<double>(state.iterations());
    state.counters["vertices/frame"] = kQuads * 6;
    dc.ResetDevice();
}

void BM_Blit10000QuadsBatched(benchmark::State& state)
{
    RunFrame(state, false);
}
BENCHMARK(BM_Blit10000QuadsBatched)->Unit(benchmark::kMicrosecond);

void BM_Blit10000QuadsDrawnByLlvmpipe(benchmark::State& state)
{
    RunFrame(state, true);
}
BENCHMARK(BM_Blit10000QuadsDrawnByLlvmpipe)->Unit(benchmark::kMicrosecond);

// The same vertices written straight into arrays of the batch's size: positions one pixel right
// of and below the destination, texture coordinates times the texture's reciprocal size.
void BM_PlainArray10000Quads(benchmark::State& state)
{
    constexpr int kCapacity = CKVQOpenGLESDC::kBatchCapacity;
    static int16_t positions[kCapacity * 3];
    static float texCoords[kCapacity * 2];
    static uint32_t colors[kCapacity];
    const float inverse = 1.0f / kTextureSide;
    for (auto _ : state) {
        int count = 0;
        for (int i = 0; i < kQuads; ++i) {
            if (count + 6 > CKVQOpenGLESDC::kBatchLimit) {
                benchmark::ClobberMemory();
                count = 0;
            }
            KVQRect d = Destination(i);
            const int16_t x0 = static_cast<int16_t>(d.left + 1), x1 = static_cast<int16_t>(d.right + 1);
            const int16_t y0 = static_cast<int16_t>(d.top + 1), y1 = static_cast<int16_t>(d.bottom + 1);
            const float u1 = kQuadSide * inverse, v1 = kQuadSide * inverse;
            const int16_t xs[6] = {x0, x1, x0, x1, x0, x1};
            const int16_t ys[6] = {y0, y0, y1, y1, y1, y0};
            const float us[6] = {0, u1, 0, u1, 0, u1};
            const float vs[6] = {0, 0, v1, v1, v1, 0};
            for (int k = 0; k < 6; ++k, ++count) {
                positions[count * 3] = xs[k];
                positions[count * 3 + 1] = ys[k];
                positions[count * 3 + 2] = 0;
                texCoords[count * 2] = us[k];
                texCoords[count * 2 + 1] = vs[k];
                colors[count] = kWhite;
            }
        }
        benchmark::DoNotOptimize(positions);
        benchmark::DoNotOptimize(texCoords);
        benchmark::DoNotOptimize(colors);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainArray10000Quads)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {{"BM_Blit10000QuadsBatched", "BM_PlainArray10000Quads", 3.0},
                          {"BM_Blit10000QuadsDrawnByLlvmpipe", "BM_PlainArray10000Quads", 0}});
}

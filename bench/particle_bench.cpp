// 100 particle emitters of 200 live particles each. Stepping them against a plain loop doing the
// same float arithmetic over the same arrays (goal: at most 1.5 times as long); drawing them as
// one frame of 100 windows against the same 20,000 quads drawn as plain "Picture" objects, on the
// software device and on OpenGL in a headless context. Each run also counts the heap allocations
// per frame (the goal is none). Every name holds "particle", so `./kvq bench particle` runs them all.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"
#include "render/RenderRegistry.h"
#include "render/particles/Particle.h"
#include "render/pictures/Picture.h"
#include "support/GLTarget.h"
#include "support/HeapCounter.h"
#include "support/Ratio.h"
#include "support/TreeFrames.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int kColumns = 10;
constexpr int kRows = 10;  // 100 windows, one emitter each
constexpr int kEmitters = kColumns * kRows;
constexpr int32_t kCellWidth = kScreenWidth / kColumns;
constexpr int32_t kCellHeight = kScreenHeight / kRows;
constexpr int32_t kSpark = 6;  // pixels square
constexpr const char* kSparkImage = "particle-bench.png";
constexpr float kStep = 1.0f / 30.0f;

// Particles that live for the whole run, pushed about by every force the step knows.
ParticleInfo LongLived()
{
    ParticleInfo info;
    info.nEmission = 6000;  // fills the pool in one step of 1/30 s; later steps find it full
    info.fLifetime = -1.0f;
    info.fParticleLifeMin = 1e6f;
    info.fParticleLifeMax = 2e6f;
    info.fSpread = 6.0f;
    info.fSpeedMin = 0.5f;
    info.fSpeedMax = 1.0f;
    info.fGravityMin = -5.0f;
    info.fGravityMax = 5.0f;
    info.fRadialAccelMin = -20.0f;
    info.fRadialAccelMax = 20.0f;
    info.fTangentialAccelMin = -20.0f;
    info.fTangentialAccelMax = 20.0f;
    info.fSizeStart = info.fSizeEnd = 1.0f;
    info.colorStart = info.colorEnd = {1.0f, 0.8f, 0.3f, 1.0f};
    return info;
}

std::vector<ParticleEmitter> FullEmitters()
{
    std::vector<ParticleEmitter> emitters(kEmitters);
    for (int i = 0; i < kEmitters; ++i) {
        emitters[i].info = LongLived();
        emitters[i].FireAt(static_cast<float>(i % kColumns * kCellWidth), static_cast<float>(i / kColumns * kCellHeight));
        while (emitters[i].Count() < ParticleEmitter::kPoolSize)
            emitters[i].Step(kStep);
    }
    return emitters;
}

void BM_particleStep(benchmark::State& state)
{
    std::vector<ParticleEmitter> emitters = FullEmitters();
    int64_t allocated = 0;
    for (auto _ : state) {
        const int64_t before = heap_counter::allocations.load();
        for (ParticleEmitter& e : emitters)
            e.Advance(0.1f);
        allocated += heap_counter::allocations.load() - before;
        benchmark::DoNotOptimize(emitters.data());
    }
    state.counters["particles"] = static_cast<double>(emitters[0].Count() * kEmitters);
    state.counters["allocations/frame"] = static_cast<double>(allocated) / static_cast<double>(state.iterations());
}

// The same arithmetic written as a plain loop over the same particle arrays.
void BM_particlePlainStepLoop(benchmark::State& state)
{
    std::vector<ParticleEmitter> emitters = FullEmitters();
    for (auto _ : state) {
        for (ParticleEmitter& e : emitters) {
            const float dt = kStep;
            const float cx = e.current.x, cy = e.current.y, scale = e.scale;
            for (int32_t i = 0; i < e.count; ++i) {
                Particle& p = e.pool[i];
                p.age += dt;
                if (p.age >= p.terminalAge)
                    continue;
                float dx = p.x - cx, dy = p.y - cy;
                const float length = std::sqrt(dx * dx + dy * dy);
                dx = length != 0.0f ? dx / length : 0.0f;
                dy = length != 0.0f ? dy / length : 0.0f;
                p.velocityX += (dx * p.radialAccel - dy * p.tangentialAccel) * dt;
                p.velocityY += (dy * p.radialAccel + dx * p.tangentialAccel) * dt;
                p.velocityY += p.gravity * dt;
                p.x += p.velocityX * scale;
                p.y += p.velocityY * scale;
                p.spin += p.spinDelta * dt;
                p.size += p.sizeDelta * dt;
                p.red += p.redDelta * dt;
                p.green += p.greenDelta * dt;
                p.blue += p.blueDelta * dt;
                p.alpha += p.alphaDelta * dt;
            }
        }
        benchmark::DoNotOptimize(emitters.data());
    }
}

// ---- drawing ----

CKVQWindow* Cell(int index)
{
    CKVQWindow* w = CKVQWindow::New();
    const int32_t x = index % kColumns * kCellWidth, y = index / kColumns * kCellHeight;
    w->Layout = LayoutRect{0, 0, 0, 0, x, x + kCellWidth, y, y + kCellHeight};
    return w;
}

// An emitter whose 200 particles are upright and of the image's size: each is one unscaled quad.
CKVQWindow* ParticleCell(int index)
{
    CKVQWindow* w = Cell(index);
    auto* particle = new CRenderObject_Particle;
    particle->Layout = LayoutRect{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0};
    particle->sprite.file = kSparkImage;
    particle->AttachInfo(LongLived());
    w->AddRender(particle);
    const KVQRect r = w->GetRect();
    particle->emitter.FireAt(static_cast<float>(r.left + kCellWidth / 2), static_cast<float>(r.top + kCellHeight / 2));
    for (int step = 0; step < 11; ++step)
        particle->emitter.Step(kStep);  // spread them out
    for (int32_t i = 0; i < particle->emitter.count; ++i)
        particle->emitter.pool[i].angle = particle->emitter.pool[i].spin = 0.0f;
    return w;
}

// The same quads as pictures, where the particles of an emitter land.
CKVQWindow* PictureCell(int index)
{
    CKVQWindow* w = Cell(index);
    ParticleEmitter e;
    e.info = LongLived();
    e.FireAt(static_cast<float>(kCellWidth / 2), static_cast<float>(kCellHeight / 2));
    for (int step = 0; step < 11; ++step)
        e.Step(kStep);
    for (int32_t i = 0; i < e.Count(); ++i) {
        auto* picture = new CRenderObject_Pitcture;
        const auto x = static_cast<int32_t>(e.Particles()[i].x) - kSpark / 2;
        const auto y = static_cast<int32_t>(e.Particles()[i].y) - kSpark / 2;
        picture->Layout = LayoutRect{0, 0, 0, 0, x, x + kSpark, y, y + kSpark};
        picture->sprite.file = kSparkImage;
        picture->clip.IsClip = 0;
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
        std::vector<uint8_t> pixels(kSpark * kSpark * 4, 200);
        CTextureCache::Instance().AddTexture(kSparkImage, pixels.data(), kSpark, kSpark);
        CKVQWindow* root = CKVQWindow::New();
        root->Layout = LayoutRect{0, 0, 0, 0, 0, kScreenWidth, 0, kScreenHeight};
        CKVQWindowMgr::Instance().SetRoot(root);
        for (int i = 0; i < kEmitters; ++i)
            root->AppendChild(cell(i));
    }
    ~LayoutScope()
    {
        CKVQWindowMgr::Instance().Reset();
        CTextureCache::Instance().RemoveTexture(kSparkImage);
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
}

void OpenGL(benchmark::State& state, CKVQWindow* (*cell)(int))
{
    GLTarget gl(state, "particle bench", kScreenWidth, kScreenHeight, true);
    if (!gl.dc)
        return;
    LayoutScope layout(cell);
    SetCurrentDevice(gl.dc.get());
    RenderTreeFrames(state, *gl.dc);
    SetCurrentDevice(nullptr);
}

void BM_particleDrawSoftware(benchmark::State& state) { Software(state, &ParticleCell); }
void BM_particlePicturesSoftware(benchmark::State& state) { Software(state, &PictureCell); }
void BM_particleDrawOpenGL(benchmark::State& state) { OpenGL(state, &ParticleCell); }
void BM_particlePicturesOpenGL(benchmark::State& state) { OpenGL(state, &PictureCell); }
BENCHMARK(BM_particleStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_particlePlainStepLoop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_particleDrawSoftware)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_particlePicturesSoftware)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_particleDrawOpenGL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_particlePicturesOpenGL)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {{"BM_particleStep", "BM_particlePlainStepLoop", 1.5},
                          {"BM_particleDrawSoftware", "BM_particlePicturesSoftware", 0},
                          {"BM_particleDrawOpenGL", "BM_particlePicturesOpenGL", 0}});
}

// Arbitrary bytes as a ".psi" particle file: the parameters it gives (NaN, infinities, hostile
// counts and all) must run through the simulation and drawing without crashing, keep the pool
// within its 200 particles, and survive the layout record unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"
#include "io/Archive.h"
#include "render/particles/Particle.h"
#include "ui/Message.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr int32_t kScreen = 32;  // 200 screen-filling particles a tick stay cheap under the sanitizers
constexpr const char* kSpark = "psi-fuzz-spark.png";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParticleInfo info;
    if (!info.FromFileBytes(data, size))
        return 0;
    // The bytes past the file steer the run: the fixed step and how the emitter moves.
    const uint8_t steer = size > 128 ? data[128] : 0;

    static CKVQWin32DC* dc = [] {
        SetTextureKind(kTextureMemoryImage);
        std::vector<uint8_t> pixels(4 * 4 * 4, 255);
        CTextureCache::Instance().AddTexture(kSpark, pixels.data(), 4, 4);
        auto* device = new CKVQWin32DC;
        device->Init(kScreen, kScreen, nullptr, 0);
        return device;
    }();
    CKVQDC* previous = SetCurrentDevice(dc);

    CRenderObject_Particle particle;
    particle.sprite.file = kSpark;
    particle.AttachInfo(info);
    particle.emitter.fUpdSpeed = (steer & 1) != 0 ? 0.0f : 1.0f / 30.0f;
    particle.IsMoveParticle = (steer & 2) != 0 ? 0 : 1;
    particle.emitter.FireAt(kScreen / 2, kScreen / 2);
    for (int32_t tick = 0; tick < 12; ++tick) {
        particle.emitter.Advance(0.1f);
        Check(particle.emitter.Count() >= 0 && particle.emitter.Count() <= ParticleEmitter::kPoolSize);
        const int32_t shift = (steer & 4) != 0 ? tick * 3 : 0;
        dc->BeginScene();
        particle.Draw(KVQRect{shift, kScreen + shift, 0, kScreen});
        dc->EndScene();
    }

    // The record carries every parameter (a switch stored as 1 or 0).
    CKVQMessage stored(16);
    stored.setMode(CIArchive::SM_WRITE);
    particle.TransferRecord(stored);
    stored.setMode(CIArchive::SM_READ);
    CRenderObject_Particle loaded;
    loaded.TransferRecord(stored);
    ParticleInfo expected = info;
    expected.bRelative = info.bRelative != 0 ? 1 : 0;
    uint8_t want[ParticleInfo::kFileBytes];
    uint8_t got[ParticleInfo::kFileBytes];
    expected.ToSavedBytes(want);
    loaded.emitter.info.ToSavedBytes(got);
    Check(std::memcmp(want, got, sizeof want) == 0);

    SetCurrentDevice(previous);
    return 0;
}

#pragma once
// A particle emitter attached to a window. Its parameters come from a ".psi" file (or from the
// record), every particle is drawn with one sprite centred on it, and a timer of the window sends
// "OnParticleUpdate" every 100 ms, each advancing the simulation by 0.1 s. The emitter follows the
// centre of the object's layout rectangle.

#include <cstdint>

#include "common/EngineString.h"
#include "render/Render.h"
#include "render/particles/ParticleEmitter.h"
#include "render/pictures/Sprite.h"

class CRenderObject_Particle : public IRender {
public:
    static constexpr const char* kClassName = "Particle";
    static constexpr const char* kOnParticleUpdate = "OnParticleUpdate";
    static constexpr const char* kOnFireParticle = "OnFireParticle";
    static constexpr int32_t kUpdateInterval = 100;  // milliseconds between updates
    static constexpr float kUpdateSeconds = 0.1f;   // simulated per update

    CRenderObject_Particle();
    ~CRenderObject_Particle() override;  // kills the timer

    const char* GetClassName() const override { return kClassName; }
    // psiFile, the parameters as one block, the sprite, then IsLoaded, IsMoveParticle and
    // IsUpdateAllway.
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    // Reads the ".psi" file first when needed; nothing is drawn until it has been read.
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_Particle); }
    // "LoadPsi", "SavePsi" and "Timer" on the "Particle" group; "Copy" and "Paste" on the
    // sprite's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_Particle; }

    // Starts (or restarts) the update timer on the owner window; a no-op without one.
    void StartTimer();
    // Lets go of the update timer; it is killed when no emitter of the window uses it any more.
    void StopTimer();
    // Fires the emitter at the centre of the owner window's rectangle.
    void FireAtWindowCentre();
    // One "OnParticleUpdate".
    void Update();
    void Zoom(float factor);
    // Reads psiFile into the parameters and attaches the sprite; false (reported once per file)
    // when the file cannot be opened or is short, leaving the parameters as they were.
    bool LoadPsi();
    // Takes parameters as a file gives them and attaches the sprite (what a successful LoadPsi
    // does once the file is read).
    void AttachInfo(const ParticleInfo& info);
    // Writes the parameters to psiFile; false (reported) when the file cannot be written.
    bool SavePsi();
    bool IsSpriteAttached() const { return spriteAttached; }

    CKVQString psiFile;
    ParticleEmitter emitter;
    int32_t IsLoaded = 0;
    int32_t IsMoveParticle = 1;
    int32_t IsUpdateAllway = 0;
    Sprite sprite;
    uint32_t timerId = 0;

private:
    bool spriteAttached = false;
};

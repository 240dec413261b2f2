#pragma once
// An emitter's parameters: 32 four-byte values, laid out in memory exactly as a ".psi" particle
// file holds them (128 bytes, little-endian). The same record is stored inside layouts as one
// nested block and described to the editor as the group "Info".

#include <cstddef>
#include <cstdint>
#include <string>

class CIArchive;
class CIEditHook;

struct ParticleColor {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 0.0f;
};

struct ParticleInfo {
    // Bytes of a ".psi" file.
    static constexpr int32_t kFileBytes = 128;

    // A slot the file reserves for the sprite: not read, written as zero by the engine.
    uint32_t spriteSlot = 0;
    int32_t nEmission = 0;  // particles per second
    float fLifetime = 0.0f;  // seconds; -1 for an endless emitter
    float fParticleLifeMin = 0.0f;
    float fParticleLifeMax = 0.0f;
    float fDirection = 0.0f;  // radians
    float fSpread = 0.0f;
    uint8_t bRelative = 0;  // the direction turns with the emitter's movement
    uint8_t padding[3] = {0, 0, 0};
    float fSpeedMin = 0.0f;
    float fSpeedMax = 0.0f;
    float fGravityMin = 0.0f;
    float fGravityMax = 0.0f;
    float fRadialAccelMin = 0.0f;
    float fRadialAccelMax = 0.0f;
    float fTangentialAccelMin = 0.0f;
    float fTangentialAccelMax = 0.0f;
    float fSizeStart = 0.0f;
    float fSizeEnd = 0.0f;
    float fSizeVar = 0.0f;
    float fSpinStart = 0.0f;
    float fSpinEnd = 0.0f;
    float fSpinVar = 0.0f;
    ParticleColor colorStart;  // 0.0 to 1.0 each
    ParticleColor colorEnd;
    float fColorVar = 0.0f;
    float fAlphaVar = 0.0f;

    // The record as one nested block (named "Info"): nEmission, the five floats, bRelative as a
    // 32-bit switch, fourteen floats, both colours as alpha, red, green, blue, fColorVar, fAlphaVar.
    void Transfer(CIArchive& ar);
    // The "Info" group, fields in file order.
    void Describe(CIEditHook& hook);

    // The 128 file bytes, the sprite slot and the padding as they are held.
    void ToFileBytes(uint8_t (&bytes)[kFileBytes]) const;
    // Reads the first 128 bytes; false (nothing changed) when fewer are given.
    bool FromFileBytes(const uint8_t* bytes, size_t size);
    // The file bytes as the engine writes them: sprite slot and padding zero, so that saving the
    // same parameters always gives the same file.
    void ToSavedBytes(uint8_t (&bytes)[kFileBytes]) const;
};

namespace psi_file {

// Reads a ".psi" file through the file system into info. A file that cannot be opened or is
// shorter than 128 bytes leaves info unchanged and says why in problem. The sprite slot and the
// padding of the file are not taken.
bool Load(const char* path, ParticleInfo& info, std::string& problem);
// Writes the 128 bytes of info (sprite slot and padding zero) to path on disk.
bool Save(const char* path, const ParticleInfo& info);

}  // namespace psi_file

#pragma once
// Sound files for the audio tests: silent PCM WAV data of a given length, and the setting that
// keeps every test on SDL's dummy audio driver.

#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

// 8-bit mono PCM at 8000 Hz: small files that still play long enough to be caught playing.
inline std::vector<uint8_t> SilentWav(uint32_t milliseconds)
{
    constexpr uint32_t kRate = 8000;
    const uint32_t samples = kRate * milliseconds / 1000;
    std::vector<uint8_t> bytes;
    auto text = [&](const char* four) { bytes.insert(bytes.end(), four, four + 4); };
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    };
    text("RIFF");
    u32(36 + samples);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);      // PCM
    u16(1);      // mono
    u32(kRate);  // samples per second
    u32(kRate);  // bytes per second
    u16(1);      // block align
    u16(8);      // bits per sample
    text("data");
    u32(samples);
    bytes.insert(bytes.end(), samples, 0x80);  // unsigned 8-bit silence
    return bytes;
}

// Every audio test plays into the dummy driver, whatever the machine has.
inline void UseDummyAudioDriver()
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

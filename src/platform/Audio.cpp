#include "platform/Audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/DebugOutput.h"
#include "platform/LibraryMemory.h"

struct platform::SoundData {
    Mix_Chunk* chunk = nullptr;
};

struct platform::MusicData {
    Mix_Music* music = nullptr;
};

namespace platform {

namespace {

constexpr int kFrequency = 44100;
constexpr int kOutputChannels = 2;
constexpr int kChunkSize = 1024;
// Enough for any burst of effects a 2D game starts at once; beyond it a new effect is dropped
// rather than the mixer growing without bound.
constexpr int kMaxMixChannels = 256;
constexpr const char* kSilentDriver = "dummy";
constexpr const char* kHeadlessVideoDriver = "offscreen";

enum class DeviceState { Closed, Open, Failed };

DeviceState deviceState = DeviceState::Closed;
bool initialisedAudioSubsystem = false;
int effectsVolume = MIX_MAX_VOLUME;
int musicVolume = MIX_MAX_VOLUME;
MusicData* currentMusic = nullptr;  // the music last started, until it is freed

int ToMixVolume(float volume)
{
    if (std::isnan(volume))
        return 0;
    return static_cast<int>(std::lround(std::clamp(volume, 0.0f, 1.0f) * MIX_MAX_VOLUME));
}

// Without a window, or with the offscreen one, sound has nowhere to be heard: the dummy driver
// keeps tools, tests and headless runs silent and independent of the machine's hardware. An
// explicit SDL_AUDIODRIVER still wins.
bool WantsSilentDriver()
{
    if (SDL_getenv("SDL_AUDIODRIVER") != nullptr)
        return false;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return true;
    const char* video = SDL_GetCurrentVideoDriver();
    return video != nullptr && std::strcmp(video, kHeadlessVideoDriver) == 0;
}

void ReportFailure(const char* what)
{
    std::string text = std::string("audio: ") + what + ": " + Mix_GetError() + "\r\n";
    WriteDebugOutput(text.c_str());
}

// RIFF/WAVE files whose format record states no channels or no sample rate make the mixer's own
// converters divide by zero; such files are refused before any decoder sees them. Other formats
// pass through unchanged.
constexpr size_t kWaveProbeBytes = 4096;
constexpr uint32_t kMaxWaveChannels = 8;
constexpr uint32_t kMaxWaveRate = 768000;

uint32_t LittleEndian(const uint8_t* bytes, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

bool WaveFormatIsSane(const uint8_t* bytes, size_t size)
{
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return true;
    size_t at = 12;
    while (at + 8 <= size) {
        const uint32_t length = LittleEndian(bytes + at + 4, 4);
        if (std::memcmp(bytes + at, "fmt ", 4) == 0) {
            if (length < 16 || at + 8 + 16 > size)
                return false;
            const uint8_t* format = bytes + at + 8;
            const uint32_t channels = LittleEndian(format + 2, 2);
            const uint32_t rate = LittleEndian(format + 4, 4);
            const uint32_t blockAlign = LittleEndian(format + 12, 2);
            return channels >= 1 && channels <= kMaxWaveChannels && rate >= 1 && rate <= kMaxWaveRate &&
                   blockAlign >= 1;
        }
        at += 8 + static_cast<size_t>(length) + (length & 1);
    }
    return false;  // a wave file without a readable format record
}

bool SoundFileIsSane(const char* path)
{
    SDL_RWops* file = SDL_RWFromFile(path, "rb");
    if (file == nullptr)
        return false;
    uint8_t probe[kWaveProbeBytes];
    const size_t got = SDL_RWread(file, probe, 1, sizeof(probe));
    SDL_RWclose(file);
    return WaveFormatIsSane(probe, got);
}

bool ValidChannel(int32_t channel)
{
    return channel == -1 || (channel >= 0 && channel < Mix_AllocateChannels(-1));
}

bool OpenDevice()
{
    CapLibraryAllocations();  // sound files state sizes that their loaders believe
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
        const bool silent = WantsSilentDriver();
        if (silent)
            SDL_SetHint(SDL_HINT_AUDIODRIVER, kSilentDriver);
        const int result = SDL_InitSubSystem(SDL_INIT_AUDIO);
        if (silent)
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);  // a window made later gets the real device
        if (result != 0) {
            ReportFailure("no audio driver");
            return false;
        }
        initialisedAudioSubsystem = true;
    }
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG);  // WAV needs no decoder; a missing one only limits formats
    if (Mix_OpenAudio(kFrequency, MIX_DEFAULT_FORMAT, kOutputChannels, kChunkSize) != 0) {
        ReportFailure("the output device did not open");
        Mix_Quit();
        if (initialisedAudioSubsystem) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            initialisedAudioSubsystem = false;
        }
        return false;
    }
    Mix_MasterVolume(effectsVolume);
    Mix_VolumeMusic(musicVolume);
    return true;
}

}  // namespace

bool OpenAudio()
{
    if (deviceState == DeviceState::Closed)
        deviceState = OpenDevice() ? DeviceState::Open : DeviceState::Failed;
    return deviceState == DeviceState::Open;
}

bool IsAudioOpen()
{
    return deviceState == DeviceState::Open;
}

void CloseAudio()
{
    if (deviceState == DeviceState::Open) {
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
        Mix_CloseAudio();
        Mix_Quit();
        if (initialisedAudioSubsystem)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        initialisedAudioSubsystem = false;
    }
    currentMusic = nullptr;
    deviceState = DeviceState::Closed;
}

SoundData* LoadSound(const char* path)
{
    if (!IsAudioOpen() || path == nullptr || *path == 0 || !SoundFileIsSane(path))
        return nullptr;
    SDL_RWops* file = SDL_RWFromFile(path, "rb");
    if (file == nullptr)
        return nullptr;
    // The file is closed here, not by the loader: on data it cannot decode the loader does not
    // always release the file it was told to close.
    Mix_Chunk* chunk = Mix_LoadWAV_RW(file, 0);
    SDL_RWclose(file);
    if (chunk == nullptr)
        return nullptr;
    return new SoundData{chunk};
}

void FreeSound(SoundData* sound)
{
    if (sound == nullptr)
        return;
    // Mix_FreeChunk halts the channels still playing the chunk before it frees it, and only
    // frees when the device is already closed.
    Mix_FreeChunk(sound->chunk);
    delete sound;
}

int32_t PlaySound(SoundData* sound, bool loop)
{
    if (!IsAudioOpen() || sound == nullptr)
        return -1;
    const int loops = loop ? -1 : 0;
    int channel = Mix_PlayChannel(-1, sound->chunk, loops);
    if (channel < 0) {
        const int count = Mix_AllocateChannels(-1);
        if (count >= kMaxMixChannels || Mix_Playing(-1) < count)
            return -1;
        Mix_AllocateChannels(std::min(kMaxMixChannels, std::max(count * 2, MIX_CHANNELS)));
        channel = Mix_PlayChannel(-1, sound->chunk, loops);
    }
    return channel;
}

void PauseChannel(int32_t channel)
{
    if (IsAudioOpen() && ValidChannel(channel))
        Mix_Pause(channel);
}

void ResumeChannel(int32_t channel)
{
    if (IsAudioOpen() && ValidChannel(channel))
        Mix_Resume(channel);
}

void HaltChannel(int32_t channel)
{
    if (IsAudioOpen() && ValidChannel(channel))
        Mix_HaltChannel(channel);
}

bool IsChannelPlaying(int32_t channel)
{
    return IsAudioOpen() && channel >= 0 && ValidChannel(channel) && Mix_Playing(channel) != 0;
}

bool IsChannelPaused(int32_t channel)
{
    return IsChannelPlaying(channel) && Mix_Paused(channel) != 0;
}

MusicData* LoadMusic(const char* path)
{
    if (!IsAudioOpen() || path == nullptr || *path == 0 || !SoundFileIsSane(path))
        return nullptr;
    Mix_Music* music = Mix_LoadMUS(path);
    if (music == nullptr)
        return nullptr;
    return new MusicData{music};
}

void FreeMusic(MusicData* music)
{
    if (music == nullptr)
        return;
    if (music == currentMusic)
        currentMusic = nullptr;
    // Mix_FreeMusic halts the music first when it is the one playing.
    Mix_FreeMusic(music->music);
    delete music;
}

bool PlayMusic(MusicData* music, bool loop)
{
    if (!IsAudioOpen() || music == nullptr)
        return false;
    // SDL_mixer counts plays here: -1 repeats for ever, 1 plays once.
    if (Mix_PlayMusic(music->music, loop ? -1 : 1) != 0)
        return false;
    currentMusic = music;
    return true;
}

void HaltMusic()
{
    if (IsAudioOpen())
        Mix_HaltMusic();
}

void PauseMusic()
{
    if (IsAudioOpen() && Mix_PlayingMusic() != 0)
        Mix_PauseMusic();
}

void ResumeMusic()
{
    if (IsAudioOpen() && Mix_PlayingMusic() != 0)
        Mix_ResumeMusic();
}

void RewindMusic()
{
    if (IsAudioOpen() && Mix_PlayingMusic() != 0)
        Mix_RewindMusic();
}

bool IsMusicPlaying()
{
    return IsAudioOpen() && Mix_PlayingMusic() != 0 && Mix_PausedMusic() == 0;
}

bool IsMusicPaused()
{
    return IsAudioOpen() && Mix_PlayingMusic() != 0 && Mix_PausedMusic() != 0;
}

void SetEffectsVolume(float volume)
{
    effectsVolume = ToMixVolume(volume);
    if (IsAudioOpen())
        Mix_MasterVolume(effectsVolume);
}

void SetMusicVolume(float volume)
{
    musicVolume = ToMixVolume(volume);
    if (IsAudioOpen())
        Mix_VolumeMusic(musicVolume);
}

}  // namespace platform

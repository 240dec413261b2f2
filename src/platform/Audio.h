#pragma once
// The audio back end: the output device, decoded sound effects played on mixing channels, and one
// stream of background music, over SDL2_mixer. Everything here is called from the main thread.
//
// The device opens on first need. A process that shows no window (tools, tests) or runs
// headless plays into SDL's "dummy" driver unless SDL_AUDIODRIVER names another, so nothing is
// heard and nothing waits for hardware. When no device opens, loads answer null, plays answer
// -1 / false and the rest does nothing: the game runs silently.

#include <cstdint>

namespace platform {

// True when the device is open (opening it now if needed). A failed open is not retried until
// CloseAudio, so a machine without sound does not pay for the attempt on every call.
bool OpenAudio();
bool IsAudioOpen();
// Halts every channel and the music and closes the device. Loaded sounds and music must have
// been freed first.
void CloseAudio();

struct SoundData;  // a decoded effect
struct MusicData;  // a music stream

// Null when the device is closed or the file cannot be read or decoded.
SoundData* LoadSound(const char* path);
// Halts any channel still playing it, then frees it. Null is ignored.
void FreeSound(SoundData* sound);
// Starts the sound on a free channel (more channels are made when all are busy, up to a limit).
// Returns the channel, or -1 when nothing could play.
int32_t PlaySound(SoundData* sound, bool loop);

// channel -1 means every channel; numbers that name no channel are ignored.
void PauseChannel(int32_t channel);
void ResumeChannel(int32_t channel);
void HaltChannel(int32_t channel);
// Playing includes paused; false for a channel that finished or was halted.
bool IsChannelPlaying(int32_t channel);
bool IsChannelPaused(int32_t channel);

// Null when the device is closed or the file cannot be opened as music.
MusicData* LoadMusic(const char* path);
// Halts it first when it is the music playing. Null is ignored.
void FreeMusic(MusicData* music);
bool PlayMusic(MusicData* music, bool loop);
void HaltMusic();
void PauseMusic();
void ResumeMusic();
void RewindMusic();
// Playing and not paused.
bool IsMusicPlaying();
bool IsMusicPaused();

// Volumes from 0.0 to 1.0 (values outside are clamped). The effects volume covers every
// channel, those made later included.
void SetEffectsVolume(float volume);
void SetMusicVolume(float volume);

}  // namespace platform

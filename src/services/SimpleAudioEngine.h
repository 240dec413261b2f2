#pragma once
// Background music and sound effects, opened by file path, over SDL2_mixer. One engine per
// process (sharedEngine). Callers resolve game file names to real paths first (a packaged sound is
// extracted to the write path's "sound" folder); the engine itself only takes paths. A missing or
// unreadable file, or a machine without an audio device, makes the calls do nothing: the game
// runs silently.

#include <cstdint>
#include <string>

class SimpleAudioEngine {
public:
    static SimpleAudioEngine* sharedEngine();
    // Stops everything and closes the audio device; the next call opens it again.
    static void end();

    void preloadBackgroundMusic(const char* path);
    void playBackgroundMusic(const char* path, bool loop);
    void stopBackgroundMusic(bool releaseData);
    void pauseBackgroundMusic();
    void resumeBackgroundMusic();
    void rewindBackgroundMusic();
    bool willPlayBackgroundMusic();
    bool isBackgroundMusicPlaying();
    float getBackgroundMusicVolume();
    void setBackgroundMusicVolume(float volume);  // 0.0 to 1.0

    float getEffectsVolume();
    void setEffectsVolume(float volume);  // 0.0 to 1.0
    // The id names the playing effect for pause, resume and stop; 0 when nothing could play.
    uint32_t playEffect(const char* path, bool loop);
    void pauseEffect(uint32_t id);
    void pauseAllEffects();
    void resumeEffect(uint32_t id);
    void resumeAllEffects();
    void stopEffect(uint32_t id);
    void stopAllEffects();
    void preloadEffect(const char* path);
    void unloadEffect(const char* path);

    // What the engine holds, for sound objects, the shell and tests.
    bool isEffectLoaded(const char* path);
    // Playing includes paused; false once the effect has finished or was stopped.
    bool isEffectActive(uint32_t id);
    bool isEffectPaused(uint32_t id);
    // False while the game runs silently (no device could be opened).
    bool isDeviceOpen();
    // The loop flag the latest playEffect or playBackgroundMusic call was given, whether or not
    // anything could play (what the script bindings passed on).
    bool lastLoopFlag();

private:
    SimpleAudioEngine() = default;
};

// The write path's folder that packaged sounds are extracted to.
inline constexpr const char* kSoundFolder = "sound";

// The real path of a game sound name: a packaged sound is extracted to the write path's sound
// folder (ExtractToWritePath); otherwise a loose file in the application folder, its sound
// folder or a search path (exact name first, then the final part in any letter case). "" when
// there is none, or when the name would leave those folders; such a name is reported once per run
// as a missing sound.
std::string ResolveSoundFile(const char* name);
// Where ResolveSoundFile looks: the package, then the folders (the "looked in" of the notice).
std::string SoundLookupText();
// The path the name was last resolved to, without resolving it again ("" when it never was):
// unloading by game name reaches the data that loading by that name cached.
std::string ResolvedSoundFile(const char* name);

// The game file name most recently handed to the audio paths by scripts.
const std::string& GetLastSoundName();
void SetLastSoundName(const char* name);

#pragma once
// Background music and sound effects, opened by file path, over SDL2_mixer. One engine per
// process (sharedEngine). Callers resolve game file names to real paths first (a packaged sound is
// extracted to the write path's "sound" folder); the engine itself only takes paths. A missing or
// unreadable file, or a machine without an audio device, makes the calls do nothing: the game
// runs silently.

#include <cstdint>

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

private:
    SimpleAudioEngine() = default;
};

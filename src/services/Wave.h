#pragma once
// `CKVQWave`: one sound a script loads by game file name and then plays, pauses and stops. It
// plays through the audio engine as an effect, so the effects volume and the shell's pause and
// resume of all effects apply to it as well.

#include <cstdint>
#include <string>

class CKVQWave {
public:
    CKVQWave() = default;
    CKVQWave(const CKVQWave&) = delete;
    CKVQWave& operator=(const CKVQWave&) = delete;
    ~CKVQWave();  // stops the sound

    // Finds the game sound (packaged or loose) and decodes it when the device is open. False
    // when there is no such sound or it cannot be decoded; a game without an audio device still
    // gets true for a sound that is there. A failed load keeps no earlier sound.
    bool Load(const char* file);
    // Resumes a paused sound; otherwise starts it from the beginning. Nothing without a sound.
    void Play();
    void Pause();
    void Stop();

    bool IsPlaying() const;  // playing and not paused
    const std::string& GetPath() const { return path_; }

private:
    std::string path_;  // the real file, "" until a load succeeds
    uint32_t effect_ = 0;
};

// Arbitrary bytes as a sound file, through the audio engine on the silent driver: loading it as an
// effect and as music, playing and stopping it must never crash or leak.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/SimpleAudioEngine.h"

namespace {

const std::string& ScratchPath()
{
    static const std::string path = "/tmp/kvq_sound_fuzz_" + std::to_string(getpid()) + ".snd";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool silent = [] { return setenv("SDL_AUDIODRIVER", "dummy", 1) == 0; }();
    (void)silent;
    FILE* out = std::fopen(ScratchPath().c_str(), "wb");
    if (out == nullptr)
        return 0;
    if (size > 0)
        std::fwrite(data, 1, size, out);
    std::fclose(out);

    SimpleAudioEngine* engine = SimpleAudioEngine::sharedEngine();
    const char* path = ScratchPath().c_str();
    engine->preloadEffect(path);
    const uint32_t id = engine->playEffect(path, false);
    engine->stopEffect(id);
    engine->unloadEffect(path);
    engine->playBackgroundMusic(path, false);
    engine->stopBackgroundMusic(true);
    std::remove(path);
    return 0;
}

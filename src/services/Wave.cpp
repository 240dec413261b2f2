#include "services/Wave.h"

#include "services/SimpleAudioEngine.h"

CKVQWave::~CKVQWave()
{
    Stop();
}

bool CKVQWave::Load(const char* file)
{
    Stop();
    path_.clear();
    const std::string path = ResolveSoundFile(file);
    if (path.empty())
        return false;
    SimpleAudioEngine& engine = *SimpleAudioEngine::sharedEngine();
    engine.preloadEffect(path.c_str());
    if (engine.isDeviceOpen() && !engine.isEffectLoaded(path.c_str()))
        return false;  // there, but not a sound the device can play
    path_ = path;
    return true;
}

void CKVQWave::Play()
{
    if (path_.empty())
        return;
    SimpleAudioEngine& engine = *SimpleAudioEngine::sharedEngine();
    if (engine.isEffectPaused(effect_)) {
        engine.resumeEffect(effect_);
        return;
    }
    engine.stopEffect(effect_);
    effect_ = engine.playEffect(path_.c_str(), false);
}

void CKVQWave::Pause()
{
    SimpleAudioEngine::sharedEngine()->pauseEffect(effect_);
}

void CKVQWave::Stop()
{
    if (effect_ != 0)
        SimpleAudioEngine::sharedEngine()->stopEffect(effect_);
    effect_ = 0;
}

bool CKVQWave::IsPlaying() const
{
    SimpleAudioEngine& engine = *SimpleAudioEngine::sharedEngine();
    return engine.isEffectActive(effect_) && !engine.isEffectPaused(effect_);
}

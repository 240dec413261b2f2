// The audio engine on SDL's dummy driver: effect ids and what they control, background music,
// volumes, the silent engine when no device opens, game sound names resolved to real paths, and
// sound objects.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "io/FileSystem.h"
#include "platform/Audio.h"
#include "services/SimpleAudioEngine.h"
#include "services/Wave.h"
#include "services/SoundFiles.h"
#include "support/TempFiles.h"

namespace fs = std::filesystem;

namespace {

class AudioEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseDummyAudioDriver();
        ASSERT_TRUE(folder_.ok());
        app_ = folder_.path() + "/";
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(app_);
        GetFileSystem().SetPackageName("NULL");
        beep_ = app_ + "beep.wav";
        ASSERT_TRUE(WriteFile(beep_, SilentWav(2000)));
        engine_ = SimpleAudioEngine::sharedEngine();
        engine_->setEffectsVolume(1.0f);
        engine_->setBackgroundMusicVolume(1.0f);
    }
    void TearDown() override
    {
        SimpleAudioEngine::end();
        GetFileSystem().Reset();
    }

    TempFolder folder_;
    std::string app_;
    std::string beep_;
    SimpleAudioEngine* engine_ = nullptr;
};

TEST_F(AudioEngineTest, OneEngineForTheWholeProcess)
{
    EXPECT_EQ(SimpleAudioEngine::sharedEngine(), engine_);
    SimpleAudioEngine::end();
    EXPECT_EQ(SimpleAudioEngine::sharedEngine(), engine_);
}

TEST_F(AudioEngineTest, EffectIdsAreNonzeroIncreasingAndControlTheirEffect)
{
    const uint32_t first = engine_->playEffect(beep_.c_str(), true);
    const uint32_t second = engine_->playEffect(beep_.c_str(), true);
    ASSERT_TRUE(engine_->isDeviceOpen());
    ASSERT_NE(first, 0u);
    EXPECT_GT(second, first);
    EXPECT_TRUE(engine_->isEffectActive(first));
    EXPECT_TRUE(engine_->isEffectActive(second));

    engine_->pauseEffect(first);
    EXPECT_TRUE(engine_->isEffectPaused(first));
    EXPECT_TRUE(engine_->isEffectActive(first)) << "paused is still playing";
    EXPECT_FALSE(engine_->isEffectPaused(second));
    engine_->resumeEffect(first);
    EXPECT_FALSE(engine_->isEffectPaused(first));

    engine_->stopEffect(first);
    EXPECT_FALSE(engine_->isEffectActive(first));
    EXPECT_TRUE(engine_->isEffectActive(second));
}

TEST_F(AudioEngineTest, AStaleIdDoesNotReachTheEffectNowOnItsChannel)
{
    const uint32_t old = engine_->playEffect(beep_.c_str(), true);
    engine_->stopEffect(old);
    const uint32_t current = engine_->playEffect(beep_.c_str(), true);  // takes the freed channel
    ASSERT_NE(current, 0u);
    engine_->pauseEffect(old);
    engine_->stopEffect(old);
    EXPECT_TRUE(engine_->isEffectActive(current));
    EXPECT_FALSE(engine_->isEffectPaused(current));
    engine_->stopEffect(0);
    engine_->stopEffect(0xFFFFFFFFu);
    EXPECT_TRUE(engine_->isEffectActive(current));
}

TEST_F(AudioEngineTest, AllEffectsPauseResumeAndStopTogether)
{
    std::vector<uint32_t> ids;
    for (int i = 0; i < 20; ++i)  // more than the mixer's first channels
        ids.push_back(engine_->playEffect(beep_.c_str(), true));
    for (uint32_t id : ids)
        ASSERT_TRUE(id != 0 && engine_->isEffectActive(id));

    engine_->pauseAllEffects();
    for (uint32_t id : ids)
        EXPECT_TRUE(engine_->isEffectPaused(id));
    engine_->resumeAllEffects();
    for (uint32_t id : ids)
        EXPECT_FALSE(engine_->isEffectPaused(id));
    engine_->stopAllEffects();
    for (uint32_t id : ids)
        EXPECT_FALSE(engine_->isEffectActive(id));
}

TEST_F(AudioEngineTest, MissingOrUndecodableFilesPlayNothing)
{
    ASSERT_TRUE(WriteFile(app_ + "noise.wav", std::string("this is not a sound")));
    EXPECT_EQ(engine_->playEffect((app_ + "none.wav").c_str(), false), 0u);
    EXPECT_EQ(engine_->playEffect((app_ + "noise.wav").c_str(), false), 0u);
    EXPECT_EQ(engine_->playEffect("", false), 0u);
    EXPECT_EQ(engine_->playEffect(nullptr, true), 0u);
    engine_->preloadEffect(nullptr);
    engine_->unloadEffect(nullptr);
    EXPECT_FALSE(engine_->isEffectLoaded((app_ + "none.wav").c_str()));

    // A file that arrives later is found then: failures are not remembered.
    ASSERT_TRUE(WriteFile(app_ + "none.wav", SilentWav(100)));
    EXPECT_NE(engine_->playEffect((app_ + "none.wav").c_str(), false), 0u);

    engine_->playBackgroundMusic((app_ + "nomusic.wav").c_str(), true);
    engine_->preloadBackgroundMusic((app_ + "noise.wav").c_str());
    EXPECT_FALSE(engine_->willPlayBackgroundMusic());
    EXPECT_FALSE(engine_->isBackgroundMusicPlaying());
}

TEST_F(AudioEngineTest, UnloadingAnEffectStopsItAndFreesIt)
{
    engine_->preloadEffect(beep_.c_str());
    EXPECT_TRUE(engine_->isEffectLoaded(beep_.c_str()));
    const uint32_t id = engine_->playEffect(beep_.c_str(), true);
    ASSERT_TRUE(engine_->isEffectActive(id));
    engine_->unloadEffect(beep_.c_str());
    EXPECT_FALSE(engine_->isEffectLoaded(beep_.c_str()));
    EXPECT_FALSE(engine_->isEffectActive(id));
    engine_->stopEffect(id);  // nothing left to stop

    // Played again, it is loaded again.
    EXPECT_NE(engine_->playEffect(beep_.c_str(), false), 0u);
    EXPECT_TRUE(engine_->isEffectLoaded(beep_.c_str()));
}

TEST_F(AudioEngineTest, BackgroundMusicPlaysPausesResumesAndStops)
{
    EXPECT_FALSE(engine_->willPlayBackgroundMusic());
    engine_->preloadBackgroundMusic(beep_.c_str());
    engine_->preloadBackgroundMusic(beep_.c_str());
    EXPECT_TRUE(engine_->willPlayBackgroundMusic());
    EXPECT_FALSE(engine_->isBackgroundMusicPlaying());

    engine_->playBackgroundMusic(beep_.c_str(), true);
    EXPECT_TRUE(engine_->isBackgroundMusicPlaying());
    engine_->pauseBackgroundMusic();
    EXPECT_FALSE(engine_->isBackgroundMusicPlaying());
    engine_->rewindBackgroundMusic();
    engine_->resumeBackgroundMusic();
    EXPECT_TRUE(engine_->isBackgroundMusicPlaying());
    engine_->rewindBackgroundMusic();
    EXPECT_TRUE(engine_->isBackgroundMusicPlaying());

    engine_->stopBackgroundMusic(false);
    EXPECT_FALSE(engine_->isBackgroundMusicPlaying());
    EXPECT_TRUE(engine_->willPlayBackgroundMusic()) << "kept for the next play";
    engine_->resumeBackgroundMusic();
    EXPECT_FALSE(engine_->isBackgroundMusicPlaying()) << "resume does not restart stopped music";

    engine_->playBackgroundMusic(beep_.c_str(), false);
    EXPECT_TRUE(engine_->isBackgroundMusicPlaying());
    engine_->stopBackgroundMusic(true);
    EXPECT_FALSE(engine_->willPlayBackgroundMusic());
}

TEST_F(AudioEngineTest, NewMusicReplacesTheOldAndFailedMusicKeepsIt)
{
    const std::string other = app_ + "other.wav";
    ASSERT_TRUE(WriteFile(other, SilentWav(2000)));
    engine_->playBackgroundMusic(beep_.c_str(), true);
    engine_->playBackgroundMusic(other.c_str(), true);
    EXPECT_TRUE(engine_->isBackgroundMusicPlaying());
    engine_->playBackgroundMusic((app_ + "missing.wav").c_str(), true);
    EXPECT_TRUE(engine_->isBackgroundMusicPlaying());
    EXPECT_TRUE(engine_->willPlayBackgroundMusic());
}

TEST_F(AudioEngineTest, VolumesAreClampedAndRemembered)
{
    engine_->setEffectsVolume(0.25f);
    engine_->setBackgroundMusicVolume(0.75f);
    EXPECT_FLOAT_EQ(engine_->getEffectsVolume(), 0.25f);
    EXPECT_FLOAT_EQ(engine_->getBackgroundMusicVolume(), 0.75f);

    engine_->setEffectsVolume(2.0f);
    engine_->setBackgroundMusicVolume(-1.0f);
    EXPECT_FLOAT_EQ(engine_->getEffectsVolume(), 1.0f);
    EXPECT_FLOAT_EQ(engine_->getBackgroundMusicVolume(), 0.0f);

    engine_->setEffectsVolume(0.5f);
    engine_->setEffectsVolume(std::nanf(""));
    EXPECT_FLOAT_EQ(engine_->getEffectsVolume(), 0.5f) << "not a number changes nothing";

    // Set before the device opens, kept through opening and closing it.
    engine_->playEffect(beep_.c_str(), false);
    SimpleAudioEngine::end();
    EXPECT_FLOAT_EQ(engine_->getEffectsVolume(), 0.5f);
    EXPECT_FLOAT_EQ(engine_->getBackgroundMusicVolume(), 0.0f);
}

TEST_F(AudioEngineTest, EndReleasesEverythingAndTheNextCallReopens)
{
    engine_->preloadEffect(beep_.c_str());
    const uint32_t before = engine_->playEffect(beep_.c_str(), true);
    engine_->playBackgroundMusic(beep_.c_str(), true);
    SimpleAudioEngine::end();
    EXPECT_FALSE(engine_->isDeviceOpen());
    EXPECT_FALSE(engine_->isEffectLoaded(beep_.c_str()));
    EXPECT_FALSE(engine_->willPlayBackgroundMusic());
    EXPECT_FALSE(engine_->isEffectActive(before));

    const uint32_t after = engine_->playEffect(beep_.c_str(), true);
    EXPECT_TRUE(engine_->isDeviceOpen());
    EXPECT_GT(after, before) << "ids stay unique across a restart";
}

TEST_F(AudioEngineTest, WithoutADeviceEveryCallIsSilentAndAnswersSensibly)
{
    SimpleAudioEngine::end();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    engine_->setEffectsVolume(0.3f);
    EXPECT_EQ(engine_->playEffect(beep_.c_str(), true), 0u);
    EXPECT_FALSE(engine_->isDeviceOpen());
    engine_->preloadEffect(beep_.c_str());
    engine_->pauseEffect(1);
    engine_->resumeAllEffects();
    engine_->stopAllEffects();
    engine_->playBackgroundMusic(beep_.c_str(), true);
    engine_->pauseBackgroundMusic();
    engine_->rewindBackgroundMusic();
    EXPECT_FALSE(engine_->isBackgroundMusicPlaying());
    EXPECT_FALSE(engine_->willPlayBackgroundMusic());
    engine_->setBackgroundMusicVolume(0.6f);
    EXPECT_FLOAT_EQ(engine_->getEffectsVolume(), 0.3f);
    EXPECT_FLOAT_EQ(engine_->getBackgroundMusicVolume(), 0.6f);

    // end() lets the next call try the device again.
    SimpleAudioEngine::end();
    UseDummyAudioDriver();
    EXPECT_NE(engine_->playEffect(beep_.c_str(), true), 0u);
}

// Game sound names as the script and layout paths hand them over.
class SoundNameTest : public AudioEngineTest {
protected:
    void MakePackage(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files)
    {
        CPackage builder;
        for (const auto& [name, bytes] : files) {
            ASSERT_TRUE(WriteFile(app_ + "pkgsrc/" + name, bytes));
            builder.AddInput(name);
        }
        ASSERT_TRUE(builder.BuildPackage(app_ + "game.KVQ", app_ + "pkgsrc"));
        fs::remove_all(app_ + "pkgsrc");
        GetFileSystem().SetPackageName("game");
    }
};

TEST_F(SoundNameTest, PackagedSoundIsExtractedToTheSoundFolderAndPlays)
{
    const std::vector<uint8_t> bytes = SilentWav(500);
    MakePackage({{"snd/packed.wav", bytes}});
    const std::string path = ResolveSoundFile("packed.wav");
    EXPECT_EQ(path, app_ + "sound/packed.wav");
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(ResolvedSoundFile("packed.wav"), path);
    EXPECT_NE(engine_->playEffect(path.c_str(), false), 0u);
}

TEST_F(SoundNameTest, LooseSoundsAreFoundInTheGameFolders)
{
    ASSERT_TRUE(WriteFile(app_ + "sound/Click.WAV", SilentWav(100)));
    ASSERT_TRUE(WriteFile(app_ + "extra/hum.wav", SilentWav(100)));
    GetFileSystem().AddSearchPath("extra\\");

    EXPECT_EQ(ResolveSoundFile("beep.wav"), beep_);
    EXPECT_EQ(ResolveSoundFile("sound\\Click.WAV"), app_ + "sound/Click.WAV");
    EXPECT_EQ(ResolveSoundFile("click.wav"), app_ + "sound/Click.WAV") << "any letter case";
    EXPECT_EQ(ResolveSoundFile("hum.wav"), app_ + "extra/hum.wav");
}

TEST_F(SoundNameTest, NamesThatAreMissingOrLeaveTheGameFoldersResolveToNothing)
{
    const std::string outside = folder_.path() + "_outside.wav";
    ASSERT_TRUE(WriteFile(outside, SilentWav(100)));
    const std::string climbing = "../" + fs::path(outside).filename().string();
    EXPECT_EQ(ResolveSoundFile(climbing.c_str()), "");
    EXPECT_EQ(ResolveSoundFile(beep_.c_str()), "") << "absolute paths are not game names";
    EXPECT_EQ(ResolveSoundFile("none.wav"), "");
    EXPECT_EQ(ResolveSoundFile(""), "");
    EXPECT_EQ(ResolveSoundFile(nullptr), "");
    EXPECT_EQ(ResolvedSoundFile("none.wav"), "");
    fs::remove(outside);
}

TEST_F(SoundNameTest, LastSoundNameIsKeptAsGiven)
{
    SetLastSoundName("music\\Theme.mp3");
    EXPECT_EQ(GetLastSoundName(), "music\\Theme.mp3");
    SetLastSoundName(nullptr);
    EXPECT_EQ(GetLastSoundName(), "");
}

TEST_F(AudioEngineTest, WaveLoadsPlaysPausesAndStops)
{
    CKVQWave wave;
    wave.Play();  // nothing loaded: nothing happens
    EXPECT_FALSE(wave.IsPlaying());
    EXPECT_FALSE(wave.Load("none.wav"));
    ASSERT_TRUE(wave.Load("beep.wav"));
    EXPECT_EQ(wave.GetPath(), beep_);

    wave.Play();
    EXPECT_TRUE(wave.IsPlaying());
    wave.Pause();
    EXPECT_FALSE(wave.IsPlaying());
    wave.Play();
    EXPECT_TRUE(wave.IsPlaying()) << "play resumes a paused sound";
    engine_->pauseAllEffects();
    EXPECT_FALSE(wave.IsPlaying()) << "the shell's pause reaches sound objects";
    engine_->resumeAllEffects();
    EXPECT_TRUE(wave.IsPlaying());
    wave.Stop();
    EXPECT_FALSE(wave.IsPlaying());
}

TEST_F(AudioEngineTest, WaveRefusesUndecodableDataAndForgetsTheEarlierSound)
{
    ASSERT_TRUE(WriteFile(app_ + "text.wav", std::string("plain text")));
    CKVQWave wave;
    ASSERT_TRUE(wave.Load("beep.wav"));
    wave.Play();
    EXPECT_FALSE(wave.Load("text.wav"));
    EXPECT_FALSE(wave.IsPlaying()) << "a new load stops the old sound";
    EXPECT_EQ(wave.GetPath(), "");
    wave.Play();
    EXPECT_FALSE(wave.IsPlaying());
}

TEST_F(AudioEngineTest, DeletingAPlayingWaveStopsIt)
{
    auto* wave = new CKVQWave;
    ASSERT_TRUE(wave->Load("beep.wav"));
    wave->Play();
    ASSERT_TRUE(wave->IsPlaying());
    delete wave;
    for (int32_t channel = 0; channel < 256; ++channel)
        EXPECT_FALSE(platform::IsChannelPlaying(channel)) << "channel " << channel;
}

}  // namespace

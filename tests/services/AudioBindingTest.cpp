// The audio engine and sound objects as scripts see them: game names resolved to real paths and
// remembered, the flags that count only as exactly 1, the answers scripts get, and script errors
// (never crashes) for arguments of the wrong kind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

extern "C" {
#include <lua.h>
}

#include "common/Notices.h"
#include "io/FileSystem.h"
#include "script/LuaHost.h"
#include "services/SimpleAudioEngine.h"
#include "services/SoundFiles.h"
#include "support/TempFiles.h"

namespace fs = std::filesystem;

namespace {

class AudioBinding : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseDummyAudioDriver();
        ASSERT_TRUE(folder_.ok());
        app_ = folder_.path() + "/";
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(app_);
        GetFileSystem().SetPackageName("NULL");
        ASSERT_TRUE(WriteFile(app_ + "sound/beep.wav", SilentWav(2000)));
        SetLastSoundName("");
        host_ = &InitScriptHost();
        ASSERT_NE(host_->GetState(), nullptr);
        ASSERT_TRUE(Run("engine = SimpleAudioEngine:sharedEngine()"));
        engine_ = SimpleAudioEngine::sharedEngine();
    }
    void TearDown() override
    {
        ShutdownScriptHost();
        SimpleAudioEngine::end();
        GetFileSystem().Reset();
    }

    bool Run(const std::string& code)
    {
        host_->ClearLastError();
        return host_->DoBuffer(code.data(), code.size());
    }
    double Number(const char* name)
    {
        lua_State* L = host_->GetState();
        lua_getglobal(L, name);
        const double value = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return value;
    }
    bool Boolean(const char* name)
    {
        lua_State* L = host_->GetState();
        lua_getglobal(L, name);
        const bool value = lua_toboolean(L, -1) != 0;
        lua_pop(L, 1);
        return value;
    }
    // The script must fail with an error that names the function.
    void ExpectScriptError(const std::string& code, const char* text)
    {
        EXPECT_FALSE(Run(code)) << code;
        EXPECT_NE(std::string(host_->GetLastErrorText()).find(text), std::string::npos)
            << code << " -> " << host_->GetLastErrorText();
    }

    TempFolder folder_;
    std::string app_;
    CKVQLuaHost* host_ = nullptr;
    SimpleAudioEngine* engine_ = nullptr;
};

TEST_F(AudioBinding, SharedEngineIsOneValueWithColonOrDot)
{
    ASSERT_TRUE(Run("same = rawequal(SimpleAudioEngine.sharedEngine(), engine) and "
                    "rawequal(SimpleAudioEngine:sharedEngine(), engine)"));
    EXPECT_TRUE(Boolean("same"));
}

TEST_F(AudioBinding, PlayEffectResolvesTheNameAndReturnsTheId)
{
    ASSERT_TRUE(Run("id = engine:playEffect('beep.wav', 1)\n"
                    "playing = engine:isEffectPlaying('beep.wav')"));
    const uint32_t id = static_cast<uint32_t>(Number("id"));
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(engine_->isEffectActive(id));
    EXPECT_FALSE(Boolean("playing")) << "scripts are always told no";
    EXPECT_EQ(GetLastSoundName(), "beep.wav");
    EXPECT_TRUE(engine_->isEffectLoaded((app_ + "sound/beep.wav").c_str()));

    ASSERT_TRUE(Run("engine:pauseEffect(id)"));
    EXPECT_TRUE(engine_->isEffectPaused(id));
    ASSERT_TRUE(Run("engine:resumeEffect(id) engine:stopEffect(id)"));
    EXPECT_FALSE(engine_->isEffectActive(id));

    ASSERT_TRUE(Run("missing = engine:playEffect('none.wav')"));
    EXPECT_EQ(Number("missing"), 0.0);
    EXPECT_EQ(GetLastSoundName(), "none.wav");
}

TEST_F(AudioBinding, PackagedSoundIsExtractedBeforeItPlays)
{
    CPackage builder;
    ASSERT_TRUE(WriteFile(app_ + "pkgsrc/packed.wav", SilentWav(300)));
    builder.AddInput("packed.wav");
    ASSERT_TRUE(builder.BuildPackage(app_ + "game.KVQ", app_ + "pkgsrc"));
    fs::remove_all(app_ + "pkgsrc");
    GetFileSystem().SetPackageName("game");

    ASSERT_TRUE(Run("id = engine:playEffect('packed.wav')"));
    EXPECT_NE(Number("id"), 0.0);
    EXPECT_TRUE(fs::is_regular_file(app_ + "sound/packed.wav"));
}

TEST_F(AudioBinding, FlagsCountOnlyAsExactlyOne)
{
    ASSERT_TRUE(Run("engine:playBackgroundMusic('beep.wav', 1)"));
    EXPECT_TRUE(engine_->isBackgroundMusicPlaying());
    ASSERT_TRUE(Run("engine:stopBackgroundMusic(2)"));
    EXPECT_TRUE(engine_->willPlayBackgroundMusic()) << "2 is not a release";
    ASSERT_TRUE(Run("engine:stopBackgroundMusic(1)"));
    EXPECT_FALSE(engine_->willPlayBackgroundMusic());

    ASSERT_TRUE(Run("engine:playBackgroundMusic('beep.wav')"));
    ASSERT_TRUE(Run("engine:stopBackgroundMusic()"));
    EXPECT_TRUE(engine_->willPlayBackgroundMusic());
}

TEST_F(AudioBinding, LoopFlagReachesTheEngineOnlyAsExactlyOne)
{
    struct Case {
        const char* code;
        bool loop;
    };
    // Each call flips the expected flag, so a call that never reached the engine shows too.
    const Case cases[] = {
        {"engine:playEffect('beep.wav', 1)", true},
        {"engine:playEffect('beep.wav', 2)", false},
        {"engine:playBackgroundMusic('beep.wav', 1)", true},
        {"engine:playBackgroundMusic('beep.wav', 2)", false},
        {"engine:playEffect('beep.wav', 1)", true},
        {"engine:playEffect('beep.wav')", false},
        {"engine:playBackgroundMusic('beep.wav', 1)", true},
        {"engine:playBackgroundMusic('beep.wav', 0)", false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Run(c.code)) << c.code << ": " << host_->GetLastErrorText();
        EXPECT_EQ(engine_->lastLoopFlag(), c.loop) << c.code;
    }
}

TEST_F(AudioBinding, VolumesAreClampedNumbers)
{
    ASSERT_TRUE(Run("engine:setEffectsVolume(3) effects = engine:getEffectsVolume()\n"
                    "engine:setBackgroundMusicVolume(0.5) music = engine:getBackgroundMusicVolume()\n"
                    "engine:setBackgroundMusicVolume(-1e300) low = engine:getBackgroundMusicVolume()"));
    EXPECT_EQ(Number("effects"), 1.0);
    EXPECT_EQ(Number("music"), 0.5);
    EXPECT_EQ(Number("low"), 0.0);
}

TEST_F(AudioBinding, UnloadingByGameNameFreesWhatLoadingByThatNameCached)
{
    const std::string path = app_ + "sound/beep.wav";
    ASSERT_TRUE(Run("engine:preloadEffect('beep.wav')"));
    EXPECT_TRUE(engine_->isEffectLoaded(path.c_str()));
    ASSERT_TRUE(Run("engine:unloadEffect('beep.wav')"));
    EXPECT_FALSE(engine_->isEffectLoaded(path.c_str()));
}

TEST_F(AudioBinding, AllEffectMembersAndEndAreReachable)
{
    ASSERT_TRUE(Run("a = engine:playEffect('beep.wav', 1) b = engine:playEffect('beep.wav', 1)\n"
                    "engine:pauseAllEffects()"));
    const uint32_t a = static_cast<uint32_t>(Number("a"));
    const uint32_t b = static_cast<uint32_t>(Number("b"));
    EXPECT_TRUE(engine_->isEffectPaused(a) && engine_->isEffectPaused(b));
    ASSERT_TRUE(Run("engine:resumeAllEffects()"));
    EXPECT_FALSE(engine_->isEffectPaused(a));
    ASSERT_TRUE(Run("engine:stopAllEffects()"));
    EXPECT_FALSE(engine_->isEffectActive(a) || engine_->isEffectActive(b));
    ASSERT_TRUE(Run("engine:playEffect('beep.wav') engine['end'](engine)"));
    EXPECT_FALSE(engine_->isDeviceOpen());
}

TEST_F(AudioBinding, WrongArgumentsAreScriptErrors)
{
    ExpectScriptError("engine:playEffect()", "playEffect");
    ExpectScriptError("engine:playEffect(nil, 1)", "playEffect");
    ExpectScriptError("engine:playEffect({}, 1)", "playEffect");
    ExpectScriptError("engine:playEffect('beep.wav', true)", "playEffect");
    ExpectScriptError("engine:playBackgroundMusic(print)", "playBackgroundMusic");
    ExpectScriptError("engine:preloadBackgroundMusic(nil)", "preloadBackgroundMusic");
    ExpectScriptError("engine:preloadEffect(false)", "preloadEffect");
    ExpectScriptError("engine:unloadEffect()", "unloadEffect");
    ExpectScriptError("engine:stopBackgroundMusic('yes')", "stopBackgroundMusic");
    ExpectScriptError("engine:setEffectsVolume(nil)", "setEffectsVolume");
    ExpectScriptError("engine:setBackgroundMusicVolume('loud')", "setBackgroundMusicVolume");
    ExpectScriptError("engine:pauseEffect()", "pauseEffect");
    ExpectScriptError("engine:stopEffect({})", "stopEffect");
    ExpectScriptError("engine.playEffect('beep.wav')", "invalid 'self'");
    ExpectScriptError("engine.stopAllEffects(CKVQWave:new_local())", "invalid 'self'");
    ExpectScriptError("engine.getEffectsVolume(5)", "invalid 'self'");
    EXPECT_EQ(GetLastSoundName(), "") << "nothing reached the engine";
}

TEST_F(AudioBinding, WaveObjectsLoadPlayAndDeleteOnce)
{
    ASSERT_TRUE(Run("w = CKVQWave:new()\n"
                    "missing = w:Load('none.wav')\n"
                    "found = w:Load('beep.wav')\n"
                    "w:Play() w:Pause() w:Play() w:Stop()\n"
                    "w:delete()\n"
                    "local l = CKVQWave:new_local() l:Load('beep.wav') l:Play()"));
    EXPECT_FALSE(Boolean("missing"));
    EXPECT_TRUE(Boolean("found"));
    ExpectScriptError("w:Play()", "invalid 'self'");
    ExpectScriptError("w:delete()", "invalid 'self'");
    ExpectScriptError("CKVQWave:new_local():Load(nil)", "Load");
    ExpectScriptError("CKVQWave:new_local():Load({})", "Load");
    ExpectScriptError("CKVQWave:new_local():Load()", "Load");
    ExpectScriptError("CKVQWave.Play(engine)", "Play");
    ExpectScriptError("CKVQWave.delete(5)", "delete");
}

}  // namespace

namespace {

// A sound that cannot be found is named once per run, however often scripts ask for it, and
// plays nothing.
TEST_F(AudioBinding, MissingSoundIsNamedOnce)
{
    const struct {
        const char* code;
        const char* name;
    } cases[] = {
        {"id = engine:playEffect('gone_effect.wav')", "gone_effect.wav"},
        {"engine:preloadEffect('gone_preload.wav')", "gone_preload.wav"},
        {"engine:playBackgroundMusic('gone_music.ogg', 1)", "gone_music.ogg"},
        {"engine:preloadBackgroundMusic('gone_intro.ogg')", "gone_intro.ogg"},
        {"loaded = CKVQWave:new_local():Load('gone_wave.wav')", "gone_wave.wav"},
    };
    for (const auto& c : cases) {
        notices::Reset();
        ::testing::internal::CaptureStderr();
        for (int frame = 0; frame < 3; ++frame)
            ASSERT_TRUE(Run(c.code)) << c.code << ": " << host_->GetLastErrorText();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), std::string("kvq: missing sound '") + c.name +
                                                                "' (looked in: " + app_ + ", " + app_ + "sound/)\n");
    }
    notices::Reset();
    EXPECT_EQ(Number("id"), 0);
    EXPECT_FALSE(Boolean("loaded"));
    EXPECT_FALSE(engine_->isBackgroundMusicPlaying());
}

}  // namespace

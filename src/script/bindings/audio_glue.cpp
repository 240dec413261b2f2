// The audio engine as scripts call it: members with the colon on the engine (or on the class,
// there being one engine), statics with the colon or the dot.
//
// tolua_error leaves through longjmp: every function checks all its arguments before anything
// with a destructor is alive, and does its work in a helper afterwards.

#include <cmath>
#include <string>

#include "script/bindings/geometry_glue.h"
#include "services/SimpleAudioEngine.h"
#include "tolua++.h"

namespace {

constexpr const char* kEngineType = "SimpleAudioEngine";
// Flags count only when the script passes exactly this number.
constexpr double kFlagOn = 1.0;

SimpleAudioEngine& Engine()
{
    return *SimpleAudioEngine::sharedEngine();
}

// The engine userdata or the class table at index 1; anything else is a script error.
void CheckSelf(lua_State* L, const char* function)
{
    tolua_Error error;
    if (lua_type(L, 1) == LUA_TUSERDATA && tolua_isusertype(L, 1, kEngineType, 0, &error) &&
        tolua_tousertype(L, 1, nullptr) != nullptr)
        return;
    if (tolua_isusertable(L, 1, kEngineType, 0, &error))
        return;
    lua_pushfstring(L, "invalid 'self' in function '%s'", function);
    lua_error(L);
}

// Each check raises the usual "error in function" script error, naming the argument.
void RaiseArgumentError(lua_State* L, const char* function, tolua_Error* error)
{
    lua_pushfstring(L, "#ferror in function '%s'.", function);
    // tolua_error copies the text before it raises, so the pushed string may stay on the stack.
    tolua_error(L, lua_tostring(L, -1), error);
}

// A file name is a string (or a number, as Lua turns numbers into text); nil is refused, where
// tolua++'s own check would let it through as a null name.
const char* FileAt(lua_State* L, int index, const char* function)
{
    const int type = lua_type(L, index);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) {
        tolua_Error error{index, 0, "string"};
        RaiseArgumentError(L, function, &error);
    }
    return lua_tostring(L, index);
}

double NumberAt(lua_State* L, int index, const char* function)
{
    tolua_Error error;
    if (!tolua_isnumber(L, index, 0, &error))
        RaiseArgumentError(L, function, &error);
    return lua_tonumber(L, index);
}

// An absent flag is off; a present one must be a number.
bool FlagAt(lua_State* L, int index, const char* function)
{
    if (lua_isnone(L, index))
        return false;
    return NumberAt(L, index, function) == kFlagOn;
}

uint32_t EffectIdAt(lua_State* L, int index, const char* function)
{
    return ScriptToUInt32(NumberAt(L, index, function));
}

// Within 0 … 1 before the narrowing to float; NaN passes so the engine can refuse it.
float VolumeAt(lua_State* L, int index, const char* function)
{
    const double volume = NumberAt(L, index, function);
    if (std::isnan(volume))
        return static_cast<float>(volume);
    return static_cast<float>(volume < 0.0 ? 0.0 : (volume > 1.0 ? 1.0 : volume));
}

// The game file name becomes the real path handed to the engine, and is remembered.
std::string SoundPath(const char* file)
{
    SetLastSoundName(file);
    return ResolveSoundFile(file);
}

void PreloadMusic(const char* file)
{
    const std::string path = SoundPath(file);
    // Called twice on purpose: games rely on the music being ready after the first call.
    Engine().preloadBackgroundMusic(path.c_str());
    Engine().preloadBackgroundMusic(path.c_str());
}

void PlayMusic(const char* file, bool loop)
{
    Engine().playBackgroundMusic(SoundPath(file).c_str(), loop);
}

uint32_t PlayEffect(const char* file, bool loop)
{
    return Engine().playEffect(SoundPath(file).c_str(), loop);
}

void PreloadEffect(const char* file)
{
    Engine().preloadEffect(SoundPath(file).c_str());
}

int PushBoolean(lua_State* L, bool value)
{
    lua_pushboolean(L, value ? 1 : 0);
    return 1;
}

int PushNumber(lua_State* L, double value)
{
    lua_pushnumber(L, value);
    return 1;
}

int SharedEngine(lua_State* L)
{
    tolua_pushusertype(L, &Engine(), kEngineType);  // the engine lives for the whole process
    return 1;
}

int End(lua_State*)
{
    SimpleAudioEngine::end();
    return 0;
}

int PreloadBackgroundMusic(lua_State* L)
{
    CheckSelf(L, "preloadBackgroundMusic");
    PreloadMusic(FileAt(L, 2, "preloadBackgroundMusic"));
    return 0;
}

int PlayBackgroundMusic(lua_State* L)
{
    CheckSelf(L, "playBackgroundMusic");
    const char* file = FileAt(L, 2, "playBackgroundMusic");
    PlayMusic(file, FlagAt(L, 3, "playBackgroundMusic"));
    return 0;
}

int StopBackgroundMusic(lua_State* L)
{
    CheckSelf(L, "stopBackgroundMusic");
    Engine().stopBackgroundMusic(FlagAt(L, 2, "stopBackgroundMusic"));
    return 0;
}

int PauseBackgroundMusic(lua_State* L)
{
    CheckSelf(L, "pauseBackgroundMusic");
    Engine().pauseBackgroundMusic();
    return 0;
}

int ResumeBackgroundMusic(lua_State* L)
{
    CheckSelf(L, "resumeBackgroundMusic");
    Engine().resumeBackgroundMusic();
    return 0;
}

int RewindBackgroundMusic(lua_State* L)
{
    CheckSelf(L, "rewindBackgroundMusic");
    Engine().rewindBackgroundMusic();
    return 0;
}

int WillPlayBackgroundMusic(lua_State* L)
{
    CheckSelf(L, "willPlayBackgroundMusic");
    return PushBoolean(L, Engine().willPlayBackgroundMusic());
}

int IsBackgroundMusicPlaying(lua_State* L)
{
    CheckSelf(L, "isBackgroundMusicPlaying");
    return PushBoolean(L, Engine().isBackgroundMusicPlaying());
}

int GetBackgroundMusicVolume(lua_State* L)
{
    CheckSelf(L, "getBackgroundMusicVolume");
    return PushNumber(L, Engine().getBackgroundMusicVolume());
}

int SetBackgroundMusicVolume(lua_State* L)
{
    CheckSelf(L, "setBackgroundMusicVolume");
    Engine().setBackgroundMusicVolume(VolumeAt(L, 2, "setBackgroundMusicVolume"));
    return 0;
}

int GetEffectsVolume(lua_State* L)
{
    CheckSelf(L, "getEffectsVolume");
    return PushNumber(L, Engine().getEffectsVolume());
}

int SetEffectsVolume(lua_State* L)
{
    CheckSelf(L, "setEffectsVolume");
    Engine().setEffectsVolume(VolumeAt(L, 2, "setEffectsVolume"));
    return 0;
}

int PlayEffectMember(lua_State* L)
{
    CheckSelf(L, "playEffect");
    const char* file = FileAt(L, 2, "playEffect");
    return PushNumber(L, PlayEffect(file, FlagAt(L, 3, "playEffect")));
}

int PauseEffect(lua_State* L)
{
    CheckSelf(L, "pauseEffect");
    Engine().pauseEffect(EffectIdAt(L, 2, "pauseEffect"));
    return 0;
}

int PauseAllEffects(lua_State* L)
{
    CheckSelf(L, "pauseAllEffects");
    Engine().pauseAllEffects();
    return 0;
}

int ResumeEffect(lua_State* L)
{
    CheckSelf(L, "resumeEffect");
    Engine().resumeEffect(EffectIdAt(L, 2, "resumeEffect"));
    return 0;
}

int ResumeAllEffects(lua_State* L)
{
    CheckSelf(L, "resumeAllEffects");
    Engine().resumeAllEffects();
    return 0;
}

int StopEffect(lua_State* L)
{
    CheckSelf(L, "stopEffect");
    Engine().stopEffect(EffectIdAt(L, 2, "stopEffect"));
    return 0;
}

int StopAllEffects(lua_State* L)
{
    CheckSelf(L, "stopAllEffects");
    Engine().stopAllEffects();
    return 0;
}

int PreloadEffectMember(lua_State* L)
{
    CheckSelf(L, "preloadEffect");
    PreloadEffect(FileAt(L, 2, "preloadEffect"));
    return 0;
}

// The engine caches effects by the path the game name was resolved to, so the name is mapped
// the same way; a name that was never resolved may itself be such a path.
void UnloadByName(const char* file)
{
    const std::string path = ResolvedSoundFile(file);
    if (!path.empty())
        Engine().unloadEffect(path.c_str());
    Engine().unloadEffect(file);
}

int UnloadEffect(lua_State* L)
{
    CheckSelf(L, "unloadEffect");
    UnloadByName(FileAt(L, 2, "unloadEffect"));
    return 0;
}

// Scripts have always been told no: games decide on their own when an effect has ended.
int IsEffectPlaying(lua_State* L)
{
    CheckSelf(L, "isEffectPlaying");
    return PushBoolean(L, false);
}

}  // namespace

// Called by the generated module with the global module open, after the class is registered.
void RegisterAudioGlue(lua_State* L)
{
    tolua_beginmodule(L, kEngineType);
    tolua_function(L, "sharedEngine", SharedEngine);
    tolua_function(L, "end", End);
    tolua_function(L, "preloadBackgroundMusic", PreloadBackgroundMusic);
    tolua_function(L, "playBackgroundMusic", PlayBackgroundMusic);
    tolua_function(L, "stopBackgroundMusic", StopBackgroundMusic);
    tolua_function(L, "pauseBackgroundMusic", PauseBackgroundMusic);
    tolua_function(L, "resumeBackgroundMusic", ResumeBackgroundMusic);
    tolua_function(L, "rewindBackgroundMusic", RewindBackgroundMusic);
    tolua_function(L, "willPlayBackgroundMusic", WillPlayBackgroundMusic);
    tolua_function(L, "isBackgroundMusicPlaying", IsBackgroundMusicPlaying);
    tolua_function(L, "getBackgroundMusicVolume", GetBackgroundMusicVolume);
    tolua_function(L, "setBackgroundMusicVolume", SetBackgroundMusicVolume);
    tolua_function(L, "getEffectsVolume", GetEffectsVolume);
    tolua_function(L, "setEffectsVolume", SetEffectsVolume);
    tolua_function(L, "playEffect", PlayEffectMember);
    tolua_function(L, "pauseEffect", PauseEffect);
    tolua_function(L, "pauseAllEffects", PauseAllEffects);
    tolua_function(L, "resumeEffect", ResumeEffect);
    tolua_function(L, "resumeAllEffects", ResumeAllEffects);
    tolua_function(L, "stopEffect", StopEffect);
    tolua_function(L, "stopAllEffects", StopAllEffects);
    tolua_function(L, "preloadEffect", PreloadEffectMember);
    tolua_function(L, "unloadEffect", UnloadEffect);
    tolua_function(L, "isEffectPlaying", IsEffectPlaying);
    tolua_endmodule(L);
}

#include "services/SimpleAudioEngine.h"

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "common/Notices.h"
#include "io/FileSystem.h"
#include "platform/Audio.h"

namespace fs = std::filesystem;

namespace {

// The engine's state lives beside it rather than in it so that the static end() can reach it;
// it is never destroyed, so sounds still loaded at exit stay reachable.
struct AudioState {
    float effectsVolume = 1.0f;
    float musicVolume = 1.0f;
    std::map<std::string, platform::SoundData*> effects;  // by path
    platform::MusicData* music = nullptr;
    std::string musicPath;
    // Which effect each channel was last started for. Channels are reused once an effect ends,
    // so an id acts on its channel only while the channel is still its own.
    struct Slot {
        uint32_t id = 0;
        platform::SoundData* sound = nullptr;
    };
    std::vector<Slot> channels;
    uint32_t lastId = 0;
    bool lastLoop = false;
};

AudioState& State()
{
    static AudioState* state = new AudioState;
    return *state;
}

float ClampedVolume(float volume, float previous)
{
    if (volume != volume)  // NaN names no volume: keep the one there is
        return previous;
    return volume < 0.0f ? 0.0f : (volume > 1.0f ? 1.0f : volume);
}

// Opens the device on first need; the remembered volumes go with it.
bool Device()
{
    if (platform::IsAudioOpen())
        return true;
    if (!platform::OpenAudio())
        return false;
    platform::SetEffectsVolume(State().effectsVolume);
    platform::SetMusicVolume(State().musicVolume);
    return true;
}

std::string PathText(const char* path)
{
    return path != nullptr ? std::string(path) : std::string();
}

platform::SoundData* LoadedEffect(const std::string& path)
{
    auto found = State().effects.find(path);
    if (found != State().effects.end())
        return found->second;
    if (path.empty() || !Device())
        return nullptr;
    platform::SoundData* sound = platform::LoadSound(path.c_str());
    if (sound != nullptr)  // a failure is not cached: the file may be there next time
        State().effects.emplace(path, sound);
    return sound;
}

// The channel the effect is still on, or -1.
int32_t ChannelOf(uint32_t id)
{
    if (id == 0)
        return -1;
    const auto& channels = State().channels;
    for (size_t channel = 0; channel < channels.size(); ++channel) {
        if (channels[channel].id == id)
            return platform::IsChannelPlaying(static_cast<int32_t>(channel)) ? static_cast<int32_t>(channel) : -1;
    }
    return -1;
}

uint32_t NextEffectId()
{
    uint32_t& last = State().lastId;
    last = last == UINT32_MAX ? 1 : last + 1;  // 0 means "nothing played"
    return last;
}

void ForgetChannels()
{
    State().channels.clear();
}

void ReleaseMusic()
{
    AudioState& state = State();
    platform::FreeMusic(state.music);
    state.music = nullptr;
    state.musicPath.clear();
}

// The music at path, loaded once; the one loaded before is released.
bool LoadMusicAt(const std::string& path)
{
    AudioState& state = State();
    if (state.music != nullptr && state.musicPath == path)
        return true;
    if (path.empty() || !Device())
        return false;
    platform::MusicData* music = platform::LoadMusic(path.c_str());
    if (music == nullptr)
        return false;
    ReleaseMusic();
    state.music = music;
    state.musicPath = path;
    return true;
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool IsLooseFile(const fs::path& path, std::string& found)
{
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        found = path.string();
        return true;
    }
    // Games written for Windows name files in any letter case. Errors end the search (the
    // iterator's non-throwing forms: nothing may throw out of the engine).
    const std::string wanted = path.filename().string();
    fs::directory_iterator entry(path.parent_path(), ec);
    for (; !ec && entry != fs::directory_iterator(); entry.increment(ec)) {
        if (SameIgnoringCase(entry->path().filename().string(), wanted) && entry->is_regular_file(ec)) {
            found = entry->path().string();
            return true;
        }
    }
    return false;
}

std::map<std::string, std::string>& ResolvedNames()
{
    static auto* names = new std::map<std::string, std::string>;
    return *names;
}

// The folders a loose sound is looked for in, in order (each ends with "/").
std::vector<std::string> SoundFolders()
{
    CFileSystem& files = GetFileSystem();
    const std::string& app = files.GetApplicationFolder();
    std::vector<std::string> folders = {app, app + kSoundFolder + "/"};
    for (std::string folder : files.GetSearchPaths()) {
        for (char& c : folder) {
            if (c == '\\')
                c = '/';
        }
        if (folder.empty())
            continue;
        if (folder.back() != '/')
            folder += '/';
        folders.push_back(folder.front() == '/' ? folder : app + folder);
    }
    return folders;
}

std::string FindSoundFile(const char* name)
{
    if (name == nullptr || *name == 0)
        return "";
    std::string extracted = GetFileSystem().ExtractToWritePath(name, kSoundFolder);
    if (!extracted.empty())
        return extracted;

    const std::string relative = ContainedRelativePath(name);
    if (relative.empty())
        return "";
    std::string found;
    for (const std::string& folder : SoundFolders()) {
        if (IsLooseFile(fs::path(folder + relative), found))
            return found;
    }
    return "";
}

std::string& LastSoundName()
{
    static std::string* name = new std::string;
    return *name;
}

}  // namespace

SimpleAudioEngine* SimpleAudioEngine::sharedEngine()
{
    static SimpleAudioEngine* engine = new SimpleAudioEngine;
    return engine;
}

void SimpleAudioEngine::end()
{
    AudioState& state = State();
    platform::HaltChannel(-1);
    ReleaseMusic();
    for (auto& [path, sound] : state.effects)
        platform::FreeSound(sound);
    state.effects.clear();
    ForgetChannels();
    platform::CloseAudio();
}

void SimpleAudioEngine::preloadBackgroundMusic(const char* path)
{
    LoadMusicAt(PathText(path));
}

void SimpleAudioEngine::playBackgroundMusic(const char* path, bool loop)
{
    State().lastLoop = loop;
    if (LoadMusicAt(PathText(path)))
        platform::PlayMusic(State().music, loop);
}

void SimpleAudioEngine::stopBackgroundMusic(bool releaseData)
{
    platform::HaltMusic();
    if (releaseData)
        ReleaseMusic();
}

void SimpleAudioEngine::pauseBackgroundMusic()
{
    platform::PauseMusic();
}

void SimpleAudioEngine::resumeBackgroundMusic()
{
    platform::ResumeMusic();
}

void SimpleAudioEngine::rewindBackgroundMusic()
{
    platform::RewindMusic();
}

bool SimpleAudioEngine::willPlayBackgroundMusic()
{
    return State().music != nullptr;
}

bool SimpleAudioEngine::isBackgroundMusicPlaying()
{
    return State().music != nullptr && platform::IsMusicPlaying();
}

float SimpleAudioEngine::getBackgroundMusicVolume()
{
    return State().musicVolume;
}

void SimpleAudioEngine::setBackgroundMusicVolume(float volume)
{
    State().musicVolume = ClampedVolume(volume, State().musicVolume);
    platform::SetMusicVolume(State().musicVolume);
}

float SimpleAudioEngine::getEffectsVolume()
{
    return State().effectsVolume;
}

void SimpleAudioEngine::setEffectsVolume(float volume)
{
    State().effectsVolume = ClampedVolume(volume, State().effectsVolume);
    platform::SetEffectsVolume(State().effectsVolume);
}

uint32_t SimpleAudioEngine::playEffect(const char* path, bool loop)
{
    State().lastLoop = loop;
    platform::SoundData* sound = LoadedEffect(PathText(path));
    const int32_t channel = platform::PlaySound(sound, loop);
    if (channel < 0)
        return 0;
    auto& channels = State().channels;
    if (channels.size() <= static_cast<size_t>(channel))
        channels.resize(static_cast<size_t>(channel) + 1);
    const uint32_t id = NextEffectId();
    channels[static_cast<size_t>(channel)] = AudioState::Slot{id, sound};
    return id;
}

void SimpleAudioEngine::pauseEffect(uint32_t id)
{
    const int32_t channel = ChannelOf(id);
    if (channel >= 0)
        platform::PauseChannel(channel);
}

void SimpleAudioEngine::pauseAllEffects()
{
    platform::PauseChannel(-1);
}

void SimpleAudioEngine::resumeEffect(uint32_t id)
{
    const int32_t channel = ChannelOf(id);
    if (channel >= 0)
        platform::ResumeChannel(channel);
}

void SimpleAudioEngine::resumeAllEffects()
{
    platform::ResumeChannel(-1);
}

void SimpleAudioEngine::stopEffect(uint32_t id)
{
    const int32_t channel = ChannelOf(id);
    if (channel >= 0) {
        platform::HaltChannel(channel);
        State().channels[static_cast<size_t>(channel)] = AudioState::Slot{};
    }
}

void SimpleAudioEngine::stopAllEffects()
{
    platform::HaltChannel(-1);
    ForgetChannels();
}

void SimpleAudioEngine::preloadEffect(const char* path)
{
    LoadedEffect(PathText(path));
}

void SimpleAudioEngine::unloadEffect(const char* path)
{
    AudioState& state = State();
    auto found = state.effects.find(PathText(path));
    if (found == state.effects.end())
        return;
    for (auto& slot : state.channels) {
        if (slot.sound == found->second)
            slot = AudioState::Slot{};
    }
    platform::FreeSound(found->second);  // halts the channels still playing it
    state.effects.erase(found);
}

bool SimpleAudioEngine::isEffectLoaded(const char* path)
{
    return State().effects.count(PathText(path)) != 0;
}

bool SimpleAudioEngine::isEffectActive(uint32_t id)
{
    return ChannelOf(id) >= 0;
}

bool SimpleAudioEngine::isEffectPaused(uint32_t id)
{
    const int32_t channel = ChannelOf(id);
    return channel >= 0 && platform::IsChannelPaused(channel);
}

bool SimpleAudioEngine::isDeviceOpen()
{
    return platform::IsAudioOpen();
}

bool SimpleAudioEngine::lastLoopFlag()
{
    return State().lastLoop;
}

std::string ResolveSoundFile(const char* name)
{
    std::string path = FindSoundFile(name);
    if (!path.empty())
        ResolvedNames()[name] = path;
    else if (name != nullptr && *name != 0)
        notices::ReportMissing("sound", name, SoundLookupText());
    return path;
}

std::string SoundLookupText()
{
    CFileSystem& files = GetFileSystem();
    std::string places;
    const std::string& package = files.GetPackageName();
    if (!package.empty()) {
        CPackage* opened = files.FindPackage(package);
        if (opened != nullptr && !opened->Entries().empty())
            places = "package '" + package + ".KVQ', ";
    }
    for (const std::string& folder : SoundFolders())
        places += folder + ", ";
    places.resize(places.size() - 2);  // SoundFolders holds the application folder at least
    return places;
}

std::string ResolvedSoundFile(const char* name)
{
    if (name == nullptr)
        return "";
    auto found = ResolvedNames().find(name);
    return found != ResolvedNames().end() ? found->second : std::string();
}

const std::string& GetLastSoundName()
{
    return LastSoundName();
}

void SetLastSoundName(const char* name)
{
    LastSoundName() = name != nullptr ? name : "";
}

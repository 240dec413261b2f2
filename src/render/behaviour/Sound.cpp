#include "render/behaviour/Sound.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/Notices.h"
#include "io/Archive.h"
#include "render/logic/LogicSupport.h"
#include "render/logic/LuaLogic.h"
#include "services/SimpleAudioEngine.h"
#include "ui/Message.h"
#include "ui/Window.h"

using namespace behaviour;

namespace {

using Entry = CRenderObject_Sound::Entry;

constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kComponentCommands = "AddMsg|Paste|";
constexpr const char* kEntryCommands = "Delete|Copy|";
constexpr const char* kFileHint = "*.wav|*.mp3||";
constexpr const char* kVolumeHint = "1:100:100";
constexpr const char* kEntryGroup = "Entry";
// An entry's smallest stored form: three strings, the loop word, two floats and a boolean.
constexpr int32_t kMinEntryBytes = 3 * 8 + 4 + 2 * 4 + 4;

CKVQMessage& Clipboard()
{
    static CKVQMessage clipboard(CKVQMessage::kEventCapacity);
    return clipboard;
}

void TransferEntry(CIArchive& ar, Entry& entry)
{
    ar.String(entry.startmsg, "startmsg");
    ar.Int32(entry.IsLoop, "IsLoop");
    ar.Float(entry.fVolume, "fVolume");
    ar.Float(entry.fPitch, "fPitch");
    ar.String(entry.strSoundFile, "strSoundFile");
    ar.String(entry.stopmsg, "stopmsg");
    bool autoRemoved = entry.IsAutoRemoved != 0;
    ar.Bool(autoRemoved, "IsAutoRemoved");
    entry.IsAutoRemoved = autoRemoved ? 1 : 0;
}

void Handler(IRender* self, const char* name, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    static_cast<CRenderObject_Sound*>(self)->Play(name);
}

// Editor changes of an entry while it plays: a new file or loop setting starts it again.
void OnPlaybackSet(void* object, const char*, int32_t)
{
    auto* entry = static_cast<Entry*>(object);
    if (!entry || !entry->playing)
        return;
    entry->Stop();
    entry->Start();
}

void OnVolumeSet(void* object, const char*, int32_t)
{
    if (auto* entry = static_cast<Entry*>(object))
        SimpleAudioEngine::sharedEngine()->setEffectsVolume(entry->fVolume);
}

}  // namespace

void CRenderObject_Sound::Entry::Start()
{
    if (strSoundFile.IsEmpty()) {
        notices::NoticeOnce(std::string("sound entry without file:") + startmsg.c_str(),
                            std::string("a Sound entry started by '") + startmsg.c_str() +
                                "' names no sound file; it plays nothing");
        return;
    }
    // The name is said once when it cannot be found.
    const std::string path = ResolveSoundFile(strSoundFile.c_str());
    if (path.empty())
        return;
    SimpleAudioEngine* engine = SimpleAudioEngine::sharedEngine();
    // A looping effect started again would play on with no id left to stop it by.
    if (playing && IsLoop == 1 && HasEffect())
        engine->stopEffect(static_cast<uint32_t>(effectId));
    playing = 1;
    effectId = static_cast<int32_t>(engine->playEffect(path.c_str(), IsLoop == 1));
}

void CRenderObject_Sound::Entry::Stop()
{
    playing = 0;
    if (HasEffect())
        SimpleAudioEngine::sharedEngine()->stopEffect(static_cast<uint32_t>(effectId));
}

CRenderObject_Sound::CRenderObject_Sound()
{
    Handle<&CRenderObject_Sound::OnLoad>(kOnLoad);
}

void CRenderObject_Sound::TransferRecord(CIArchive& ar)
{
    logic_support::TransferOwnedList(ar, "entries", kMinEntryBytes, entries, &TransferEntry);
}

void CRenderObject_Sound::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditCommands, kComponentCommands, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    logic_support::BeginItemList(hook, &entries, "entries");
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& e = *entries[i];
        char group[32];
        std::snprintf(group, sizeof group, "%s%zu", kEntryGroup, i);
        hook.BeginGroup(&e, group, kEditCommands, kEntryCommands, nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.String(&e.startmsg, "startmsg", kEditText, "", nullptr, nullptr, 0);
        hook.String(&e.stopmsg, "stopmsg", kEditText, "", nullptr, nullptr, 0);
        hook.String(&e.strSoundFile, "strSoundFile", kEditFile, kFileHint, &OnPlaybackSet, &e, 0);
        hook.Float(&e.fVolume, "%f", "fVolume", kEditSlider, kVolumeHint, &OnVolumeSet, &e, 0);
        hook.Float(&e.fPitch, "%f", "fPitch", kEditSlider, kVolumeHint, nullptr, nullptr, 0);
        hook.BoolAsInt32(&e.IsLoop, "IsLoop", kEditChoice, kBoolHint, &OnPlaybackSet, &e, 0);
        hook.BoolAsInt32(&e.IsAutoRemoved, "IsAutoRemoved", kEditChoice, kBoolHint, nullptr, nullptr, 0);
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
    hook.LeaveGroup();
}

bool CRenderObject_Sound::ExecuteCommand(const char* command, int32_t item)
{
    return logic_support::ItemListCommand(entries, Clipboard(), command, item, "AddMsg", &TransferEntry);
}

bool CRenderObject_Sound::ExecuteCommand(const char* groupPath, const char* command)
{
    if (!command)
        return false;
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    if (!inside)
        return false;
    const int32_t item = GroupPathItem(inside, kEntryGroup);
    if (item >= 0 && std::strcmp(command, "Paste") != 0)
        return ExecuteCommand(command, item);
    return ExecuteCommand(command, -1);
}

void CRenderObject_Sound::OnLoad(CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    for (const std::unique_ptr<Entry>& e : entries) {
        for (const CKVQString* name : {&e->startmsg, &e->stopmsg}) {
            if (!name->IsEmpty())
                RegisterHandler(name->c_str(), &Handler);
        }
    }
    Play(kOnLoad);
}

void CRenderObject_Sound::Play(const char* name)
{
    if (!name)
        return;
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& e = *entries[i];
        if (std::strcmp(e.startmsg.c_str(), name) == 0)
            e.Start();
        else if (std::strcmp(e.stopmsg.c_str(), name) == 0)
            e.Stop();
    }
}

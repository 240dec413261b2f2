#pragma once
// Sound effects started and stopped by messages: each entry names a start message, a stop
// message and a game sound file, played through the audio engine.

#include <cstdint>
#include <memory>
#include <vector>

#include "common/EngineString.h"
#include "render/behaviour/BehaviourSupport.h"

class CRenderObject_Sound : public behaviour::CBehaviourRender<CRenderObject_Sound> {
public:
    static constexpr const char* kClassName = "Sound";

    struct Entry {
        CKVQString startmsg;
        CKVQString stopmsg;
        int32_t IsAutoRemoved = 0;  // a boolean, kept for the editor; nothing reads it
        int32_t effectId = -1;      // run time: the audio engine's id of the effect started last
        int32_t IsLoop = 0;         // loops when exactly 1
        int32_t playing = 0;        // run time: started and not stopped since
        float fVolume = 1.0f;
        float fPitch = 1.0f;  // kept, not played
        CKVQString strSoundFile;

        // Resolves the game file name and plays it. An entry without a file, or whose file is
        // missing, plays nothing; the miss is said once.
        void Start();
        void Stop();
        // The engine's ids are unsigned and never 0; -1 is none.
        bool HasEffect() const { return effectId != -1 && effectId != 0; }
    };

    CRenderObject_Sound();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;

    // Editor commands: "AddMsg" and "Paste" on the component (item -1); "Delete" and "Copy" on
    // entry number item.
    bool ExecuteCommand(const char* command, int32_t item = -1);
    // The same commands addressed by group path: the entry number comes from its "EntryN" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    // Starts the entries whose startmsg is name, stops those whose stopmsg is.
    void Play(const char* name);

    std::vector<std::unique_ptr<Entry>> entries;

private:
    void OnLoad(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
};

#pragma once
// A flip-book animation: an ordered list of frames, each a sprite shown for its own delay. A
// timer started on the first draw sends "OnAnimate" to the window every max(MinDelay, 30) ms;
// each one adds that tick to the time spent on the current frame and moves to the next frame once
// the frame's delay is reached, carrying the excess. The frames play nRepeatTimes passes (once for
// values up to 1) and then the last one stays.

#include <cstdint>
#include <memory>
#include <vector>

#include "common/EngineString.h"
#include "render/Render.h"
#include "render/pictures/Sprite.h"

// The frame list with its playback state.
struct KVQAnimate {
    struct Frame {
        // A frame added in the editor shows for this long.
        static constexpr int32_t kDefaultDelay = 100;

        Sprite sprite;
        int32_t delay = kDefaultDelay;
        CKVQString script;  // kept with the frame for the game's tools; nothing runs it
    };
    // The shortest timer interval.
    static constexpr int32_t kMinTick = 30;

    int32_t nRepeatTimes = -1;
    std::vector<std::unique_ptr<Frame>> frames;
    int32_t current = -1;  // index of the frame shown; -1 for none
    int32_t nAlign = 0;    // stored and edited; each frame's sprite aligns itself
    int32_t MinDelay = 0;
    int32_t elapsed = 0;  // milliseconds spent on the current frame
    int32_t passesLeft = 0;

    // The timer interval: MinDelay, at least kMinTick.
    int32_t Tick() const { return MinDelay < kMinTick ? kMinTick : MinDelay; }
    // One timer tick.
    void Advance();
    Frame* Current();
    void Transfer(CIArchive& ar);
};

class CRenderObject_Animate : public IRender {
public:
    static constexpr const char* kClassName = "Animate";
    // The group the object describes itself in.
    static constexpr const char* kGroupName = "Animate";
    static constexpr const char* kOnAnimate = "OnAnimate";

    CRenderObject_Animate();
    ~CRenderObject_Animate() override;  // kills the timer

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_Animate); }
    // "AddFrame" on the "KVQAnimate" group; "Delete" on a frame ("FrameN"); "Copy" and "Paste" on
    // a frame's sprite's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_Animate; }

    // Appends a frame with the default delay; it becomes the current frame.
    KVQAnimate::Frame& AddFrame();
    // Removes and frees frame number index; the last frame becomes current. False when there is none.
    bool DeleteFrame(int32_t index);
    // Starts the timer on the owner window (a no-op without one).
    void StartTimer();

    KVQAnimate animate;
    int32_t IsSetTimer = 0;
    uint32_t timerId = 0;
};

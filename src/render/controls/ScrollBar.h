#pragma once
// What the vertical and horizontal scroll bars share: a position within Min … Max shown as a
// thumb sliding along a track between two arrows. Pressing an arrow steps the position at once
// and repeats the step on a 30 ms timer while the button stays down; pressing the track jumps the
// thumb to the pointer; the thumb follows the pointer while it is dragged. Only set-position
// (a track jump, a drag, "OnSetScrollPosition") reports the change with a message.
//
// The geometry is worked out along the bar's own axis: the horizontal bar is the vertical one
// with x and y exchanged. The press, move, release and draw routines take the bar's rectangle and
// window explicitly, so another render object can embed a bar and forward its input to it.

#include <cstdint>

#include "render/Render.h"
#include "render/pictures/Sprite.h"

class CKVQWindow;

class CScrollBar : public IRender {
public:
    // The names that differ between the two orientations.
    struct Names {
        const char* className;
        const char* firstSprite;   // the arrow at the start (top or left)
        const char* secondSprite;  // the arrow at the end (bottom or right)
        const char* thumbSprite;
        const char* firstTimer;    // the step back, repeated
        const char* secondTimer;   // the step forward, repeated
        const char* changed;       // sent with the new position by set-position
    };
    static constexpr int32_t kRepeatInterval = 30;
    static constexpr int32_t kRepeatDelay = 1;

    CScrollBar(const Names& names, bool horizontal);
    ~CScrollBar() override;  // kills the arrow timers

    const char* GetClassName() const override { return names_.className; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    // "Copy" and "Paste" on a sprite's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    // The run-time layout of the bar's rectangle, relative to its top-left corner.
    struct Geometry {
        KVQRect arrow1;
        KVQRect arrow2;
        KVQRect track;
        KVQRect thumb;
        int32_t travel = 0;  // how far the thumb's leading edge can move
    };
    Geometry Arrange(const KVQRect& bar);
    bool IsActive() const { return Max != Min; }

    // Input on the bar's rectangle, in the window's coordinates. window receives the timers and
    // the changed message and is invalidated.
    void Press(CKVQWindow* window, const KVQRect& bar, int32_t x, int32_t y);
    void Move(CKVQWindow* window, const KVQRect& bar, int32_t x, int32_t y);
    void Release();
    // One arrow step: back (-1) or forward (+1) by TrackPos, clamped, without the changed message.
    void Step(CKVQWindow* window, int32_t direction);
    // A repeat timer's tick: steps while the left button is down; stops the repeat otherwise
    // (a release outside the window never reaches the bar).
    void Repeat(CKVQWindow* window, int32_t direction);
    // Clamps p to Min … Max; when that changes Pos, sends the changed message with it.
    void SetPosition(CKVQWindow* window, int32_t p);
    void DrawBar(const KVQRect& bar);

    bool IsDragging() const { return dragging; }
    bool IsRepeating() const { return timer1 != 0 || timer2 != 0; }
    const Names& GetNames() const { return names_; }

    int32_t Min = 0;
    int32_t Max = 100;
    int32_t Page = 5;
    int32_t Pos = 0;
    int32_t TrackPos = 1;
    Sprite first;
    Sprite second;
    Sprite thumbSprite;

    // Run-time state.
    KVQRect arrow1{};
    KVQRect arrow2{};
    KVQRect track{};
    bool dragging = false;
    int32_t dragOffset = 0;
    uint32_t timer1 = 0;
    uint32_t timer2 = 0;

private:
    // A rectangle or point along the bar's axis (exchanged for the horizontal bar).
    KVQRect Along(const KVQRect& r) const;
    void StopRepeat();
    // The thumb's leading edge for the current position, in the bar's own frame.
    int32_t ThumbStart(const Geometry& g) const;
    // Min + offset × (Max − Min) / travel, or Pos when travel is 0.
    int32_t PositionAt(int64_t offset, int32_t travel) const;

    Names names_;
    bool horizontal_;
};

#pragma once
// Moves its window along a path line, frame by frame, with a speed and an acceleration, and
// tells the window when it moves, reaches a key point and arrives at the end.

#include <cstdint>
#include <vector>

#include "render/Render.h"

class CKVQMessage;
class CKVQWindow;

// Walks a polyline at a given distance per step. Positions and remaining distances are float;
// segment lengths come from the integer points.
struct PathFollower {
    enum Step : int32_t { kIdle = 0, kMoved = 1, kKeyPoint = 2 };

    float fPosX = 0.0f;
    float fPosY = 0.0f;
    int32_t bMustStopAtKeyPt = 0;  // a boolean; int32 so the editor can write it
    std::vector<KVQPoint> PtList;
    float remaining = 0.0f;
    float dirX = 0.0f;
    float dirY = 0.0f;
    int32_t target = -1;  // index into PtList; -1 = not started

    void Reset();
    // Advances by interval * speed / 1000; returns a Step.
    int32_t Advance(uint32_t intervalMs, float speed);
    bool AtEnd() const { return target >= 0 && target + 1 == static_cast<int32_t>(PtList.size()); }

private:
    void Aim(int32_t to);
};

class CRenderObject_MoveLogic : public IRender {
public:
    static constexpr const char* kClassName = "MoveLogic";
    static constexpr uint32_t kIsAbs = 1u << 0;
    static constexpr uint32_t kTriggerMovingEvent = 1u << 1;
    enum State : int32_t { kStop = 0, kMoving = 1, kPause = 2 };

    CRenderObject_MoveLogic();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_MoveLogic); }

    static IRender* Create() { return new CRenderObject_MoveLogic; }

    void StartMove(CKVQWindow* window);
    // One engine tick of movement.
    void Update(CKVQWindow* window, uint32_t intervalMs, CKVQMessage* message = nullptr);

    int32_t PathID = -1;
    float Speed = 0.0f;
    float AccSpeed = 0.0f;
    uint32_t flags = kIsAbs;
    KVQPoint origin{};
    int32_t IsMoving = kStop;
    PathFollower Move;
};

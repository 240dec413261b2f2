#include "render/behaviour/MoveLogic.h"

#include <cmath>
#include <cstdio>

#include "app/CoreCfg.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "services/PathLine.h"
#include "ui/Window.h"

namespace {

constexpr int32_t kEditPlain = 0;
constexpr int32_t kEditText = 1;
constexpr int32_t kEditCheck = 2;
constexpr int32_t kEditChoice = 3;
constexpr const char* kBoolHint = "false|true|";
constexpr uint32_t kDefaultInterval = 33;  // the engine tick before the configuration is read

constexpr const char* kOnStartMove = "OnStartMove";
constexpr const char* kOnStopMove = "OnStopMove";
constexpr const char* kOnPauseMove = "OnPauseMove";
constexpr const char* kOnResumeMove = "OnResumeMove";
constexpr const char* kOnUpdate = "OnUpdate";
constexpr const char* kOnMoving = "OnMoving";
constexpr const char* kOnMoveToKeyPt = "OnMoveToKeyPt";
constexpr const char* kOnMoveEnd = "OnMoveEnd";

CRenderObject_MoveLogic* Self(IRender* self) { return static_cast<CRenderObject_MoveLogic*>(self); }

void StartHandler(IRender* self, const char*, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    Self(self)->StartMove(owner);
}

void StopHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Self(self)->IsMoving = CRenderObject_MoveLogic::kStop;
}

void PauseHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    if (Self(self)->IsMoving == CRenderObject_MoveLogic::kMoving)
        Self(self)->IsMoving = CRenderObject_MoveLogic::kPause;
}

void ResumeHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    if (Self(self)->IsMoving == CRenderObject_MoveLogic::kPause)
        Self(self)->IsMoving = CRenderObject_MoveLogic::kMoving;
}

void UpdateHandler(IRender* self, const char*, CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    const uint32_t interval = GetCoreCfg().nFrameInterval;
    Self(self)->Update(owner, interval ? interval : kDefaultInterval, message);
}

float SegmentLength(const KVQPoint& a, const KVQPoint& b)
{
    const int64_t dx = int64_t{b.x} - a.x, dy = int64_t{b.y} - a.y;
    return std::sqrt(static_cast<float>(dx * dx + dy * dy));
}

}  // namespace

void PathFollower::Reset()
{
    PtList.clear();
    fPosX = fPosY = 0.0f;
    remaining = 0.0f;
    dirX = dirY = 0.0f;
    target = -1;
}

void PathFollower::Aim(int32_t to)
{
    const KVQPoint& a = PtList[static_cast<size_t>(to - 1)];
    const KVQPoint& b = PtList[static_cast<size_t>(to)];
    target = to;
    remaining = SegmentLength(a, b);
    dirX = remaining > 0.0f ? static_cast<float>(b.x - a.x) / remaining : 0.0f;
    dirY = remaining > 0.0f ? static_cast<float>(b.y - a.y) / remaining : 0.0f;
}

int32_t PathFollower::Advance(uint32_t intervalMs, float speed)
{
    if (PtList.empty())
        return kIdle;
    if (target < 0) {
        fPosX = static_cast<float>(PtList[0].x);
        fPosY = static_cast<float>(PtList[0].y);
        if (PtList.size() == 1) {
            target = 0;
            return kMoved;
        }
        Aim(1);
        return kKeyPoint;
    }
    if (AtEnd() && remaining < 1e-9f)
        return kIdle;
    float d = static_cast<float>(intervalMs) * speed / 1000.0f;
    bool passed = false;  // a key point was passed in this step: the step reports it
    while (d > 0.0f) {
        if (d < remaining) {
            fPosX += d * dirX;
            fPosY += d * dirY;
            remaining -= d;
            return passed ? kKeyPoint : kMoved;
        }
        const KVQPoint& at = PtList[static_cast<size_t>(target)];
        fPosX = static_cast<float>(at.x);
        fPosY = static_cast<float>(at.y);
        if (AtEnd()) {
            remaining = 0.0f;
            return kKeyPoint;
        }
        const float overshoot = d - remaining;
        Aim(target + 1);
        if (bMustStopAtKeyPt)
            return kKeyPoint;
        passed = true;
        if (overshoot < remaining) {
            fPosX += overshoot * dirX;
            fPosY += overshoot * dirY;
            remaining -= overshoot;
            d = 0.0f;
        } else {
            // Through the whole next segment: what is left of d is the overshoot beyond it.
            fPosX += remaining * dirX;
            fPosY += remaining * dirY;
            d = overshoot - remaining;
            remaining = 0.0f;
        }
    }
    return passed ? kKeyPoint : kIdle;
}

CRenderObject_MoveLogic::CRenderObject_MoveLogic()
{
    RegisterHandler(kOnStartMove, &StartHandler);
    RegisterHandler(kOnStopMove, &StopHandler);
    RegisterHandler(kOnPauseMove, &PauseHandler);
    RegisterHandler(kOnResumeMove, &ResumeHandler);
}

CKVQEditHook& CRenderObject_MoveLogic::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_MoveLogic::TransferRecord(CIArchive& ar)
{
    ar.Float(Speed, "Speed");
    ar.UInt32(flags, "flags");
    ar.Int32(PathID, "PathID");
    ar.Int32(IsMoving, "IsMoving");
    bool stop = Move.bMustStopAtKeyPt != 0;
    ar.Bool(stop, "bMustStopAtKeyPt");
    Move.bMustStopAtKeyPt = stop ? 1 : 0;
    ar.Float(AccSpeed, "AccSpeed");
}

void CRenderObject_MoveLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.Int32(&IsMoving, "IsMoving", kEditChoice, "Stop|Moving|Pause|", nullptr, nullptr, 0);
    hook.Float(&Speed, "%f", "Speed", kEditText, "0", nullptr, nullptr, 0);
    hook.Float(&AccSpeed, "%f", "AccSpeed", kEditText, "0", nullptr, nullptr, 0);
    hook.Int32(&PathID, "PathID", kEditText, "", nullptr, nullptr, 0);
    hook.Bit(&flags, 0, "IsAbs", kEditCheck, kBoolHint, nullptr, nullptr, 0);
    hook.Bit(&flags, 1, "TriggerMovingEvent", kEditCheck, kBoolHint, nullptr, nullptr, 0);
    hook.BeginGroup(&origin, "origin", kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&origin.x, "x", kEditText, "", nullptr, nullptr, 0);
    hook.Int32(&origin.y, "y", kEditText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
    hook.BeginGroup(&Move, "Move", kEditPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Float(&Move.fPosX, "%f", "fPosX", kEditText, "", nullptr, nullptr, 0);
    hook.Float(&Move.fPosY, "%f", "fPosY", kEditText, "", nullptr, nullptr, 0);
    hook.Int32AsBool(&Move.bMustStopAtKeyPt, "bMustStopAtKeyPt", kEditChoice, kBoolHint, nullptr, nullptr, 0);
    // The points live in the follower's own storage, outside the object: the group is collapsed
    // so the runtime table leaves them out, while an editor still lists every point.
    hook.BeginGroup(&Move.PtList, "PtList", kEditPlain, "", nullptr, nullptr, 0, true);
    hook.EnterGroup();
    for (size_t i = 0; i < Move.PtList.size(); ++i) {
        KVQPoint& point = Move.PtList[i];
        char name[32];
        std::snprintf(name, sizeof name, "Pt%zu", i);
        hook.BeginGroup(&point, name, kEditPlain, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.Int32(&point.x, "x", kEditText, "", nullptr, nullptr, 0);
        hook.Int32(&point.y, "y", kEditText, "", nullptr, nullptr, 0);
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
    hook.LeaveGroup();
    hook.LeaveGroup();
}

void CRenderObject_MoveLogic::StartMove(CKVQWindow* window)
{
    if (KVQPathLine* line = CKVQPathLineMgr::Instance().GetPathLine(PathID)) {
        Move.Reset();
        for (int32_t i = 0; i < line->vecPt.Size(); ++i)
            Move.PtList.push_back(*line->vecPt.Get(i));
    }
    IsMoving = kMoving;
    if (window)
        origin = window->GetPos();
    RegisterHandler(kOnUpdate, &UpdateHandler);
}

void CRenderObject_MoveLogic::Update(CKVQWindow* window, uint32_t intervalMs, CKVQMessage* message)
{
    if (IsMoving == kMoving)
        Speed += static_cast<float>(intervalMs) * AccSpeed / 1000.0f;
    if (IsMoving != kMoving || !(Speed > 0.0f))
        return;
    const int32_t r = Move.Advance(intervalMs, Speed);
    if (r == PathFollower::kIdle)
        return;
    // Truncation toward zero; positions beyond the int32 range are held at its ends.
    auto whole = [](float v) {
        if (!(v > -2147483648.0f))
            return v != v ? 0 : INT32_MIN;
        return v >= 2147483648.0f ? INT32_MAX : static_cast<int32_t>(v);
    };
    KVQPoint p{whole(Move.fPosX), whole(Move.fPosY)};
    if (!(flags & kIsAbs))
        p = p + origin;
    if (!window)
        return;
    window->SetPos(p);
    if (flags & kTriggerMovingEvent)
        window->ProcMessage(kOnMoving, message, window);
    if (r == PathFollower::kKeyPoint && !window->IsDeleted()) {
        window->ProcMessage(kOnMoveToKeyPt, message, window);
        if (Move.AtEnd() && Move.remaining <= 1e-8f) {
            IsMoving = kStop;
            if (!window->IsDeleted())
                window->ProcMessage(kOnMoveEnd, message, window);
        }
    }
}

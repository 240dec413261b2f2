#include "render/controls/Animate.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "render/logic/LogicSupport.h"
#include "render/logic/LuaLogic.h"
#include "render/pictures/Picture.h"
#include "render/SharedTimer.h"
#include "ui/Window.h"

namespace {

constexpr const char* kAnimateGroup = "KVQAnimate";
constexpr const char* kAnimateCommands = "AddFrame|";
constexpr const char* kFrameCommands = "Delete|";
constexpr const char* kAddFrame = "AddFrame";
constexpr const char* kDelete = "Delete";
constexpr const char* kFramePrefix = "Frame";
constexpr const char* kAlignHint = "ALIGN_TOPLEFT|ALIGN_TOPCENTER|ALIGN_CENTER|ALIGN_BOTTOMCENTER|";
constexpr int32_t kRecordCapacity = 64;
// Each stored frame is at least its block header.
constexpr int32_t kMinFrameBytes = record_block::kBlockHeaderBytes;
// The timer repeats until the object kills it.
constexpr uint32_t kForever = UINT32_MAX;
// The first "OnAnimate" follows the first draw at once.
constexpr int32_t kTimerDelay = 1;

int32_t Saturate(int64_t value)
{
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

void TransferFrame(CIArchive& ar, KVQAnimate::Frame& frame)
{
    TransferBlock(ar, kFramePrefix, kRecordCapacity, [&frame](CIArchive& block) {
        block.Int32(frame.delay, "delay");
        block.String(frame.script, "script");
        frame.sprite.Transfer(block);
    });
}

void OnAnimateHandler(IRender* self, const char*, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    static_cast<CRenderObject_Animate*>(self)->animate.Advance();
    if (owner && !owner->IsDeleted())
        owner->Invalidate();
}

}  // namespace

// ---- the frame list ----

KVQAnimate::Frame* KVQAnimate::Current()
{
    if (current < 0 || current >= static_cast<int32_t>(frames.size()))
        return nullptr;
    return frames[static_cast<size_t>(current)].get();
}

void KVQAnimate::Advance()
{
    const Frame* shown = Current();
    if (!shown) {
        current = frames.empty() ? -1 : 0;
        passesLeft = nRepeatTimes;
        return;
    }
    // Sums in 64 bits: delays and intervals come from layouts and may be anything.
    const int64_t sum = int64_t{elapsed} + Tick();
    if (sum < shown->delay) {
        elapsed = static_cast<int32_t>(sum);
        return;
    }
    elapsed = Saturate(sum - shown->delay);
    if (current + 1 < static_cast<int32_t>(frames.size())) {
        ++current;
    } else if (passesLeft > 1) {
        --passesLeft;
        current = 0;
    }
}

void KVQAnimate::Transfer(CIArchive& ar)
{
    TransferBlock(ar, kAnimateGroup, kRecordCapacity, [this](CIArchive& block) {
        block.Int32(nRepeatTimes, "nRepeatTimes");
        block.Int32(nAlign, "nAlign");
        logic_support::TransferOwnedList(block, "frames", kMinFrameBytes, frames, &TransferFrame);
        block.Int32(MinDelay, "MinDelay");
    });
    if (ar.IsLoading()) {
        // A loaded animation starts from the beginning at its next draw.
        current = -1;
        elapsed = 0;
        passesLeft = 0;
    }
}

// ---- the render object ----

CRenderObject_Animate::CRenderObject_Animate()
{
    RegisterHandler(kOnAnimate, &OnAnimateHandler);
}

CRenderObject_Animate::~CRenderObject_Animate()
{
    ReleaseSharedTimer(timerId);
}

CKVQEditHook& CRenderObject_Animate::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_Animate::TransferRecord(CIArchive& ar)
{
    animate.Transfer(ar);
}

void CRenderObject_Animate::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, kGroupName, kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.BoolAsInt32(&IsSetTimer, "IsSetTimer", kList, kBoolHint, nullptr, nullptr, 0);
    hook.BeginGroup(&animate, kAnimateGroup, kCommands, kAnimateCommands, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&animate.nRepeatTimes, "nRepeatTimes", kText, "", nullptr, nullptr, 0);
    hook.Int32(&animate.MinDelay, "MinDelay", kText, "", nullptr, nullptr, 0);
    hook.Int32(&animate.nAlign, "nAlign", kChoice, kAlignHint, nullptr, nullptr, 0);
    // The frames live outside the object: the one process-wide table cannot address them, so the
    // runtime table leaves them out (an external editor still sees them).
    const bool runtimeTable = dynamic_cast<CKVQEditHook*>(&hook) != nullptr;
    for (size_t i = 0; i < animate.frames.size(); ++i) {
        KVQAnimate::Frame& frame = *animate.frames[i];
        char entry[32];
        std::snprintf(entry, sizeof entry, "%s%zu", kFramePrefix, i);
        hook.BeginGroup(&frame, entry, kPlain, kFrameCommands, nullptr, nullptr, 0, runtimeTable);
        hook.EnterGroup();
        hook.Int32(&frame.delay, "delay", kText, "", nullptr, nullptr, 0);
        hook.String(&frame.script, "script", kText, "", nullptr, nullptr, 0);
        frame.sprite.Describe(hook);
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
    hook.LeaveGroup();
}

void CRenderObject_Animate::StartTimer()
{
    CKVQWindow* owner = GetOwner();
    if (!owner || owner->IsDeleted())
        return;
    // Started again after the editor cleared IsSetTimer, the object may still hold an older timer.
    HoldSharedTimer(timerId, owner, kOnAnimate, animate.Tick(), kForever, kTimerDelay);
    IsSetTimer = timerId != 0 ? 1 : 0;
}

void CRenderObject_Animate::Draw(const KVQRect& windowRect)
{
    if (!IsSetTimer)
        StartTimer();
    if (!animate.Current())
        animate.Advance();
    if (KVQAnimate::Frame* frame = animate.Current())
        frame->sprite.Draw(ResolveRect(windowRect));
}

KVQAnimate::Frame& CRenderObject_Animate::AddFrame()
{
    animate.frames.push_back(std::make_unique<KVQAnimate::Frame>());
    animate.current = static_cast<int32_t>(animate.frames.size()) - 1;
    return *animate.frames.back();
}

bool CRenderObject_Animate::DeleteFrame(int32_t index)
{
    if (index < 0 || index >= static_cast<int32_t>(animate.frames.size()))
        return false;
    animate.frames.erase(animate.frames.begin() + index);
    animate.current = static_cast<int32_t>(animate.frames.size()) - 1;
    return true;
}

bool CRenderObject_Animate::ExecuteCommand(const char* groupPath, const char* command)
{
    if (!command)
        return false;
    if (std::strcmp(command, kAddFrame) == 0) {
        AddFrame();
        return true;
    }
    const char* inside = ComponentGroupPath(groupPath, kGroupName);
    if (!inside)
        return false;
    const int32_t index = GroupPathItem(inside, kFramePrefix);
    if (index < 0 || index >= static_cast<int32_t>(animate.frames.size()))
        return false;
    if (std::strcmp(command, kDelete) == 0)
        return DeleteFrame(index);
    if (IsSpriteRectPath(inside))
        return animate.frames[static_cast<size_t>(index)]->sprite.ExecuteRectCommand(command);
    return false;
}

#include "render/controls/ScrollBar.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "app/CoreCfg.h"
#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "render/logic/LuaLogic.h"
#include "render/pictures/Picture.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

constexpr const char* kOnLClickDown = "OnLClickDown";
constexpr const char* kOnMouseMove = "OnMouseMove";
constexpr const char* kOnLClickUp = "OnLClickUp";
constexpr const char* kOnSetScrollPosition = "OnSetScrollPosition";
constexpr const char* kScrollInfo = "ScrollInfo";
constexpr uint32_t kOpaqueWhite = 0xffffffffu;
// The repeat runs until the release kills it.
constexpr uint32_t kRepeatForever = UINT32_MAX;

int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

KVQRect Exchanged(const KVQRect& r)
{
    return {r.top, r.bottom, r.left, r.right};
}

KVQRect Moved(const KVQRect& r, int32_t dx, int32_t dy)
{
    return {wrap32::Add(r.left, dx), wrap32::Add(r.right, dx), wrap32::Add(r.top, dy), wrap32::Add(r.bottom, dy)};
}

// The message's first two int32 parameters; false when it carries fewer.
bool ReadPoint(CKVQMessage* message, int32_t& x, int32_t& y)
{
    return message && message->Int32(x) >= 0 && message->Int32(y) >= 0;
}

CKVQWindow* Alive(CKVQWindow* window)
{
    return window && !window->IsDeleted() ? window : nullptr;
}

void OnPress(IRender* self, const char*, CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    int32_t x = 0, y = 0;
    if (Alive(owner) && ReadPoint(message, x, y))
        static_cast<CScrollBar*>(self)->Press(owner, self->ResolveRect(owner->GetRect()), x, y);
}

void OnMove(IRender* self, const char*, CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    int32_t x = 0, y = 0;
    if (Alive(owner) && ReadPoint(message, x, y))
        static_cast<CScrollBar*>(self)->Move(owner, self->ResolveRect(owner->GetRect()), x, y);
}

void OnRelease(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    static_cast<CScrollBar*>(self)->Release();
}

void OnArrowTimer(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    auto* bar = static_cast<CScrollBar*>(self);
    bar->Repeat(Alive(owner), std::strcmp(name, bar->GetNames().firstTimer) == 0 ? -1 : 1);
}

void OnSetPosition(IRender* self, const char*, CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    int32_t p = 0;
    if (message && message->Int32(p) >= 0)
        static_cast<CScrollBar*>(self)->SetPosition(Alive(owner), p);
}

}  // namespace

CScrollBar::CScrollBar(const Names& names, bool horizontal) : names_(names), horizontal_(horizontal)
{
    Layout = horizontal ? LayoutRect{ALIGNED_LEFT, ALIGNED_BOTTOM, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, -15, 0}
                        : LayoutRect{ALIGNED_RIGHT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, -15, 0, 0, 0};
    RegisterHandler(kOnLClickDown, &OnPress);
    RegisterHandler(kOnMouseMove, &OnMove);
    RegisterHandler(kOnLClickUp, &OnRelease);
    RegisterHandler(names_.firstTimer, &OnArrowTimer);
    RegisterHandler(names_.secondTimer, &OnArrowTimer);
    RegisterHandler(kOnSetScrollPosition, &OnSetPosition);
}

CScrollBar::~CScrollBar()
{
    StopRepeat();
}

void CScrollBar::TransferRecord(CIArchive& ar)
{
    first.Transfer(ar, names_.firstSprite);
    second.Transfer(ar, names_.secondSprite);
    thumbSprite.Transfer(ar, names_.thumbSprite);
    ar.Int32(Min, "Min");
    ar.Int32(Max, "Max");
    ar.Int32(Page, "Page");
    ar.Int32(TrackPos, "TrackPos");
    ar.Int32(Pos, "Pos");
}

void CScrollBar::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, names_.className, kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.BeginGroup(&Min, kScrollInfo, kPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&Min, "Min", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Max, "Max", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Page, "Page", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Pos, "Pos", kText, "", nullptr, nullptr, 0);
    hook.Int32(&TrackPos, "TrackPos", kText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
    first.Describe(hook, names_.firstSprite);
    second.Describe(hook, names_.secondSprite);
    thumbSprite.Describe(hook, names_.thumbSprite);
    hook.LeaveGroup();
}

bool CScrollBar::ExecuteCommand(const char* groupPath, const char* command)
{
    const char* inside = ComponentGroupPath(groupPath, names_.className);
    if (!inside || !IsSpriteRectPath(inside))
        return false;
    for (Sprite* s : {&first, &second, &thumbSprite}) {
        const char* name = s == &first ? names_.firstSprite : s == &second ? names_.secondSprite : names_.thumbSprite;
        const size_t n = std::strlen(name);
        if (std::strncmp(inside, name, n) == 0 && inside[n] == ':')
            return s->ExecuteRectCommand(command);
    }
    return false;
}

KVQRect CScrollBar::Along(const KVQRect& r) const
{
    return horizontal_ ? Exchanged(r) : r;
}

CScrollBar::Geometry CScrollBar::Arrange(const KVQRect& bar)
{
    // Worked out as for the vertical bar; Along exchanges the axes of the horizontal one.
    const KVQRect b = Along(bar);
    const int32_t width = b.Width();
    const int32_t row = b.Height() / 3;  // rows left over by the division stay uncovered
    const int32_t firstLength = Along(first.GetSourceRect()).Height();
    const int32_t secondLength = Along(second.GetSourceRect()).Height();
    KVQRect a1{0, width, 0, row};
    if (firstLength < row)
        a1.bottom = firstLength;
    KVQRect a2{0, width, Clamp32(int64_t{row} * 2), Clamp32(int64_t{row} * 3)};
    if (secondLength < row)
        a2.top = wrap32::Sub(a2.bottom, secondLength);
    const KVQRect t{0, width, a1.bottom, a2.top};

    const KVQRect thumbSource = Along(thumbSprite.GetSourceRect());
    const KVQRect thumb0{0, thumbSource.Width(), 0, thumbSource.Height()};
    Geometry g;
    g.travel = Clamp32(std::max<int64_t>(int64_t{t.Height()} - thumb0.Height(), 0));
    g.track = t;
    const int32_t start = ThumbStart(g);
    const KVQRect thumb = Moved(thumb0, 0, start);

    g.arrow1 = Along(a1);
    g.arrow2 = Along(a2);
    g.track = Along(t);
    g.thumb = Along(thumb);
    arrow1 = g.arrow1;
    arrow2 = g.arrow2;
    track = g.track;
    return g;
}

int32_t CScrollBar::ThumbStart(const Geometry& g) const
{
    // g.track is still in the bar's own frame here (see Arrange).
    const int64_t range = int64_t{Max} - Min;
    const int64_t offset = range != 0 ? (int64_t{Pos} - Min) * g.travel / range : 0;
    return Clamp32(offset + g.track.top);
}

int32_t CScrollBar::PositionAt(int64_t offset, int32_t travel) const
{
    if (travel == 0)
        return Pos;
    return Clamp32(int64_t{Min} + offset * (int64_t{Max} - Min) / travel);
}

void CScrollBar::Press(CKVQWindow* window, const KVQRect& bar, int32_t x, int32_t y)
{
    if (!IsVisible || !IsActive())
        return;
    const Geometry g = Arrange(bar);
    const KVQPoint at{x, y};
    const int32_t dx = bar.left, dy = bar.top;
    CKVQTimerSystem& timers = CKVQTimerSystem::Instance();
    if (Moved(g.arrow1, dx, dy).Contains(at)) {
        Step(window, -1);
        if (window)
            timer1 = timers.SetTimer(window, names_.firstTimer, kRepeatInterval, kRepeatForever, kRepeatDelay);
        return;
    }
    if (Moved(g.arrow2, dx, dy).Contains(at)) {
        Step(window, 1);
        if (window)
            timer2 = timers.SetTimer(window, names_.secondTimer, kRepeatInterval, kRepeatForever, kRepeatDelay);
        return;
    }
    // Along the axis from here on: the thumb and track in window coordinates, the pointer's
    // coordinate along the bar.
    const KVQRect thumb = Along(Moved(g.thumb, dx, dy));
    const KVQRect t = Along(Moved(g.track, dx, dy));
    const int32_t along = horizontal_ ? x : y;
    if (Moved(g.thumb, dx, dy).Contains(at)) {
        dragOffset = wrap32::Sub(along, thumb.top);
        dragging = true;
        return;
    }
    if (Moved(g.track, dx, dy).Contains(at)) {
        int64_t h = int64_t{along} - t.top;
        if (along >= thumb.top)
            h -= thumb.Height();
        SetPosition(window, PositionAt(h, g.travel));
        if (window)
            window->Invalidate();
    }
}

void CScrollBar::Move(CKVQWindow* window, const KVQRect& bar, int32_t x, int32_t y)
{
    if (!dragging || !IsVisible || !IsActive())
        return;
    if (!GetCoreCfg().IsClickDown) {
        dragging = false;  // released where the bar could not hear it
        return;
    }
    const Geometry g = Arrange(bar);
    const KVQRect t = Along(Moved(g.track, bar.left, bar.top));
    const int32_t along = horizontal_ ? x : y;
    SetPosition(window, PositionAt(int64_t{along} - t.top - dragOffset, g.travel));
    if (window)
        window->Invalidate();
}

void CScrollBar::Release()
{
    StopRepeat();
    dragging = false;
}

void CScrollBar::StopRepeat()
{
    // Only a running repeat reaches for the timers (bars may outlive them at exit).
    for (uint32_t* id : {&timer1, &timer2}) {
        if (*id != 0)
            CKVQTimerSystem::Instance().KillTimer(*id);
        *id = 0;
    }
}

void CScrollBar::Step(CKVQWindow* window, int32_t direction)
{
    const int64_t next = int64_t{Pos} + int64_t{direction} * TrackPos;
    Pos = Clamp32(std::clamp<int64_t>(next, std::min(Min, Max), std::max(Min, Max)));
    if (window)
        window->Invalidate();
}

void CScrollBar::Repeat(CKVQWindow* window, int32_t direction)
{
    // A tick of the bar's own repeat after the button went up elsewhere ends the repeat. (A
    // script may send the timer's name itself: without a repeat running, that is one step.)
    if (IsRepeating() && !GetCoreCfg().IsClickDown) {
        StopRepeat();
        return;
    }
    Step(window, direction);
}

void CScrollBar::SetPosition(CKVQWindow* window, int32_t p)
{
    const int32_t v = p < Min ? Min : p > Max ? Max : p;
    if (v == Pos)
        return;
    Pos = v;
    if (!window)
        return;
    CKVQMessage message;
    int32_t value = v;
    message.Int32(value);
    window->ProcMessage(names_.changed, &message, window);
}

void CScrollBar::Draw(const KVQRect& windowRect)
{
    DrawBar(ResolveRect(windowRect));
}

void CScrollBar::DrawBar(const KVQRect& bar)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc || !IsVisible || !IsActive())
        return;
    const Geometry g = Arrange(bar);
    dc->FillRect(bar, kOpaqueWhite);
    first.Draw(Moved(g.arrow1, bar.left, bar.top));
    second.Draw(Moved(g.arrow2, bar.left, bar.top));
    thumbSprite.Draw(Moved(g.thumb, bar.left, bar.top));
}

// Where a window is: its rectangle resolved from the parent's, its size and position in the
// parent's terms, the operations that move, size and re-anchor it, and the bookkeeping every
// geometry change shares (dirty marks, char caches, invalidation).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/Types.h"
#include "gfx/DC.h"
#include "render/Render.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr uint32_t kNotDirtyMask = 1u << STATUS_IsNotDirty;

// |a - b| without overflow; a difference that does not fit wraps like every other layout sum.
int32_t Distance1D(int32_t a, int32_t b)
{
    const int32_t d = wrap32::Sub(b, a);
    return d < 0 ? wrap32::Sub(0, d) : d;
}

// What an anchor adds along an extent; unknown codes add nothing.
int32_t AnchorAmount(uint8_t anchor, int32_t extent)
{
    return anchor <= ALIGNED_HCENTER ? AnchorEdge(anchor, 0, extent) : 0;
}

// Offsets are scaled in double and truncated; results beyond int32 saturate and a factor that
// is not a number leaves the offset alone (a float-to-int conversion out of range is undefined).
int32_t ScaleOffset(int32_t value, float factor)
{
    const double scaled = static_cast<double>(value) * static_cast<double>(factor);
    if (std::isnan(scaled))
        return value;
    if (scaled >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (scaled <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(scaled);
}

void ScaleLayout(LayoutRect& layout, float factor)
{
    layout.Left = ScaleOffset(layout.Left, factor);
    layout.Right = ScaleOffset(layout.Right, factor);
    layout.Top = ScaleOffset(layout.Top, factor);
    layout.Bottom = ScaleOffset(layout.Bottom, factor);
}

KVQRect Grown(KVQRect r)
{
    r.Inflate(1, 1, 1, 1);
    return r;
}

// The children's handles, taken before events run: a handler may delete or move any of them.
std::vector<uint32_t> ChildHandles(const CKVQWindow& window)
{
    std::vector<uint32_t> handles;
    for (CKVQWindow* c = window.GetFirstChild(); c; c = c->GetNextSibling())
        handles.push_back(c->GetWindowHandle());
    return handles;
}

// The parent's extent as a child's width or height is resolved against it (extern windows lend
// their children extra room).
int32_t ReferenceWidth(CKVQWindow* parent)
{
    if (!parent)
        return 0;
    const int32_t width = parent->GetWidth();
    return parent->IsExternWnd() ? wrap32::Add(width, parent->nExtW) : width;
}

int32_t ReferenceHeight(CKVQWindow* parent)
{
    if (!parent)
        return 0;
    const int32_t height = parent->GetHeight();
    return parent->IsExternWnd() ? wrap32::Add(height, parent->nExtH) : height;
}

// The hot point's pivot inside a window of the given size; false for an unknown alignment.
bool HotPivot(int32_t align, int32_t width, int32_t height, KVQPoint& pivot)
{
    switch (align) {
    case ALIGN_TOPLEFT:
        pivot = {0, 0};
        return true;
    case ALIGN_TOPCENTER:
        pivot = {width / 2, 0};
        return true;
    case ALIGN_CENTER:
        pivot = {width >> 1, height >> 1};
        return true;
    case ALIGN_BOTTOMCENTER:
        pivot = {width / 2, height};
        return true;
    default:
        return false;
    }
}

}  // namespace

// ---- the rectangle ----

KVQRect CKVQWindow::ReferenceRect() const
{
    if (!parent_)
        return {};
    KVQRect reference = parent_->GetRect();
    if (parent_->IsExternWnd()) {
        reference.left = wrap32::Add(reference.left, parent_->nExtX);
        reference.right = wrap32::Add(reference.right, parent_->nExtX);
        reference.top = wrap32::Add(reference.top, parent_->nExtY);
        reference.bottom = wrap32::Add(reference.bottom, parent_->nExtY);
        reference.right = wrap32::Add(reference.right, parent_->nExtW);
        reference.bottom = wrap32::Add(reference.bottom, parent_->nExtH);
    }
    return reference;
}

KVQRect CKVQWindow::GetRect()
{
    if (Status & kNotDirtyMask)
        return rectCache_;
    rectCache_ = ResolveAnchors(Layout, ReferenceRect());
    Status |= kNotDirtyMask;
    return rectCache_;
}

KVQRect CKVQWindow::GetVisualFrame()
{
    KVQRect frame = GetRect();
    if (IsHideChildren())
        return frame;
    for (CKVQWindow* c = firstChild_; c; c = c->next_) {
        if (c->IsBitSet(STATUS_IsVisible))
            frame.Union(c->GetRect());
    }
    return frame;
}

int32_t CKVQWindow::GetWidth()
{
    const int32_t extent = ReferenceWidth(parent_);
    const int32_t left = AnchorEdge(Layout.LeftSide, Layout.Left, extent);
    const int32_t right = AnchorEdge(Layout.RightSide, Layout.Right, extent);
    return left == right ? 1 : Distance1D(left, right);
}

int32_t CKVQWindow::GetHeight()
{
    const int32_t extent = ReferenceHeight(parent_);
    const int32_t top = AnchorEdge(Layout.TopSide, Layout.Top, extent);
    const int32_t bottom = AnchorEdge(Layout.BottomSide, Layout.Bottom, extent);
    return top == bottom ? 1 : Distance1D(top, bottom);
}

KVQPoint CKVQWindow::GetPos()
{
    // Without a parent the offsets are absolute coordinates whatever the anchors say, as they
    // are for the rectangle (an unknown anchor code would otherwise put the edge at 0).
    if (!parent_)
        return {Layout.Left, Layout.Top};
    KVQPoint origin{};
    if (parent_ && parent_->IsExternWnd())
        origin = {parent_->nExtX, parent_->nExtY};
    return {wrap32::Add(AnchorEdge(Layout.LeftSide, Layout.Left, ReferenceWidth(parent_)), origin.x),
            wrap32::Add(AnchorEdge(Layout.TopSide, Layout.Top, ReferenceHeight(parent_)), origin.y)};
}

KVQPoint CKVQWindow::GetScreenPos()
{
    KVQPoint pos = GetPos();
    if (parent_)
        pos = pos + parent_->GetScreenPos();
    return pos;
}

KVQPoint CKVQWindow::ScreenToWindowPos(const KVQPoint& p)
{
    return p - GetScreenPos();
}

KVQPoint CKVQWindow::GetHotPos()
{
    const KVQPoint pos = GetPos();
    KVQPoint pivot;
    if (!HotPivot(nHotAlign, GetWidth(), GetHeight(), pivot))
        return pos;
    return pos + pivot + HotOffset;
}

// ---- moving and sizing ----
// Every change marks the subtree dirty before its event goes out, so a handler that asks for a
// rectangle already sees the new one.

void CKVQWindow::SetPos(const KVQPoint& p)
{
    if (IsDeleted())
        return;
    const KVQRect before = GetRect();
    const KVQPoint delta = p - GetPos();
    Layout.Left = wrap32::Add(Layout.Left, delta.x);
    Layout.Right = wrap32::Add(Layout.Right, delta.x);
    Layout.Top = wrap32::Add(Layout.Top, delta.y);
    Layout.Bottom = wrap32::Add(Layout.Bottom, delta.y);
    SetDirty();
    InvalidateCharCache();

    const KVQPoint screen = GetScreenPos();
    CKVQMessage message;
    int32_t x = screen.x, y = screen.y;
    message.Int32(x);
    message.Int32(y);
    SendEvent("OnMove", &message);

    KVQRect area = Grown(before);
    area.Union(Grown(GetRect()));
    Invalidate(&area);
}

void CKVQWindow::SetHotPos(const KVQPoint& p)
{
    KVQPoint pivot;
    if (!HotPivot(nHotAlign, GetWidth(), GetHeight(), pivot))
        return;
    SetPos(p - pivot - HotOffset);
}

namespace {

// Sets one axis's extent by moving the far edge (right or bottom), then reports the new size and
// repaints both the old and the new area.
void ResizeAxis(CKVQWindow& window, int32_t size, bool horizontal)
{
    if (window.IsDeleted())
        return;
    const KVQRect before = window.GetRect();
    LayoutRect& layout = window.Layout;
    CKVQWindow* parent = window.GetParent();
    const int32_t extent = horizontal ? ReferenceWidth(parent) : ReferenceHeight(parent);
    const int32_t startEdge = horizontal ? AnchorEdge(layout.LeftSide, layout.Left, extent)
                                         : AnchorEdge(layout.TopSide, layout.Top, extent);
    const int32_t endEdge = horizontal ? AnchorEdge(layout.RightSide, layout.Right, extent)
                                       : AnchorEdge(layout.BottomSide, layout.Bottom, extent);
    int32_t& moved = horizontal ? layout.Right : layout.Bottom;
    moved = wrap32::Add(moved, wrap32::Sub(wrap32::Add(size, startEdge), endEdge));
    window.SetDirty();
    window.InvalidateCharCache();

    CKVQMessage message;
    int32_t w = window.GetWidth(), h = window.GetHeight();
    message.Int32(w);
    message.Int32(h);
    window.SendEvent("OnSized", &message);

    KVQRect area = Grown(before);
    area.Union(Grown(window.GetRect()));
    window.Invalidate(&area);
}

}  // namespace

void CKVQWindow::SetWidth(int32_t width)
{
    ResizeAxis(*this, width, true);
}

void CKVQWindow::SetHeight(int32_t height)
{
    ResizeAxis(*this, height, false);
}

void CKVQWindow::MoveToCenter()
{
    if (!parent_ || IsDeleted())
        return;
    const int32_t x = wrap32::Sub(parent_->GetWidth(), GetWidth()) / 2;
    const int32_t y = wrap32::Sub(parent_->GetHeight(), GetHeight()) / 2;
    SetPos({x, y});
}

// ---- anchoring ----

void CKVQWindow::NormalAligned(const KVQRect& r)
{
    Layout.LeftSide = ALIGNED_LEFT;
    Layout.TopSide = ALIGNED_TOP;
    Layout.RightSide = ALIGNED_LEFT;
    Layout.BottomSide = ALIGNED_TOP;
    Layout.Left = r.left;
    Layout.Right = r.right;
    Layout.Top = r.top;
    Layout.Bottom = r.bottom;
    SetDirty();
    InvalidateCharCache();
}

namespace {

// Re-anchors one side of a layout so that the edge stays where it is against the given extents.
// A window without a parent is placed by absolute offsets, so there only the anchor changes.
bool Reanchor(LayoutRect& layout, int32_t side, int32_t alignment, const KVQRect* reference)
{
    if (side < SIDE_LEFT || side > SIDE_BOTTOM || alignment < 0 || alignment > 255)
        return false;
    const bool horizontal = side == SIDE_LEFT || side == SIDE_RIGHT;
    uint8_t* anchor = nullptr;
    int32_t* offset = nullptr;
    switch (side) {
    case SIDE_LEFT:
        anchor = &layout.LeftSide, offset = &layout.Left;
        break;
    case SIDE_TOP:
        anchor = &layout.TopSide, offset = &layout.Top;
        break;
    case SIDE_RIGHT:
        anchor = &layout.RightSide, offset = &layout.Right;
        break;
    default:
        anchor = &layout.BottomSide, offset = &layout.Bottom;
        break;
    }
    const uint8_t next = static_cast<uint8_t>(alignment);
    if (*anchor == next)
        return true;
    if (reference && !reference->IsEmpty()) {
        const int32_t extent = horizontal ? reference->Width() : reference->Height();
        *offset = wrap32::Add(*offset, wrap32::Sub(AnchorAmount(*anchor, extent), AnchorAmount(next, extent)));
    }
    *anchor = next;
    return true;
}

}  // namespace

void CKVQWindow::SetAligned(int32_t side, int32_t alignment)
{
    KVQRect reference;
    if (parent_)
        reference = ReferenceRect();
    if (!Reanchor(Layout, side, alignment, parent_ ? &reference : nullptr))
        return;
    SetDirty();
    InvalidateCharCache();
}

void CKVQWindow::SetSideAligned(int32_t side, int32_t alignment)
{
    if (!parent_)
        return;
    const KVQRect reference = ReferenceRect();
    Reanchor(Layout, side, alignment, &reference);
}

// ---- the extern area ----

namespace {

// Shifting the extern area: store, drop the cached rectangles, then tell the window.
void ShiftExtern(CKVQWindow& window, int32_t& field, int32_t v, const char* event)
{
    if (window.IsDeleted())
        return;
    field = v;
    window.SetDirty();
    window.InvalidateCharCache();
    CKVQMessage message;
    message.Int32(v);
    window.SendEvent(event, &message);
    window.Invalidate();
}

}  // namespace

void CKVQWindow::SetExtX(int32_t v)
{
    ShiftExtern(*this, nExtX, v, "OnExtX");
}

void CKVQWindow::SetExtY(int32_t v)
{
    ShiftExtern(*this, nExtY, v, "OnExtY");
}

// The extra room moves every child anchored to the right or bottom, so their cached rectangles
// are dropped as for the shift.
void CKVQWindow::SetExtW(int32_t v)
{
    if (IsDeleted())
        return;
    nExtW = v;
    SetDirty();
    InvalidateCharCache();
    CKVQMessage message;
    int32_t w = nExtW, h = nExtH;
    message.Int32(w);
    message.Int32(h);
    SendEvent("OnExtSized", &message);
    Invalidate();
}

void CKVQWindow::SetExtH(int32_t v)
{
    if (IsDeleted())
        return;
    nExtH = v;
    SetDirty();
    InvalidateCharCache();
    CKVQMessage message;
    int32_t w = nExtW, h = nExtH;
    message.Int32(w);
    message.Int32(h);
    SendEvent("OnExtSized", &message);
    Invalidate();
}

void CKVQWindow::SetClipOffset(uint16_t left, uint16_t top, uint16_t right, uint16_t bottom)
{
    ClipOffset[0] = left;
    ClipOffset[1] = right;
    ClipOffset[2] = top;
    ClipOffset[3] = bottom;
    Invalidate();
}

// Walks the subtree through the sibling links, without recursion.
void CKVQWindow::SetDirty()
{
    CKVQWindow* w = this;
    while (w) {
        w->Status &= ~kNotDirtyMask;
        if (w->firstChild_) {
            w = w->firstChild_;
            continue;
        }
        while (w != this && !w->next_)
            w = w->parent_;
        if (w == this)
            break;
        w = w->next_;
    }
}

void CKVQWindow::Zoom(float factor)
{
    if (IsDeleted())
        return;
    for (uint32_t handle : ChildHandles(*this)) {
        CKVQWindow* child = FromHandle(handle);
        if (child && child->parent_ == this)
            child->Zoom(factor);
        if (IsDeleted())
            return;
    }
    ScaleLayout(Layout, factor);
    for (IRender* object : renderLst_)
        ScaleLayout(object->Layout, factor);
    if (curState >= 0 && static_cast<size_t>(curState) < states_.size()) {
        for (IRender* object : states_[static_cast<size_t>(curState)].renders)
            ScaleLayout(object->Layout, factor);
    }
    SetDirty();
    InvalidateCharCache();
    CKVQMessage message;
    message.Float(factor);
    SendEvent("OnZoom", &message, true);
}

void CKVQWindow::ReloadLayout(CKVQWindow& loaded)
{
    if (IsDeleted())
        return;
    const KVQPoint previous = GetPos();
    const KVQRect before = GetRect();
    if (loaded.IsExternWnd())
        Status |= 1u << STATUS_IsExternWindow;
    else
        Status &= ~(1u << STATUS_IsExternWindow);
    nExtX = loaded.nExtX;
    nExtY = loaded.nExtY;
    Layout = loaded.Layout;
    HotOffset = loaded.HotOffset;
    SetDirty();
    if (!parent_)
        SetPos(previous);
    KVQRect area = Grown(before);
    area.Union(Grown(GetRect()));
    Invalidate(&area);

    for (uint32_t handle : ChildHandles(*this)) {
        if (IsDeleted())
            return;
        CKVQWindow* child = FromHandle(handle);
        if (!child || child->parent_ != this)
            continue;
        CKVQWindow* counterpart = loaded.GetChild(child->GetName());
        if (!counterpart || counterpart == child)
            continue;
        const LayoutRect& a = child->Layout;
        const LayoutRect& b = counterpart->Layout;
        const bool differs = child->nExtX != counterpart->nExtX || child->nExtY != counterpart->nExtY ||
                             a.Left != b.Left || a.Right != b.Right || a.Top != b.Top ||
                             a.Bottom != b.Bottom || !(child->HotOffset == counterpart->HotOffset);
        if (differs)
            child->ReloadLayout(*counterpart);
    }
}

// ---- invalidation ----

void CKVQWindow::Invalidate(const KVQRect* rect, int32_t flag)
{
    CKVQDC* device = GetCurrentDevice();
    if (!device)
        return;
    const KVQRect area = rect ? *rect : GetRect();
    device->InvalidateRect(area, flag);
}

void CKVQWindow::InvalidateCharCache()
{
    charCache_.clear();
    if (IsBitSet(STATUS_IsCharCache))
        return;
    for (CKVQWindow* w = parent_; w; w = w->parent_) {
        w->charCache_.clear();
        if (w->IsBitSet(STATUS_IsCharCache))
            break;
    }
}

bool CKVQWindow::IsCharCacheActive() const
{
    for (const CKVQWindow* w = this; w; w = w->parent_) {
        if (w->IsBitSet(STATUS_IsCharCache))
            return true;
    }
    return false;
}

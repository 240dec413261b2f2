// Drawing a window subtree through the device, and finding the window under a point.

#include <cstdint>
#include <limits>

#include "common/Types.h"
#include "gfx/DC.h"
#include "render/Render.h"
#include "ui/Window.h"

namespace {

// The blend mode the cascade last gave the device. The device cannot be asked for its mode, and
// a state object's mode must not leak into the objects drawn after it, so the cascade remembers
// what it set and puts it back. All drawing runs on the main thread.
int32_t g_cascadeBlendMode = BLEND_REPLACE;

void SetBlend(CKVQDC& device, int32_t mode)
{
    device.SetBlendMode(mode);
    g_cascadeBlendMode = mode;
}

bool Drawable(IRender* object)
{
    return object && object->IsVisible == 1 && object->CanDraw();
}

// The inset rectangle used for clipping and hit testing: the rectangle deflated by ClipOffset
// (stored left, right, top, bottom).
KVQRect Inset(const KVQRect& r, const uint16_t (&offset)[4])
{
    KVQRect inset = r;
    inset.Deflate(offset[0], offset[2], offset[1], offset[3]);
    return inset;
}

// Makes a device current for the render objects (they draw through the current device) while
// a subtree draws into it, and restores the previous one afterwards.
class CurrentDeviceScope {
public:
    explicit CurrentDeviceScope(CKVQDC& device)
    {
        if (GetCurrentDevice() != &device) {
            previous_ = SetCurrentDevice(&device);
            swapped_ = true;
        }
    }
    ~CurrentDeviceScope()
    {
        if (swapped_)
            SetCurrentDevice(previous_);
    }
    CurrentDeviceScope(const CurrentDeviceScope&) = delete;
    CurrentDeviceScope& operator=(const CurrentDeviceScope&) = delete;

private:
    CKVQDC* previous_ = nullptr;
    bool swapped_ = false;
};

}  // namespace

void CKVQWindow::Render(CKVQDC& device)
{
    if (!IsBitSet(STATUS_IsVisible))
        return;
    CurrentDeviceScope scope(device);
    const KVQRect r = GetRect();

    // Colour mask and scale. EndWindow pops both, so a window whose hot alignment sets no scale
    // still pushes an unscaled transform to keep the device's stack balanced.
    device.PushColor(PackColor(Mask));
    if (nHotAlign == ALIGN_TOPLEFT) {
        device.PushTransform(r.left, r.top, fScaleX, fScaleY);
    } else if (nHotAlign == ALIGN_CENTER) {
        device.PushTransform(wrap32::Add(r.left, r.Width() / 2), wrap32::Add(r.top, r.Height() / 2), fScaleX,
                             fScaleY);
    } else {
        device.PushTransform(r.left, r.top, 1.0f, 1.0f);
    }

    const bool clipSelf = IsBitSet(STATUS_IsClipSelf);
    if (clipSelf)
        device.PushClip(Inset(r, ClipOffset), 0);

    // Only an empty cache records; a filled one is replayed below. The cache that was recording
    // (an ancestor's) resumes once this window is done.
    const bool charCache = IsBitSet(STATUS_IsCharCache);
    GlyphCache* outerCache = device.GetGlyphCache();
    bool recording = false;
    if (charCache && charCache_.empty()) {
        device.SetGlyphCache(&charCache_);
        recording = true;
    }

    KVQRect clip;
    device.GetClip(clip);
    if (r.IsIntersect(clip)) {
        if (curState >= 0 && static_cast<size_t>(curState) < states_.size()) {
            const std::vector<IRender*>& renders = states_[static_cast<size_t>(curState)].renders;
            for (size_t i = 0; i < renders.size(); ++i) {
                IRender* object = renders[i];
                if (!Drawable(object))
                    continue;
                const int32_t previous = g_cascadeBlendMode;
                SetBlend(device, object->BlendMode);
                object->Draw(r);
                SetBlend(device, previous);
            }
        }
        for (size_t i = 0; i < renderLst_.size(); ++i) {
            IRender* object = renderLst_[i];
            if (!Drawable(object))
                continue;
            SetBlend(device, object->BlendMode);
            object->Draw(r);
        }
    }

    bool clipChildren = false;
    if (!IsHideChildren()) {
        if (IsClipChildren()) {
            device.PushClip(Inset(r, ClipOffset), 0);
            clipChildren = true;
        }
        // Layers are visited in rising order, but only those some child uses: a hostile
        // nMaxLayer must not turn into billions of empty passes.
        int64_t layer = 0;
        while (layer <= nMaxLayer) {
            int64_t nextLayer = std::numeric_limits<int64_t>::max();
            for (CKVQWindow* c = firstChild_; c; c = c->next_) {
                if (c->nLayer == layer) {
                    if (!clipChildren || c->GetRect().IsIntersect(r))
                        c->Render(device);
                } else if (c->nLayer > layer && c->nLayer < nextLayer) {
                    nextLayer = c->nLayer;
                }
            }
            layer = nextLayer;
        }
    }

    if (charCache) {
        for (const GlyphDraw& glyph : charCache_)
            device.Blit(glyph.texture, glyph.source, glyph.destination, glyph.color);
        if (recording)
            device.SetGlyphCache(outerCache);
    }

    if (clipChildren)
        device.PopClip();
    if (clipSelf)
        device.PopClip();
    device.EndWindow();
}

CKVQWindow* CKVQWindow::HitTest(int32_t x, int32_t y)
{
    if (!IsBitSet(STATUS_IsVisible) || IsBitSet(STATUS_IsDisable))
        return nullptr;
    const KVQPoint p{x, y};
    const KVQRect r = GetRect();
    if (IsClipChildren() && !IsHideChildren()) {
        if (!r.Contains(p))
            return nullptr;
        if (!Inset(r, ClipOffset).Contains(p))
            return this;
    }
    if (!IsBitSet(STATUS_IsDisableChildren) && !IsHideChildren()) {
        for (CKVQWindow* c = lastChild_; c; c = c->prev_) {
            if (CKVQWindow* hit = c->HitTest(x, y))
                return hit;
        }
    }
    return r.Contains(p) || r.IsEmpty() ? this : nullptr;
}

CKVQWindow* CKVQWindow::HitTest0(int32_t x, int32_t y)
{
    if (IsBitSet(STATUS_IsLocked))
        return nullptr;
    const KVQPoint p{x, y};
    const KVQRect r = GetRect();
    if (IsClipChildren()) {
        if (!r.Contains(p))
            return nullptr;
        if (!Inset(r, ClipOffset).Contains(p))
            return this;
    }
    for (CKVQWindow* c = lastChild_; c; c = c->prev_) {
        if (CKVQWindow* hit = c->HitTest0(x, y))
            return hit;
    }
    return r.Contains(p) || r.IsEmpty() ? this : nullptr;
}

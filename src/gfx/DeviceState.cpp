#include "gfx/DeviceState.h"

#include <algorithm>

#include "app/CoreCfg.h"
#include "platform/Video.h"

namespace {

// Stacks deeper than a window tree normally nests still work; they just allocate then.
constexpr size_t kReservedDepth = 64;

// An automatic scale of 0 or less on an axis leaves that axis unscaled.
double AxisScale(float scale)
{
    return scale > 0.0f ? scale : 1.0;
}

}  // namespace

CKVQDrawingDevice::CKVQDrawingDevice()
{
    clips_.reserve(kReservedDepth);
    colorStack_.reserve(kReservedDepth);
    transformStack_.reserve(kReservedDepth);
}

int32_t CKVQDrawingDevice::PushClip(const KVQRect& rect, int32_t flag)
{
    (void)flag;
    if (!clips_.empty()) {
        clip_ = clip_.Intersection(rect);
        clips_.push_back(clip_);
        return 0;
    }
    // The outermost clip arrives in window pixels; drawing coordinates are window pixels divided
    // by the automatic scale.
    KVQRect first = rect;
    const KVQCoreCfg& cfg = GetCoreCfg();
    if (cfg.IsAutoScale) {
        const double sx = AxisScale(cfg.fAutoScaleX), sy = AxisScale(cfg.fAutoScaleY);
        first.left = TruncateToInt32(rect.left / sx);
        first.right = TruncateToInt32(rect.right / sx);
        first.top = TruncateToInt32(rect.top / sy);
        first.bottom = TruncateToInt32(rect.bottom / sy);
    }
    clips_.push_back(first);
    clip_ = first;
    return 0;
}

int32_t CKVQDrawingDevice::PopClip()
{
    if (clips_.empty())
        return -1;
    clips_.pop_back();
    clip_ = clips_.empty() ? KVQRect{} : clips_.back();
    return 0;
}

int32_t CKVQDrawingDevice::GetClip(KVQRect& rect)
{
    rect = clip_;
    return 0;
}

int32_t CKVQDrawingDevice::SetParam(const int32_t* value)
{
    if (value)
        param_ = *value;
    return 0;
}

int32_t CKVQDrawingDevice::SetParam2(int32_t value)
{
    param2_ = value;
    return 0;
}

int32_t CKVQDrawingDevice::SetParam3(int32_t value)
{
    param3_ = value;
    return 0;
}

int32_t CKVQDrawingDevice::InvalidateRect(const KVQRect& rect, int32_t flag)
{
    if (invalidateMode_ == kInvalidateIgnored)
        return 0;
    // One pixel of margin on every side, held at 0 and at the ends of the int32 range (a rect
    // at the far edge must not wrap around to the other side).
    const KVQRect grown{std::max(SaturatingAdd(rect.left, -1), 0), std::max(SaturatingAdd(rect.right, 1), 0),
                        std::max(SaturatingAdd(rect.top, -1), 0), std::max(SaturatingAdd(rect.bottom, 1), 0)};
    dirty_ = true;
    if (flag == 0)
        paintRect_.Union(grown);
    return 0;
}

int32_t CKVQDrawingDevice::GetInvalidRect(KVQRect& rect)
{
    rect = paintRect_;
    return 0;
}

int32_t CKVQDrawingDevice::SetInvalidate(int32_t mode)
{
    invalidateMode_ = mode;
    return 0;
}

int32_t CKVQDrawingDevice::RequestRedraw()
{
    platform::PostRepaint();
    return 0;
}

void CKVQDrawingDevice::MarkPresented()
{
    paintRect_ = KVQRect{};
    dirty_ = false;
}

int32_t CKVQDrawingDevice::PushColor(uint32_t color)
{
    colorStack_.push_back(modulation_);
    modulation_ = ModulateColor(modulation_, color);
    return 0;
}

int32_t CKVQDrawingDevice::PopColor(uint32_t* color)
{
    if (colorStack_.empty())
        return -1;
    modulation_ = colorStack_.back();
    colorStack_.pop_back();
    if (color)
        *color = modulation_;
    return 0;
}

int32_t CKVQDrawingDevice::PushTransform(int32_t x, int32_t y, float scaleX, float scaleY)
{
    transformStack_.push_back(transform_);
    transform_ = transform_.Then(x, y, scaleX, scaleY);
    return 0;
}

int32_t CKVQDrawingDevice::PopTransform()
{
    if (transformStack_.empty())
        return -1;
    transform_ = transformStack_.back();
    transformStack_.pop_back();
    return 0;
}

int32_t CKVQDrawingDevice::BlitOutlined(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t fill,
                                        uint32_t outline)
{
    static constexpr KVQPoint kOutlineOffsets[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}};
    for (const KVQPoint& offset : kOutlineOffsets) {
        const KVQRect moved{SaturatingAdd(dst.left, offset.x), SaturatingAdd(dst.right, offset.x),
                            SaturatingAdd(dst.top, offset.y), SaturatingAdd(dst.bottom, offset.y)};
        Blit(texture, src, moved, outline);
    }
    return Blit(texture, src, dst, fill);
}

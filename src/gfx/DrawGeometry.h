#pragma once
// Integer geometry both drawing devices compute the same way: saturating conversions, the
// colour modulation rule, the drawing transform, cutting a source rect to a clipped destination,
// clipping an axis-aligned segment and placing the corners of a rotated quad.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "common/Types.h"

// Truncation toward zero that stays defined for any double (NaN becomes 0, out-of-range values
// are held at the ends of the int32 range).
inline int32_t TruncateToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= static_cast<double>(INT32_MIN))
        return INT32_MIN;
    if (value >= static_cast<double>(INT32_MAX))
        return INT32_MAX;
    return static_cast<int32_t>(value);
}
// v held within the int32 range.
inline int32_t ClampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}
// a + b held within the int32 range instead of wrapping around.
inline int32_t SaturatingAdd(int32_t a, int32_t b)
{
    return ClampToInt32(int64_t{a} + b);
}

// Each byte channel of color times the same channel of modulation / 255, truncated.
inline uint32_t ModulateColor(uint32_t color, uint32_t modulation)
{
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t c = (color >> shift) & 0xFFu;
        const uint32_t m = (modulation >> shift) & 0xFFu;
        result |= (c * m / 255u) << shift;
    }
    return result;
}

// Where drawing coordinates land: x' = originX + (x - pivotX) * scaleX, likewise for y. Textured
// quads land one pixel right of and below their place, hence the origin of 1.
struct KVQTransform {
    int32_t originX = 1;
    int32_t originY = 1;
    int32_t pivotX = 0;
    int32_t pivotY = 0;
    float scaleX = 1.0f;
    float scaleY = 1.0f;

    // The transform a push with pivot (x, y) and the given scales makes on top of this one.
    KVQTransform Then(int32_t x, int32_t y, float sx, float sy) const;
    // Exact for a scale of 1 (the result may leave the int32 range); truncated otherwise.
    int64_t MapX(int32_t x) const;
    int64_t MapY(int32_t y) const;
};

// Per vertex on every textured quad: kept inline.
inline int64_t KVQTransform::MapX(int32_t x) const
{
    if (scaleX == 1.0f)
        return int64_t{originX} + (int64_t{x} - pivotX);
    return TruncateToInt32(originX + static_cast<double>(int64_t{x} - pivotX) * scaleX);
}

inline int64_t KVQTransform::MapY(int32_t y) const
{
    if (scaleY == 1.0f)
        return int64_t{originY} + (int64_t{y} - pivotY);
    return TruncateToInt32(originY + static_cast<double>(int64_t{y} - pivotY) * scaleY);
}

// Source rect edges after the destination was cut to `visible` (a non-empty part of dst).
struct KVQSourceEdges {
    int64_t left = 0, right = 0, top = 0, bottom = 0;
};
// Same pixels: each source edge moves as far as its destination edge did.
inline KVQSourceEdges CutSourceSamePixels(const KVQRect& src, const KVQRect& dst, const KVQRect& visible)
{
    return {int64_t{src.left} + (int64_t{visible.left} - dst.left),
            int64_t{src.right} + (int64_t{visible.right} - dst.right),
            int64_t{src.top} + (int64_t{visible.top} - dst.top),
            int64_t{src.bottom} + (int64_t{visible.bottom} - dst.bottom)};
}
// Proportional: each edge moves by the destination's move x source size / destination size,
// truncated toward zero.
KVQSourceEdges CutSourceProportional(const KVQRect& src, const KVQRect& dst, const KVQRect& visible);

// Clips the segment from a to b of the line at `fixed` (a horizontal line when horizontal) to
// the clip rect, borders included, keeping its direction; false when nothing of it is inside.
bool ClipAxisSegment(const KVQRect& clip, bool horizontal, int32_t fixed, int32_t& a, int32_t& b);

// Clips the segment from a to b to the clip rect, borders included (a line along a window's edge
// belongs to the window), keeping its direction; a cut end lands on the nearest whole pixel on
// the clip's border. False when nothing of the segment is inside.
bool ClipSegment(const KVQRect& clip, KVQPoint& a, KVQPoint& b);

// The outline of rect as its edges top, right, bottom and left, each running clockwise from
// corner to corner and clipped on its own (a partly hidden rect shows only its visible edges,
// and no edge appears along the clip border). Without a clip every edge is kept. Returns how
// many edges were written to out.
struct KVQSegment {
    KVQPoint from, to;
};
int32_t ClipRectOutline(const KVQRect& rect, const KVQRect* clip, KVQSegment (&out)[4]);

// The corners of the quad (x0, y0)-(x1, y1) rotated about its centre by 2 pi - angle, in the
// order left-top, right-top, left-bottom, right-bottom, as {x, y}.
struct KVQRotatedCorners {
    int32_t corner[4][2] = {};
};
KVQRotatedCorners RotateQuadCorners(int64_t x0, int64_t y0, int64_t x1, int64_t y1, float angle);

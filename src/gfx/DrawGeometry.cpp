#include "gfx/DrawGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// How close to a whole pixel a rotated corner counts as on it: far above the rounding noise of
// the sine and cosine, far below a visible difference.
constexpr double kRotationSnap = 1e-4;

int64_t ScaledMove(int64_t moved, int64_t srcSize, int64_t dstSize)
{
    if (dstSize == 0)
        return 0;
    // Both factors may take 33 bits, so the product needs more than 64; the quotient fits.
    return static_cast<int64_t>(static_cast<__int128>(moved) * srcSize / dstSize);
}

}  // namespace

KVQTransform KVQTransform::Then(int32_t x, int32_t y, float sx, float sy) const
{
    KVQTransform next;
    next.pivotX = x;
    next.pivotY = y;
    next.originX = TruncateToInt32(originX + static_cast<double>(int64_t{x} - pivotX) * scaleX);
    next.originY = TruncateToInt32(originY + static_cast<double>(int64_t{y} - pivotY) * scaleY);
    next.scaleX = scaleX * sx;
    next.scaleY = scaleY * sy;
    return next;
}

KVQSourceEdges CutSourceProportional(const KVQRect& src, const KVQRect& dst, const KVQRect& visible)
{
    const int64_t srcWidth = int64_t{src.right} - src.left, dstWidth = int64_t{dst.right} - dst.left;
    const int64_t srcHeight = int64_t{src.bottom} - src.top, dstHeight = int64_t{dst.bottom} - dst.top;
    return {src.left + ScaledMove(int64_t{visible.left} - dst.left, srcWidth, dstWidth),
            src.right + ScaledMove(int64_t{visible.right} - dst.right, srcWidth, dstWidth),
            src.top + ScaledMove(int64_t{visible.top} - dst.top, srcHeight, dstHeight),
            src.bottom + ScaledMove(int64_t{visible.bottom} - dst.bottom, srcHeight, dstHeight)};
}

bool ClipAxisSegment(const KVQRect& clip, bool horizontal, int32_t fixed, int32_t& a, int32_t& b)
{
    const int32_t lowFixed = horizontal ? clip.top : clip.left;
    const int32_t highFixed = horizontal ? clip.bottom : clip.right;
    if (fixed < lowFixed || fixed > highFixed)
        return false;
    const int32_t low = horizontal ? clip.left : clip.top;
    const int32_t high = horizontal ? clip.right : clip.bottom;
    const bool forward = a <= b;
    const int32_t from = std::max(std::min(a, b), low);
    const int32_t to = std::min(std::max(a, b), high);
    if (from > to)
        return false;
    a = forward ? from : to;
    b = forward ? to : from;
    return true;
}

bool ClipSegment(const KVQRect& clip, KVQPoint& a, KVQPoint& b)
{
    if (clip.left > clip.right || clip.top > clip.bottom)
        return false;
    // The segment as a + t (b - a), 0 <= t <= 1, narrowed by each border in turn.
    const double x0 = a.x, y0 = a.y;
    const double dx = static_cast<double>(int64_t{b.x} - a.x), dy = static_cast<double>(int64_t{b.y} - a.y);
    double enter = 0.0, leave = 1.0;
    // For each border: the run towards it (p) and the room before it (q), inside when t p <= q.
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - clip.left, clip.right - x0, y0 - clip.top, clip.bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;  // parallel to this border and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
        if (enter > leave)
            return false;
    }
    const KVQPoint start = a, end = b;
    auto at = [&](double t) {
        if (t <= 0.0)
            return start;
        if (t >= 1.0)
            return end;
        const double x = std::clamp<double>(std::round(x0 + t * dx), clip.left, clip.right);
        const double y = std::clamp<double>(std::round(y0 + t * dy), clip.top, clip.bottom);
        return KVQPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    };
    a = at(enter);
    b = at(leave);
    return true;
}

int32_t ClipRectOutline(const KVQRect& rect, const KVQRect* clip, KVQSegment (&out)[4])
{
    struct Edge {
        bool horizontal;
        int32_t fixed, a, b;
    };
    const Edge edges[] = {
        {true, rect.top, rect.left, rect.right},
        {false, rect.right, rect.top, rect.bottom},
        {true, rect.bottom, rect.right, rect.left},
        {false, rect.left, rect.bottom, rect.top},
    };
    int32_t count = 0;
    for (const Edge& e : edges) {
        int32_t a = e.a, b = e.b;
        if (clip && !ClipAxisSegment(*clip, e.horizontal, e.fixed, a, b))
            continue;
        out[count++] = e.horizontal ? KVQSegment{{a, e.fixed}, {b, e.fixed}} : KVQSegment{{e.fixed, a}, {e.fixed, b}};
    }
    return count;
}

KVQRotatedCorners RotateQuadCorners(int64_t x0, int64_t y0, int64_t x1, int64_t y1, float angle)
{
    // cos and sin of 2 pi - angle are taken as cos(angle) and -sin(angle) (the same values
    // without the rounding noise of 2 pi), and a corner within rounding noise of a whole pixel
    // is placed on it: plain truncation would move corners one pixel inward at angles such as
    // 0 or pi / 2.
    const int64_t cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const int64_t hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    const double cosT = std::cos(static_cast<double>(angle));
    const double sinT = -std::sin(static_cast<double>(angle));
    auto place = [](double v) {
        const double nearest = std::round(v);
        return TruncateToInt32(std::fabs(v - nearest) < kRotationSnap ? nearest : v);
    };
    const int64_t offsets[4][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};
    KVQRotatedCorners out;
    for (int i = 0; i < 4; ++i) {
        const double dx = static_cast<double>(offsets[i][0]), dy = static_cast<double>(offsets[i][1]);
        out.corner[i][0] = place(static_cast<double>(cx) + dx * cosT - dy * sinT);
        out.corner[i][1] = place(static_cast<double>(cy) + dx * sinT + dy * cosT);
    }
    return out;
}

#include "common/Types.h"

#include <algorithm>
#include <cmath>

float KVQVector2D::Length() const
{
    return std::hypot(x, y);
}

float KVQVector2D::Angle(const KVQVector2D& o) const
{
    const float lengths = Length() * o.Length();
    if (!(lengths > 0.0f)) {
        return 0.0f;
    }
    const float cosine = std::clamp(Dot(o) / lengths, -1.0f, 1.0f);
    return std::acos(cosine);
}

void KVQVector2D::Normalize()
{
    const float length = Length();
    if (!(length > 0.0f)) {
        return;
    }
    x /= length;
    y /= length;
}

KVQRect KVQRect::Intersection(const KVQRect& o) const
{
    if (!IsIntersect(o)) {
        return {};
    }
    return {std::max(left, o.left), std::min(right, o.right), std::max(top, o.top),
            std::min(bottom, o.bottom)};
}

void KVQRect::Union(const KVQRect& o)
{
    if (IsEmpty()) {
        *this = o;
        return;
    }
    left = std::min(left, o.left);
    top = std::min(top, o.top);
    right = std::max(right, o.right);
    bottom = std::max(bottom, o.bottom);
}

void KVQRect::UnionAligned(const KVQRect& o)
{
    if (left == o.left && right == o.right) {
        top = std::min(top, o.top);
        bottom = std::max(bottom, o.bottom);
    }
    if (top == o.top && bottom == o.bottom) {
        left = std::min(left, o.left);
        right = std::max(right, o.right);
    }
}

void KVQRect::Inflate(int32_t l, int32_t t, int32_t r, int32_t b)
{
    left = wrap32::Sub(left, l);
    top = wrap32::Sub(top, t);
    right = wrap32::Add(right, r);
    bottom = wrap32::Add(bottom, b);
}

void KVQRect::Deflate(int32_t l, int32_t t, int32_t r, int32_t b)
{
    left = wrap32::Add(left, l);
    top = wrap32::Add(top, t);
    right = wrap32::Sub(right, r);
    bottom = wrap32::Sub(bottom, b);
}

void KVQRect::Normalize()
{
    if (left > right) {
        std::swap(left, right);
    }
    if (top > bottom) {
        std::swap(top, bottom);
    }
}

KVQPoint KVQRect::Center() const
{
    // Summed in 64 bits: the midpoint of any two int32 values is itself an int32.
    return {static_cast<int32_t>((int64_t{left} + right) / 2),
            static_cast<int32_t>((int64_t{top} + bottom) / 2)};
}

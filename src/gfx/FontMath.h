#pragma once
// Integer arithmetic the font's measuring and layout share. Rectangles and scales come from
// layout files and scripts, so sums are made in 64 bits and brought back into int32 range.

#include <cmath>
#include <cstdint>
#include <limits>

#include "common/Types.h"
#include "gfx/Texture.h"

namespace font_math {

inline int32_t Clamp32(int64_t v)
{
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

inline int32_t Clamp32(double v)
{
    if (!std::isfinite(v))
        return v > 0 ? std::numeric_limits<int32_t>::max() : (v < 0 ? std::numeric_limits<int32_t>::min() : 0);
    return Clamp32(static_cast<int64_t>(std::trunc(std::fmax(std::fmin(v, 9.0e18), -9.0e18))));
}

inline int32_t Clamp32(float v) { return Clamp32(static_cast<double>(v)); }

// value × scale, truncated toward zero (a NaN scale counts as 0).
inline int32_t Scaled(int64_t value, float scale)
{
    const double product = static_cast<double>(value) * static_cast<double>(scale);
    return std::isnan(product) ? 0 : Clamp32(product);
}

// A glyph's place in an image: not inverted and no larger than a texture can be.
inline bool IsGlyphRect(const KVQRect& r)
{
    const int64_t w = int64_t{r.right} - r.left, h = int64_t{r.bottom} - r.top;
    return w >= 0 && h >= 0 && w <= kMaxTextureSide && h <= kMaxTextureSide;
}

}  // namespace font_math

#pragma once
// Shared value types: points, vectors, rectangles, colours and the alignment record.
// All are standard-layout aggregates whose fields are in their streamed order, so the
// attribute archive and the script bindings can rely on the layout.

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Integer geometry comes from layout files and scripts, so any value may arrive. Sums and
// products wrap in two's complement instead of overflowing (which would be undefined).
namespace wrap32 {
inline int32_t Add(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t Mul(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
}  // namespace wrap32

struct KVQPoint {
    int32_t x = 0;
    int32_t y = 0;

    KVQPoint operator+(const KVQPoint& o) const { return {wrap32::Add(x, o.x), wrap32::Add(y, o.y)}; }
    KVQPoint operator-(const KVQPoint& o) const { return {wrap32::Sub(x, o.x), wrap32::Sub(y, o.y)}; }
    // Component-wise: (x1 * x2, y1 * y2).
    KVQPoint operator*(const KVQPoint& o) const { return {wrap32::Mul(x, o.x), wrap32::Mul(y, o.y)}; }
    bool operator==(const KVQPoint& o) const = default;
};

struct KVQVector2D {
    float x = 0.0f;
    float y = 0.0f;

    KVQVector2D operator+(const KVQVector2D& o) const { return {x + o.x, y + o.y}; }
    KVQVector2D operator-(const KVQVector2D& o) const { return {x - o.x, y - o.y}; }
    KVQVector2D operator*(float s) const { return {x * s, y * s}; }
    bool operator==(const KVQVector2D& o) const = default;

    float Dot(const KVQVector2D& o) const { return x * o.x + y * o.y; }
    float Length() const;
    // The unsigned angle between the two vectors in radians, 0 to pi: acos of the dot
    // product of the normalised vectors, clamped to [-1, 1] so rounding never yields NaN.
    // 0 when either vector has zero length.
    float Angle(const KVQVector2D& o) const;
    // Divides the vector by its length in place; a zero vector stays zero.
    void Normalize();
};

// Held and streamed as left, right, top, bottom. Every test is inclusive of the edges.
struct KVQRect {
    int32_t left = 0;
    int32_t right = 0;
    int32_t top = 0;
    int32_t bottom = 0;

    int32_t Width() const { return wrap32::Sub(right, left); }
    int32_t Height() const { return wrap32::Sub(bottom, top); }
    // Empty means a single point (both extents zero), not "zero area".
    bool IsEmpty() const { return left == right && top == bottom; }

    bool Contains(const KVQPoint& p) const
    {
        return left <= p.x && p.x <= right && top <= p.y && p.y <= bottom;
    }
    bool IncludesRect(const KVQRect& o) const
    {
        return left <= o.left && o.right <= right && top <= o.top && o.bottom <= bottom;
    }
    bool IsIntersect(const KVQRect& o) const
    {
        return !(o.right < left || o.bottom < top || right < o.left) && bottom >= o.top;
    }
    // The overlap of the two, or {0,0,0,0} when they do not intersect.
    KVQRect Intersection(const KVQRect& o) const;

    // The window's union: an empty rect becomes o, otherwise the bounding rect of both.
    void Union(const KVQRect& o);
    // The script's `Combine`; the same rule as Union.
    void Combine(const KVQRect& o) { Union(o); }
    // The script's `Union`: joins only edge-aligned rects. When both share left and right,
    // the vertical extent becomes the span of both; then, when both share top and bottom,
    // the horizontal extent becomes the span of both. Otherwise nothing changes.
    void UnionAligned(const KVQRect& o);

    void Inflate(int32_t l, int32_t t, int32_t r, int32_t b);
    void Deflate(int32_t l, int32_t t, int32_t r, int32_t b);
    // Swaps left/right and top/bottom where they are reversed.
    void Normalize();

    KVQPoint Center() const;
    KVQPoint TopLeft() const { return {left, top}; }
    KVQPoint TopRight() const { return {right, top}; }
    KVQPoint BottomLeft() const { return {left, bottom}; }
    KVQPoint BottomRight() const { return {right, bottom}; }

    bool operator==(const KVQRect& o) const = default;
};

// The four-byte colour. Some render objects stream it alpha first; they say so where they do.
struct RGBA {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;

    bool operator==(const RGBA& o) const = default;
};

struct KVQColor {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    bool operator==(const KVQColor& o) const = default;
};

// Anchors of the alignment record's side bytes.
constexpr uint8_t ALIGNED_LEFT = 0;
constexpr uint8_t ALIGNED_RIGHT = 1;
constexpr uint8_t ALIGNED_HCENTER = 2;
constexpr uint8_t ALIGNED_TOP = 0;
constexpr uint8_t ALIGNED_BOTTOM = 1;
constexpr uint8_t ALIGNED_VCENTER = 2;

// The alignment record anchoring a window or render object to a reference rectangle:
// which edge of the reference each side follows, and its offset from that anchor.
struct LayoutRect {
    uint8_t LeftSide = ALIGNED_LEFT;
    uint8_t TopSide = ALIGNED_TOP;
    uint8_t RightSide = ALIGNED_LEFT;
    uint8_t BottomSide = ALIGNED_TOP;
    int32_t Left = 0;
    int32_t Right = 0;
    int32_t Top = 0;
    int32_t Bottom = 0;

    bool operator==(const LayoutRect& o) const = default;
};

// One edge of an alignment record: its offset plus what its anchor adds along an extent of the
// reference (0 nothing, 1 the extent, 2 half of it by an arithmetic shift, so odd extents round
// toward minus infinity). Any other anchor code puts the edge at 0.
inline int32_t AnchorEdge(uint8_t anchor, int32_t offset, int32_t extent)
{
    switch (anchor) {
    case 0:
        return offset;
    case 1:
        return wrap32::Add(offset, extent);
    case 2:
        return wrap32::Add(offset, extent >> 1);
    default:
        return 0;
    }
}

// Resolves an alignment record against a reference rectangle. An empty reference makes the four
// offsets absolute coordinates as they stand; otherwise each edge is anchored along the
// reference's width or height, the result is normalized and moved to the reference's top-left.
inline KVQRect ResolveAnchors(const LayoutRect& layout, const KVQRect& reference)
{
    if (reference.IsEmpty())
        return {layout.Left, layout.Right, layout.Top, layout.Bottom};
    const int32_t width = reference.Width();
    const int32_t height = reference.Height();
    int32_t left = AnchorEdge(layout.LeftSide, layout.Left, width);
    int32_t right = AnchorEdge(layout.RightSide, layout.Right, width);
    int32_t top = AnchorEdge(layout.TopSide, layout.Top, height);
    int32_t bottom = AnchorEdge(layout.BottomSide, layout.Bottom, height);
    if (left > right) {
        const int32_t t = left;
        left = right;
        right = t;
    }
    if (top > bottom) {
        const int32_t t = top;
        top = bottom;
        bottom = t;
    }
    return {wrap32::Add(left, reference.left), wrap32::Add(right, reference.left),
            wrap32::Add(top, reference.top), wrap32::Add(bottom, reference.top)};
}

// Bytes the alignment record takes in an archive: four anchor bytes, four int32 offsets.
// The record is streamed field by field; its in-memory form has the same 20 bytes.
constexpr int kLayoutRectStreamedSize = 20;

static_assert(sizeof(KVQPoint) == 8 && std::is_standard_layout_v<KVQPoint>);
static_assert(sizeof(KVQVector2D) == 8 && std::is_standard_layout_v<KVQVector2D>);
static_assert(sizeof(KVQRect) == 16 && std::is_standard_layout_v<KVQRect>);
static_assert(sizeof(RGBA) == 4 && std::is_standard_layout_v<RGBA>);
static_assert(sizeof(KVQColor) == 16 && std::is_standard_layout_v<KVQColor>);
static_assert(sizeof(LayoutRect) == kLayoutRectStreamedSize && std::is_standard_layout_v<LayoutRect>);
static_assert(std::is_aggregate_v<KVQRect> && std::is_aggregate_v<LayoutRect>);
static_assert(offsetof(KVQRect, right) == 4 && offsetof(KVQRect, top) == 8 && offsetof(KVQRect, bottom) == 12);
static_assert(offsetof(LayoutRect, Left) == 4 && offsetof(LayoutRect, Right) == 8 &&
              offsetof(LayoutRect, Top) == 12 && offsetof(LayoutRect, Bottom) == 16);

#pragma once
// A picture that can be painted on with a brush. It draws like a Picture; "OnBrush" paints a
// stroke from the last brush point to the message's point into the picture texture's pixels: each
// stroke point stamps the brush, masked by the mask, with one of ten pixel operations, and the
// texture is uploaded once per message. The mask and the brush are never drawn.

#include <algorithm>
#include <cstdint>
#include <utility>

#include "render/Render.h"
#include "render/pictures/Picture.h"
#include "render/pictures/Sprite.h"

struct TexturePixels;

// The pixel operations a brush paints with (nBlendMode).
enum BrushMode : int32_t {
    kBrushReplace = 0,
    kBrushBlend = 1,
    kBrushRGBOnly = 2,
    kBrushAlphaOnly = 3,
    kBrushTransparent = 4,
    kBrushAnd = 5,
    kBrushNot = 6,
    kBrushXor = 7,
    kBrushXorDest = 8,
    kBrushAdditive = 9,
    kBrushModeCount = 10,
};

// One stamp of a brush into picture texels: the three pixel copies with their source rectangles,
// the hot position and key colour. Texels outside a copy's allocated area are never touched.
struct BrushStamp {
    const TexturePixels* picture = nullptr;
    const TexturePixels* mask = nullptr;
    const TexturePixels* brush = nullptr;
    KVQRect P{}, M{}, B{};
    KVQPoint hot{};
    RGBA key{};
    int32_t mode = kBrushReplace;

    // Stamps the brush with its hot position at texel (u, v) of the picture's source rectangle.
    void Paint(int32_t u, int32_t v) const;
};

// The integer line a stroke follows, from (x0, y0) to (x1, y1) after the ends are ordered by x:
// calls emit(x, y) for each point in order. Only the points whose major coordinate lies in
// [lo, hi] (x when the line is wider than tall, y otherwise) are emitted, so a stroke between far
// points costs only what can land on the picture.
template <typename Emit>
void ForEachStrokePoint(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int64_t lo, int64_t hi, Emit emit);

class CRenderObject_PitctureMix : public IRender {
public:
    static constexpr const char* kClassName = "PictureMix";
    // The attribute group it describes itself in (shared with the other picture-like classes).
    static constexpr const char* kGroup = "Picture";

    CRenderObject_PitctureMix();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_PitctureMix); }
    // "Copy" and "Paste" on the "Rect" group of any of the three sprites.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_PitctureMix; }

    void Zoom(float zoom);
    void BeginBrush(int32_t x, int32_t y) { lastBrush = KVQPoint{x, y}; }
    // Paints the stroke to (x, y) while the left button is held, the picture lying in windowRect;
    // then invalidates the owner. Returns whether pixels were painted (and uploaded once).
    bool Brush(int32_t x, int32_t y, const KVQRect& windowRect);

    Sprite picture;
    Sprite mask;
    Sprite brush;
    KVQPoint BrushHotPos{};
    KVQPoint lastBrush{};  // (0, 0): no stroke yet
    PictureClip clip;
    float zoom = 1.0f;
    RGBA color{0, 0, 0, 0};  // the key colour: with alpha 0, every target pixel is painted
    int32_t nBlendMode = kBrushReplace;
};

// ---- the stroke line ----

template <typename Emit>
void ForEachStrokePoint(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int64_t lo, int64_t hi, Emit emit)
{
    if (x1 < x0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    // Differences of int32 values fit 32 unsigned bits, and their products 64: the error term
    // after n steps is exact in closed form, so the walk may start anywhere along the line.
    const uint64_t dx = static_cast<uint64_t>(int64_t{x1} - x0);
    const uint64_t dy = static_cast<uint64_t>(y1 < y0 ? int64_t{y0} - y1 : int64_t{y1} - y0);
    const int64_t sx = x0 < x1 ? 1 : -1;
    const int64_t sy = y0 < y1 ? 1 : -1;
    const bool wide = dx >= dy;
    const uint64_t steps = wide ? dx : dy;
    const uint64_t major = wide ? dx : dy;
    const uint64_t minor = wide ? dy : dx;
    const int64_t majorStart = wide ? x0 : y0;
    const int64_t majorSign = wide ? 1 : sy;
    // Steps n whose major coordinate majorStart + majorSign * n lies in [lo, hi].
    int64_t first = majorSign > 0 ? lo - majorStart : majorStart - hi;
    int64_t last = majorSign > 0 ? hi - majorStart : majorStart - lo;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, static_cast<int64_t>(steps));
    for (int64_t n = first; n <= last; ++n) {
        const uint64_t along = major == 0 ? 0 : (major / 2 + static_cast<uint64_t>(n) * minor) / major;
        const int64_t mx = majorStart + majorSign * n;
        const int64_t mn = (wide ? y0 : x0) + (wide ? sy : sx) * static_cast<int64_t>(along);
        emit(static_cast<int32_t>(wide ? mx : mn), static_cast<int32_t>(wide ? mn : mx));
    }
}

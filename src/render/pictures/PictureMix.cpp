#include "render/pictures/PictureMix.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/CoreCfg.h"
#include "gfx/DC.h"
#include "gfx/Texture.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "render/logic/LuaLogic.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr const char* kOnZoom = "OnZoom";
constexpr const char* kOnBeginBrush = "OnBeginBrush";
constexpr const char* kOnBrush = "OnBrush";
constexpr const char* kMaskGroup = "mask";
constexpr const char* kBrushGroup = "brush";
constexpr const char* kModeHint = "Replace|Blend|RGBOnly|AlphaOnly|Transparent|And|Not|Xor|XorDest|Additive|";
constexpr const char* kByteRange = "0:255";

CRenderObject_PitctureMix* Self(IRender* self)
{
    return static_cast<CRenderObject_PitctureMix*>(self);
}

void OnZoomHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    float zoom = 0.0f;
    if (message && message->Float(zoom) >= 0)
        Self(self)->Zoom(zoom);
}

// Reads the point of a brush message; false when the message lacks it.
bool ReadPoint(CKVQMessage* message, int32_t& x, int32_t& y)
{
    return message && message->Int32(x) >= 0 && message->Int32(y) >= 0;
}

void OnBeginBrushHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    int32_t x = 0, y = 0;
    if (ReadPoint(message, x, y))
        Self(self)->BeginBrush(x, y);
}

void OnBrushHandler(IRender* self, const char*, CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    int32_t x = 0, y = 0;
    if (!ReadPoint(message, x, y))
        return;
    Self(self)->Brush(x, y, owner ? owner->GetRect() : KVQRect{});
}

// ---- pixel operations ----

// What the mask lets through of the brush colour: the brush where the mask is opaque, the mask's
// own colour where it is clear.
inline uint32_t Through(uint32_t b, uint32_t m, uint32_t ma)
{
    return (b * ma + m * (256 - ma)) >> 8;
}

// Mixes k into t with weight w of 256.
inline uint8_t Mix(uint32_t t, uint32_t k, uint32_t w)
{
    return static_cast<uint8_t>((w * k + t * (256 - w)) / 256);
}

// Applies one operation to the colour of target t with brush b and mask m (RGBA bytes each).
// The target's alpha byte is never written.
template <int Mode>
inline void Apply(uint8_t* t, const uint8_t* b, const uint8_t* m)
{
    const uint32_t ba = b[3];
    const uint32_t ma = m[3];
    if constexpr (Mode == kBrushReplace) {
        t[0] = b[0], t[1] = b[1], t[2] = b[2];
    } else if constexpr (Mode == kBrushBlend) {
        if (ba == 0)
            return;
        const uint32_t w = (ba * ma) >> 8;
        for (int c = 0; c < 3; ++c)
            t[c] = Mix(t[c], (uint32_t{b[c]} * m[c]) >> 8, w);
    } else if constexpr (Mode == kBrushRGBOnly) {
        if (ba == 0)
            return;
        for (int c = 0; c < 3; ++c)
            t[c] = static_cast<uint8_t>(Through(b[c], m[c], ma));
    } else if constexpr (Mode == kBrushTransparent) {
        const uint32_t w = (ma * ba) >> 8;
        if (w == 0)
            return;
        for (int c = 0; c < 3; ++c)
            t[c] = Mix(t[c], (w * b[c] * m[c]) >> 16, w);
    } else if constexpr (Mode == kBrushAnd) {
        if (ba == 0)
            return;
        for (int c = 0; c < 3; ++c)
            t[c] = static_cast<uint8_t>(t[c] & Through(b[c], m[c], ma));
    } else if constexpr (Mode == kBrushNot) {
        if (ba == 0)
            return;
        for (int c = 0; c < 3; ++c)
            t[c] = static_cast<uint8_t>(~Through(b[c], m[c], ma));
    } else if constexpr (Mode == kBrushXor) {
        if (ba == 0)
            return;
        for (int c = 0; c < 3; ++c)
            t[c] = static_cast<uint8_t>(t[c] ^ Through(b[c], m[c], ma));
    } else if constexpr (Mode == kBrushXorDest) {
        t[0] = static_cast<uint8_t>(~t[0]), t[1] = static_cast<uint8_t>(~t[1]), t[2] = static_cast<uint8_t>(~t[2]);
    } else if constexpr (Mode == kBrushAdditive) {
        if (ba == 0)
            return;
        for (int c = 0; c < 3; ++c)
            t[c] = static_cast<uint8_t>(uint32_t{b[c]} * m[c]);
    }
    // AlphaOnly would set only the alpha, which painting does not write back: nothing changes.
}

// One row of a stamp: count texels of target, brush and mask side by side.
using SpanFn = void (*)(uint8_t* t, const uint8_t* b, const uint8_t* m, int64_t count, RGBA key);

template <int Mode, bool Keyed>
void Span(uint8_t* t, const uint8_t* b, const uint8_t* m, int64_t count, RGBA key)
{
    for (int64_t i = 0; i < count; ++i, t += 4, b += 4, m += 4) {
        if (m[3] == 0)
            continue;
        // With a key colour only opaque-enough texels of exactly that colour are painted.
        if constexpr (Keyed) {
            if (t[0] != key.red || t[1] != key.green || t[2] != key.blue || t[3] == 0)
                continue;
        }
        Apply<Mode>(t, b, m);
    }
}

template <int... Modes>
constexpr SpanFn kSpans[2][sizeof...(Modes)] = {{&Span<Modes, false>...}, {&Span<Modes, true>...}};
constexpr auto& kSpanTable = kSpans<0, 1, 2, 3, 4, 5, 6, 7, 8, 9>;

int64_t Width64(const KVQRect& r)
{
    return int64_t{r.right} - r.left;
}

int64_t Height64(const KVQRect& r)
{
    return int64_t{r.bottom} - r.top;
}

// A source rectangle painting can map into: of some extent, and no wider than a texture can be
// (which keeps the mapping's products inside 64 bits).
bool IsPaintableExtent(int64_t extent)
{
    return extent > 0 && extent <= kMaxTextureSide;
}

// The window coordinates (along one axis) whose mapping u = (p - q0) * sourceExtent / destExtent
// can reach texels [uLo, uHi]: a generous range, since the mapping truncates toward zero.
void WindowRange(int64_t q0, int64_t destExtent, int64_t sourceExtent, int64_t uLo, int64_t uHi, int64_t& lo,
                 int64_t& hi)
{
    const double scale = static_cast<double>(destExtent) / static_cast<double>(sourceExtent);
    const double a = static_cast<double>(q0) + static_cast<double>(uLo) * scale;
    const double b = static_cast<double>(q0) + static_cast<double>(uHi + 1) * scale;
    const double margin = std::fabs(scale) + 2.0;
    constexpr double kFar = 1e18;
    lo = static_cast<int64_t>(std::clamp(std::min(a, b) - margin, -kFar, kFar));
    hi = static_cast<int64_t>(std::clamp(std::max(a, b) + margin, -kFar, kFar));
}

}  // namespace

// ---- stamping ----

void BrushStamp::Paint(int32_t u, int32_t v) const
{
    if (!picture || !mask || !brush || !picture->bits || !mask->bits || !brush->bits)
        return;
    if (mode < 0 || mode >= kBrushModeCount)
        return;  // an unknown operation paints nothing
    // Target texel of brush texel (k, j): P.left + x0 + k, P.top + y0 + j.
    const int64_t x0 = int64_t{u} - hot.x;
    const int64_t y0 = int64_t{v} - hot.y;
    const int64_t targetLeft = P.left + x0;
    const int64_t targetTop = P.top + y0;
    // Every bound of the stamp at once, including each copy's allocated area.
    const int64_t kLo = std::max({int64_t{0}, -x0, -int64_t{M.left}, -int64_t{B.left}, -targetLeft});
    const int64_t kHi = std::min({Width64(B), Width64(M), Width64(P) - x0, mask->pitch - int64_t{M.left},
                                  brush->pitch - int64_t{B.left}, picture->pitch - targetLeft});
    const int64_t jLo = std::max({int64_t{0}, -y0, -int64_t{M.top}, -int64_t{B.top}, -targetTop});
    const int64_t jHi = std::min({Height64(B), Height64(M), Height64(P) - y0, mask->rows - int64_t{M.top},
                                  brush->rows - int64_t{B.top}, picture->rows - targetTop});
    if (kLo >= kHi || jLo >= jHi)
        return;
    const SpanFn span = kSpanTable[key.alpha != 0 ? 1 : 0][mode];
    for (int64_t j = jLo; j < jHi; ++j) {
        uint8_t* t = picture->At(static_cast<int32_t>(targetLeft + kLo), static_cast<int32_t>(targetTop + j));
        const uint8_t* b = brush->At(static_cast<int32_t>(B.left + kLo), static_cast<int32_t>(B.top + j));
        const uint8_t* m = mask->At(static_cast<int32_t>(M.left + kLo), static_cast<int32_t>(M.top + j));
        span(t, b, m, kHi - kLo, key);
    }
}

// ---- the object ----

CRenderObject_PitctureMix::CRenderObject_PitctureMix()
{
    RegisterHandler(kOnZoom, &OnZoomHandler);
    RegisterHandler(kOnBeginBrush, &OnBeginBrushHandler);
    RegisterHandler(kOnBrush, &OnBrushHandler);
}

CKVQEditHook& CRenderObject_PitctureMix::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_PitctureMix::TransferRecord(CIArchive& ar)
{
    picture.Transfer(ar);
    clip.Transfer(ar);
    mask.Transfer(ar, kMaskGroup);
    brush.Transfer(ar, kBrushGroup);
    ar.Int32(BrushHotPos.x, "BrushHotPos.x");
    ar.Int32(BrushHotPos.y, "BrushHotPos.y");
    ar.Int32(nBlendMode, "nBlendMode");
    ar.UInt8(color.red, "color.red");
    ar.UInt8(color.green, "color.green");
    ar.UInt8(color.blue, "color.blue");
    ar.UInt8(color.alpha, "color.alpha");
}

void CRenderObject_PitctureMix::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, kGroup, kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    picture.Describe(hook);
    mask.Describe(hook, kMaskGroup);
    brush.Describe(hook, kBrushGroup);
    hook.BeginGroup(&BrushHotPos, "BrushHotPos", kPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&BrushHotPos.x, "x", kText, "", nullptr, nullptr, 0);
    hook.Int32(&BrushHotPos.y, "y", kText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
    hook.BeginGroup(&color, "color", kColor, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.UInt8(&color.red, "red", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&color.green, "green", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&color.blue, "blue", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&color.alpha, "alpha", kRange, kByteRange, nullptr, nullptr, 0);
    hook.LeaveGroup();
    hook.Int32(&nBlendMode, "nBlendMode", kChoice, kModeHint, nullptr, nullptr, 0);
    clip.Describe(hook);
    hook.LeaveGroup();
}

void CRenderObject_PitctureMix::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const bool clipped = clip.Push(windowRect, GetOwner());
    picture.Draw(ResolveRect(windowRect));
    if (clipped)
        dc->PopClip();
}

bool CRenderObject_PitctureMix::ExecuteCommand(const char* groupPath, const char* command)
{
    const char* inside = ComponentGroupPath(groupPath, kGroup);
    if (!inside || !IsSpriteRectPath(inside))
        return false;
    // The first segment names the sprite.
    const size_t length = std::strcspn(inside, ":");
    const std::pair<const char*, Sprite*> sprites[] = {
        {Sprite::kDefaultGroup, &picture}, {kMaskGroup, &mask}, {kBrushGroup, &brush}};
    for (const auto& [name, sprite] : sprites) {
        if (std::strlen(name) == length && std::strncmp(inside, name, length) == 0)
            return sprite->ExecuteRectCommand(command);
    }
    return false;
}

void CRenderObject_PitctureMix::Zoom(float factor)
{
    zoom = factor;
    picture.fScaleX *= factor;
    picture.fScaleY *= factor;
}

bool CRenderObject_PitctureMix::Brush(int32_t x, int32_t y, const KVQRect& windowRect)
{
    if (!GetCoreCfg().IsClickDown)
        return false;  // strokes are painted only while the left button is held
    const KVQRect Q = picture.GetDestRect(windowRect);
    if (lastBrush.x == 0 && lastBrush.y == 0)
        lastBrush = KVQPoint{x, y};
    const KVQPoint from = lastBrush;
    lastBrush = KVQPoint{x, y};

    bool painted = false;
    ITextureObject* target = picture.GetTexture();
    ITextureObject* maskTexture = mask.GetTexture();
    ITextureObject* brushTexture = brush.GetTexture();
    const int64_t qw = Width64(Q);
    const int64_t qh = Height64(Q);
    BrushStamp stamp;
    stamp.P = picture.GetSourceRect();
    stamp.M = mask.GetSourceRect();
    stamp.B = brush.GetSourceRect();
    const int64_t pw = Width64(stamp.P);
    const int64_t ph = Height64(stamp.P);
    // A destination or source without extent maps no point: nothing to paint (and nothing to
    // divide by).
    if (target && maskTexture && brushTexture && qw != 0 && qh != 0 && IsPaintableExtent(pw) &&
        IsPaintableExtent(ph)) {
        const TexturePixels pixels = GetTexturePixels(target);
        const TexturePixels maskPixels = GetTexturePixels(maskTexture);
        const TexturePixels brushPixels = GetTexturePixels(brushTexture);
        stamp.picture = &pixels;
        stamp.mask = &maskPixels;
        stamp.brush = &brushPixels;
        stamp.hot = BrushHotPos;
        stamp.key = color;
        stamp.mode = nBlendMode;

        // Texels a stamp can reach: u - hotX + k inside the picture for some brush column k.
        const int64_t uLo = std::max<int64_t>(0, int64_t{BrushHotPos.x} - Width64(stamp.B) + 1);
        const int64_t uHi = pw - 1 + BrushHotPos.x;
        const int64_t vLo = std::max<int64_t>(0, int64_t{BrushHotPos.y} - Height64(stamp.B) + 1);
        const int64_t vHi = ph - 1 + BrushHotPos.y;
        int64_t xLo = 0, xHi = -1, yLo = 0, yHi = -1;
        if (uLo <= uHi && vLo <= vHi) {
            WindowRange(Q.left, qw, pw, uLo, uHi, xLo, xHi);
            WindowRange(Q.top, qh, ph, vLo, vHi, yLo, yHi);
        }
        const bool wide = std::llabs(int64_t{x} - from.x) >= std::llabs(int64_t{y} - from.y);
        ForEachStrokePoint(from.x, from.y, x, y, wide ? xLo : yLo, wide ? xHi : yHi, [&](int32_t px, int32_t py) {
            const int64_t u = (int64_t{px} - Q.left) * pw / qw;
            const int64_t v = (int64_t{py} - Q.top) * ph / qh;
            if (u < 0 || v < 0 || u > INT32_MAX || v > INT32_MAX)
                return;
            stamp.Paint(static_cast<int32_t>(u), static_cast<int32_t>(v));
        });
        target->Refresh();
        painted = true;
    }
    if (CKVQWindow* owner = GetOwner())
        owner->Invalidate();
    return painted;
}

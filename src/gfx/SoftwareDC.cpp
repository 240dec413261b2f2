#include "gfx/SoftwareDC.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/CoreCfg.h"
#include "gfx/DeviceKinds.h"
#include "gfx/DrawGeometry.h"
#include "gfx/Texture.h"
#include "platform/Video.h"

// Pixels are handled as 32-bit words whose lowest byte is red, which is the byte order R, G, B, A
// in memory only on little-endian machines.
static_assert(std::endian::native == std::endian::little, "the pixel layout assumes a little-endian machine");

namespace {

constexpr uint32_t kOpaqueWhite = 0xffffffffu;
constexpr uint32_t kClearColor = 0xffc0c0c0u;          // (192, 192, 192, 255)
constexpr uint32_t kEditToolClearColor = 0xffc000c0u;  // (192, 0, 192, 255)
constexpr int32_t kBlendModeCount = 10;
constexpr int32_t kBlendModeDefault = 1;  // modes outside the table blend by source alpha
// Vertices are snapped to 1/256 pixel before rasterising, as GL rasterisers do.
constexpr double kSubpixels = 256.0;
// Geometry beyond this many pixels from the origin is clamped (it is off every buffer anyway).
constexpr double kCoordinateLimit = 1 << 22;
// The blend functions of the device's blend table, as (source factor, destination factor).
enum class BlendKind : uint8_t {
    OneZero,           // Replace
    SrcAlphaInvAlpha,  // Blend and the modes that behave like it
    SrcColorDstColor,  // RGBOnly
    OneOne,            // And
    SrcColorZero,      // Xor
    ZeroDstColor,      // XorDest
    SrcAlphaOne,       // Additive
};

constexpr BlendKind kBlendKinds[kBlendModeCount] = {
    BlendKind::OneZero,          BlendKind::SrcAlphaInvAlpha, BlendKind::SrcColorDstColor, BlendKind::SrcAlphaInvAlpha,
    BlendKind::SrcAlphaInvAlpha, BlendKind::OneOne,           BlendKind::SrcAlphaInvAlpha, BlendKind::SrcColorZero,
    BlendKind::ZeroDstColor,     BlendKind::SrcAlphaOne,
};

inline uint32_t Channel(uint32_t c, int shift)
{
    return (c >> shift) & 0xffu;
}

// a * b / 255 rounded, for 8-bit values.
inline uint32_t MulUnit(uint32_t a, uint32_t b)
{
    return (a * b + 127u) / 255u;
}

// The fragment colour of a textured pixel: texel times vertex colour, per channel.
inline uint32_t ModulateTexel(uint32_t texel, uint32_t color)
{
    return MulUnit(Channel(texel, 0), Channel(color, 0)) | (MulUnit(Channel(texel, 8), Channel(color, 8)) << 8) |
           (MulUnit(Channel(texel, 16), Channel(color, 16)) << 16) |
           (MulUnit(Channel(texel, 24), Channel(color, 24)) << 24);
}

// result = source * source factor + destination * destination factor, clamped, per channel
// including alpha.
template <BlendKind K>
inline uint32_t BlendPixel(uint32_t s, uint32_t d)
{
    if constexpr (K == BlendKind::OneZero) {
        return s;
    } else if constexpr (K == BlendKind::SrcAlphaInvAlpha) {
        const uint32_t sa = s >> 24;
        if (sa == 255u)
            return s;
        if (sa == 0u)
            return d;
        const uint32_t da = 255u - sa;
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8)
            out |= ((Channel(s, shift) * sa + Channel(d, shift) * da + 127u) / 255u) << shift;
        return out;
    } else {
        const uint32_t sa = s >> 24;
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const uint32_t sc = Channel(s, shift);
            const uint32_t dc = Channel(d, shift);
            uint32_t sum = 0;
            if constexpr (K == BlendKind::SrcColorDstColor)
                sum = sc * sc + dc * dc;
            else if constexpr (K == BlendKind::OneOne)
                sum = (sc + dc) * 255u;
            else if constexpr (K == BlendKind::SrcColorZero)
                sum = sc * sc;
            else if constexpr (K == BlendKind::ZeroDstColor)
                sum = dc * dc;
            else
                sum = sc * sa + dc * 255u;
            out |= std::min(255u, (sum + 127u) / 255u) << shift;
        }
        return out;
    }
}

template <BlendKind K>
void FillSpanT(uint32_t* row, int32_t count, uint32_t color)
{
    if constexpr (K == BlendKind::OneZero) {
        std::fill(row, row + count, color);
    } else {
        for (int32_t i = 0; i < count; ++i)
            row[i] = BlendPixel<K>(color, row[i]);
    }
}

inline uint32_t LoadTexel(const uint8_t* texRow, int32_t column)
{
    uint32_t texel;
    std::memcpy(&texel, texRow + static_cast<size_t>(column) * 4u, sizeof texel);
    return texel;
}

template <BlendKind K, bool Modulate>
void TextureSpanT(uint32_t* row, int32_t count, const uint8_t* texRow, const int32_t* columns, uint32_t color)
{
    for (int32_t i = 0; i < count; ++i) {
        uint32_t texel = LoadTexel(texRow, columns[i]);
        if constexpr (Modulate)
            texel = ModulateTexel(texel, color);
        row[i] = BlendPixel<K>(texel, row[i]);
    }
}

using FillSpanFn = void (*)(uint32_t*, int32_t, uint32_t);
using TextureSpanFn = void (*)(uint32_t*, int32_t, const uint8_t*, const int32_t*, uint32_t);

constexpr FillSpanFn kFillSpans[] = {
    FillSpanT<BlendKind::OneZero>,      FillSpanT<BlendKind::SrcAlphaInvAlpha>, FillSpanT<BlendKind::SrcColorDstColor>,
    FillSpanT<BlendKind::OneOne>,       FillSpanT<BlendKind::SrcColorZero>,     FillSpanT<BlendKind::ZeroDstColor>,
    FillSpanT<BlendKind::SrcAlphaOne>,
};
constexpr TextureSpanFn kTextureSpans[2][7] = {
    {TextureSpanT<BlendKind::OneZero, false>, TextureSpanT<BlendKind::SrcAlphaInvAlpha, false>,
     TextureSpanT<BlendKind::SrcColorDstColor, false>, TextureSpanT<BlendKind::OneOne, false>,
     TextureSpanT<BlendKind::SrcColorZero, false>, TextureSpanT<BlendKind::ZeroDstColor, false>,
     TextureSpanT<BlendKind::SrcAlphaOne, false>},
    {TextureSpanT<BlendKind::OneZero, true>, TextureSpanT<BlendKind::SrcAlphaInvAlpha, true>,
     TextureSpanT<BlendKind::SrcColorDstColor, true>, TextureSpanT<BlendKind::OneOne, true>,
     TextureSpanT<BlendKind::SrcColorZero, true>, TextureSpanT<BlendKind::ZeroDstColor, true>,
     TextureSpanT<BlendKind::SrcAlphaOne, true>},
};

// Textures are sampled like the engine's GL textures: bilinear filtering between the four texels
// around the sample point, clamped at the image's edges (GL_LINEAR with GL_CLAMP_TO_EDGE over a
// padding of edge texels), so an edge never takes colour from the opposite edge or from padding.
// A sample on a texel centre reads that texel alone, so unscaled blits copy texels exactly.
using Tap = CKVQWin32DC::Tap;

constexpr uint32_t kWeightOne = 256;

inline int32_t ClampTexel(int64_t i, int32_t size)
{
    return static_cast<int32_t>(std::clamp<int64_t>(i, 0, size - 1));
}

// The texels samples may reach along one axis: the image's own size, not the padding a texture
// made for another device may carry beyond it.
inline int32_t SampledExtent(int32_t logical, int32_t allocated)
{
    return std::clamp(logical, 1, allocated);
}

Tap TapAt(double position, int32_t size)
{
    // position is in texels; texel i has its centre at i + 0.5.
    double p = position - 0.5;
    if (!(p == p))
        p = 0.0;
    p = std::clamp(p, -1e15, 1e15);
    const double f = std::floor(p);
    int64_t i0 = static_cast<int64_t>(f);
    uint32_t w = static_cast<uint32_t>(std::lround((p - f) * kWeightOne));
    if (w >= kWeightOne) {
        ++i0;
        w = 0;
    }
    return Tap{ClampTexel(i0, size), ClampTexel(i0 + 1, size), w};
}

inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t w)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t ca = Channel(a, shift), cb = Channel(b, shift);
        out |= ((ca * (kWeightOne - w) + cb * w + kWeightOne / 2) / kWeightOne) << shift;
    }
    return out;
}

inline uint32_t Sample(const uint8_t* bits, size_t texPitch, const Tap& column, const Tap& row)
{
    const uint8_t* r0 = bits + static_cast<size_t>(row.i0) * texPitch;
    uint32_t top = LoadTexel(r0, column.i0);
    if (column.w != 0)
        top = Lerp(top, LoadTexel(r0, column.i1), column.w);
    if (row.w == 0)
        return top;
    const uint8_t* r1 = bits + static_cast<size_t>(row.i1) * texPitch;
    uint32_t bottom = LoadTexel(r1, column.i0);
    if (column.w != 0)
        bottom = Lerp(bottom, LoadTexel(r1, column.i1), column.w);
    return Lerp(top, bottom, row.w);
}

template <BlendKind K, bool Modulate>
void FilteredSpanT(uint32_t* row, int32_t count, const uint8_t* bits, size_t texPitch, const Tap* columns,
                   const Tap& texRow, uint32_t color)
{
    for (int32_t i = 0; i < count; ++i) {
        uint32_t texel = Sample(bits, texPitch, columns[i], texRow);
        if constexpr (Modulate)
            texel = ModulateTexel(texel, color);
        row[i] = BlendPixel<K>(texel, row[i]);
    }
}

using FilteredSpanFn = void (*)(uint32_t*, int32_t, const uint8_t*, size_t, const Tap*, const Tap&, uint32_t);
constexpr FilteredSpanFn kFilteredSpans[2][7] = {
    {FilteredSpanT<BlendKind::OneZero, false>, FilteredSpanT<BlendKind::SrcAlphaInvAlpha, false>,
     FilteredSpanT<BlendKind::SrcColorDstColor, false>, FilteredSpanT<BlendKind::OneOne, false>,
     FilteredSpanT<BlendKind::SrcColorZero, false>, FilteredSpanT<BlendKind::ZeroDstColor, false>,
     FilteredSpanT<BlendKind::SrcAlphaOne, false>},
    {FilteredSpanT<BlendKind::OneZero, true>, FilteredSpanT<BlendKind::SrcAlphaInvAlpha, true>,
     FilteredSpanT<BlendKind::SrcColorDstColor, true>, FilteredSpanT<BlendKind::OneOne, true>,
     FilteredSpanT<BlendKind::SrcColorZero, true>, FilteredSpanT<BlendKind::ZeroDstColor, true>,
     FilteredSpanT<BlendKind::SrcAlphaOne, true>},
};

inline size_t KindIndex(uint8_t mode)
{
    return static_cast<size_t>(kBlendKinds[mode < kBlendModeCount ? mode : kBlendModeDefault]);
}

int32_t FloorToInt(double value)
{
    return TruncateToInt32(std::floor(value));
}

int32_t CeilToInt(double value)
{
    return TruncateToInt32(std::ceil(value));
}

double ClampCoordinate(double value)
{
    if (!(value == value))
        return 0.0;
    return std::clamp(value, -kCoordinateLimit, kCoordinateLimit);
}

double Snap(double value)
{
    return std::nearbyint(ClampCoordinate(value) * kSubpixels) / kSubpixels;
}

bool HasArea(const KVQRect& r)
{
    return r.right > r.left && r.bottom > r.top;
}

}  // namespace

CKVQDC* CreateWin32DC()
{
    return new CKVQWin32DC();
}

CKVQWin32DC::CKVQWin32DC() = default;

// ---- Buffer ------------------------------------------------------------------------------------

void CKVQWin32DC::Allocate(int32_t width, int32_t height, int32_t pitch)
{
    bufferWidth_ = width;
    bufferHeight_ = height;
    pitch_ = pitch;
    pixels_.assign(static_cast<size_t>(pitch) * static_cast<size_t>(height), kClearColor);
}

void CKVQWin32DC::FillAll(uint32_t color)
{
    std::fill(pixels_.begin(), pixels_.end(), color);
}

uint32_t CKVQWin32DC::PixelAt(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || x >= bufferWidth_ || y >= bufferHeight_)
        return 0;
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(pitch_) + static_cast<size_t>(x)];
}

int32_t CKVQWin32DC::Init(int32_t width, int32_t height, void* window, int32_t param)
{
    (void)param;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return -1;
    width_ = width;
    height_ = height;
    window_ = static_cast<platform::Window*>(window);
    Allocate(width, height, width);
    clips_.clear();
    PushClip(KVQRect{0, width, 0, height}, 0);
    Clear();
    return 0;
}

int32_t CKVQWin32DC::Shutdown()
{
    return 0;  // the buffer is plain memory and survives a pause
}

int32_t CKVQWin32DC::Resize(int32_t width, int32_t height)
{
    // A new logical size projected onto the unchanged buffer, as the GL device's new projection
    // with the viewport kept. The clip covers the whole new area.
    if (width <= 0 || height <= 0)
        return -1;
    width_ = width;
    height_ = height;
    PopClip();
    PushClip(KVQRect{0, width, 0, height}, 0);
    Clear();
    return 0;
}

int32_t CKVQWin32DC::SetPitch(int32_t value)
{
    if (value < bufferWidth_ || value > kMaxSide)
        return -1;
    if (value != pitch_) {
        std::vector<uint32_t> wider(static_cast<size_t>(value) * static_cast<size_t>(bufferHeight_), kClearColor);
        for (int32_t y = 0; y < bufferHeight_; ++y)
            std::copy_n(pixels_.begin() + static_cast<ptrdiff_t>(y) * pitch_, bufferWidth_,
                        wider.begin() + static_cast<ptrdiff_t>(y) * value);
        pixels_.swap(wider);
        pitch_ = value;
    }
    return 0;
}

intptr_t CKVQWin32DC::GetSurface()
{
    return reinterpret_cast<intptr_t>(GetBits());
}

bool CKVQWin32DC::ReadFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height)
{
    if (pixels_.empty())
        return false;
    width = bufferWidth_;
    height = bufferHeight_;
    const size_t rowBytes = static_cast<size_t>(bufferWidth_) * 4u;
    rgba.resize(rowBytes * static_cast<size_t>(bufferHeight_));
    for (int32_t y = 0; y < bufferHeight_; ++y)
        std::memcpy(rgba.data() + rowBytes * static_cast<size_t>(y),
                    pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch_), rowBytes);
    MakeOpaque(rgba);
    return true;
}

int32_t CKVQWin32DC::Clear()
{
    FillAll(GetCoreCfg().IsEditTool ? kEditToolClearColor : kClearColor);
    return 0;
}

int32_t CKVQWin32DC::BeginScene()
{
    // Every frame starts grey, the editor's tool colour included: only an explicit clear shows it.
    FillAll(kClearColor);
    return 0;
}

int32_t CKVQWin32DC::EndScene()
{
    return 0;  // every operation is drawn when it is issued
}

int32_t CKVQWin32DC::Flip()
{
    if (GetCoreCfg().IsPaused)
        return 1;
    if (window_ && !pixels_.empty())
        platform::PresentPixels(window_, pixels_.data(), bufferWidth_, bufferHeight_, pitch_);
    MarkPresented();
    return 0;
}

// ---- State ------------------------------------------------------------------------------------

bool CKVQWin32DC::ClipRect(const KVQRect& rect, KVQRect& clipped) const
{
    clipped = clips_.empty() ? rect : rect.Intersection(clips_.back());
    return HasArea(clipped);
}

int32_t CKVQWin32DC::SetBlendMode(int32_t mode)
{
    blendMode_ = static_cast<uint8_t>(mode >= 0 && mode < kBlendModeCount ? mode : kBlendModeDefault);
    return 0;
}

int32_t CKVQWin32DC::SetLineWidth(int32_t width)
{
    const int32_t previous = lineWidth_;
    lineWidth_ = width;
    return previous;
}

// ---- Drawing operations ------------------------------------------------------------------------

int32_t CKVQWin32DC::Blit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color)
{
    return TexturedQuad(texture, src, dst, color, Cut::SamePixels, false, 0.0f);
}

int32_t CKVQWin32DC::StretchBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color)
{
    return TexturedQuad(texture, src, dst, color, Cut::Proportional, false, 0.0f);
}

int32_t CKVQWin32DC::RotateBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color,
                                float angle)
{
    return TexturedQuad(texture, src, dst, color, Cut::Proportional, true, angle);
}

int32_t CKVQWin32DC::TexturedQuad(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color, Cut cut,
                                  bool rotate, float angle)
{
    if (!CTextureCache::Instance().GetTextureObject(texture))
        return -1;
    KVQRect clipped;
    if (!ClipRect(dst, clipped))
        return 0;

    const KVQSourceEdges edges = cut == Cut::SamePixels ? CutSourceSamePixels(src, dst, clipped)
                                                        : CutSourceProportional(src, dst, clipped);
    const KVQRect from{ClampToInt32(edges.left), ClampToInt32(edges.right), ClampToInt32(edges.top),
                       ClampToInt32(edges.bottom)};

    const int32_t x0 = ClampToInt32(transform_.MapX(clipped.left));
    const int32_t x1 = ClampToInt32(transform_.MapX(clipped.right));
    const int32_t y0 = ClampToInt32(transform_.MapY(clipped.top));
    const int32_t y1 = ClampToInt32(transform_.MapY(clipped.bottom));

    Primitive p;
    p.shape = Shape::TexturedQuad;
    p.blendMode = blendMode_;
    p.texture = texture;
    p.color = ModulateColor(color, modulation_);
    const float s0 = static_cast<float>(from.left), s1 = static_cast<float>(from.right);
    const float t0 = static_cast<float>(from.top), t1 = static_cast<float>(from.bottom);
    if (!rotate) {
        p.v[0] = {static_cast<float>(x0), static_cast<float>(y0), s0, t0};
        p.v[1] = {static_cast<float>(x1), static_cast<float>(y0), s1, t0};
        p.v[2] = {static_cast<float>(x0), static_cast<float>(y1), s0, t1};
        p.v[3] = {static_cast<float>(x1), static_cast<float>(y1), s1, t1};
    } else {
        const KVQRotatedCorners r = RotateQuadCorners(x0, y0, x1, y1, angle);
        const float coords[4][2] = {{s0, t0}, {s1, t0}, {s0, t1}, {s1, t1}};
        for (int i = 0; i < 4; ++i)
            p.v[i] = {static_cast<float>(r.corner[i][0]), static_cast<float>(r.corner[i][1]), coords[i][0],
                      coords[i][1]};
    }
    Emit(p);
    return 0;
}

int32_t CKVQWin32DC::FillRect(const KVQRect& rect, uint32_t color)
{
    KVQRect clipped;
    if (!ClipRect(rect, clipped))
        return 0;
    Primitive p;
    p.shape = Shape::FilledQuad;
    p.blendMode = blendMode_;
    p.color = color;
    const float l = static_cast<float>(clipped.left), r = static_cast<float>(clipped.right);
    const float t = static_cast<float>(clipped.top), b = static_cast<float>(clipped.bottom);
    p.v[0] = {l, t, 0, 0};
    p.v[1] = {r, t, 0, 0};
    p.v[2] = {l, b, 0, 0};
    p.v[3] = {r, b, 0, 0};
    Emit(p);
    return 0;
}

int32_t CKVQWin32DC::DrawLine(const KVQPoint& from, const KVQPoint& to, uint32_t color)
{
    KVQPoint a = from, b = to;
    if (!clips_.empty() && !ClipSegment(clips_.back(), a, b))
        return 0;
    Primitive p;
    p.shape = Shape::Line;
    p.blendMode = blendMode_;
    p.color = color;
    p.lineWidth = lineWidth_;
    p.v[0] = {static_cast<float>(a.x), static_cast<float>(a.y), 0, 0};
    p.v[1] = {static_cast<float>(b.x), static_cast<float>(b.y), 0, 0};
    Emit(p);
    return 0;
}

int32_t CKVQWin32DC::DrawRect(const KVQRect& rect, uint32_t color)
{
    KVQSegment edges[4];
    const int32_t count = ClipRectOutline(rect, clips_.empty() ? nullptr : &clips_.back(), edges);
    for (int32_t i = 0; i < count; ++i)
        DrawLine(edges[i].from, edges[i].to, color);
    return 0;
}

int32_t CKVQWin32DC::SetPixel(const KVQPoint& point, uint32_t color)
{
    if (!clips_.empty()) {
        const KVQRect& clip = clips_.back();
        if (point.x < clip.left || point.x >= clip.right || point.y < clip.top || point.y >= clip.bottom)
            return 0;
    }
    Primitive p;
    p.shape = Shape::Pixel;
    p.blendMode = blendMode_;
    p.color = color;
    p.v[0] = {static_cast<float>(point.x), static_cast<float>(point.y), 0, 0};
    p.v[1] = {static_cast<float>(point.x) + 1.0f, static_cast<float>(point.y) + 1.0f, 0, 0};
    Emit(p);
    return 0;
}

int32_t CKVQWin32DC::DrawEllipse(const KVQRect& rect, uint32_t color)
{
    if (!HasArea(rect))
        return 0;
    Primitive p;
    p.shape = Shape::Ellipse;
    p.blendMode = blendMode_;
    p.color = color;
    p.lineWidth = lineWidth_;
    p.clip = clips_.empty() ? rect : clips_.back();
    p.v[0] = {static_cast<float>(rect.left), static_cast<float>(rect.top), 0, 0};
    p.v[1] = {static_cast<float>(rect.right), static_cast<float>(rect.bottom), 0, 0};
    Emit(p);
    return 0;
}

int32_t CKVQWin32DC::FillEllipse(const KVQRect& rect, uint32_t color)
{
    if (!HasArea(rect))
        return 0;
    Primitive p;
    p.shape = Shape::FilledEllipse;
    p.blendMode = blendMode_;
    p.color = color;
    p.clip = clips_.empty() ? rect : clips_.back();
    p.v[0] = {static_cast<float>(rect.left), static_cast<float>(rect.top), 0, 0};
    p.v[1] = {static_cast<float>(rect.right), static_cast<float>(rect.bottom), 0, 0};
    Emit(p);
    return 0;
}

// ---- Records -----------------------------------------------------------------------------------

bool CKVQWin32DC::HasRecord(int32_t id)
{
    return records_.count(id) != 0;
}

int32_t CKVQWin32DC::CreateRecord()
{
    const int32_t id = nextRecordId_++;
    records_[id];
    return id;
}

int32_t CKVQWin32DC::DeleteRecord(int32_t id)
{
    if (recordingId_ == id) {
        recordingId_ = 0;
        recording_.clear();
    }
    return records_.erase(id) ? 0 : -1;
}

int32_t CKVQWin32DC::BeginRecord(int32_t id)
{
    if (!HasRecord(id))
        return -1;
    recordingId_ = id;
    recording_.clear();
    return 0;
}

int32_t CKVQWin32DC::EndRecord(int32_t id)
{
    if (recordingId_ == 0 || recordingId_ != id || !HasRecord(id))
        return -1;
    records_[id] = recording_;
    recording_.clear();
    recordingId_ = 0;
    return 0;
}

int32_t CKVQWin32DC::PlayRecord(int32_t id)
{
    auto it = records_.find(id);
    if (it == records_.end())
        return -1;
    // Playing a record into itself would read what it appends.
    if (recordingId_ == id)
        return -1;
    for (const Primitive& p : it->second)
        Emit(p);
    if (!it->second.empty())
        blendMode_ = it->second.back().blendMode;
    return 0;
}

void CKVQWin32DC::Emit(const Primitive& p)
{
    if (recordingId_ != 0)
        recording_.push_back(p);
    Rasterise(p);
}

// ---- Rasterisation -----------------------------------------------------------------------------

CKVQWin32DC::View CKVQWin32DC::CurrentView() const
{
    View view;
    const KVQCoreCfg& cfg = GetCoreCfg();
    if (cfg.IsAutoScale) {
        view.offsetX = cfg.nAutoOffsetX;
        view.offsetY = cfg.nAutoOffsetY;
        view.scaleX = cfg.fAutoScaleX;
        view.scaleY = cfg.fAutoScaleY;
    }
    // The projection maps the logical size onto the buffer (they differ after Resize).
    if (width_ > 0 && height_ > 0 && (width_ != bufferWidth_ || height_ != bufferHeight_)) {
        const double px = static_cast<double>(bufferWidth_) / width_;
        const double py = static_cast<double>(bufferHeight_) / height_;
        view.offsetX *= px;
        view.offsetY *= py;
        view.scaleX *= px;
        view.scaleY *= py;
    }
    return view;
}

void CKVQWin32DC::Rasterise(const Primitive& p)
{
    if (pixels_.empty())
        return;
    const View view = CurrentView();
    switch (p.shape) {
    case Shape::TexturedQuad:
    case Shape::FilledQuad:
    case Shape::Pixel: RasteriseQuad(p, view); break;
    case Shape::Line: RasteriseLine(p, view); break;
    case Shape::Ellipse:
    case Shape::FilledEllipse: RasteriseEllipse(p, view); break;
    }
}

void CKVQWin32DC::FillSpan(uint32_t* row, int32_t count, uint32_t color, uint8_t mode)
{
    kFillSpans[KindIndex(mode)](row, count, color);
}

void CKVQWin32DC::CoveredPixels(const View& view, double left, double top, double right, double bottom, int32_t& x0,
                                int32_t& y0, int32_t& x1, int32_t& y1) const
{
    double l = Snap(view.offsetX + left * view.scaleX), r = Snap(view.offsetX + right * view.scaleX);
    double t = Snap(view.offsetY + top * view.scaleY), b = Snap(view.offsetY + bottom * view.scaleY);
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    // A pixel is covered when its centre lies inside; centres on the left and bottom edges count
    // (GL's fill rule seen in window coordinates whose y grows downward).
    x0 = std::clamp(CeilToInt(l - 0.5), 0, bufferWidth_);
    x1 = std::clamp(CeilToInt(r - 0.5), 0, bufferWidth_);
    y0 = std::clamp(FloorToInt(t - 0.5) + 1, 0, bufferHeight_);
    y1 = std::clamp(FloorToInt(b - 0.5) + 1, 0, bufferHeight_);
}

void CKVQWin32DC::RasteriseQuad(const Primitive& p, const View& view)
{
    const Vertex* v = p.v;
    if (p.shape == Shape::Pixel) {
        int32_t x0, y0, x1, y1;
        CoveredPixels(view, v[0].x, v[0].y, v[1].x, v[1].y, x0, y0, x1, y1);
        for (int32_t y = y0; y < y1 && x1 > x0; ++y)
            FillSpan(&pixels_[static_cast<size_t>(y) * pitch_ + x0], x1 - x0, p.color, p.blendMode);
        return;
    }
    ITextureObject* texture = nullptr;
    const uint8_t* bits = nullptr;
    int32_t texWidth = 0, texHeight = 0;
    if (p.shape == Shape::TexturedQuad) {
        texture = CTextureCache::Instance().GetTextureObject(p.texture);
        if (!texture)
            return;
        bits = texture->GetBits();
        texWidth = texture->GetTexWidth();
        texHeight = texture->GetTexHeight();
        if (!bits || texWidth <= 0 || texHeight <= 0)
            return;
    }

    const bool axisAligned = v[0].y == v[1].y && v[2].y == v[3].y && v[0].x == v[2].x && v[1].x == v[3].x;
    if (!axisAligned) {
        RasteriseTriangle(p, v[0], v[1], v[2], view, texture);
        RasteriseTriangle(p, v[3], v[2], v[1], view, texture);
        return;
    }

    int32_t x0, y0, x1, y1;
    CoveredPixels(view, v[0].x, v[0].y, v[3].x, v[3].y, x0, y0, x1, y1);
    if (x1 <= x0 || y1 <= y0)
        return;
    const int32_t count = x1 - x0;
    if (!texture) {
        for (int32_t y = y0; y < y1; ++y)
            FillSpan(&pixels_[static_cast<size_t>(y) * pitch_ + x0], count, p.color, p.blendMode);
        return;
    }

    // The source position at each covered pixel centre, mapped linearly from the quad's left/top
    // edge to its right/bottom edge.
    const double left = Snap(view.offsetX + v[0].x * view.scaleX);
    const double right = Snap(view.offsetX + v[1].x * view.scaleX);
    const double top = Snap(view.offsetY + v[0].y * view.scaleY);
    const double bottom = Snap(view.offsetY + v[2].y * view.scaleY);
    const double sPerPixel = (static_cast<double>(v[1].s) - v[0].s) / (right - left);
    const double tPerPixel = (static_cast<double>(v[2].t) - v[0].t) / (bottom - top);
    const int32_t sampledWidth = SampledExtent(texture->GetWidth(), texWidth);
    const int32_t sampledHeight = SampledExtent(texture->GetHeight(), texHeight);
    columnTaps_.resize(static_cast<size_t>(count));
    rowTaps_.resize(static_cast<size_t>(y1 - y0));
    bool filtered = false;
    for (int32_t i = 0; i < count; ++i) {
        const Tap tap = TapAt(v[0].s + (x0 + i + 0.5 - left) * sPerPixel, sampledWidth);
        columnTaps_[static_cast<size_t>(i)] = tap;
        filtered = filtered || tap.w != 0;
    }
    for (int32_t j = 0; j < y1 - y0; ++j) {
        const Tap tap = TapAt(v[0].t + (y0 + j + 0.5 - top) * tPerPixel, sampledHeight);
        rowTaps_[static_cast<size_t>(j)] = tap;
        filtered = filtered || tap.w != 0;
    }
    const size_t texPitch = static_cast<size_t>(texWidth) * 4u;
    const size_t modulate = p.color != kOpaqueWhite ? 1 : 0;
    if (filtered) {
        const FilteredSpanFn span = kFilteredSpans[modulate][KindIndex(p.blendMode)];
        for (int32_t y = y0; y < y1; ++y)
            span(&pixels_[static_cast<size_t>(y) * pitch_ + x0], count, bits, texPitch, columnTaps_.data(),
                 rowTaps_[static_cast<size_t>(y - y0)], p.color);
        return;
    }
    // Every sample sits on a texel centre: plain texel copies.
    texelColumns_.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        texelColumns_[static_cast<size_t>(i)] = columnTaps_[static_cast<size_t>(i)].i0;
    const TextureSpanFn span = kTextureSpans[modulate][KindIndex(p.blendMode)];
    for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* texRow = bits + static_cast<size_t>(rowTaps_[static_cast<size_t>(y - y0)].i0) * texPitch;
        span(&pixels_[static_cast<size_t>(y) * pitch_ + x0], count, texRow, texelColumns_.data(), p.color);
    }
}

void CKVQWin32DC::RasteriseTriangle(const Primitive& p, const Vertex& va, const Vertex& vb, const Vertex& vc,
                                    const View& view, ITextureObject* texture)
{
    // Edge functions in 1/256 pixel fixed point: exact, so shared edges are decided once.
    struct Point {
        int64_t x, y;
        double s, t;
    };
    auto fixed = [&](const Vertex& v) {
        return Point{static_cast<int64_t>(Snap(view.offsetX + v.x * view.scaleX) * kSubpixels),
                     static_cast<int64_t>(Snap(view.offsetY + v.y * view.scaleY) * kSubpixels), v.s, v.t};
    };
    Point a = fixed(va), b = fixed(vb), c = fixed(vc);
    int64_t area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (area == 0)
        return;
    if (area < 0) {
        std::swap(b, c);
        area = -area;
    }
    // Edge p->q; the interior has E > 0. Centres on an edge count when it is a left edge, or a
    // horizontal edge with the interior above it.
    struct Edge {
        int64_t dx, dy, px, py;
        int64_t minimum;  // 0 when points on the edge count, 1 otherwise
        int64_t At(int64_t x, int64_t y) const { return dx * (y - py) - dy * (x - px); }
    };
    auto edge = [](const Point& from, const Point& to) {
        const bool inclusive = to.y < from.y || (to.y == from.y && to.x < from.x);
        return Edge{to.x - from.x, to.y - from.y, from.x, from.y, inclusive ? 0 : 1};
    };
    const Edge ab = edge(a, b), bc = edge(b, c), ca = edge(c, a);

    const int64_t sub = static_cast<int64_t>(kSubpixels);
    const int64_t minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
    const int64_t minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    const int32_t px0 = static_cast<int32_t>(std::clamp<int64_t>(minX / sub - 1, 0, bufferWidth_));
    const int32_t px1 = static_cast<int32_t>(std::clamp<int64_t>(maxX / sub + 1, 0, bufferWidth_));
    const int32_t py0 = static_cast<int32_t>(std::clamp<int64_t>(minY / sub - 1, 0, bufferHeight_));
    const int32_t py1 = static_cast<int32_t>(std::clamp<int64_t>(maxY / sub + 1, 0, bufferHeight_));

    const uint8_t* bits = texture ? texture->GetBits() : nullptr;
    const int32_t texWidth = texture ? texture->GetTexWidth() : 0;
    const int32_t texHeight = texture ? texture->GetTexHeight() : 0;
    const int32_t sampledWidth = texture ? SampledExtent(texture->GetWidth(), texWidth) : 0;
    const int32_t sampledHeight = texture ? SampledExtent(texture->GetHeight(), texHeight) : 0;
    const size_t kind = KindIndex(p.blendMode);
    const double invArea = 1.0 / static_cast<double>(area);
    for (int32_t y = py0; y < py1; ++y) {
        const int64_t cy = static_cast<int64_t>(y) * sub + sub / 2;
        uint32_t* row = &pixels_[static_cast<size_t>(y) * pitch_];
        for (int32_t x = px0; x < px1; ++x) {
            const int64_t cx = static_cast<int64_t>(x) * sub + sub / 2;
            const int64_t eab = ab.At(cx, cy), ebc = bc.At(cx, cy), eca = ca.At(cx, cy);
            if (eab < ab.minimum || ebc < bc.minimum || eca < ca.minimum)
                continue;
            uint32_t color = p.color;
            if (bits) {
                const double wa = ebc * invArea, wb = eca * invArea, wc = eab * invArea;
                const Tap column = TapAt(wa * a.s + wb * b.s + wc * c.s, sampledWidth);
                const Tap texRow = TapAt(wa * a.t + wb * b.t + wc * c.t, sampledHeight);
                const uint32_t texel = Sample(bits, static_cast<size_t>(texWidth) * 4u, column, texRow);
                color = p.color == kOpaqueWhite ? texel : ModulateTexel(texel, p.color);
            }
            kFillSpans[kind](row + x, 1, color);
        }
    }
}

void CKVQWin32DC::RasteriseLine(const Primitive& p, const View& view)
{
    // GL's line as a parallelogram: along the major axis the pixels whose centres lie from the
    // start (counted) to the end (not counted); across it a band of the line width, whose edges
    // follow the fill rule of triangles.
    const double xs = Snap(view.offsetX + p.v[0].x * view.scaleX), ys = Snap(view.offsetY + p.v[0].y * view.scaleY);
    const double xe = Snap(view.offsetX + p.v[1].x * view.scaleX), ye = Snap(view.offsetY + p.v[1].y * view.scaleY);
    const double dx = xe - xs, dy = ye - ys;
    if (dx == 0.0 && dy == 0.0)
        return;
    const double half = std::max(p.lineWidth, 1) / 2.0;
    const bool xMajor = std::abs(dx) >= std::abs(dy);

    // The major-axis pixel range [first, last] between start and end.
    auto majorRange = [](double start, double end, int32_t limit, int32_t& first, int32_t& last) {
        if (end > start) {
            first = CeilToInt(start - 0.5);
            last = CeilToInt(end - 0.5) - 1;
        } else {
            first = FloorToInt(end - 0.5) + 1;
            last = FloorToInt(start - 0.5);
        }
        first = std::max(first, 0);
        last = std::min(last, limit - 1);
    };

    if (xMajor) {
        int32_t first, last;
        majorRange(xs, xe, bufferWidth_, first, last);
        const bool topCounts = dx * dy < 0.0;
        const bool bottomCounts = dx * dy > 0.0 || dy == 0.0;
        const double slope = dy / dx;
        for (int32_t x = first; x <= last; ++x) {
            const double yc = ys + (x + 0.5 - xs) * slope;
            const double top = yc - half, bottom = yc + half;
            int32_t y0 = topCounts ? CeilToInt(top - 0.5) : FloorToInt(top - 0.5) + 1;
            int32_t y1 = bottomCounts ? FloorToInt(bottom - 0.5) : CeilToInt(bottom - 0.5) - 1;
            y0 = std::max(y0, 0);
            y1 = std::min(y1, bufferHeight_ - 1);
            for (int32_t y = y0; y <= y1; ++y)
                FillSpan(&pixels_[static_cast<size_t>(y) * pitch_ + x], 1, p.color, p.blendMode);
        }
    } else {
        int32_t first, last;
        majorRange(ys, ye, bufferHeight_, first, last);
        const double slope = dx / dy;
        for (int32_t y = first; y <= last; ++y) {
            const double xc = xs + (y + 0.5 - ys) * slope;
            const int32_t x0 = std::max(CeilToInt(xc - half - 0.5), 0);
            const int32_t x1 = std::min(CeilToInt(xc + half - 0.5), bufferWidth_);
            if (x1 > x0)
                FillSpan(&pixels_[static_cast<size_t>(y) * pitch_ + x0], x1 - x0, p.color, p.blendMode);
        }
    }
}

void CKVQWin32DC::RasteriseEllipse(const Primitive& p, const View& view)
{
    // The ellipse inscribed in the rect; a pixel belongs to it when its centre does. The outline
    // is the part not inside the ellipse shrunk by the line width.
    const double left = view.offsetX + p.v[0].x * view.scaleX, right = view.offsetX + p.v[1].x * view.scaleX;
    const double top = view.offsetY + p.v[0].y * view.scaleY, bottom = view.offsetY + p.v[1].y * view.scaleY;
    const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
    const double a = std::abs(right - left) / 2.0, b = std::abs(bottom - top) / 2.0;
    if (a <= 0.0 || b <= 0.0)
        return;
    const bool outline = p.shape == Shape::Ellipse;
    const double pen = std::max(p.lineWidth, 1);
    const double ia = a - pen, ib = b - pen;
    const bool hollow = outline && ia > 0.0 && ib > 0.0;

    int32_t clipX0, clipY0, clipX1, clipY1;
    CoveredPixels(view, p.clip.left, p.clip.top, p.clip.right, p.clip.bottom, clipX0, clipY0, clipX1, clipY1);
    const int32_t y0 = std::max(FloorToInt(cy - b - 0.5), clipY0);
    const int32_t y1 = std::min(CeilToInt(cy + b + 0.5), clipY1);
    auto span = [&](uint32_t* row, int32_t from, int32_t to) {  // [from, to] clipped
        from = std::max(from, clipX0);
        to = std::min(to, clipX1 - 1);
        if (to >= from)
            FillSpan(row + from, to - from + 1, p.color, p.blendMode);
    };
    for (int32_t y = y0; y < y1; ++y) {
        const double d = (y + 0.5 - cy) / b;
        if (d * d > 1.0)
            continue;
        const double halfWidth = a * std::sqrt(1.0 - d * d);
        const int32_t from = CeilToInt(cx - halfWidth - 0.5);
        const int32_t to = FloorToInt(cx + halfWidth - 0.5);
        uint32_t* row = &pixels_[static_cast<size_t>(y) * pitch_];
        const double di = (y + 0.5 - cy) / ib;
        if (!hollow || di * di >= 1.0) {
            span(row, from, to);
            continue;
        }
        // Inner pixels: centres strictly inside the shrunk ellipse.
        const double innerHalf = ia * std::sqrt(1.0 - di * di);
        const int32_t innerFrom = FloorToInt(cx - innerHalf - 0.5) + 1;
        const int32_t innerTo = CeilToInt(cx + innerHalf - 0.5) - 1;
        if (innerTo < innerFrom) {
            span(row, from, to);
        } else {
            span(row, from, innerFrom - 1);
            span(row, innerTo + 1, to);
        }
    }
}

#include "gfx/Scenes.h"

#include <cmath>
#include <cstring>

#include "app/CoreCfg.h"
#include "common/Types.h"
#include "gfx/DC.h"
#include "gfx/ImageSet.h"
#include "gfx/Texture.h"
#include "render/pictures/PictureMix.h"
#include "render/pictures/Frame.h"
#include "render/pictures/FrameHorz.h"
#include "render/controls/HorzScrollBar.h"
#include "render/controls/ProgressControl.h"
#include "render/controls/VertScrollBar.h"
#include "render/pictures/PictureFrame.h"

namespace scenes {

namespace {

constexpr const char* kPatternName = "scene-pattern";
constexpr const char* kRampName = "scene-ramp";
constexpr const char* kRedName = "scene-red";
constexpr const char* kRedBlueName = "scene-red-blue";
constexpr const char* kPaintedName = "scene-painted";  // a private copy of the pattern, painted on
constexpr int32_t kTextureSide = 16;

constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    return r | (g << 8) | (b << 16) | (a << 24);
}

constexpr uint32_t kRed = Rgba(220, 30, 30, 255);
constexpr uint32_t kGreen = Rgba(30, 200, 60, 255);
constexpr uint32_t kBlue = Rgba(40, 60, 230, 255);
constexpr uint32_t kWhite = Rgba(255, 255, 255, 255);
constexpr uint32_t kBlack = Rgba(0, 0, 0, 255);
constexpr uint32_t kYellow = Rgba(250, 230, 20, 255);

void Put(std::vector<uint8_t>& pixels, int32_t x, int32_t y, uint32_t color)
{
    const size_t i = (static_cast<size_t>(y) * kTextureSide + static_cast<size_t>(x)) * 4;
    for (size_t c = 0; c < 4; ++c)
        pixels[i + c] = static_cast<uint8_t>(color >> (8 * c));
}

void FillsAndLines(CKVQDC& dc, const Textures&)
{
    dc.FillRect({2, 30, 2, 20}, kRed);
    dc.PushClip({20, 60, 10, 40}, 0);
    dc.FillRect({10, 50, 5, 30}, kGreen);  // cut to 20..50 x 10..30
    dc.PopClip();
    dc.SetBlendMode(1);
    dc.FillRect({25, 45, 22, 42}, Rgba(40, 60, 230, 128));
    dc.SetBlendMode(0);
    dc.FillRect({70, 90, 0, 10}, kBlue);  // outside the clip: nothing

    dc.DrawLine({2, 24}, {30, 24}, kWhite);
    dc.DrawLine({2, 27}, {30, 40}, kYellow);      // shallow, downward
    dc.DrawLine({62, 2}, {44, 14}, kBlack);       // shallow, drawn right to left
    dc.DrawLine({33, 46}, {36, 30}, kBlue);       // steep, upward
    dc.DrawVLine({40, 30}, 12, kWhite);
    dc.DrawRect({4, 20, 30, 44}, kBlack);
    const int32_t previous = dc.SetLineWidth(3);
    dc.DrawHLine({44, 40}, 18, Rgba(255, 140, 0, 255));
    dc.DrawLine({44, 20}, {60, 34}, kRed);
    dc.SetLineWidth(previous);
    dc.PushClip({50, 64, 0, 48}, 0);
    dc.DrawRect({44, 60, 4, 16}, kGreen);  // the left edge is outside the clip
    dc.PopClip();
}

void Blits(CKVQDC& dc, const Textures& t)
{
    const KVQRect whole{0, kTextureSide, 0, kTextureSide};
    dc.Blit(t.pattern, whole, {2, 18, 2, 18}, kWhite);
    dc.PushClip({30, 40, 0, 48}, 0);
    dc.Blit(t.pattern, whole, {24, 40, 2, 18}, kWhite);  // left six columns cut off
    dc.PopClip();
    dc.StretchBlit(t.pattern, {0, 8, 0, 8}, {42, 62, 2, 22}, kWhite);
    dc.PushClip({0, 64, 0, 44}, 0);
    dc.StretchBlit(t.pattern, whole, {2, 34, 22, 54}, kWhite);  // 2x, bottom cut proportionally
    dc.PopClip();
    dc.RotateBlit(t.pattern, whole, {40, 56, 28, 44}, kWhite, 0.5f);
    dc.SetBlendMode(1);
    dc.BlitOutlined(t.pattern, {4, 12, 4, 12}, {36, 44, 18, 26}, kWhite, kBlack);
    dc.SetBlendMode(0);
}

void BlendAndModulate(CKVQDC& dc, const Textures& t)
{
    // Stripes to blend over.
    dc.FillRect({0, 64, 0, 12}, Rgba(200, 40, 40, 255));
    dc.FillRect({0, 64, 12, 24}, Rgba(40, 160, 60, 200));
    dc.FillRect({0, 64, 24, 48}, Rgba(50, 50, 180, 255));
    for (int32_t mode = 0; mode < 11; ++mode) {
        dc.SetBlendMode(mode);
        const int32_t x = 1 + mode * 5;
        dc.Blit(t.ramp, {0, 4, 0, 16}, {x, x + 4, 2, 18}, kWhite);
        dc.FillRect({x, x + 4, 20, 26}, Rgba(240, 200, 40, 150));
    }
    dc.SetBlendMode(1);
    dc.PushColor(Rgba(255, 128, 64, 255));
    dc.Blit(t.pattern, {0, 8, 0, 8}, {2, 10, 30, 38}, kWhite);
    dc.PushColor(Rgba(255, 255, 255, 128));
    dc.Blit(t.pattern, {0, 8, 0, 8}, {12, 20, 30, 38}, Rgba(255, 255, 255, 255));
    dc.PopColor(nullptr);
    dc.PopColor(nullptr);
    dc.Blit(t.ramp, {0, 16, 0, 16}, {22, 38, 30, 46}, Rgba(128, 255, 255, 255));
    // A window scaled 2x about its top-left corner, and one scaled 0.5 about its centre.
    dc.PushTransform(40, 28, 2.0f, 2.0f);
    dc.Blit(t.pattern, {0, 8, 0, 8}, {40, 48, 28, 36}, kWhite);
    dc.PopTransform();
    dc.PushTransform(60, 40, 0.5f, 0.5f);
    dc.Blit(t.pattern, {0, 8, 0, 8}, {56, 64, 36, 44}, kWhite);
    dc.PopTransform();
    dc.SetBlendMode(0);
}

void Ellipses(CKVQDC& dc, const Textures&)
{
    dc.FillEllipse({4, 30, 4, 22}, kRed);
    dc.DrawEllipse({34, 60, 4, 22}, kBlack);
    const int32_t previous = dc.SetLineWidth(3);
    dc.DrawEllipse({4, 30, 25, 46}, kBlue);
    dc.SetLineWidth(previous);
    dc.PushClip({34, 50, 24, 48}, 0);
    dc.FillEllipse({34, 61, 25, 46}, kGreen);  // cut by the clip
    dc.PopClip();
    dc.FillEllipse({52, 55, 40, 43}, kYellow);
    for (int32_t i = 0; i < 8; ++i)
        dc.SetPixel({54 + i, 26 + i}, kWhite);
}

void ScaledSprites(CKVQDC& dc, const Textures& t)
{
    // Scaled up, down, clipped and turned: the edges keep the image's own colours.
    dc.StretchBlit(t.red, {0, 10, 0, 10}, {2, 32, 2, 32}, kWhite);
    dc.StretchBlit(t.redBlue, {0, 10, 0, 6}, {34, 62, 2, 20}, kWhite);
    dc.StretchBlit(t.redBlue, {0, 10, 0, 6}, {2, 8, 36, 40}, kWhite);
    dc.PushClip({40, 64, 22, 48}, 0);
    dc.StretchBlit(t.redBlue, {0, 10, 0, 6}, {34, 62, 24, 44}, kWhite);
    dc.PopClip();
    dc.RotateBlit(t.red, {0, 10, 0, 10}, {12, 32, 34, 46}, kWhite, 0.3f);
}

// The controls drawn by their render objects: a vertical and a horizontal scroll bar (white
// track, arrows, thumb) and two progress bars, one revealed from the left, one from the bottom.
void Controls(CKVQDC& dc, const Textures&)
{
    CKVQDC* previous = SetCurrentDevice(&dc);
    CRenderObject_VertScrollBar vert;
    CRenderObject_HorzScrollBar horz;
    for (CScrollBar* bar : {static_cast<CScrollBar*>(&vert), static_cast<CScrollBar*>(&horz)}) {
        bar->first.file = bar->second.file = kRedName;
        bar->thumbSprite.file = kRedBlueName;
    }
    vert.Pos = 50;
    horz.Pos = 100;
    vert.DrawBar({2, 12, 2, 46});
    horz.DrawBar({16, 62, 36, 46});
    CRenderObject_ProgressControl across;
    across.sprite.file = kPatternName;
    across.nCurrentProgress = 70;
    across.DrawProgress({16, 62, 2, 18});
    CRenderObject_ProgressControl up;
    up.sprite.file = kRedBlueName;
    up.mode = CRenderObject_ProgressControl::JION_Y;
    up.IsBottomToTop = 1;
    up.nCurrentProgress = 60;
    up.DrawProgress({16, 26, 20, 34});
    SetCurrentDevice(previous);
}

void ClippedLines(CKVQDC& dc, const Textures&)
{
    dc.FillRect({10, 54, 8, 40}, Rgba(90, 90, 90, 255));
    dc.PushClip({10, 54, 8, 40}, 0);
    dc.DrawLine({0, 0}, {63, 47}, kYellow);
    dc.DrawHLine({0, 20}, 64, kWhite);
    dc.DrawVLine({30, 0}, 48, kBlue);
    dc.DrawRect({10, 54, 8, 40}, kBlack);  // on the clip's border: kept
    dc.DrawRect({4, 20, 30, 46}, kRed);    // mostly outside: cut
    dc.PushClip({36, 64, 0, 30}, 0);       // nested: the intersection
    dc.DrawLine({30, 36}, {60, 0}, kGreen);
    dc.PopClip();
    dc.PopClip();
}

void AutoScaled(CKVQDC& dc, const Textures& t)
{
    // Logical area 40 x 29 (64 x 48 window pixels at 1.5 with offset (4, 2)).
    dc.FillRect({0, 40, 0, 29}, Rgba(90, 90, 90, 255));
    dc.FillRect({2, 12, 2, 9}, kRed);
    dc.Blit(t.pattern, {0, 16, 0, 16}, {14, 30, 2, 18}, kWhite);
    dc.StretchBlit(t.ramp, {0, 16, 0, 16}, {2, 12, 12, 27}, kWhite);
    dc.DrawLine({1, 20}, {38, 27}, kYellow);
    dc.DrawLine({33, 1}, {33, 27}, kWhite);
    dc.DrawRect({31, 39, 20, 28}, kBlack);
}

void PaintedPicture(CKVQDC& dc, const Textures& t)
{
    // Brush strokes change the texture's pixels before anything is drawn; both devices must show
    // them. The copy is made afresh, so every device paints the same pattern.
    CTextureCache::Instance().RemoveTexture(kPaintedName);
    GetCoreCfg().IsClickDown = true;
    CRenderObject_PitctureMix mix;
    mix.picture.file = kPatternName;
    mix.picture.clone = kPaintedName;
    mix.mask.file = kRampName;
    mix.brush.file = kRedBlueName;
    mix.picture.fScaleX = mix.picture.fScaleY = 2.0f;
    mix.BrushHotPos = KVQPoint{5, 3};
    const KVQRect shown{4, 36, 4, 36};
    mix.nBlendMode = kBrushBlend;
    mix.BeginBrush(6, 8);
    mix.Brush(34, 30, shown);
    mix.nBlendMode = kBrushXorDest;
    mix.BeginBrush(8, 32);
    mix.Brush(30, 10, shown);
    const int32_t painted = mix.picture.GetTextureId();
    dc.StretchBlit(painted, {0, 16, 0, 16}, shown, kWhite);
    dc.Blit(painted, {0, 16, 0, 16}, {42, 58, 4, 20}, kWhite);
    dc.Blit(t.pattern, {0, 16, 0, 16}, {42, 58, 24, 40}, kWhite);  // the original stays as it was
}

// A nine-piece frame and a three-piece bar cut from regions of the pattern, drawn by the render
// objects themselves: corners in place, edges and centre tiled and cut at the ends of their strips.
void PieceFrames(CKVQDC& dc, const Textures&)
{
    struct Region {
        const char* name;
        KVQRect rect;
    };
    static const Region kRegions[] = {
        {"frame-tl", {0, 4, 0, 4}},    {"frame-tr", {12, 16, 0, 4}},  {"frame-bl", {0, 4, 12, 16}},
        {"frame-br", {12, 16, 12, 16}}, {"frame-tc", {4, 9, 0, 4}},   {"frame-bc", {4, 9, 12, 16}},
        {"frame-lc", {0, 4, 4, 11}},   {"frame-rc", {12, 16, 4, 11}}, {"frame-cc", {4, 11, 5, 11}},
    };
    CImageSet* set = CImageSetManager::Instance().GetSet(kPatternName, false);
    if (!set)
        return;
    for (const Region& r : kRegions)
        set->SetRect(r.name, r.rect);
    auto piece = [](Sprite& s, const char* region) {
        s.file = kPatternName;
        s.ImageName = region;
    };
    CKVQDC* previous = SetCurrentDevice(&dc);
    dc.FillRect({0, 64, 0, 48}, Rgba(90, 90, 90, 255));
    const LayoutRect whole{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0};
    CRenderObject_Frame frame;
    frame.Layout = whole;
    piece(frame.TopLeft, "frame-tl");
    piece(frame.TopRight, "frame-tr");
    piece(frame.BottomLeft, "frame-bl");
    piece(frame.BottomRight, "frame-br");
    piece(frame.TopCenter, "frame-tc");
    piece(frame.BottomCenter, "frame-bc");
    piece(frame.LeftCenter, "frame-lc");
    piece(frame.RightCenter, "frame-rc");
    piece(frame.Center, "frame-cc");
    frame.TopLeft.fScaleX = frame.TopLeft.fScaleY = 1.5f;  // a stretched corner: 6 x 6
    frame.Draw({2, 41, 2, 35});
    CRenderObject_FrameHorz bar;
    bar.Layout = whole;
    piece(bar.Left, "frame-lc");
    piece(bar.Right, "frame-rc");
    piece(bar.Center, "frame-cc");
    bar.Draw({3, 61, 38, 46});
    SetCurrentDevice(previous);
}

// A picture cut into a frame: corners drawn, edges and centre tiled with the last tiles cut, and
// a frame without its centre.
void PictureFrames(CKVQDC& dc, const Textures&)
{
    CKVQDC* previous = SetCurrentDevice(&dc);
    CRenderObject_PictureFrame frame;
    frame.file = kPatternName;
    frame.Draw({2, 40, 2, 30});
    frame.IsDrawFrameOnly = 1;
    frame.mask = RGBA{255, 200, 120, 255};
    frame.Draw({42, 62, 14, 46});
    SetCurrentDevice(previous);
}

}  // namespace

Textures AddTextures()
{
    std::vector<uint8_t> pattern(static_cast<size_t>(kTextureSide) * kTextureSide * 4);
    std::vector<uint8_t> ramp(pattern.size());
    for (int32_t y = 0; y < kTextureSide; ++y) {
        for (int32_t x = 0; x < kTextureSide; ++x) {
            const uint32_t cell = static_cast<uint32_t>((y / 4) * 4 + x / 4);
            uint32_t color = Rgba(40 + cell * 13, 250 - cell * 15, (cell % 3) * 110, 255);
            if (x == y)
                color = kWhite;
            if (x == 0 || y == 0)
                color = kBlack;
            Put(pattern, x, y, color);
            Put(ramp, x, y,
                Rgba(255, static_cast<uint32_t>(x) * 16, static_cast<uint32_t>(y) * 16,
                     static_cast<uint32_t>(x + y) * 8 + 15));
        }
    }
    std::vector<uint8_t> red(10 * 10 * 4), redBlue(10 * 6 * 4);
    for (size_t i = 0; i < red.size(); i += 4)
        std::memcpy(&red[i], &kRed, 4);
    for (size_t i = 0; i < redBlue.size(); i += 4)
        std::memcpy(&redBlue[i], (i / 4) % 10 < 5 ? &kRed : &kBlue, 4);
    Textures t;
    t.red = CTextureCache::Instance().AddTexture(kRedName, red.data(), 10, 10);
    t.redBlue = CTextureCache::Instance().AddTexture(kRedBlueName, redBlue.data(), 10, 6);
    t.pattern = CTextureCache::Instance().AddTexture(kPatternName, pattern.data(), kTextureSide, kTextureSide);
    t.ramp = CTextureCache::Instance().AddTexture(kRampName, ramp.data(), kTextureSide, kTextureSide);
    return t;
}

void RemoveTextures()
{
    CTextureCache::Instance().RemoveTexture(kPatternName);
    CTextureCache::Instance().RemoveTexture(kRampName);
    CTextureCache::Instance().RemoveTexture(kRedName);
    CTextureCache::Instance().RemoveTexture(kRedBlueName);
    CTextureCache::Instance().RemoveTexture(kPaintedName);
}

const std::vector<Scene>& All()
{
    static const std::vector<Scene> scenes = {
        {"fills_lines", FillsAndLines, false, false},
        {"blits", Blits, false, false},
        {"blend_modulate", BlendAndModulate, false, false},
        {"ellipses", Ellipses, false, true},
        {"autoscale", AutoScaled, true, false},
        {"scaled_sprites", ScaledSprites, false, false},
        {"clipped_lines", ClippedLines, false, false},
        {"painted_picture", PaintedPicture, false, false},
        {"piece_frames", PieceFrames, false, false},
        {"controls", Controls, false, false},
        {"picture_frame", PictureFrames, false, false},
    };
    return scenes;
}

bool Render(CKVQDC& dc, const Scene& scene, const Textures& textures, void* window, std::vector<uint8_t>& rgba)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    const KVQCoreCfg saved = cfg;
    cfg.IsEditTool = false;
    cfg.IsPaused = false;
    cfg.IsAutoScale = scene.autoScale;
    if (scene.autoScale) {
        cfg.fAutoScaleX = cfg.fAutoScaleY = 1.5f;
        cfg.nAutoOffsetX = 4;
        cfg.nAutoOffsetY = 2;
    }
    dc.Init(kWidth, kHeight, window, 0);
    dc.BeginScene();
    scene.draw(dc, textures);
    dc.EndScene();
    int32_t width = 0, height = 0;
    const bool read = dc.ReadFrame(rgba, width, height);
    cfg = saved;
    return read && width == kWidth && height == kHeight;
}

}  // namespace scenes

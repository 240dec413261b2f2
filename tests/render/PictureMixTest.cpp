#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/GoldenImage.h"
#include "gfx/ImageSet.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"
#include "io/EditHook.h"
#include "render/RenderRegistry.h"
#include "render/logic/BridgeMessage.h"
#include "render/pictures/PictureMix.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

struct Px {
    uint8_t r, g, b, a;
    bool operator==(const Px&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Px& p)
{
    return out << int{p.r} << "," << int{p.g} << "," << int{p.b} << "," << int{p.a};
}

class PictureMixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
        savedCfg = GetCoreCfg();
        GetCoreCfg().IsClickDown = true;
        previous = SetCurrentDevice(&dc);
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        GetCoreCfg() = savedCfg;
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
    }
    // A texture of one colour, with the given texels changed.
    static int32_t AddImage(const char* name, int32_t width, int32_t height, Px fill,
                            const std::vector<std::pair<int, Px>>& changed = {})
    {
        std::vector<uint8_t> pixels;
        for (int32_t i = 0; i < width * height; ++i)
            pixels.insert(pixels.end(), {fill.r, fill.g, fill.b, fill.a});
        for (const auto& [at, p] : changed)
            std::copy_n(&p.r, 4, &pixels[static_cast<size_t>(at) * 4]);
        return CTextureCache::Instance().AddTexture(name, pixels.data(), width, height);
    }
    static Px Texel(const char* name, int32_t x, int32_t y)
    {
        ITextureObject* t = CTextureCache::Instance().GetTextureObject(CTextureCache::Instance().LoadTexture(name));
        const uint8_t* p = GetTexturePixels(t).At(x, y);
        return Px{p[0], p[1], p[2], p[3]};
    }
    static void Name(CRenderObject_PitctureMix& mix, const char* picture, const char* mask, const char* brush)
    {
        mix.picture.file = picture;
        mix.mask.file = mask;
        mix.brush.file = brush;
    }
    static uint32_t Uploads(const char* name)
    {
        return CTextureCache::Instance()
            .GetTextureObject(CTextureCache::Instance().LoadTexture(name))
            ->GetRefreshCount();
    }

    RecordingDC dc;
    CKVQDC* previous = nullptr;
    KVQCoreCfg savedCfg;
};

constexpr Px kCanvas{100, 150, 200, 255};
constexpr Px kOther{9, 9, 9, 255};

// A 2 x 2 brush stamped once at texel (1, 0) of a 4 x 4 picture: texels (1, 0), (2, 0), (1, 1)
// and (2, 1), where (1, 1) has another colour and the mask is clear at (2, 1).
TEST_F(PictureMixTest, OperationsMaskAndKeyColourDecideEachTexel)
{
    struct Case {
        int32_t mode;
        uint8_t brushAlpha;
        bool keyed;   // key colour = the canvas colour: the other-coloured texel is left alone
        Px painted;   // (1, 0) and (2, 0)
        Px other;     // (1, 1)
    } cases[] = {
        {kBrushReplace, 128, false, {40, 80, 120, 255}, {40, 80, 120, 255}},
        {kBrushReplace, 128, true, {40, 80, 120, 255}, kOther},
        {kBrushBlend, 128, false, {76, 107, 121, 255}, {20, 21, 5, 255}},
        {kBrushBlend, 128, true, {76, 107, 121, 255}, kOther},
        {kBrushBlend, 0, false, kCanvas, kOther},
        {kBrushXorDest, 128, false, {155, 105, 55, 255}, {246, 246, 246, 255}},
        {kBrushXorDest, 0, true, {155, 105, 55, 255}, kOther},
        {kBrushAlphaOnly, 128, false, kCanvas, kOther},
        {kBrushAdditive, 128, false, {(40 * 255) & 255, 0, 0, 255}, {(40 * 255) & 255, 0, 0, 255}},
        {42, 128, false, kCanvas, kOther},
    };
    for (const Case& c : cases) {
        CTextureCache::Instance().Clear();
        AddImage("canvas", 4, 4, kCanvas, {{5, kOther}});
        AddImage("brush", 2, 2, Px{40, 80, 120, c.brushAlpha});
        AddImage("mask", 2, 2, Px{255, 128, 0, 200}, {{3, Px{255, 255, 255, 0}}});
        CRenderObject_PitctureMix mix;
        Name(mix, "canvas", "mask", "brush");
        mix.nBlendMode = c.mode;
        if (c.keyed)
            mix.color = RGBA{kCanvas.r, kCanvas.g, kCanvas.b, 255};
        EXPECT_TRUE(mix.Brush(11, 20, KVQRect{10, 14, 20, 24}));
        const std::string what = "mode " + std::to_string(c.mode) + (c.keyed ? " keyed" : "");
        EXPECT_EQ(Texel("canvas", 1, 0), c.painted) << what;
        EXPECT_EQ(Texel("canvas", 2, 0), c.painted) << what;
        EXPECT_EQ(Texel("canvas", 1, 1), c.other) << what;
        EXPECT_EQ(Texel("canvas", 2, 1), kCanvas) << what << ": the mask is clear there";
        EXPECT_EQ(Texel("canvas", 0, 0), kCanvas) << what;
        EXPECT_EQ(Texel("canvas", 1, 2), kCanvas) << what;
    }
}

// Every operation along a stroke, the picture drawn three times its size (strokes are mapped into
// texture space), then drawn on the software device.
TEST_F(PictureMixTest, StrokesOfEveryOperationPaintTheGoldenPicture)
{
    constexpr int32_t kSide = 16, kShown = 3 * kSide, kCell = kShown + 2, kModes = kBrushModeCount + 1;
    std::vector<uint8_t> canvas, brush, mask;
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            // Stripes of the key colour (60, 60, 60) every fourth row.
            const bool key = y % 4 == 0;
            canvas.insert(canvas.end(), {static_cast<uint8_t>(key ? 60 : x * 16), static_cast<uint8_t>(key ? 60 : 200),
                                         static_cast<uint8_t>(key ? 60 : y * 16), 255});
        }
    }
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            brush.insert(brush.end(), {static_cast<uint8_t>(250 - x * 30), static_cast<uint8_t>(y * 40), 220,
                                       static_cast<uint8_t>(x < 2 ? 0 : 255 - y * 30)});
            const bool corner = (x == 0 || x == 5) && (y == 0 || y == 5);
            mask.insert(mask.end(), {200, 255, static_cast<uint8_t>(x * 50), static_cast<uint8_t>(corner ? 0 : 160 + y * 15)});
        }
    }
    CTextureCache::Instance().AddTexture("brush", brush.data(), 6, 6);
    CTextureCache::Instance().AddTexture("mask", mask.data(), 6, 6);

    CKVQWin32DC soft;
    ASSERT_EQ(soft.Init(kCell * kModes, kCell, nullptr, 0), 0);
    SetCurrentDevice(&soft);
    std::vector<CRenderObject_PitctureMix> mixes(kModes);
    for (int32_t i = 0; i < kModes; ++i) {
        const std::string name = "canvas" + std::to_string(i);
        CTextureCache::Instance().AddTexture(name.c_str(), canvas.data(), kSide, kSide);
        CRenderObject_PitctureMix& mix = mixes[static_cast<size_t>(i)];
        Name(mix, name.c_str(), "mask", "brush");
        mix.nBlendMode = i % kBrushModeCount;
        if (i == kBrushModeCount)
            mix.color = RGBA{60, 60, 60, 255};  // the last cell: Replace on the key colour only
        mix.picture.fScaleX = mix.picture.fScaleY = 3.0f;
        mix.BrushHotPos = KVQPoint{3, 3};
        const KVQRect window{i * kCell + 1, i * kCell + 1 + kShown, 1, 1 + kShown};
        mix.BeginBrush(window.left + 3, window.top + 6);
        mix.Brush(window.right - 6, window.bottom - 3, window);
        mix.Brush(window.left + 6, window.bottom - 12, window);
    }
    soft.BeginScene();
    soft.FillRect(KVQRect{0, kCell * kModes, 0, kCell}, 0xff202020u);
    for (int32_t i = 0; i < kModes; ++i)
        mixes[static_cast<size_t>(i)].Draw(KVQRect{i * kCell + 1, i * kCell + 1 + kShown, 1, 1 + kShown});
    soft.EndScene();
    std::vector<uint8_t> frame;
    int32_t width = 0, height = 0;
    ASSERT_TRUE(soft.ReadFrame(frame, width, height));
    EXPECT_TRUE(golden::Matches("picturemix_operations", frame, width, height));
    SetCurrentDevice(&dc);
}

TEST_F(PictureMixTest, StrokeLineRunsFromTheLeftEndAndCanStartAnywhereAlongIt)
{
    using Points = std::vector<std::pair<int32_t, int32_t>>;
    struct Case {
        int32_t x0, y0, x1, y1;
        Points expected;
    } cases[] = {
        {10, 5, 0, 0, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {6, 3}, {7, 4}, {8, 4}, {9, 5}, {10, 5}}},
        {3, 3, 3, 3, {{3, 3}}},
        {0, 0, 2, -5, {{0, 0}, {0, -1}, {1, -2}, {1, -3}, {2, -4}, {2, -5}}},
        {5, 0, 5, 3, {{5, 0}, {5, 1}, {5, 2}, {5, 3}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
    };
    for (const Case& c : cases) {
        Points all;
        ForEachStrokePoint(c.x0, c.y0, c.x1, c.y1, INT64_MIN / 4, INT64_MAX / 4,
                           [&](int32_t x, int32_t y) { all.emplace_back(x, y); });
        EXPECT_EQ(all, c.expected) << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1;
        // A window along the major axis yields exactly the points inside it.
        Points part;
        ForEachStrokePoint(c.x0, c.y0, c.x1, c.y1, 1, 3, [&](int32_t x, int32_t y) { part.emplace_back(x, y); });
        const bool wide = std::abs(c.x1 - c.x0) >= std::abs(c.y1 - c.y0);
        Points inside;
        for (const auto& p : all) {
            const int32_t major = wide ? p.first : p.second;
            if (major >= 1 && major <= 3)
                inside.push_back(p);
        }
        EXPECT_EQ(part, inside) << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1;
    }
    // The longest line there is takes only the steps that matter.
    int64_t count = 0;
    ForEachStrokePoint(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, -2, 2, [&](int32_t x, int32_t y) {
        EXPECT_EQ(x, y);
        ++count;
    });
    EXPECT_EQ(count, 5);
}

TEST_F(PictureMixTest, OneUploadPerMessageAndOnlyWhileTheButtonIsHeld)
{
    AddImage("canvas", 64, 64, kCanvas);
    AddImage("brush", 4, 4, Px{1, 2, 3, 255});
    AddImage("mask", 4, 4, Px{255, 255, 255, 255});
    CKVQWindow* window = CKVQWindow::New();
    auto* mix = new CRenderObject_PitctureMix;
    Name(*mix, "canvas", "mask", "brush");
    window->AddRender(mix);
    const KVQRect w = window->GetRect();
    auto send = [&](const char* name, int32_t x, int32_t y) {
        CKVQMessage m(16);
        m.setMode(CIArchive::SM_WRITE);
        m.Int32(x);
        m.Int32(y);
        m.setMode(CIArchive::SM_READ);
        return mix->ProcMessage(window, name, &m, nullptr);
    };
    dc.Reset();
    EXPECT_EQ(send("OnBeginBrush", w.left + 2, w.top + 2), 1);
    EXPECT_EQ(send("OnBrush", w.left + 50, w.top + 40), 1);  // 49 points
    EXPECT_EQ(Uploads("canvas"), 1u);
    EXPECT_EQ(Texel("canvas", 50, 40), (Px{1, 2, 3, 255}));
    EXPECT_EQ(Texel("canvas", 26, 21), (Px{1, 2, 3, 255}));
    EXPECT_EQ(dc.Count("InvalidateRect"), 1);

    // Released (as in an "OnLClickUp" handler): ignored, the last point stays.
    GetCoreCfg().IsClickDown = false;
    send("OnBrush", w.left + 10, w.top + 60);
    EXPECT_EQ(Uploads("canvas"), 1u);
    EXPECT_EQ(mix->lastBrush, (KVQPoint{w.left + 50, w.top + 40}));
    EXPECT_EQ(Texel("canvas", 10, 60), kCanvas);
    EXPECT_EQ(dc.Count("InvalidateRect"), 1);

    // A missing brush paints and uploads nothing, but the window is still redrawn.
    GetCoreCfg().IsClickDown = true;
    mix->brush.file = "no-such-brush.png";
    mix->brush.Unresolve();
    send("OnBrush", w.left + 10, w.top + 10);
    EXPECT_EQ(Uploads("canvas"), 1u);
    EXPECT_EQ(dc.Count("InvalidateRect"), 2);
    EXPECT_EQ(mix->lastBrush, (KVQPoint{w.left + 10, w.top + 10}));
    // Messages without their point change nothing.
    CKVQMessage empty(16);
    mix->ProcMessage(window, "OnBrush", &empty, nullptr);
    mix->ProcMessage(window, "OnBeginBrush", nullptr, nullptr);
    EXPECT_EQ(mix->lastBrush, (KVQPoint{w.left + 10, w.top + 10}));
    window->Delete();
    WindowModule::Get().ReleaseDeleted();
}

// A press and a release forwarded as strokes through the window manager: the press holds the
// button, so its stroke paints; the release has let go of it, so its stroke is ignored.
TEST_F(PictureMixTest, StrokesSentOnPressPaintAndOnReleaseDoNot)
{
    AddImage("canvas", 32, 32, kCanvas);
    AddImage("brush", 1, 1, Px{1, 2, 3, 255});
    AddImage("mask", 1, 1, Px{255, 255, 255, 255});
    CKVQWindow* root = CKVQWindow::New();
    root->Layout = LayoutRect{0, 0, 0, 0, 0, 200, 0, 200};
    CKVQWindow* canvas = CKVQWindow::New();
    canvas->Layout = LayoutRect{0, 0, 0, 0, 10, 42, 10, 42};
    root->AppendChild(canvas);
    auto* mix = new CRenderObject_PitctureMix;
    Name(*mix, "canvas", "mask", "brush");
    canvas->AddRender(mix);
    auto* bridge = new CRenderObject_BridgeMessage;
    for (const char* msg : {"OnLClickDown", "OnLClickUp"}) {
        bridge->ExecuteCommand("AddMsg");
        bridge->links.back()->nLinkType = CRenderObject_BridgeMessage::kSelf;
        bridge->links.back()->msg = msg;
        bridge->links.back()->transmsg = "OnBrush";
    }
    canvas->AddRender(bridge);
    CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
    manager.SetRoot(root);
    root->OnLoad();
    GetCoreCfg().IsClickDown = false;
    manager.OnSysLClickDown(15, 16);
    manager.OnSysLClickUp(30, 16);
    EXPECT_EQ(Texel("canvas", 5, 6), (Px{1, 2, 3, 255}));
    EXPECT_EQ(Texel("canvas", 20, 6), kCanvas);
    EXPECT_EQ(Texel("canvas", 12, 6), kCanvas);
    EXPECT_EQ(mix->lastBrush, (KVQPoint{15, 16}));
    manager.Reset();
    WindowModule::Get().ReleaseDeleted();
}

// Sizes that would divide by zero, rectangles beyond the textures, and far strokes.
TEST_F(PictureMixTest, DegenerateMappingsPaintNothingAndNothingLeavesTheTextures)
{
    struct Case {
        const char* what;
        float scaleX, scaleY;
        KVQRect pictureRect, brushRect;
        KVQPoint hot;
        bool paints;
    } cases[] = {
        {"no destination width", 0.0f, 1.0f, {0, 8, 0, 8}, {0, 3, 0, 3}, {}, false},
        {"no destination height", 1.0f, 0.0f, {0, 8, 0, 8}, {0, 3, 0, 3}, {}, false},
        {"no source width", 1.0f, 1.0f, {4, 4, 0, 8}, {0, 3, 0, 3}, {}, false},
        {"huge source", 1.0f, 1.0f, {0, INT32_MAX, 0, 8}, {0, 3, 0, 3}, {}, false},
        {"reversed source", 1.0f, 1.0f, {8, 0, 8, 0}, {0, 3, 0, 3}, {}, false},
        {"huge scale", 1e30f, -1e30f, {0, 8, 0, 8}, {0, 3, 0, 3}, {INT32_MAX, INT32_MIN}, false},
        {"negative scale", -1.0f, 1.0f, {0, 8, 0, 8}, {0, 3, 0, 3}, {}, true},
        {"rects past the texture", 1.0f, 1.0f, {-3, 2000, -3, 2000}, {-2, 900, -2, 900}, {-4, -4}, true},
    };
    for (const Case& c : cases) {
        CTextureCache::Instance().Clear();
        AddImage("canvas", 8, 8, kCanvas);
        AddImage("brush", 3, 3, Px{7, 7, 7, 255});
        AddImage("mask", 3, 3, Px{255, 255, 255, 255});
        CRenderObject_PitctureMix mix;
        Name(mix, "canvas", "mask", "brush");
        mix.picture.Resolve();
        mix.brush.Resolve();
        mix.picture.Rect = c.pictureRect;
        mix.brush.Rect = c.brushRect;
        mix.picture.fScaleX = c.scaleX;
        mix.picture.fScaleY = c.scaleY;
        mix.BrushHotPos = c.hot;
        mix.BeginBrush(INT32_MIN, -5);
        mix.Brush(INT32_MAX, 5, KVQRect{0, 8, 0, 8});
        int changed = 0;
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 8; ++x)
                changed += Texel("canvas", x, y) != kCanvas;
        EXPECT_EQ(changed != 0, c.paints) << c.what;
    }
}

TEST_F(PictureMixTest, RecordAttributesAndEditorCommands)
{
    CRenderObject_PitctureMix mix;
    mix.picture.file = "p.png";
    mix.mask.file = "m.png";
    mix.brush.file = "b.png";
    mix.BrushHotPos = KVQPoint{3, -4};
    mix.nBlendMode = kBrushXorDest;
    mix.color = RGBA{1, 2, 3, 4};
    mix.clip.Clip = KVQRect{5, 6, 7, 8};
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    mix.TransferRecord(m);
    const std::vector<uint8_t> bytes = BytesOf(m);
    // Picture sprite, clip settings, mask and brush sprites (96 bytes each with a 5-letter file),
    // then the hot position, the operation and the key colour.
    ASSERT_EQ(bytes.size(), 104u + 24u + 104u + 104u + 16u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 104, bytes.begin() + 128),
              Bytes({1, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytes[128 + 16], 'm');
    EXPECT_EQ(bytes[232 + 16], 'b');
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 16, bytes.end()),
              Bytes({3, 0, 0, 0, 0xfc, 0xff, 0xff, 0xff, 8, 0, 0, 0, 1, 2, 3, 4}));

    IRender* copy = mix.Clone();
    ASSERT_NE(copy, nullptr);
    auto* cloned = static_cast<CRenderObject_PitctureMix*>(copy);
    EXPECT_STREQ(cloned->brush.file.c_str(), "b.png");
    EXPECT_EQ(cloned->BrushHotPos, mix.BrushHotPos);
    EXPECT_EQ(cloned->color, mix.color);
    EXPECT_EQ(cloned->clip.Clip, mix.clip.Clip);
    DestroyRender(copy);

    const std::vector<std::string> names = mix.BoundTable().FullNames();
    int last = -1;
    for (const char* name : {"Picture:Base:Name", "Picture:Sprite:file", "Picture:mask:file", "Picture:brush:Rect:left",
                             "Picture:BrushHotPos:y", "Picture:color:alpha", "Picture:nBlendMode", "Picture:IsClip",
                             "Picture:Clip:bottom"}) {
        const auto at = static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
        EXPECT_GT(at, last) << name;
        EXPECT_LT(at, static_cast<int>(names.size())) << name;
        last = at;
    }
    EXPECT_TRUE(mix.SetAttribute(mix.GetAttributeNameRef("Picture:nBlendMode"), "1"));
    EXPECT_EQ(mix.nBlendMode, kBrushBlend);

    mix.mask.Rect = KVQRect{1, 2, 3, 4};
    EXPECT_TRUE(mix.ExecuteCommand("CKVQWindow:RenderLst:PictureMix:Picture:mask:Rect", "Copy"));
    EXPECT_TRUE(mix.ExecuteCommand("Picture:brush:Rect", "Paste"));
    EXPECT_EQ(mix.brush.Rect, (KVQRect{1, 2, 3, 4}));
    EXPECT_FALSE(mix.ExecuteCommand("Picture:Picture:masks:Rect", "Paste"));
    EXPECT_FALSE(mix.ExecuteCommand("Picture:Picture:mask", "Paste"));
    EXPECT_NE(CRenderRegistry::Instance().GetClassListText().find("|Picture|PictureMix|"), std::string::npos);
}

TEST_F(PictureMixTest, DrawsThePictureOnlyAndZoomScalesIt)
{
    const int32_t canvas = AddImage("canvas", 10, 10, kCanvas);
    AddImage("brush", 4, 4, Px{1, 2, 3, 255});
    CRenderObject_PitctureMix mix;
    Name(mix, "canvas", "canvas", "brush");
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    float zoom = 2.0f;
    m.Float(zoom);
    m.setMode(CIArchive::SM_READ);
    mix.ProcMessage(nullptr, "OnZoom", &m, nullptr);
    EXPECT_EQ(mix.zoom, 2.0f);
    mix.Draw(KVQRect{0, 50, 0, 50});
    EXPECT_EQ(dc.calls, (std::vector<std::string>{"PushClip 0,50,0,50 0",
                                                  "StretchBlit " + std::to_string(canvas) + " 0,10,0,10 0,20,0,20 #ffffffff",
                                                  "PopClip"}));
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "gfx/GoldenImage.h"
#include "gfx/ImageSet.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"
#include "io/EditHook.h"
#include "render/RenderRegistry.h"
#include "render/pictures/Frame.h"
#include "render/pictures/FrameHorz.h"
#include "render/pictures/FrameVert.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"

namespace {

// A piece image: one colour, a darker border and a white diagonal, so cut tiles show where.
struct PieceImage {
    const char* name;
    int32_t width, height;
    uint8_t r, g, b;
};
constexpr PieceImage kImages[] = {
    {"tl.png", 8, 8, 220, 40, 40},     {"tr.png", 8, 8, 40, 200, 60},    {"bl.png", 8, 8, 40, 60, 220},
    {"br.png", 8, 8, 230, 200, 30},    {"tc.png", 11, 8, 200, 90, 200},  {"bc.png", 11, 8, 30, 200, 200},
    {"lc.png", 8, 10, 250, 140, 20},   {"rc.png", 8, 10, 120, 120, 250}, {"cc.png", 12, 9, 150, 220, 150},
};

// The object's rectangle is the whole window's.
constexpr LayoutRect kWholeWindow{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0};

class Frames : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
        for (const PieceImage& image : kImages) {
            std::vector<uint8_t> pixels(static_cast<size_t>(image.width * image.height * 4));
            for (int32_t y = 0; y < image.height; ++y) {
                for (int32_t x = 0; x < image.width; ++x) {
                    uint8_t* p = &pixels[static_cast<size_t>((y * image.width + x) * 4)];
                    const bool border = x == 0 || y == 0 || x == image.width - 1 || y == image.height - 1;
                    const bool diagonal = x == y;
                    p[0] = diagonal ? 255 : border ? image.r / 2 : image.r;
                    p[1] = diagonal ? 255 : border ? image.g / 2 : image.g;
                    p[2] = diagonal ? 255 : border ? image.b / 2 : image.b;
                    p[3] = 255;
                }
            }
            CTextureCache::Instance().AddTexture(image.name, pixels.data(), image.width, image.height);
        }
        previous = SetCurrentDevice(&recording);
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
    }
    static void Fill(CRenderObject_Frame& f)
    {
        Sprite* pieces[] = {&f.TopLeft,   &f.TopRight,     &f.BottomLeft,  &f.BottomRight, &f.TopCenter,
                            &f.BottomCenter, &f.LeftCenter, &f.RightCenter, &f.Center};
        const char* files[] = {"tl.png", "tr.png", "bl.png", "br.png", "tc.png", "bc.png", "lc.png", "rc.png", "cc.png"};
        for (size_t i = 0; i < 9; ++i)
            pieces[i]->file = files[i];
        f.Layout = kWholeWindow;
    }
    // The object drawn into rect on a fresh 64 x 48 software frame; the clip stack is checked to
    // be back at the screen's own clip afterwards.
    std::vector<uint8_t> Render(IRender& object, const KVQRect& rect)
    {
        CKVQWin32DC soft;
        EXPECT_EQ(soft.Init(kWidth, kHeight, nullptr, 0), 0);
        SetCurrentDevice(&soft);
        soft.BeginScene();
        object.Draw(rect);
        EXPECT_EQ(soft.GetClipDepth(), 1u) << object.GetClassName();
        soft.EndScene();
        SetCurrentDevice(&recording);
        std::vector<uint8_t> rgba;
        int32_t w = 0, h = 0;
        EXPECT_TRUE(soft.ReadFrame(rgba, w, h));
        return rgba;
    }

    static constexpr int32_t kWidth = 64;
    static constexpr int32_t kHeight = 48;
    RecordingDC recording;
    CKVQDC* previous = nullptr;
};

// ---- pictures ----

TEST_F(Frames, DrawAsTheGoldenPictures)
{
    using Change = std::function<void(CRenderObject_Frame&)>;
    const std::pair<const char*, Change> nine[] = {
        {"frame_nine_pieces", [](auto&) {}},  // edges and centre cut where their strips end
        {"frame_no_center", [](auto& f) { f.Center.file = ""; }},  // the frame only
        {"frame_missing_piece", [](auto& f) { f.BottomLeft.file = "none.png"; }},  // the top row, then nothing
        // A corner's offset counts twice; the margins cut the frame's clip.
        {"frame_offset_and_margins", [](auto& f) { f.TopLeft.Offset = {2, 1}, f.clip.Clip = {0, 3, 0, 2}; }},
    };
    for (const auto& [name, change] : nine) {
        CRenderObject_Frame f;
        Fill(f);
        change(f);
        EXPECT_TRUE(golden::Matches(name, Render(f, {3, 60, 4, 45}), kWidth, kHeight));
    }
    CRenderObject_FrameHorz horz;
    horz.Layout = kWholeWindow;
    horz.Left.file = "tl.png", horz.Right.file = "tr.png", horz.Center.file = "tc.png";
    EXPECT_TRUE(golden::Matches("frame_horz", Render(horz, {2, 61, 10, 30}), kWidth, kHeight));
    CRenderObject_FrameVert vert;
    vert.Layout = kWholeWindow;
    vert.Top.file = "tl.png", vert.Bottom.file = "bl.png", vert.Center.file = "lc.png";
    EXPECT_TRUE(golden::Matches("frame_vert", Render(vert, {20, 40, 1, 46}), kWidth, kHeight));
}

// ---- geometry, as the device receives it ----

TEST_F(Frames, PiecesLandInTheirStripsAndStopAtTheFirstMissingOne)
{
    std::vector<uint8_t> pixels(30 * 8 * 4, 0xff);
    const int32_t wide = CTextureCache::Instance().AddTexture("wide.png", pixels.data(), 30, 8);
    CRenderObject_Frame f;
    Fill(f);
    f.TopCenter.file = "wide.png";  // 30 wide inside a strip of 100: four tiles, the last cut
    f.BottomLeft.file = "";
    f.Draw(KVQRect{0, 116, 0, 60});
    EXPECT_EQ(recording.Trace({"PushClip", "PopClip"}),
              (std::vector<std::string>{"PushClip 0,116,0,60 0", "PushClip 8,108,0,8 0", "PopClip", "PopClip"}));
    const std::vector<std::string> tiles = recording.Lines("Blit " + std::to_string(wide) + " ");
    ASSERT_EQ(tiles.size(), 4u);
    EXPECT_NE(tiles[3].find(" 98,128,0,8 "), std::string::npos) << tiles[3];
    EXPECT_EQ(recording.Count("Blit "), 6);  // and the two top corners
}

TEST_F(Frames, OffsetsCountTwiceAndFlatPiecesTileNothing)
{
    // Inside 100 x 50: 4 corners, 8 + 8 edge tiles across, 4 + 4 down, 7 x 4 in the centre.
    constexpr int kAll = 4 + 16 + 8 + 28;
    struct Case {
        std::function<void(CRenderObject_Frame&)> change;
        std::string expected;  // part of a line the device must receive
        int blits;
    } cases[] = {
        {[](CRenderObject_Frame& f) { f.TopRight.Offset = KVQPoint{-3, 2}; }, " 0,8,0,8 86,94,4,12 ", kAll},
        {[](CRenderObject_Frame& f) { f.TopLeft.hotX = 3, f.TopLeft.hotY = 4; }, " 0,8,0,8 10,18,0,8 ", kAll},
        // A piece of no height beside a real width is not missing: it just draws no tiles.
        {[](CRenderObject_Frame& f) { f.LeftCenter.fScaleY = 0.0f; }, "PushClip 0,8,8,42 0", kAll - 4},
    };
    for (const Case& c : cases) {
        recording.Reset();
        CRenderObject_Frame f;
        Fill(f);
        c.change(f);
        f.Draw(KVQRect{0, 100, 0, 50});
        const bool seen = std::any_of(recording.calls.begin(), recording.calls.end(),
                                      [&](const std::string& line) { return line.find(c.expected) != std::string::npos; });
        EXPECT_TRUE(seen) << c.expected;
        EXPECT_EQ(recording.Count("Blit "), c.blits) << c.expected;
        EXPECT_EQ(recording.Count("PushClip"), recording.Count("PopClip"));
    }
}

TEST_F(Frames, HugeRectanglesDrawOnlyTheTilesThatShow)
{
    CRenderObject_Frame f;
    Fill(f);
    for (Sprite* s : {&f.TopCenter, &f.Center, &f.LeftCenter})
        s->fScaleX = s->fScaleY = 0.125f;  // one-pixel tiles
    const KVQRect huge{-2000000000, 2000000000, -2000000000, 2000000000};
    recording.PushClip(KVQRect{0, kWidth, 0, kHeight}, 0);
    f.Draw(huge);
    f.Draw(KVQRect{0, 2000000000, 0, 2000000000});
    recording.PopClip();
    EXPECT_EQ(recording.Count("PushClip"), recording.Count("PopClip"));
    EXPECT_LT(recording.Count("StretchBlit"), 2 * (kWidth + 8) * (kHeight + 8));

    // One-pixel tiles 10000 pixels across their strip, tiled down it: still only the rows that show.
    recording.Reset();
    f.LeftCenter.fScaleX = 1250.0f;
    f.Center.file = "";
    recording.PushClip(KVQRect{0, kWidth, 0, kHeight}, 0);
    f.Draw(KVQRect{0, 2000000000, 0, 2000000000});
    recording.PopClip();
    EXPECT_LT(recording.Count("StretchBlit"), 2 * (kWidth + kHeight + 8));

    CKVQWin32DC soft;
    ASSERT_EQ(soft.Init(kWidth, kHeight, nullptr, 0), 0);
    SetCurrentDevice(&soft);
    soft.BeginScene();
    f.Draw(huge);
    EXPECT_EQ(soft.GetClipDepth(), 1u);
    soft.EndScene();
    SetCurrentDevice(&recording);
}

// ---- records, attributes, messages ----

TEST_F(Frames, RecordsKeepPiecesInStorageOrderThenTheClip)
{
    CRenderObject_Frame nine;
    Sprite* stored[] = {&nine.TopLeft,    &nine.TopRight,  &nine.BottomLeft,   &nine.BottomRight, &nine.LeftCenter,
                        &nine.RightCenter, &nine.TopCenter, &nine.BottomCenter, &nine.Center};
    CRenderObject_FrameHorz horz;
    CRenderObject_FrameVert vert;
    const std::vector<std::pair<IRender*, std::vector<Sprite*>>> objects = {
        {&nine, {std::begin(stored), std::end(stored)}},
        {&horz, {&horz.Left, &horz.Right, &horz.Center}},
        {&vert, {&vert.Top, &vert.Bottom, &vert.Center}}};
    nine.clip.IsClipByParent = 1;
    for (const auto& [object, pieces] : objects) {
        for (size_t i = 0; i < pieces.size(); ++i)
            pieces[i]->file = std::string(1, static_cast<char>('A' + i)).c_str();
        CKVQMessage m(16);
        m.setMode(CIArchive::SM_WRITE);
        object->TransferRecord(m);
        const std::vector<uint8_t> bytes = BytesOf(m);
        // The files "A", "B", ... in order, each inside its sprite block; the clip settings last.
        size_t at = 0;
        size_t found = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) {
            if (bytes[i] == 'A' + found && bytes[i + 1] == 0)
                at = i, ++found;
        }
        EXPECT_EQ(found, pieces.size()) << object->GetClassName();
        ASSERT_EQ(bytes.size() - at, 2u + 82u + 24u) << object->GetClassName();
        const int byParent = object == &nine ? 1 : 0;
        EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 24, bytes.end()),
                  Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, byParent, 0, 0, 0}));
        IRender* copy = object->Clone();
        ASSERT_NE(copy, nullptr) << object->GetClassName();
        CKVQMessage again(16);
        again.setMode(CIArchive::SM_WRITE);
        copy->TransferRecord(again);
        EXPECT_EQ(BytesOf(again), bytes) << object->GetClassName();
        DestroyRender(copy);
    }
}

TEST_F(Frames, AttributesZoomAndRectCommands)
{
    const std::string& classes = CRenderRegistry::Instance().GetClassListText();
    EXPECT_NE(classes.find("|Frame|FrameHorz|FrameVert|"), std::string::npos) << classes;

    CRenderObject_Frame nine;
    const std::vector<std::string> names = nine.BoundTable().FullNames();
    int last = -1;
    for (const char* name : {"Picture:Base:Name", "Picture:TopLeft:file", "Picture:TopRight:file", "Picture:TopCenter:file",
                             "Picture:BottomLeft:file", "Picture:BottomRight:file", "Picture:BottomCenter:file",
                             "Picture:LeftCenter:file", "Picture:RightCenter:file", "Picture:Center:Rect:left",
                             "Picture:IsClip", "Picture:Clip:bottom"}) {
        const auto at = static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
        EXPECT_GT(at, last) << name;
        EXPECT_LT(at, static_cast<int>(names.size())) << name;
        last = at;
    }
    CRenderObject_FrameVert vert;
    ASSERT_TRUE(vert.SetAttribute(vert.GetAttributeNameRef("Picture:Bottom:fScaleY"), "0.5"));
    EXPECT_EQ(vert.Bottom.fScaleY, 0.5f);

    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    float zoom = 2.0f;
    m.Float(zoom);
    CRenderObject_FrameHorz horz;
    for (IRender* object : std::initializer_list<IRender*>{&nine, &horz, &vert})
        object->ProcMessage(nullptr, "OnZoom", &m, nullptr);
    EXPECT_EQ(nine.Center.fScaleX, 2.0f);
    EXPECT_EQ(horz.Right.fScaleY, 2.0f);
    EXPECT_EQ(vert.Bottom.fScaleY, 1.0f);

    nine.BottomRight.Rect = KVQRect{1, 2, 3, 4};
    EXPECT_TRUE(nine.ExecuteCommand("CKVQWindow:RenderLst:Frame:Picture:BottomRight:Rect", "Copy"));
    EXPECT_TRUE(horz.ExecuteCommand("FrameHorz:Picture:Left:Rect", "Paste"));
    EXPECT_EQ(horz.Left.Rect, (KVQRect{1, 2, 3, 4}));
    EXPECT_FALSE(horz.ExecuteCommand("FrameHorz:Picture:Left", "Paste"));
    EXPECT_FALSE(horz.ExecuteCommand("FrameHorz:Picture:TopLeft:Rect", "Paste"));
}

}  // namespace

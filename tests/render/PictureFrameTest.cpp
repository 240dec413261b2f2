#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "gfx/GoldenImage.h"
#include "gfx/ImageSet.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"
#include "io/EditHook.h"
#include "render/RenderRegistry.h"
#include "render/pictures/PictureFrame.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"

namespace {

constexpr const char* kSheet = "frame-sheet.png";

class PictureFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
        previous = SetCurrentDevice(&dc);
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
    }
    // A sheet of 12 x 12 cells of 4 x 4 pixels, each cell its own colour with a white pixel in
    // its top-left corner, so that cut and turned cells show. Regions: "box" (the top-left 12 x
    // 12), "bar" (a 1 x 3 strip 12 x 4), "post" (a 3 x 1 strip 4 x 12), "wide" (90 x 10), "tiny"
    // (2 x 2).
    int32_t AddSheet()
    {
        constexpr int32_t side = 96;
        std::vector<uint8_t> pixels(side * side * 4);
        for (int32_t y = 0; y < side; ++y) {
            for (int32_t x = 0; x < side; ++x) {
                const int32_t cx = x / 4, cy = y / 4;
                uint8_t* p = &pixels[static_cast<size_t>((y * side + x) * 4)];
                const bool marker = x % 4 == 0 && y % 4 == 0;
                p[0] = marker ? 255 : static_cast<uint8_t>(40 + cx * 70);
                p[1] = marker ? 255 : static_cast<uint8_t>(40 + cy * 70);
                p[2] = marker ? 255 : static_cast<uint8_t>(200 - (cx + cy) * 30);
                p[3] = 255;
            }
        }
        const int32_t id = CTextureCache::Instance().AddTexture(kSheet, pixels.data(), side, side);
        CImageSet* set = CImageSetManager::Instance().GetSet(kSheet, false);
        set->SetRect("box", KVQRect{0, 12, 0, 12});
        set->SetRect("bar", KVQRect{0, 12, 0, 4});
        set->SetRect("post", KVQRect{0, 4, 0, 12});
        set->SetRect("wide", KVQRect{0, 90, 0, 10});
        set->SetRect("tiny", KVQRect{0, 2, 0, 2});
        return id;
    }
    static void Cut(CRenderObject_PictureFrame& f, const char* region,
                    int32_t type = CRenderObject_PictureFrame::TYPE_3X3)
    {
        f.file = kSheet;
        f.name = region;
        f.type = type;
    }

    RecordingDC dc;
    CKVQDC* previous = nullptr;
};

TEST_F(PictureFrames, DrawingsMatchTheirGoldenPictures)
{
    AddSheet();
    struct Case {
        const char* golden;
        const char* region;
        int32_t type;
        bool frameOnly;
        KVQRect target;
    } cases[] = {
        // The edges and centre of 30 x 22 do not hold whole 4-pixel cells: the last tiles are cut.
        {"pictureframe_3x3", "box", CRenderObject_PictureFrame::TYPE_3X3, false, {3, 33, 2, 24}},
        {"pictureframe_3x3_frame_only", "box", CRenderObject_PictureFrame::TYPE_3X3, true, {3, 33, 2, 24}},
        {"pictureframe_h3", "bar", CRenderObject_PictureFrame::TYPE_H3, false, {2, 35, 5, 9}},
        {"pictureframe_v3", "post", CRenderObject_PictureFrame::TYPE_V3, false, {5, 9, 1, 26}},
        // A target narrower than two caps keeps the outer columns of each.
        {"pictureframe_h3_narrow", "bar", CRenderObject_PictureFrame::TYPE_H3, false, {4, 9, 10, 14}},
        // 90 x 10 into 20: caps of 10 (columns 0-9 and 80-89), no room for the centre.
        {"pictureframe_h3_caps_only", "wide", CRenderObject_PictureFrame::TYPE_H3, false, {10, 30, 15, 25}},
    };
    for (const Case& c : cases) {
        CKVQWin32DC device;
        device.Init(40, 28, nullptr, 0);
        SetCurrentDevice(&device);
        device.BeginScene();
        CRenderObject_PictureFrame f;
        Cut(f, c.region, c.type);
        f.IsDrawFrameOnly = c.frameOnly ? 1 : 0;
        f.Draw(c.target);
        device.EndScene();
        std::vector<uint8_t> rgba;
        int32_t width = 0, height = 0;
        ASSERT_TRUE(device.ReadFrame(rgba, width, height));
        EXPECT_TRUE(golden::Matches(c.golden, rgba, width, height)) << c.golden;
        SetCurrentDevice(&dc);
    }
}

TEST_F(PictureFrames, TypeZeroTurnsIntoAStripWhenTheRegionDoesNotFit)
{
    struct Case {
        int32_t type;
        KVQRect region, target;
        int32_t drawn;
    } cases[] = {
        {0, {0, 12, 0, 12}, {0, 40, 0, 40}, CRenderObject_PictureFrame::TYPE_3X3},
        {0, {0, 12, 0, 12}, {0, 40, 0, 12}, CRenderObject_PictureFrame::TYPE_H3},  // as tall as the target
        {0, {0, 12, 0, 12}, {0, 12, 0, 40}, CRenderObject_PictureFrame::TYPE_V3},
        {0, {0, 50, 0, 50}, {0, 40, 0, 40}, CRenderObject_PictureFrame::TYPE_H3},  // height is asked first
        {2, {0, 12, 0, 12}, {0, 40, 0, 5}, CRenderObject_PictureFrame::TYPE_V3},   // a set type stays
        {7, {0, 12, 0, 12}, {0, 40, 0, 40}, CRenderObject_PictureFrame::TYPE_3X3}, // unknown types choose
    };
    for (const Case& c : cases)
        EXPECT_EQ(CRenderObject_PictureFrame::EffectiveType(c.type, c.region, c.target), c.drawn) << c.type;
}

TEST_F(PictureFrames, TilesAreCutAtTheEdgeAndSizelessCellsOrAreasDrawNothing)
{
    struct Case {
        KVQRect cell, area;
        std::vector<std::string> drawn;
    } cases[] = {
        {{0, 4, 0, 4}, {10, 20, 0, 4}, {"10,14,0,4 0,4,0,4", "14,18,0,4 0,4,0,4", "18,20,0,4 0,2,0,4"}},
        {{8, 12, 4, 8}, {0, 3, 0, 5}, {"0,3,0,4 8,11,4,8", "0,3,4,5 8,11,4,5"}},
        {{0, 0, 0, 4}, {0, 20, 0, 4}, {}},   // a cell without width
        {{0, 4, 4, 4}, {0, 20, 0, 4}, {}},   // without height
        {{0, 4, 0, 4}, {10, 10, 0, 4}, {}},  // an area without width
        {{0, 4, 0, 4}, {10, 6, 0, 4}, {}},   // turned inside out (caps wider than the target)
        {{4, 0, 0, 4}, {0, 20, 0, 4}, {}},   // a cell turned inside out
    };
    for (const Case& c : cases) {
        dc.Reset();
        CRenderObject_PictureFrame::Tile(dc, 3, c.cell, c.area, 0xffffffffu);
        std::vector<std::string> drawn;
        for (const std::string& line : dc.Lines("StretchBlit 3 ")) {
            // "StretchBlit 3 SRC DST #colour": keep DST then SRC.
            const size_t a = line.find(' ', 14), b = line.find(' ', a + 1);
            drawn.push_back(line.substr(a + 1, b - a - 1) + " " + line.substr(14, a - 14));
        }
        EXPECT_EQ(drawn, c.drawn) << RecordingDC::Text(c.cell) << " into " << RecordingDC::Text(c.area);
    }
}

TEST_F(PictureFrames, HugeAreasDrawOnlyTheTilesInsideTheClip)
{
    dc.clipStack.push_back(KVQRect{0, 10, 0, 10});
    CRenderObject_PictureFrame::Tile(dc, 1, KVQRect{0, 1, 0, 1}, KVQRect{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX},
                                     0xffffffffu);
    EXPECT_EQ(dc.Count("StretchBlit"), 100);
    dc.Reset();
    dc.clipStack.push_back(KVQRect{-50, -40, 0, 10});
    CRenderObject_PictureFrame::Tile(dc, 1, KVQRect{0, 1, 0, 1}, KVQRect{0, 100, 0, 100}, 0xffffffffu);
    EXPECT_EQ(dc.Count("StretchBlit"), 0);
}

TEST_F(PictureFrames, MissingImagesRegionsAndTinyRegionsDrawNothing)
{
    AddSheet();
    for (const char* region : {"no-such-region", "tiny"}) {
        CRenderObject_PictureFrame f;
        Cut(f, region);
        f.Draw(KVQRect{0, 40, 0, 40});
    }
    CRenderObject_PictureFrame none;
    none.Draw(KVQRect{0, 40, 0, 40});
    none.file = "no-such-image.png";
    none.Draw(KVQRect{0, 40, 0, 40});
    EXPECT_TRUE(dc.calls.empty());

    // Without a region name the whole image is cut, and remembered as the frame's rectangle.
    CRenderObject_PictureFrame whole;
        Cut(whole, "");
    whole.Draw(KVQRect{0, 200, 0, 200});
    EXPECT_EQ(whole.Rect, (KVQRect{0, 96, 0, 96}));
    EXPECT_EQ(dc.Count("Blit"), 4);
    // Naming another image loads again at the next draw.
    ASSERT_NE(whole.nTextureID, -1);
    ASSERT_TRUE(whole.SetAttribute(whole.GetAttributeNameRef("PictureFrame:file"), "other.png"));
    EXPECT_EQ(whole.nTextureID, -1);
}

TEST_F(PictureFrames, RecordKeepsFieldOrderAndColourBytesAndTheClassItsPlace)
{
    CRenderObject_PictureFrame f;
    f.file = "a";
    f.mask = RGBA{1, 2, 3, 4};
    f.type = 2;
    f.Rect = KVQRect{5, 6, 7, 8};
    f.IsDrawFrameOnly = 1;
    f.name = "b";
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    f.TransferRecord(m);
    EXPECT_EQ(BytesOf(m), Bytes({
                              2, 0, 0, 0, 2, 0, 0, 0, 'a', 0,                  // file
                              4, 1, 3, 2,                                      // mask a, r, b, g
                              2, 0, 0, 0,                                      // type
                              5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0,  // Rect l, r, t, b
                              1, 0, 0, 0,                                      // IsDrawFrameOnly
                              2, 0, 0, 0, 2, 0, 0, 0, 'b', 0,                  // name
                          }));
    IRender* copy = f.Clone();
    ASSERT_NE(copy, nullptr);
    auto* back = static_cast<CRenderObject_PictureFrame*>(copy);
    EXPECT_EQ(back->mask, f.mask);
    EXPECT_EQ(back->Rect, f.Rect);
    EXPECT_STREQ(back->name.c_str(), "b");
    EXPECT_EQ(back->IsDrawFrameOnly, 1);
    DestroyRender(copy);

    const std::string& classes = CRenderRegistry::Instance().GetClassListText();
    EXPECT_LT(classes.find("|Picture|"), classes.find("|PictureFrame|")) << classes;
    EXPECT_LT(classes.find("|PictureFrame|"), classes.find("|SpriteList|")) << classes;
    EXPECT_LT(classes.find("|SpriteList|"), classes.find("|Animate|")) << classes;
    EXPECT_LT(classes.find("|Animate|"), classes.find("|BridgeMessage|")) << classes;
    const std::vector<std::string> names = f.BoundTable().FullNames();
    for (const char* name : {"PictureFrame:file", "PictureFrame:name", "PictureFrame:type", "PictureFrame:mask:alpha",
                             "PictureFrame:Rect:bottom", "PictureFrame:IsDrawFrameOnly"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

}  // namespace

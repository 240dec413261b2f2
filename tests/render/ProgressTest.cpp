// The progress control: its four modes in both directions, what it refuses to draw, its record.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "gfx/GoldenImage.h"
#include "gfx/ImageSet.h"
#include "io/EditHook.h"
#include "render/RenderRegistry.h"
#include "render/controls/ProgressControl.h"
#include "render/ControlTestSupport.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"

namespace {

using Progress = CRenderObject_ProgressControl;

class ProgressControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
        tile = control_test::AddFramedImage("tile", 12, 8, 240, 150, 30);
        wide = control_test::AddFramedImage("wide", 30, 10, 40, 200, 90);
    }
    void TearDown() override
    {
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
    }
    int32_t tile = -1;
    int32_t wide = -1;
};

TEST_F(ProgressControls, ModesAndDirectionsMatchTheGoldenPicture)
{
    struct Bar {
        int32_t mode, step, reversed, current, total;
        KVQRect rect;
    };
    // Rows: fixed steps of 16 and butted tiles, from the left and from the right, at 60 %.
    // Columns: the vertical modes (steps of 10, butted), from the top and from the bottom. Then
    // 120 % reaching past the rectangle, and a step of 0 that draws nothing.
    const Bar bars[] = {
        {Progress::FIX_WIDTH_X, 16, 0, 60, 100, {4, 104, 4, 12}},
        {Progress::FIX_WIDTH_X, 16, 1, 60, 100, {4, 104, 14, 22}},
        {Progress::JION_X, 0, 0, 60, 100, {4, 104, 24, 32}},
        {Progress::JION_X, 0, 1, 60, 100, {4, 104, 34, 42}},
        {Progress::FIX_HEIGHT_Y, 10, 0, 60, 100, {4, 16, 48, 92}},
        {Progress::FIX_HEIGHT_Y, 10, 1, 60, 100, {20, 32, 48, 92}},
        {Progress::JION_Y, 0, 0, 60, 100, {36, 48, 48, 92}},
        {Progress::JION_Y, 0, 1, 60, 100, {52, 64, 48, 92}},
        {Progress::JION_X, 0, 0, 120, 100, {70, 110, 50, 58}},
        {Progress::FIX_WIDTH_X, 0, 0, 50, 100, {70, 110, 64, 72}},
    };
    const std::vector<uint8_t> frame = control_test::DrawFrame(128, 96, [&] {
        for (const Bar& b : bars) {
            Progress p;
            p.sprite.file = "tile";
            p.mode = b.mode;
            p.FixWidth = p.FixHeight = b.step;
            p.IsRightToLeft = p.IsBottomToTop = b.reversed;
            p.nCurrentProgress = b.current;
            p.nTotalProgress = b.total;
            p.DrawProgress(b.rect);
        }
    });
    ASSERT_FALSE(frame.empty());
    EXPECT_TRUE(golden::Matches("progress_modes", frame, 128, 96));
}

TEST_F(ProgressControls, DrawsOnlyTilesInsideTheRevealedPartAndNothingForDegenerateValues)
{
    struct Case {
        const char* what;
        int32_t mode, fixWidth, fixHeight, current, total;
        KVQRect rect;
        std::vector<std::string> calls;
    } cases[] = {
        {"30-pixel tiles, 50 % of 100 pixels", Progress::JION_X, 50, 50, 50, 100, {0, 100, 0, 10},
         {"PushClip 0,50,0,10 0", "Blit @ 0,30,0,10 0,30,0,10 #ffffffff", "Blit @ 0,30,0,10 30,60,0,10 #ffffffff",
          "PopClip"}},
        {"a fixed step of 0", Progress::FIX_WIDTH_X, 0, 50, 50, 100, {0, 100, 0, 10}, {}},
        {"a negative fixed step", Progress::FIX_WIDTH_X, -4, 50, 50, 100, {0, 100, 0, 10}, {}},
        {"a vertical step of 0", Progress::FIX_HEIGHT_Y, 50, 0, 50, 100, {0, 30, 0, 100}, {}},
        {"no progress", Progress::JION_X, 50, 50, 0, 100, {0, 100, 0, 10}, {}},
        {"a total of 0", Progress::JION_X, 50, 50, 50, 0, {0, 100, 0, 10}, {}},
        {"a negative total", Progress::JION_X, 50, 50, 50, -100, {0, 100, 0, 10}, {}},
        {"too little to show a pixel", Progress::JION_X, 50, 50, 1, 1000, {0, 100, 0, 10}, {}},
    };
    // The tile's texture id depends on what earlier tests loaded: "@" in a call stands for it.
    const std::string id = std::to_string(CTextureCache::Instance().LoadTexture("wide"));
    RecordingDC dc;
    CKVQDC* previous = SetCurrentDevice(&dc);
    for (Case& c : cases) {
        for (std::string& call : c.calls)
            if (size_t at = call.find('@'); at != std::string::npos)
                call.replace(at, 1, id);
        dc.Reset();
        Progress p;
        p.sprite.file = "wide";
        p.mode = c.mode;
        p.FixWidth = c.fixWidth;
        p.FixHeight = c.fixHeight;
        p.nCurrentProgress = c.current;
        p.nTotalProgress = c.total;
        p.DrawProgress(c.rect);
        EXPECT_EQ(dc.calls, c.calls) << c.what;
    }
    // A huge bar of one-pixel steps still ends, with no more tiles than a frame can show.
    dc.Reset();
    Progress huge;
    huge.sprite.file = "wide";
    huge.mode = Progress::FIX_WIDTH_X;
    huge.FixWidth = 1;
    huge.nCurrentProgress = huge.nTotalProgress = INT32_MAX;
    huge.DrawProgress(KVQRect{INT32_MIN, INT32_MAX, 0, 10});
    EXPECT_LE(dc.Count("Blit"), Progress::kMaxTiles);
    EXPECT_EQ(dc.Count("PushClip"), dc.Count("PopClip"));
    SetCurrentDevice(previous);
}

TEST_F(ProgressControls, RecordKeepsItsFieldOrderAndLeavesOffsetOut)
{
    Progress p;
    p.Offset = KVQPoint{7, 8};
    p.mode = Progress::FIX_HEIGHT_Y;
    p.FixWidth = 11;
    p.FixHeight = 12;
    p.nCurrentProgress = 13;
    p.nTotalProgress = 14;
    p.IsRightToLeft = 5;  // any true value is stored as 1
    p.sprite.file = "tile";
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    p.TransferRecord(m);
    const std::vector<uint8_t> bytes = BytesOf(m);
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 22),
              Bytes({1, 0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0, 13, 0, 0, 0, 14, 0, 0, 0, 1, 0}));
    m.setMode(CIArchive::SM_READ);
    Progress back;
    back.TransferRecord(m);
    EXPECT_EQ(back.Offset, (KVQPoint{0, 0}));
    EXPECT_EQ(back.IsRightToLeft, 1);
    EXPECT_STREQ(back.sprite.file.c_str(), "tile");

    for (const char* name : {"ProgressControl:Offset:x", "ProgressControl:mode", "ProgressControl:IsBottomToTop",
                             "ProgressControl:nCurrentProgress", "ProgressControl:Sprite:file"})
        EXPECT_GE(back.GetAttributeNameRef(name), 0) << name;
    ASSERT_TRUE(back.SetAttribute(back.GetAttributeNameRef("ProgressControl:Offset:y"), "-3"));
    EXPECT_EQ(back.Offset.y, -3);
}

}  // namespace

// Scroll bars: the layout of arrows, track and thumb; input through the window manager (arrow
// repeat on the timers, track jumps, thumb drags, set-position); the record; the drawing.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/GoldenImage.h"
#include "gfx/ImageSet.h"
#include "io/EditHook.h"
#include "platform/Clock.h"
#include "render/RenderRegistry.h"
#include "render/controls/HorzScrollBar.h"
#include "render/controls/VertScrollBar.h"
#include "render/ControlTestSupport.h"
#include "support/Bytes.h"
#include "support/WindowTestSupport.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

std::vector<int32_t> changes;

// Keeps the positions a bar reports to its window.
class ChangeRecorder : public TestRenderObject<ChangeRecorder> {
public:
    static constexpr const char* kClassName = "TestChangeRecorder";
    ChangeRecorder()
    {
        RegisterHandler("OnVertScrollPositionChanged", &Record);
        RegisterHandler("OnHorzScrollPositionChanged", &Record);
    }

private:
    static void Record(IRender*, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow* sender)
    {
        int32_t v = 0;
        if (message->Int32(v) >= 0 && sender != nullptr)
            changes.push_back(v);
    }
};

KVQRect Exchanged(const KVQRect& r)
{
    return {r.top, r.bottom, r.left, r.right};
}

class ScrollBars : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
        CKVQTimerSystem::Instance().Clear();
        platform::SetVirtualClock(true);
        mgr.Reset();
        GetCoreCfg().IsAutoScale = false;
        changes.clear();
        using control_test::AddFramedImage;
        AddFramedImage("arrow", 15, 15, 60, 120, 220);
        AddFramedImage("thumb-v", 15, 10, 230, 180, 40);
        AddFramedImage("thumb-h", 10, 15, 230, 180, 40);
        root = CKVQWindow::New();
        root->SetName("root");
        root->NormalAligned(KVQRect{0, 400, 0, 400});
        mgr.SetRoot(root);
    }
    void TearDown() override
    {
        mgr.Reset();
        WindowModule::Get().ReleaseDeleted();
        CKVQTimerSystem::Instance().Clear();
        platform::SetVirtualClock(false);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
    }
    // A bar filling a window of its own; vertical: 15 x 120 at (50, 10), horizontal: the same
    // with x and y exchanged. Rows of 40, arrows of 15, a track of 90 and a thumb of 10.
    template <class Bar>
    Bar* MakeBar(bool horizontal)
    {
        CKVQWindow* window = CKVQWindow::New();
        window->SetName("bar");
        root->AppendChild(window);
        const KVQRect rect{50, 65, 10, 130};
        window->NormalAligned(horizontal ? Exchanged(rect) : rect);
        auto* bar = new Bar();
        for (Sprite* s : {&bar->first, &bar->second})
            s->file = "arrow";
        bar->thumbSprite.file = horizontal ? "thumb-h" : "thumb-v";
        window->AddRender(bar);
        window->AddRender(new ChangeRecorder());
        return bar;
    }

    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    CKVQWindow* root = nullptr;
};

// ---- layout ----

TEST_F(ScrollBars, ArrowsTrackAndThumbDivideTheBar)
{
    struct Case {
        const char* what;
        int32_t height, topArrow, bottomArrow, thumb;
        int32_t min, max, pos;
        KVQRect arrow1, arrow2, track;
        int32_t thumbTop, travel;
    } cases[] = {
        {"a 100-pixel track, a 20-pixel thumb at 50 %", 150, 25, 25, 20, 0, 100, 50,
         {0, 15, 0, 25}, {0, 15, 125, 150}, {0, 15, 25, 125}, 65, 80},
        {"arrows taller than a row keep the row", 60, 30, 30, 5, 0, 10, 10,
         {0, 15, 0, 20}, {0, 15, 40, 60}, {0, 15, 20, 40}, 35, 15},
        {"rows by integer division leave the last pixel out", 100, 40, 40, 10, 0, 100, 100,
         {0, 15, 0, 33}, {0, 15, 66, 99}, {0, 15, 33, 66}, 56, 23},
        {"no arrow images: arrows of no height", 90, 0, 0, 10, -50, 50, 0,
         {0, 15, 0, 0}, {0, 15, 90, 90}, {0, 15, 0, 90}, 40, 80},
        {"a thumb longer than the track does not move", 90, 15, 15, 70, 0, 100, 100,
         {0, 15, 0, 15}, {0, 15, 75, 90}, {0, 15, 15, 75}, 15, 0},
    };
    // Arrow and thumb images 15 pixels wide, as high as the case says (0: no image).
    const auto image = [](int32_t height) {
        const std::string name = "img-" + std::to_string(height);
        if (height > 0)
            control_test::AddFramedImage(name.c_str(), 15, height, 1, 2, 3);
        return height > 0 ? name : std::string();
    };
    for (const Case& c : cases) {
        CRenderObject_VertScrollBar bar;
        bar.first.file = image(c.topArrow).c_str();
        bar.second.file = image(c.bottomArrow).c_str();
        bar.thumbSprite.file = image(c.thumb).c_str();
        bar.Min = c.min;
        bar.Max = c.max;
        bar.Pos = c.pos;
        const CScrollBar::Geometry g = bar.Arrange(KVQRect{0, 15, 0, c.height});
        EXPECT_EQ(g.arrow1, c.arrow1) << c.what;
        EXPECT_EQ(g.arrow2, c.arrow2) << c.what;
        EXPECT_EQ(g.track, c.track) << c.what;
        EXPECT_EQ(g.thumb.top, c.thumbTop) << c.what;
        EXPECT_EQ(g.travel, c.travel) << c.what;
    }
}

// ---- input ----

// One input step, written for the vertical bar (the horizontal run exchanges x and y).
struct Input {
    char op;  // 'D' press, 'U' release, 'M' move, 'T' ticks of 33 ms, 'S' "OnSetScrollPosition"
    int32_t a = 0, b = 0;
};

TEST_F(ScrollBars, InputSequencesMoveThePositionAndReportOnlySetPositions)
{
    // The bar's window: x 50..65, y 10..130; arrows 10..25 and 115..130; the track 25..115; the
    // thumb 10 long with 80 of travel, so Pos p puts its top at 25 + p * 80 / 100.
    struct Case {
        const char* what;
        int32_t max;
        std::vector<Input> inputs;
        int32_t pos;
        std::vector<int32_t> reported;
        bool repeating;
    } cases[] = {
        {"the bottom arrow steps at once and every 30 ms, silently", 100,
         {{'D', 57, 120}, {'T', 3}, {'U', 57, 120}, {'T', 3}}, 4, {}, false},
        {"the top arrow stops at Min", 100, {{'D', 57, 12}, {'T', 2}, {'U', 57, 12}}, 0, {}, false},
        {"a release outside the bar ends the repeat", 100,
         {{'D', 57, 120}, {'T', 2}, {'U', 300, 300}, {'T', 3}}, 3, {}, false},
        {"the repeat holds while the button is down", 100, {{'D', 57, 120}, {'T', 5}}, 6, {}, true},
        {"a press on the track below the thumb", 100, {{'D', 57, 95}, {'U', 57, 95}}, 75, {75}, false},
        {"a press on the track above the thumb", 100,
         {{'S', 100}, {'D', 57, 45}, {'U', 57, 45}}, 25, {100, 25}, false},
        {"the dragged thumb follows the pointer and stops at Max", 100,
         {{'D', 57, 30}, {'M', 57, 70}, {'M', 57, 114}, {'U', 57, 114}}, 100, {50, 100}, false},
        {"a drag released outside ends", 100,
         {{'D', 57, 30}, {'M', 57, 70}, {'U', 300, 300}, {'M', 57, 90}}, 50, {50}, false},
        {"set-position holds the value within Min … Max and reports changes once", 100,
         {{'S', 150}, {'S', 150}, {'S', -5}, {'S', 40}}, 40, {100, 0, 40}, false},
        {"Max = Min ignores the mouse", 0, {{'D', 57, 120}, {'T', 2}, {'D', 57, 95}}, 0, {}, false},
    };
    for (const Case& c : cases) {
        for (bool horizontal : {false, true}) {
            SetUp();
            CScrollBar* bar = horizontal ? static_cast<CScrollBar*>(MakeBar<CRenderObject_HorzScrollBar>(true))
                                         : MakeBar<CRenderObject_VertScrollBar>(false);
            CKVQWindow* window = bar->GetOwner();
            bar->Max = c.max;
            for (const Input& in : c.inputs) {
                const int32_t x = horizontal ? in.b : in.a, y = horizontal ? in.a : in.b;
                switch (in.op) {
                case 'D': mgr.OnSysLClickDown(x, y); break;
                case 'U': mgr.OnSysLClickUp(x, y); break;
                case 'M': mgr.OnSysMouseMove(x, y); break;
                case 'T':
                    for (int32_t i = 0; i < in.a; ++i)
                        CKVQTimerSystem::Instance().Update(33);
                    break;
                case 'S': {
                    CKVQMessage m;
                    int32_t p = in.a;
                    m.Int32(p);
                    window->ProcMessage("OnSetScrollPosition", &m, nullptr);
                    break;
                }
                }
            }
            const std::string what = std::string(c.what) + (horizontal ? " (horizontal)" : "");
            EXPECT_EQ(bar->Pos, c.pos) << what;
            EXPECT_EQ(changes, c.reported) << what;
            EXPECT_EQ(bar->IsRepeating(), c.repeating) << what;
            EXPECT_FALSE(bar->IsDragging()) << what;
            TearDown();
        }
    }
}

TEST_F(ScrollBars, ARemovedBarLeavesNoTimerBehind)
{
    CRenderObject_VertScrollBar* bar = MakeBar<CRenderObject_VertScrollBar>(false);
    mgr.OnSysLClickDown(57, 120);
    ASSERT_TRUE(bar->IsRepeating());
    EXPECT_EQ(CKVQTimerSystem::Instance().GetTimerCount(), 1u);
    bar->GetOwner()->Delete();
    WindowModule::Get().ReleaseDeleted();
    EXPECT_EQ(CKVQTimerSystem::Instance().GetTimerCount(), 0u);
    CKVQTimerSystem::Instance().Update(33);  // nothing left to reach the freed bar
}

// ---- record and attributes ----

TEST_F(ScrollBars, RecordEndsWithTheFiveNumbersAndAttributesUseTheClassGroups)
{
    CRenderObject_VertScrollBar bar;
    CRenderObject_HorzScrollBar horz;
    bar.Min = -3;
    bar.Max = 70;
    bar.Page = 9;
    bar.Pos = 12;
    bar.TrackPos = 4;
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    bar.TransferRecord(m);
    const std::vector<uint8_t> bytes = BytesOf(m);
    ASSERT_GE(bytes.size(), 20u);
    // After the three sprites: Min, Max, Page, TrackPos, Pos.
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 20, bytes.end()),
              Bytes({0xfd, 0xff, 0xff, 0xff, 70, 0, 0, 0, 9, 0, 0, 0, 4, 0, 0, 0, 12, 0, 0, 0}));

    // New bars are strips along the right or the bottom edge of the window.
    EXPECT_EQ(bar.ResolveRect(KVQRect{0, 100, 0, 50}), (KVQRect{85, 100, 0, 50}));
    EXPECT_EQ(horz.ResolveRect(KVQRect{0, 100, 0, 50}), (KVQRect{0, 100, 35, 50}));

    for (const char* name : {"VertScrollBar:ScrollInfo:Page", "VertScrollBar:Top:file",
                             "VertScrollBar:Bottom:Rect:left", "VertScrollBar:VerThumbFile:file",
                             "HorzScrollBar:ScrollInfo:Max", "HorzScrollBar:Left:file", "HorzScrollBar:Right:file",
                             "HorzScrollBar:Thumb:fScaleX"})
        EXPECT_GE((name[0] == 'V' ? static_cast<IRender&>(bar) : horz).GetAttributeNameRef(name), 0) << name;
    ASSERT_TRUE(bar.SetAttribute(bar.GetAttributeNameRef("VertScrollBar:ScrollInfo:Pos"), "33"));
    EXPECT_EQ(bar.Pos, 33);
    // The editor copies one sprite's rectangle into another.
    bar.first.Rect = KVQRect{1, 2, 3, 4};
    EXPECT_TRUE(bar.ExecuteCommand("VertScrollBar:VertScrollBar:Top:Rect", "Copy"));
    EXPECT_TRUE(bar.ExecuteCommand("VertScrollBar:VertScrollBar:VerThumbFile:Rect", "Paste"));
    EXPECT_EQ(bar.thumbSprite.Rect, bar.first.Rect);
    EXPECT_FALSE(bar.ExecuteCommand("VertScrollBar:VertScrollBar:ScrollInfo", "Paste"));
}

// ---- drawing ----

TEST_F(ScrollBars, ThumbPositionsOnBothBarsMatchTheGoldenPicture)
{
    // Vertical bars 15 x 90 (a 60-pixel track) at Pos 0, 25, 50, 100, then one with Max = Min
    // (nothing drawn); horizontal bars 56 x 15 at Pos 0, 50, 100.
    const std::vector<uint8_t> frame = control_test::DrawFrame(160, 100, [] {
        int32_t x = 4;
        for (int32_t pos : {0, 25, 50, 100, -1}) {
            CRenderObject_VertScrollBar bar;
            bar.first.file = bar.second.file = "arrow";
            bar.thumbSprite.file = "thumb-v";
            bar.Max = pos < 0 ? 0 : 100;
            bar.Pos = std::max(pos, 0);
            bar.DrawBar(KVQRect{x, x + 15, 4, 94});
            x += 18;
        }
        int32_t y = 4;
        for (int32_t pos : {0, 50, 100}) {
            CRenderObject_HorzScrollBar bar;
            bar.first.file = bar.second.file = "arrow";
            bar.thumbSprite.file = "thumb-h";
            bar.Pos = pos;
            bar.DrawBar(KVQRect{100, 156, y, y + 15});
            y += 18;
        }
    });
    ASSERT_FALSE(frame.empty());
    EXPECT_TRUE(golden::Matches("scroll_bar_thumbs", frame, 160, 100));
}

}  // namespace

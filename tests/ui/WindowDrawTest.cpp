// The render cascade of a window subtree against a recording device, and hit testing.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "common/Types.h"
#include "gfx/DC.h"
#include "io/EditHook.h"
#include "render/Render.h"
#include "support/RecordingDC.h"
#include "ui/Window.h"

namespace {

LayoutRect Absolute(int32_t left, int32_t right, int32_t top, int32_t bottom)
{
    return LayoutRect{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_LEFT, ALIGNED_TOP, left, right, top, bottom};
}

// Draws by filling the window's rectangle with its tag as the red byte, so the recorded line
// says which object drew ("#07000000" is tag 7). While the device collects glyphs it records a
// glyph carrying its tag instead.
class TagRender : public IRender {
public:
    explicit TagRender(uint8_t tag, int32_t blend = BLEND_REPLACE) : tag_(tag) { BlendMode = blend; }
    const char* GetClassName() const override { return "TagRender"; }
    void Describe(CIEditHook& hook) override { (void)hook; }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(TagRender); }
    bool CanDraw() override { return canDraw; }
    void Draw(const KVQRect& windowRect) override
    {
        CKVQDC* device = GetCurrentDevice();
        if (!device)
            return;
        if (GlyphCache* glyphs = device->GetGlyphCache()) {
            glyphs->push_back(GlyphDraw{tag_, windowRect, windowRect, tag_});
            return;
        }
        device->FillRect(windowRect, tag_);
    }

    bool canDraw = true;

private:
    uint8_t tag_;
};

std::string Fill(uint8_t tag, const KVQRect& r)
{
    return "FillRect " + RecordingDC::Text(r) + " " + RecordingDC::Color(tag);
}

class WindowDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousDevice_ = SetCurrentDevice(&device_);
        device_.PushClip(kScreen, 0);
        device_.calls.clear();
    }
    void TearDown() override
    {
        for (CKVQWindow* w : roots_) {
            if (!w->IsDeleted())
                w->Delete();
        }
        WindowModule::Get().ReleaseDeleted();
        WindowModule::Get().DrainPool();
        SetCurrentDevice(previousDevice_);
    }

    CKVQWindow* Root(const LayoutRect& layout)
    {
        CKVQWindow* w = CKVQWindow::New();
        w->Layout = layout;
        roots_.push_back(w);
        return w;
    }
    static CKVQWindow* Child(CKVQWindow* parent, const LayoutRect& layout, int32_t layer = 0)
    {
        CKVQWindow* w = CKVQWindow::New();
        w->Layout = layout;
        w->nLayer = layer;
        parent->AppendChild(w);
        return w;
    }
    static TagRender* Tag(CKVQWindow* w, uint8_t tag, int32_t blend = BLEND_REPLACE)
    {
        auto* object = new TagRender(tag, blend);
        w->AddRender(object);
        return object;
    }
    std::vector<std::string> Fills() const { return device_.Lines("FillRect"); }

    static constexpr KVQRect kScreen{0, 1000, 0, 1000};
    RecordingDC device_;

private:
    CKVQDC* previousDevice_ = nullptr;
    std::vector<CKVQWindow*> roots_;
};

using WindowRender = WindowDraw;
using WindowHitTest = WindowDraw;

TEST_F(WindowRender, StateObjectsDrawFirstAndGiveBackTheBlendMode)
{
    CKVQWindow* w = Root(Absolute(0, 100, 0, 40));
    auto* stateObject = new TagRender(1, BLEND_ADDITIVE);
    auto* otherState = new TagRender(2);
    w->States().push_back(WindowState{CKVQString("State0"), {stateObject}});
    w->States().push_back(WindowState{CKVQString("State1"), {otherState}});
    Tag(w, 10, BLEND_BLEND);
    Tag(w, 11)->IsVisible = 0;
    Tag(w, 12)->canDraw = false;
    Tag(w, 13, BLEND_TRANSPARENT);

    w->Render(device_);  // leaves the device in the last object's mode
    device_.calls.clear();
    w->Render(device_);
    const KVQRect r{0, 100, 0, 40};
    EXPECT_EQ(device_.Trace({"FillRect", "SetBlendMode", "EndWindow"}),
              (std::vector<std::string>{"SetBlendMode 9", Fill(1, r), "SetBlendMode 4", "SetBlendMode 1", Fill(10, r),
                                        "SetBlendMode 4", Fill(13, r), "EndWindow"}));

    // A state index past the list draws no state objects.
    w->curState = 5;
    device_.calls.clear();
    w->Render(device_);
    EXPECT_EQ(Fills(), (std::vector<std::string>{Fill(10, r), Fill(13, r)}));
}

TEST_F(WindowRender, ChildrenDrawByLayerThenInListOrder)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    root->nMaxLayer = 2;
    const uint8_t tags[] = {1, 2, 3, 4, 5, 6};
    const int32_t layers[] = {1, 0, 2, 0, 3, -1};
    for (int i = 0; i < 6; ++i)
        Tag(Child(root, Absolute(i, i + 1, 0, 1), layers[i]), tags[i]);

    root->Render(device_);
    EXPECT_EQ(Fills(), (std::vector<std::string>{Fill(2, {1, 2, 0, 1}), Fill(4, {3, 4, 0, 1}), Fill(1, {0, 1, 0, 1}),
                                                 Fill(3, {2, 3, 0, 1})}));
    EXPECT_EQ(device_.Count("EndWindow"), 5);
}

TEST_F(WindowRender, HugeMaxLayerVisitsOnlyUsedLayers)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    root->nMaxLayer = std::numeric_limits<int32_t>::max();
    Tag(Child(root, Absolute(0, 1, 0, 1), std::numeric_limits<int32_t>::max()), 1);
    Tag(Child(root, Absolute(0, 1, 0, 1), 5), 2);
    Tag(Child(root, Absolute(0, 1, 0, 1), 0), 3);
    root->Render(device_);
    EXPECT_EQ(Fills(), (std::vector<std::string>{Fill(3, {0, 1, 0, 1}), Fill(2, {0, 1, 0, 1}), Fill(1, {0, 1, 0, 1})}));
}

TEST_F(WindowRender, HiddenWindowSkipsItsWholeSubtree)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* hidden = Child(root, Absolute(0, 10, 0, 10));
    Tag(hidden, 1);
    Tag(Child(hidden, Absolute(0, 5, 0, 5)), 2);
    hidden->DelBit(STATUS_IsVisible);
    root->Render(device_);
    EXPECT_TRUE(Fills().empty());
    EXPECT_EQ(device_.Count("EndWindow"), 1);
    EXPECT_EQ(device_.Count("PushColor"), 1);

    // Hidden children leave the window's own objects drawn.
    hidden->SetBit(STATUS_IsVisible);
    Tag(root, 3);
    root->SetBit(STATUS_IsHideChildren);
    device_.calls.clear();
    root->Render(device_);
    EXPECT_EQ(Fills(), (std::vector<std::string>{Fill(3, {0, 100, 0, 100})}));
}

TEST_F(WindowRender, ClipsArePushedAroundOwnDrawingAndChildrenThenPopped)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    root->SetBit(STATUS_IsClipSelf);
    root->SetBit(STATUS_IsClipChildren);
    root->SetClipOffset(1, 2, 3, 4);
    Tag(root, 1);
    Tag(Child(root, Absolute(10, 20, 10, 20)), 2);
    Tag(Child(root, Absolute(200, 300, 10, 20)), 3);  // outside the parent: not drawn

    device_.calls.clear();
    root->Render(device_);
    EXPECT_EQ(device_.Trace({"FillRect", "PushClip", "PopClip", "EndWindow"}),
              (std::vector<std::string>{"PushClip 1,97,2,96 0", Fill(1, {0, 100, 0, 100}), "PushClip 1,97,2,96 0",
                                        Fill(2, {10, 20, 10, 20}), "EndWindow", "PopClip", "PopClip", "EndWindow"}));
    ASSERT_EQ(device_.clipStack.size(), 1u);
    EXPECT_EQ(device_.clipStack.back(), kScreen);
}

TEST_F(WindowRender, ObjectsOutsideTheClipAreSkippedButChildrenStillDraw)
{
    CKVQWindow* root = Root(Absolute(2000, 2100, 2000, 2100));
    Tag(root, 1);
    Tag(Child(root, Absolute(-1995, -1985, -1995, -1985)), 2);
    root->Render(device_);
    EXPECT_EQ(Fills(), (std::vector<std::string>{Fill(2, {5, 15, 5, 15})}));
}

TEST_F(WindowRender, MaskAndScalePivotFollowTheHotAlignment)
{
    CKVQWindow* w = Root(Absolute(10, 31, 20, 61));
    w->Mask = RGBA{1, 2, 3, 4};
    w->fScaleX = 2.0f;
    w->fScaleY = 0.5f;

    w->Render(device_);
    EXPECT_EQ(device_.Trace({"PushColor", "PushTransform"}),
              (std::vector<std::string>{"PushColor #01020304", "PushTransform 20,40 2,0.5"}));

    device_.calls.clear();
    w->nHotAlign = ALIGN_TOPLEFT;
    w->Render(device_);
    EXPECT_EQ(device_.Lines("PushTransform"), (std::vector<std::string>{"PushTransform 10,20 2,0.5"}));

    // Alignments without a scale pivot draw unscaled, and the device's stacks stay balanced.
    device_.calls.clear();
    w->nHotAlign = ALIGN_BOTTOMCENTER;
    w->Render(device_);
    EXPECT_EQ(device_.Lines("PushTransform"), (std::vector<std::string>{"PushTransform 10,20 1,1"}));
    EXPECT_EQ(device_.colorDepth, 0);
    EXPECT_EQ(device_.transformDepth, 0);
}

TEST_F(WindowRender, DrawsThroughTheGivenDevice)
{
    CKVQWindow* w = Root(Absolute(0, 10, 0, 10));
    Tag(w, 1);
    SetCurrentDevice(nullptr);
    w->Render(device_);
    EXPECT_EQ(Fills().size(), 1u);
    EXPECT_EQ(GetCurrentDevice(), nullptr);
}

TEST_F(WindowRender, CharCacheRecordsGlyphsOnceAndReplaysThem)
{
    CKVQWindow* collector = Root(Absolute(0, 100, 0, 100));
    collector->SetBit(STATUS_IsCharCache);
    CKVQWindow* text = Child(collector, Absolute(0, 10, 0, 10));
    Tag(text, 7);

    collector->Render(device_);
    ASSERT_EQ(collector->CharCache().size(), 1u);
    EXPECT_EQ(device_.Lines("Blit"), (std::vector<std::string>{"Blit 7 0,10,0,10 0,10,0,10 #07000000"}));
    EXPECT_EQ(device_.GetGlyphCache(), nullptr);

    // A filled cache is not recording: the text draws itself and the glyphs are replayed again.
    device_.calls.clear();
    collector->Render(device_);
    EXPECT_EQ(collector->CharCache().size(), 1u);
    EXPECT_EQ(device_.Count("Blit"), 1);
    EXPECT_EQ(Fills().size(), 1u);
}

TEST_F(WindowRender, InnerCharCacheHandsRecordingBackToTheOuterOne)
{
    CKVQWindow* outer = Root(Absolute(0, 100, 0, 100));
    outer->SetBit(STATUS_IsCharCache);
    CKVQWindow* inner = Child(outer, Absolute(0, 50, 0, 50));
    inner->SetBit(STATUS_IsCharCache);
    Tag(Child(inner, Absolute(0, 10, 0, 10)), 1);
    Tag(Child(outer, Absolute(60, 70, 0, 10)), 2);

    outer->Render(device_);
    ASSERT_EQ(inner->CharCache().size(), 1u);
    EXPECT_EQ(inner->CharCache()[0].texture, 1);
    ASSERT_EQ(outer->CharCache().size(), 1u);
    EXPECT_EQ(outer->CharCache()[0].texture, 2);
    EXPECT_EQ(device_.GetGlyphCache(), nullptr);
}

TEST_F(WindowHitTest, LastChildWinsWhereChildrenOverlap)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* first = Child(root, Absolute(0, 50, 0, 50));
    CKVQWindow* second = Child(root, Absolute(25, 75, 25, 75));
    EXPECT_EQ(root->HitTest(30, 30), second);
    EXPECT_EQ(root->HitTest(10, 10), first);
    EXPECT_EQ(root->HitTest(90, 90), root);
    EXPECT_EQ(root->HitTest(100, 100), root);  // edges are inside
    EXPECT_EQ(root->HitTest(101, 50), nullptr);
    EXPECT_EQ(root->HitTest0(30, 30), second);
}

TEST_F(WindowHitTest, EmptyRectangleIsHitAnywhere)
{
    CKVQWindow* root = Root(Absolute(50, 50, 50, 50));
    EXPECT_EQ(root->HitTest(-400, 9000), root);
    EXPECT_EQ(root->HitTest0(-400, 9000), root);
    CKVQWindow* child = Child(root, Absolute(0, 10, 0, 10));
    EXPECT_EQ(root->HitTest(5, 5), child);
}

TEST_F(WindowHitTest, ClipChildrenLimitsChildrenToTheInset)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    root->SetBit(STATUS_IsClipChildren);
    root->SetClipOffset(10, 10, 10, 10);
    CKVQWindow* child = Child(root, Absolute(-50, 150, -50, 150));
    EXPECT_EQ(root->HitTest(50, 50), child);
    EXPECT_EQ(root->HitTest(5, 50), root);      // in the border
    EXPECT_EQ(root->HitTest(120, 50), nullptr);  // the child reaches here, the clip does not
    EXPECT_EQ(root->HitTest0(5, 50), root);
    EXPECT_EQ(root->HitTest0(120, 50), nullptr);

    // Hidden children lift the clip rule for HitTest only.
    root->SetBit(STATUS_IsHideChildren);
    EXPECT_EQ(root->HitTest(5, 50), root);
    EXPECT_EQ(root->HitTest(50, 50), root);
    EXPECT_EQ(root->HitTest0(50, 50), child);
}

TEST_F(WindowHitTest, DisabledAndHiddenWindowsAreSkippedOnlyByHitTest)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* child = Child(root, Absolute(0, 50, 0, 50));
    CKVQWindow* grandchild = Child(child, Absolute(0, 10, 0, 10));

    child->SetBit(STATUS_IsDisable);
    EXPECT_EQ(root->HitTest(5, 5), root);
    EXPECT_EQ(root->HitTest0(5, 5), grandchild);
    child->DelBit(STATUS_IsDisable);

    child->DelBit(STATUS_IsVisible);
    EXPECT_EQ(root->HitTest(5, 5), root);
    EXPECT_EQ(root->HitTest0(5, 5), grandchild);
    child->SetBit(STATUS_IsVisible);

    child->SetBit(STATUS_IsDisableChildren);
    EXPECT_EQ(root->HitTest(5, 5), child);
    EXPECT_EQ(root->HitTest0(5, 5), grandchild);
    child->DelBit(STATUS_IsDisableChildren);

    child->SetBit(STATUS_IsHideChildren);
    EXPECT_EQ(root->HitTest(5, 5), child);
    EXPECT_EQ(root->HitTest0(5, 5), grandchild);
}

TEST_F(WindowHitTest, LockedSubtreeIsSkippedOnlyByHitTest0)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* child = Child(root, Absolute(0, 50, 0, 50));
    CKVQWindow* grandchild = Child(child, Absolute(0, 10, 0, 10));
    child->SetBit(STATUS_IsLocked);
    EXPECT_EQ(root->HitTest0(5, 5), root);
    EXPECT_EQ(root->HitTest(5, 5), grandchild);
    root->SetBit(STATUS_IsLocked);
    EXPECT_EQ(root->HitTest0(5, 5), nullptr);
}

TEST_F(WindowHitTest, ChildAboveTheMaxLayerIsHitButNotDrawn)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* high = Child(root, Absolute(0, 50, 0, 50), 3);
    Tag(high, 1);
    root->Render(device_);
    EXPECT_TRUE(Fills().empty());
    EXPECT_EQ(root->HitTest(5, 5), high);
}

}  // namespace

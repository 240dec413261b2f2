// The window's rectangle, size and position rules, the operations that move, size, re-anchor
// and zoom a window, and the events and invalidations they produce.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/Types.h"
#include "gfx/DC.h"
#include "io/EditHook.h"
#include "render/Render.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

LayoutRect Absolute(int32_t left, int32_t right, int32_t top, int32_t bottom)
{
    return LayoutRect{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_LEFT, ALIGNED_TOP, left, right, top, bottom};
}

// A render object that writes down the geometry events its window receives, with their
// parameters, into a shared log.
class EventProbe : public IRender {
public:
    explicit EventProbe(std::vector<std::string>* log) : log_(log)
    {
        for (const char* name : {"OnMove", "OnSized", "OnExtSized"})
            RegisterHandler(name, &TwoInts);
        for (const char* name : {"OnExtX", "OnExtY"})
            RegisterHandler(name, &OneInt);
        RegisterHandler("OnZoom", &OneFloat);
    }
    const char* GetClassName() const override { return "GeometryProbe"; }
    void Describe(CIEditHook& hook) override { (void)hook; }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(EventProbe); }

    // Called from a handler with the window's rectangle at that moment.
    std::vector<KVQRect> rectsSeen;

private:
    static void TwoInts(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* m, CKVQWindow*)
    {
        int32_t a = 0, b = 0;
        m->Int32(a);
        m->Int32(b);
        auto* probe = static_cast<EventProbe*>(self);
        probe->log_->push_back(std::string(name) + " " + std::to_string(a) + "," + std::to_string(b));
        probe->rectsSeen.push_back(owner->GetRect());
    }
    static void OneInt(IRender* self, const char* name, CKVQWindow*, CKVQMessage* m, CKVQWindow*)
    {
        int32_t a = 0;
        m->Int32(a);
        static_cast<EventProbe*>(self)->log_->push_back(std::string(name) + " " + std::to_string(a));
    }
    static void OneFloat(IRender* self, const char* name, CKVQWindow*, CKVQMessage* m, CKVQWindow*)
    {
        float f = 0;
        m->Float(f);
        static_cast<EventProbe*>(self)->log_->push_back(std::string(name) + " " + RecordingDC::Float(f));
    }

    std::vector<std::string>* log_;
};

class WindowGeometry : public ::testing::Test {
protected:
    void SetUp() override { previousDevice_ = SetCurrentDevice(&device_); }
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

    CKVQWindow* Fresh()
    {
        CKVQWindow* w = CKVQWindow::New();
        roots_.push_back(w);
        return w;
    }
    CKVQWindow* Root(const LayoutRect& layout)
    {
        CKVQWindow* w = Fresh();
        w->Layout = layout;
        return w;
    }
    static CKVQWindow* Child(CKVQWindow* parent, const LayoutRect& layout)
    {
        CKVQWindow* w = CKVQWindow::New();
        w->Layout = layout;
        parent->AppendChild(w);
        return w;
    }
    EventProbe* Probe(CKVQWindow* w)
    {
        auto* probe = new EventProbe(&events_);
        w->AddRender(probe);
        return probe;
    }

    RecordingDC device_;
    std::vector<std::string> events_;

private:
    CKVQDC* previousDevice_ = nullptr;
    std::vector<CKVQWindow*> roots_;
};

using WindowRect = WindowGeometry;
using WindowSize = WindowGeometry;
using WindowPosition = WindowGeometry;
using WindowAnchoring = WindowGeometry;
using WindowExtern = WindowGeometry;
using WindowZoom = WindowGeometry;
using WindowCharCache = WindowGeometry;
using WindowReload = WindowGeometry;

TEST_F(WindowRect, FreshRootUsesItsOffsetsAsScreenCoordinates)
{
    CKVQWindow* root = Fresh();
    EXPECT_EQ(root->GetRect(), (KVQRect{20, 70, 20, 70}));
    EXPECT_EQ(root->GetWidth(), 50);
    EXPECT_EQ(root->GetHeight(), 50);
    EXPECT_EQ(root->GetPos(), (KVQPoint{20, 20}));
}

TEST_F(WindowRect, RightAnchoredChildSpansFromParentRightEdge)
{
    CKVQWindow* parent = Root(Absolute(100, 300, 0, 50));
    CKVQWindow* child = Child(parent, LayoutRect{ALIGNED_RIGHT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, -30, 0, 5, 0});
    EXPECT_EQ(child->GetRect(), (KVQRect{270, 300, 5, 50}));
}

TEST_F(WindowRect, CentreAnchorAddsHalfTheWidthRoundingDown)
{
    CKVQWindow* odd = Root(Absolute(0, 101, 0, 10));
    CKVQWindow* centred = Child(odd, LayoutRect{ALIGNED_HCENTER, ALIGNED_VCENTER, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0});
    EXPECT_EQ(centred->GetRect(), (KVQRect{50, 101, 5, 10}));

    // A root whose offsets are reversed has a negative width: half of -101 is -51, not -50.
    CKVQWindow* reversed = Root(Absolute(0, -101, 0, -11));
    CKVQWindow* child = Child(reversed, LayoutRect{ALIGNED_HCENTER, ALIGNED_VCENTER, ALIGNED_LEFT, ALIGNED_TOP, 0, 0, 0, 0});
    EXPECT_EQ(child->GetRect(), (KVQRect{-51, 0, -6, 0}));
}

TEST_F(WindowRect, UnknownAnchorPutsTheEdgeAtTheReferenceOrigin)
{
    CKVQWindow* parent = Root(Absolute(100, 200, 100, 200));
    CKVQWindow* child = Child(parent, LayoutRect{7, ALIGNED_TOP, ALIGNED_LEFT, 9, 40, 60, 10, 80});
    EXPECT_EQ(child->GetRect(), (KVQRect{100, 160, 100, 110}));
}

TEST_F(WindowRect, ReversedEdgesAreNormalizedInsideAParent)
{
    CKVQWindow* parent = Root(Absolute(10, 110, 10, 110));
    CKVQWindow* child = Child(parent, Absolute(60, 20, 70, 30));
    EXPECT_EQ(child->GetRect(), (KVQRect{30, 70, 40, 80}));
}

TEST_F(WindowRect, PointSizedParentMakesChildOffsetsAbsolute)
{
    CKVQWindow* parent = Root(Absolute(40, 40, 40, 40));
    CKVQWindow* child = Child(parent, LayoutRect{ALIGNED_RIGHT, ALIGNED_BOTTOM, ALIGNED_RIGHT, ALIGNED_BOTTOM, 1, 2, 3, 4});
    EXPECT_EQ(child->GetRect(), (KVQRect{1, 2, 3, 4}));
}

TEST_F(WindowRect, CacheHoldsUntilTheSubtreeIsMarkedDirty)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* mid = Child(root, Absolute(10, 50, 10, 50));
    CKVQWindow* leaf = Child(mid, Absolute(1, 2, 1, 2));
    CKVQWindow* sibling = Child(root, Absolute(0, 10, 0, 10));
    EXPECT_EQ(leaf->GetRect(), (KVQRect{11, 12, 11, 12}));
    EXPECT_TRUE(leaf->IsBitSet(STATUS_IsNotDirty));
    sibling->GetRect();

    root->Layout = Absolute(500, 600, 500, 600);
    EXPECT_EQ(leaf->GetRect(), (KVQRect{11, 12, 11, 12}));  // cached

    mid->SetDirty();  // the subtree only
    EXPECT_FALSE(leaf->IsBitSet(STATUS_IsNotDirty));
    EXPECT_TRUE(sibling->IsBitSet(STATUS_IsNotDirty));
    EXPECT_TRUE(root->IsBitSet(STATUS_IsNotDirty));

    root->SetDirty();
    EXPECT_FALSE(sibling->IsBitSet(STATUS_IsNotDirty));
    EXPECT_EQ(leaf->GetRect(), (KVQRect{511, 512, 511, 512}));
}

TEST_F(WindowRect, HostileOffsetsWrapInsteadOfOverflowing)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    CKVQWindow* parent = Root(Absolute(kMin, kMax, kMin, kMax));
    CKVQWindow* child = Child(parent, LayoutRect{ALIGNED_RIGHT, ALIGNED_VCENTER, ALIGNED_RIGHT, ALIGNED_BOTTOM, kMax, kMax, kMin, kMax});
    parent->SetExtW(kMax);
    parent->SetBit(STATUS_IsExternWindow);
    // The values wrap (the sanitizers check that nothing overflows), and moving and sizing stay
    // exact in that arithmetic.
    (void)child->GetRect();
    (void)child->GetScreenPos();
    (void)child->GetHotPos();
    child->SetPos({kMax, kMin});
    EXPECT_EQ(child->GetPos(), (KVQPoint{kMax, kMin}));
    child->SetWidth(1000);
    EXPECT_EQ(child->GetWidth(), 1000);
    child->SetHeight(kMax);
    EXPECT_EQ(child->GetHeight(), kMax);
    child->SetAligned(SIDE_RIGHT, ALIGNED_LEFT);
    child->MoveToCenter();
    (void)child->GetRect();
}

TEST_F(WindowExtern, ExternParentShiftsAndEnlargesTheChildArea)
{
    CKVQWindow* parent = Root(Absolute(100, 200, 100, 150));
    parent->SetBit(STATUS_IsExternWindow);
    parent->nExtX = -10;
    parent->nExtY = 5;
    parent->nExtW = 100;
    parent->nExtH = 20;
    CKVQWindow* child = Child(parent, LayoutRect{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0});
    EXPECT_EQ(child->GetRect(), (KVQRect{90, 290, 105, 175}));
    EXPECT_EQ(child->GetWidth(), 200);
    EXPECT_EQ(child->GetHeight(), 70);
    EXPECT_EQ(child->GetPos(), (KVQPoint{-10, 5}));

    // The same values on a parent that is not extern change nothing.
    parent->DelBit(STATUS_IsExternWindow);
    parent->SetDirty();
    EXPECT_EQ(child->GetRect(), (KVQRect{100, 200, 100, 150}));
}

TEST_F(WindowExtern, ShiftAndSizeChangesMoveChildrenAndSendEvents)
{
    CKVQWindow* parent = Root(Absolute(0, 100, 0, 100));
    parent->SetBit(STATUS_IsExternWindow);
    CKVQWindow* child = Child(parent, LayoutRect{ALIGNED_RIGHT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, -10, 0, 0, 0});
    Probe(parent);
    EXPECT_EQ(child->GetRect(), (KVQRect{90, 100, 0, 100}));

    parent->SetExtW(50);
    EXPECT_EQ(child->GetRect(), (KVQRect{140, 150, 0, 100}));
    parent->SetExtH(7);
    parent->SetExtX(3);
    EXPECT_EQ(child->GetRect(), (KVQRect{143, 153, 0, 107}));
    parent->SetExtY(-4);
    EXPECT_EQ(child->GetRect(), (KVQRect{143, 153, -4, 103}));
    EXPECT_EQ(events_, (std::vector<std::string>{"OnExtSized 50,0", "OnExtSized 50,7", "OnExtX 3", "OnExtY -4"}));
}

TEST_F(WindowSize, WidthIsOneWhenTheEdgesCoincide)
{
    CKVQWindow* w = Root(Absolute(30, 30, 5, 5));
    EXPECT_EQ(w->GetWidth(), 1);
    EXPECT_EQ(w->GetHeight(), 1);
    w->Layout = Absolute(30, 10, 50, 20);
    EXPECT_EQ(w->GetWidth(), 20);
    EXPECT_EQ(w->GetHeight(), 30);
}

TEST_F(WindowSize, SetWidthKeepsAnchorsAndSendsOnSized)
{
    CKVQWindow* parent = Root(Absolute(0, 200, 0, 100));
    CKVQWindow* child = Child(parent, LayoutRect{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 10, -100, 10, -10});
    EventProbe* probe = Probe(child);
    EXPECT_EQ(child->GetRect(), (KVQRect{10, 100, 10, 90}));
    device_.Reset();

    child->SetWidth(50);
    EXPECT_EQ(child->GetRect(), (KVQRect{10, 60, 10, 90}));
    EXPECT_EQ(child->Layout.RightSide, ALIGNED_RIGHT);
    EXPECT_EQ(child->Layout.Right, -140);
    child->SetHeight(30);
    EXPECT_EQ(child->GetRect(), (KVQRect{10, 60, 10, 40}));
    EXPECT_EQ(events_, (std::vector<std::string>{"OnSized 50,80", "OnSized 50,30"}));
    // Handlers already see the new rectangle.
    ASSERT_EQ(probe->rectsSeen.size(), 2u);
    EXPECT_EQ(probe->rectsSeen[0], (KVQRect{10, 60, 10, 90}));
    // Old and new rectangles, each grown by a pixel.
    ASSERT_FALSE(device_.invalidated.empty());
    EXPECT_EQ(device_.invalidated.front(), (KVQRect{9, 101, 9, 91}));
}

TEST_F(WindowPosition, PositionsAreRelativeToTheParentAndChainToTheScreen)
{
    CKVQWindow* root = Root(Absolute(100, 300, 50, 250));
    CKVQWindow* mid = Child(root, LayoutRect{ALIGNED_RIGHT, ALIGNED_BOTTOM, ALIGNED_RIGHT, ALIGNED_BOTTOM, -80, 0, -60, 0});
    CKVQWindow* leaf = Child(mid, Absolute(5, 15, 6, 16));
    EXPECT_EQ(root->GetPos(), (KVQPoint{100, 50}));
    EXPECT_EQ(mid->GetPos(), (KVQPoint{120, 140}));
    EXPECT_EQ(leaf->GetPos(), (KVQPoint{5, 6}));
    EXPECT_EQ(leaf->GetScreenPos(), (KVQPoint{225, 196}));
    EXPECT_EQ(leaf->GetScreenPos(), leaf->GetRect().TopLeft());
    EXPECT_EQ(leaf->ScreenToWindowPos({230, 200}), (KVQPoint{5, 4}));
}

TEST_F(WindowPosition, RootWithUnknownAnchorsIsWhereItsRectangleIs)
{
    // Without a parent the offsets are screen coordinates, whatever the anchor codes say.
    CKVQWindow* root = Root(LayoutRect{7, 9, ALIGNED_RIGHT, 200, 30, 90, 40, 70});
    EXPECT_EQ(root->GetRect(), (KVQRect{30, 90, 40, 70}));
    EXPECT_EQ(root->GetPos(), (KVQPoint{30, 40}));
    EXPECT_EQ(root->GetScreenPos(), root->GetRect().TopLeft());

    root->SetPos({50, 60});
    EXPECT_EQ(root->GetRect(), (KVQRect{50, 110, 60, 90}));
    EXPECT_EQ(root->GetPos(), (KVQPoint{50, 60}));
}

TEST_F(WindowPosition, SetPosMovesBothEdgesAndReportsTheScreenPosition)
{
    CKVQWindow* parent = Root(Absolute(100, 300, 100, 300));
    CKVQWindow* child = Child(parent, LayoutRect{ALIGNED_RIGHT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_TOP, -50, -10, 10, 30});
    EventProbe* probe = Probe(child);
    EXPECT_EQ(child->GetRect(), (KVQRect{250, 290, 110, 130}));
    device_.Reset();

    child->SetPos({20, 40});
    EXPECT_EQ(child->GetPos(), (KVQPoint{20, 40}));
    EXPECT_EQ(child->GetRect(), (KVQRect{120, 160, 140, 160}));
    EXPECT_EQ(child->Layout.LeftSide, ALIGNED_RIGHT);
    EXPECT_EQ(events_, (std::vector<std::string>{"OnMove 120,140"}));
    ASSERT_EQ(probe->rectsSeen.size(), 1u);
    EXPECT_EQ(probe->rectsSeen[0], (KVQRect{120, 160, 140, 160}));
    EXPECT_EQ(device_.invalidated, (std::vector<KVQRect>{{119, 291, 109, 161}}));
}

TEST_F(WindowPosition, HotPointFollowsTheAlignment)
{
    CKVQWindow* parent = Root(Absolute(0, 400, 0, 400));
    CKVQWindow* w = Child(parent, Absolute(100, 151, 200, 241));
    w->HotOffset = {3, -2};
    w->nHotAlign = ALIGN_CENTER;
    EXPECT_EQ(w->GetHotPos(), (KVQPoint{128, 218}));
    w->nHotAlign = ALIGN_TOPLEFT;
    EXPECT_EQ(w->GetHotPos(), (KVQPoint{103, 198}));
    w->nHotAlign = ALIGN_BOTTOMCENTER;
    EXPECT_EQ(w->GetHotPos(), (KVQPoint{128, 239}));
    w->nHotAlign = 9;
    EXPECT_EQ(w->GetHotPos(), (KVQPoint{100, 200}));

    w->nHotAlign = ALIGN_TOPCENTER;
    w->SetHotPos({10, 10});
    EXPECT_EQ(w->GetHotPos(), (KVQPoint{10, 10}));
    EXPECT_EQ(w->GetPos(), (KVQPoint{-18, 12}));

    w->nHotAlign = 9;  // unknown: nothing moves
    w->SetHotPos({300, 300});
    EXPECT_EQ(w->GetPos(), (KVQPoint{-18, 12}));
}

TEST_F(WindowPosition, MoveToCenterTruncatesTowardZero)
{
    CKVQWindow* parent = Root(Absolute(0, 101, 0, 40));
    CKVQWindow* w = Child(parent, Absolute(0, 50, 0, 45));
    w->MoveToCenter();
    EXPECT_EQ(w->GetPos(), (KVQPoint{25, -2}));
    CKVQWindow* root = Root(Absolute(7, 9, 7, 9));
    root->MoveToCenter();
    EXPECT_EQ(root->GetPos(), (KVQPoint{7, 7}));
}

TEST_F(WindowAnchoring, SetAlignedKeepsTheEdgeWhereItIs)
{
    CKVQWindow* parent = Root(Absolute(0, 200, 0, 100));
    CKVQWindow* child = Child(parent, Absolute(30, 170, 10, 90));
    const KVQRect before = child->GetRect();
    child->SetAligned(SIDE_RIGHT, ALIGNED_RIGHT);
    child->SetAligned(SIDE_LEFT, ALIGNED_HCENTER);
    child->SetAligned(SIDE_BOTTOM, ALIGNED_VCENTER);
    EXPECT_EQ(child->Layout.Right, -30);
    EXPECT_EQ(child->Layout.Left, -70);
    EXPECT_EQ(child->Layout.Bottom, 40);
    EXPECT_EQ(child->GetRect(), before);

    // Re-anchored edges now follow the parent.
    parent->SetWidth(300);
    EXPECT_EQ(child->GetRect(), (KVQRect{80, 270, 10, 90}));
}

TEST_F(WindowAnchoring, RootKeepsItsPlaceWhenReanchored)
{
    CKVQWindow* root = Root(Absolute(20, 70, 20, 70));
    root->SetAligned(SIDE_LEFT, ALIGNED_RIGHT);
    EXPECT_EQ(root->Layout.LeftSide, ALIGNED_RIGHT);
    EXPECT_EQ(root->GetRect(), (KVQRect{20, 70, 20, 70}));
}

TEST_F(WindowAnchoring, SideAlignedNeedsAParentAndLeavesTheCache)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    root->SetSideAligned(SIDE_LEFT, ALIGNED_RIGHT);
    EXPECT_EQ(root->Layout.LeftSide, ALIGNED_LEFT);

    CKVQWindow* child = Child(root, Absolute(10, 20, 10, 20));
    child->GetRect();
    child->SetSideAligned(SIDE_TOP, ALIGNED_BOTTOM);
    EXPECT_EQ(child->Layout.TopSide, ALIGNED_BOTTOM);
    EXPECT_EQ(child->Layout.Top, -90);
    EXPECT_TRUE(child->IsBitSet(STATUS_IsNotDirty));
}

TEST_F(WindowAnchoring, BadSidesAndAlignmentsChangeNothing)
{
    CKVQWindow* root = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* child = Child(root, Absolute(10, 20, 10, 20));
    const LayoutRect before = child->Layout;
    child->SetAligned(4, ALIGNED_RIGHT);
    child->SetAligned(-1, ALIGNED_RIGHT);
    child->SetAligned(SIDE_LEFT, 256);
    child->SetAligned(SIDE_LEFT, -1);
    EXPECT_EQ(child->Layout, before);
}

TEST_F(WindowZoom, ScalesLayoutsOfTheSubtreeAndItsRenderObjects)
{
    CKVQWindow* root = Root(Absolute(10, 31, -10, 41));
    CKVQWindow* child = Child(root, Absolute(3, 5, 7, 9));
    EventProbe* own = Probe(root);
    own->Layout = Absolute(1, 3, 5, 7);
    own->IsVisible = 0;  // the zoom event is forced: hidden objects hear it too
    auto* stateObject = new EventProbe(&events_);
    stateObject->Layout = Absolute(2, 4, 6, 8);
    root->States().push_back(WindowState{CKVQString("State0"), {stateObject}});
    stateObject->SetOwner(root);
    root->GetRect();

    root->Zoom(1.5f);
    EXPECT_EQ(root->Layout, Absolute(15, 46, -15, 61));
    EXPECT_EQ(child->Layout, Absolute(4, 7, 10, 13));
    EXPECT_EQ(own->Layout, Absolute(1, 4, 7, 10));
    EXPECT_EQ(stateObject->Layout, Absolute(3, 6, 9, 12));
    EXPECT_EQ(root->GetRect(), (KVQRect{15, 46, -15, 61}));
    EXPECT_EQ(events_, (std::vector<std::string>{"OnZoom 1.5", "OnZoom 1.5"}));
}

TEST_F(WindowZoom, HostileFactorsSaturateOrLeaveOffsets)
{
    CKVQWindow* root = Root(Absolute(-10, 10, 1, 2));
    root->Zoom(1e30f);
    EXPECT_EQ(root->Layout, Absolute(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                                     std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()));
    root->Layout = Absolute(-10, 10, 1, 2);
    root->Zoom(std::nanf(""));
    EXPECT_EQ(root->Layout, Absolute(-10, 10, 1, 2));
}

TEST_F(WindowCharCache, GeometryChangeClearsCachesUpToTheCollectingAncestor)
{
    CKVQWindow* top = Root(Absolute(0, 100, 0, 100));
    CKVQWindow* collector = Child(top, Absolute(0, 50, 0, 50));
    CKVQWindow* mid = Child(collector, Absolute(0, 40, 0, 40));
    CKVQWindow* leaf = Child(mid, Absolute(0, 10, 0, 10));
    top->SetBit(STATUS_IsCharCache);
    collector->SetBit(STATUS_IsCharCache);
    for (CKVQWindow* w : {top, collector, mid, leaf})
        w->CharCache().push_back(GlyphDraw{});

    EXPECT_TRUE(leaf->IsCharCacheActive());
    EXPECT_FALSE(Root(Absolute(0, 1, 0, 1))->IsCharCacheActive());
    leaf->SetPos({1, 1});
    EXPECT_TRUE(leaf->CharCache().empty());
    EXPECT_TRUE(mid->CharCache().empty());
    EXPECT_TRUE(collector->CharCache().empty());
    EXPECT_EQ(top->CharCache().size(), 1u);

    // A collecting window clears only its own cache.
    collector->CharCache().push_back(GlyphDraw{});
    collector->InvalidateCharCache();
    EXPECT_TRUE(collector->CharCache().empty());
    EXPECT_EQ(top->CharCache().size(), 1u);
}

TEST_F(WindowGeometry, InvalidateReportsTheRectangleToTheCurrentDevice)
{
    CKVQWindow* w = Root(Absolute(1, 2, 3, 4));
    w->Invalidate();
    const KVQRect other{5, 6, 7, 8};
    w->Invalidate(&other, 1);
    EXPECT_EQ(device_.Lines("InvalidateRect"),
              (std::vector<std::string>{"InvalidateRect 1,2,3,4 0", "InvalidateRect 5,6,7,8 1"}));
    SetCurrentDevice(nullptr);
    w->Invalidate();  // no device: nothing to tell, nothing breaks
    EXPECT_EQ(device_.Count("InvalidateRect"), 2);
}

TEST_F(WindowGeometry, VisualFrameJoinsVisibleChildren)
{
    CKVQWindow* root = Root(Absolute(10, 20, 10, 20));
    Child(root, Absolute(-5, 0, 0, 5));
    CKVQWindow* hidden = Child(root, Absolute(0, 500, 0, 500));
    hidden->DelBit(STATUS_IsVisible);
    EXPECT_EQ(root->GetVisualFrame(), (KVQRect{5, 20, 10, 20}));
    root->SetBit(STATUS_IsHideChildren);
    EXPECT_EQ(root->GetVisualFrame(), (KVQRect{10, 20, 10, 20}));
}

TEST_F(WindowReload, CopiesTheLayoutAndRecursesIntoChangedChildren)
{
    CKVQWindow* live = Root(Absolute(100, 200, 100, 200));
    CKVQWindow* liveChild = Child(live, Absolute(0, 10, 0, 10));
    liveChild->SetName("button");
    CKVQWindow* loaded = Root(Absolute(0, 300, 0, 300));
    loaded->SetBit(STATUS_IsExternWindow);
    loaded->nExtX = 4;
    CKVQWindow* loadedChild = Child(loaded, LayoutRect{ALIGNED_RIGHT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_TOP, -20, 0, 0, 20});
    loadedChild->SetName("button");
    loadedChild->HotOffset = {1, 2};

    live->ReloadLayout(*loaded);
    // The root keeps its place, takes the new size and the extern settings.
    EXPECT_EQ(live->GetPos(), (KVQPoint{100, 100}));
    EXPECT_EQ(live->GetWidth(), 300);
    EXPECT_TRUE(live->IsExternWnd());
    EXPECT_EQ(live->nExtX, 4);
    EXPECT_EQ(liveChild->Layout, loadedChild->Layout);
    EXPECT_EQ(liveChild->HotOffset, (KVQPoint{1, 2}));
    EXPECT_EQ(liveChild->GetRect(), (KVQRect{384, 404, 100, 120}));
}

}  // namespace

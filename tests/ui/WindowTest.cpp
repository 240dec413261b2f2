// The window core without events: handles, the release pool, deletion, the child list, layers,
// render-object lookup, status bits and extra data.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/EditHook.h"
#include "render/Render.h"
#include "support/RecordingDC.h"
#include "support/WindowTestSupport.h"
#include "ui/Window.h"

namespace {

// A render object that only has a class name and a name.
class NamedObject : public TestRenderObject<NamedObject> {
public:
    static constexpr const char* kClassName = "TestNamed";

    explicit NamedObject(const char* objectName = "") { Name = objectName; }
};

class WindowCore : public ::testing::Test {
protected:
    void SetUp() override { previousDevice_ = SetCurrentDevice(&device); }
    void TearDown() override
    {
        for (CKVQWindow* window : made_) {
            if (!window->IsDeleted() && window->GetParent() == nullptr)
                window->Delete();
        }
        WindowModule& module = WindowModule::Get();
        module.ReleaseDeleted();
        module.focus = module.capture = module.activeFrame = module.drag = 0;
        module.hoverCount = 0;
        module.hover.fill(0);
        SetCurrentDevice(previousDevice_);
    }
    CKVQWindow* Make(const char* name, CKVQWindow* parent = nullptr)
    {
        CKVQWindow* window = CKVQWindow::New();
        window->SetName(name);
        if (parent)
            parent->AppendChild(window);
        made_.push_back(window);
        return window;
    }
    static std::string ChildNames(const CKVQWindow* parent)
    {
        std::string names;
        for (CKVQWindow* child = parent->GetFirstChild(); child; child = child->GetNextSibling())
            names += child->GetName();
        return names;
    }

    RecordingDC device;

private:
    CKVQDC* previousDevice_ = nullptr;
    std::vector<CKVQWindow*> made_;
};

// Suites by behaviour, one fixture.
class WindowHandles : public WindowCore {};
class WindowLayers : public WindowCore {};
class WindowLifecycle : public WindowCore {};
class WindowPool : public WindowCore {};
class WindowRenders : public WindowCore {};
class WindowSiblings : public WindowCore {};
class WindowStatus : public WindowCore {};
class WindowTree : public WindowCore {};

TEST_F(WindowHandles, HandleOfDeletedWindowNeverResolvesAgain)
{
    CKVQWindow* window = Make("w");
    const uint32_t handle = window->GetWindowHandle();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(CKVQWindow::FromHandle(handle), window);

    window->Delete();
    EXPECT_TRUE(window->IsDeleted());
    EXPECT_EQ(CKVQWindow::FromHandle(handle), nullptr);  // before the release already

    WindowModule::Get().ReleaseDeleted();
    CKVQWindow* reused = Make("again");
    EXPECT_EQ(CKVQWindow::FromHandle(handle), nullptr);
    EXPECT_NE(reused->GetWindowHandle(), handle);
    EXPECT_EQ(CKVQWindow::FromHandle(reused->GetWindowHandle()), reused);
}

TEST_F(WindowPool, PooledWindowComesBackWithFreshDefaultsAndNewNumbers)
{
    CKVQWindow* window = Make("old");
    window->SetClassName("cls");
    window->SetBit(STATUS_IsActive);
    window->Layout.Left = 5;
    window->curState = 3;
    window->addData = 7;
    window->AddRender(new NamedObject("r"));
    window->SetExtraData("k", CKVQMessage("v"));
    Make("child", window);
    const int32_t oldId = window->GetID();
    const uint32_t oldHandle = window->GetWindowHandle();

    window->Delete();
    WindowModule::Get().ReleaseDeleted();
    CKVQWindow* fresh = CKVQWindow::New();
    ASSERT_EQ(fresh, window);  // taken from the pool

    EXPECT_STREQ(fresh->GetName(), "");
    EXPECT_STREQ(fresh->GetClassName(), "");
    EXPECT_EQ(fresh->Status, 1u << STATUS_IsVisible);
    EXPECT_EQ(fresh->Layout, (LayoutRect{0, 0, 0, 0, 20, 70, 20, 70}));
    EXPECT_EQ(fresh->curState, 0);
    EXPECT_EQ(fresh->oldState, 255);
    EXPECT_EQ(fresh->addData, 0xFFFFFFFFu);
    EXPECT_TRUE(fresh->RenderLst().empty());
    EXPECT_EQ(fresh->GetExtraData("k"), nullptr);
    EXPECT_EQ(fresh->GetFirstChild(), nullptr);
    EXPECT_FALSE(fresh->IsDeleted());
    EXPECT_GT(fresh->GetID(), oldId);
    EXPECT_NE(fresh->GetWindowHandle(), oldHandle);
    fresh->Delete();
}

TEST_F(WindowLifecycle, DeleteClearsFocusCaptureActiveFrameAndHover)
{
    CKVQWindow* window = Make("w");
    CKVQWindow* other = Make("o");
    WindowModule& module = WindowModule::Get();
    const uint32_t handle = window->GetWindowHandle();
    module.focus = module.capture = module.activeFrame = handle;
    module.hover = {other->GetWindowHandle(), handle, other->GetWindowHandle()};
    module.hoverCount = 3;

    window->Delete();
    EXPECT_EQ(module.focus, 0u);
    EXPECT_EQ(module.capture, 0u);
    EXPECT_EQ(module.activeFrame, 0u);
    ASSERT_EQ(module.hoverCount, 2);
    EXPECT_EQ(module.hover[0], other->GetWindowHandle());
    EXPECT_EQ(module.hover[1], other->GetWindowHandle());
    EXPECT_EQ(module.hover[2], 0u);
}

TEST_F(WindowLifecycle, DeleteTakesTheSubtreeAndLeavesTheParentList)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* a = Make("a", root);
    CKVQWindow* b = Make("b", root);
    CKVQWindow* b1 = Make("b1", b);
    Make("c", root);

    b->Delete();
    EXPECT_TRUE(b1->IsDeleted());
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(ChildNames(root), "ac");
    b->Delete();  // a second Delete queues nothing more
    EXPECT_EQ(WindowModule::Get().deletedThisFrame.size(), 2u);

    root->DeleteChild(a);
    EXPECT_EQ(ChildNames(root), "c");
    EXPECT_TRUE(a->IsDeleted());
}

TEST_F(WindowLifecycle, ReleasedWindowIgnoresEveryOperation)
{
    CKVQWindow* parent = Make("p");
    CKVQWindow* orphan = Make("x");
    CKVQWindow* stale = Make("stale");
    stale->Delete();
    WindowModule::Get().ReleaseDeleted();

    stale->Show();
    stale->SetFocus();
    stale->SetCapture();
    stale->AddChild(orphan);
    parent->AddChild(stale);
    stale->BookMsg("OnA", "OnB", parent);
    stale->Delete();
    EXPECT_EQ(parent->GetFirstChild(), nullptr);
    EXPECT_EQ(orphan->GetParent(), nullptr);
    EXPECT_EQ(WindowModule::Get().focus, 0u);
    EXPECT_EQ(WindowModule::Get().capture, 0u);
    EXPECT_TRUE(WindowModule::Get().deletedThisFrame.empty());
}

TEST_F(WindowTree, PathsResolveSegmentBySegment)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* a = Make("a", root);
    CKVQWindow* b = Make("b", a);
    const std::string longName(255, 'n');
    CKVQWindow* named = Make(longName.c_str(), b);

    EXPECT_EQ(root->GetKVQWindow("a:b"), b);
    EXPECT_EQ(root->GetKVQWindow(("a:b:" + longName).c_str()), named);
    EXPECT_EQ(root->GetKVQWindow("a:x"), nullptr);
    EXPECT_EQ(root->GetKVQWindow("a:b:"), nullptr);
    EXPECT_EQ(root->GetKVQWindow(("a:b:" + longName + "n").c_str()), nullptr);  // 256 characters
    EXPECT_EQ(root->GetKVQWindow(nullptr), nullptr);
    EXPECT_EQ(named->GetDepth(), 3);
    EXPECT_EQ(named->GetRoot(), root);
}

TEST_F(WindowTree, AddChildRefusesCyclesAndWindowsThatHaveAParent)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* a = Make("a", root);
    CKVQWindow* other = Make("other");

    a->AddChild(root);  // root is a's ancestor
    a->AddChild(a);
    other->AddChild(a);  // a already has a parent
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_EQ(a->GetParent(), root);
    EXPECT_EQ(a->GetFirstChild(), nullptr);
    EXPECT_EQ(other->GetFirstChild(), nullptr);
}

TEST_F(WindowTree, ChildrenThatWouldNestTooDeepAreRefused)
{
    // A chain down to the deepest level a window may sit at.
    CKVQWindow* root = Make("root");
    CKVQWindow* deepest = root;
    for (int32_t depth = 1; depth < CKVQWindow::kMaxNestingDepth; ++depth)
        deepest = Make("level", deepest);
    ASSERT_EQ(deepest->GetDepth(), CKVQWindow::kMaxNestingDepth - 1);

    CKVQWindow* one = Make("one");
    deepest->AppendChild(one);
    deepest->AddChild(one);
    EXPECT_EQ(one->GetParent(), nullptr);
    EXPECT_EQ(deepest->GetFirstChild(), nullptr);

    // A window with two levels below it fits only where those levels still do.
    CKVQWindow* top = Make("top");
    Make("leaf", Make("middle", top));
    CKVQWindow* tooLow = deepest->GetParent()->GetParent();
    tooLow->AppendChild(top);
    EXPECT_EQ(top->GetParent(), nullptr);
    CKVQWindow* lowEnough = tooLow->GetParent();
    lowEnough->AppendChild(top);
    EXPECT_EQ(top->GetParent(), lowEnough);
    EXPECT_EQ(top->GetFirstChild()->GetFirstChild()->GetDepth(), CKVQWindow::kMaxNestingDepth - 1);

    // Every level resolves its rectangle from its parent's; at this depth that still returns.
    EXPECT_EQ(deepest->GetRect().Width(), 50);
}

TEST_F(WindowLayers, LayerOperationsReorderTheChildList)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* a = Make("a", root);
    CKVQWindow* b = Make("b", root);
    CKVQWindow* c = Make("c", root);

    root->LayerUp(a);
    EXPECT_EQ(ChildNames(root), "bac");
    root->LayerDown(c);
    EXPECT_EQ(ChildNames(root), "bca");
    root->LayerTop(b);
    EXPECT_EQ(ChildNames(root), "cab");
    root->MoveToFront(b);
    EXPECT_EQ(ChildNames(root), "bca");
    a->TopMost();
    EXPECT_EQ(ChildNames(root), "bca");
    c->TopMost();
    EXPECT_EQ(ChildNames(root), "bac");
    EXPECT_EQ(root->GetLastChild(), c);
    EXPECT_EQ(c->GetPrevSibling(), a);
    EXPECT_EQ(c->GetChildIndex(), 2);
    EXPECT_EQ(root->GetChildByIndex(1), a);
    EXPECT_EQ(root->GetChildByIndex(3), nullptr);
    root->LayerDown(b);  // already first
    root->LayerUp(c);    // already last
    EXPECT_EQ(ChildNames(root), "bac");
    EXPECT_GT(device.Count("InvalidateRect"), 0);
}

TEST_F(WindowRenders, GetRenderFindsByNameOrClassInOwnListOrNamedState)
{
    CKVQWindow* window = Make("w");
    IRender* own = new NamedObject("button");
    window->AddRender(own);
    window->States().push_back(WindowState{"Pressed", {new NamedObject("glow")}});
    IRender* inState = window->States()[0].renders[0];

    EXPECT_EQ(window->GetRender("button"), own);
    EXPECT_EQ(window->GetRender("TestNamed"), own);
    EXPECT_EQ(window->GetRender("glow"), nullptr);  // only in a state
    EXPECT_EQ(window->GetRender("Pressed:glow"), inState);
    EXPECT_EQ(window->GetRender("Pressed:TestNamed"), inState);
    EXPECT_EQ(window->GetRender("Normal:glow"), nullptr);
    EXPECT_EQ(window->GetRender(nullptr), nullptr);

    const std::string longName(127, 'x');
    own->Name = longName.c_str();
    EXPECT_EQ(window->GetRender(longName.c_str()), own);
    own->Name = (longName + "x").c_str();
    EXPECT_EQ(window->GetRender((longName + "x").c_str()), nullptr);  // 128 characters
}

TEST_F(WindowRenders, RenderObjectBelongsToOneListOnly)
{
    CKVQWindow* first = Make("first");
    CKVQWindow* second = Make("second");
    IRender* object = new NamedObject("o");
    first->AddRender(object);
    first->AddRender(object);
    second->AddRender(object);
    EXPECT_EQ(first->RenderLst().size(), 1u);
    EXPECT_TRUE(second->RenderLst().empty());
    EXPECT_EQ(object->GetOwner(), first);

    second->DelRender(object);  // not second's: nothing happens
    EXPECT_EQ(first->RenderLst().size(), 1u);
}

TEST_F(WindowRenders, DelRenderInvalidatesTheObjectsRectangle)
{
    CKVQWindow* window = Make("w");  // 20..70 both ways
    IRender* object = new NamedObject("o");
    object->Layout = LayoutRect{0, 0, 0, 0, 5, 10, 5, 10};
    IRender* other = new NamedObject("p");
    window->AddRender(object);
    window->AddRender(other);
    window->RenderLayerUp(object);
    EXPECT_EQ(window->RenderLst()[1], object);
    window->RenderLayerDown(object);
    EXPECT_EQ(window->RenderLst()[0], object);

    device.Reset();
    window->DelRender(object);
    ASSERT_EQ(window->RenderLst().size(), 1u);
    ASSERT_FALSE(device.invalidated.empty());
    EXPECT_EQ(device.invalidated.back(), (KVQRect{25, 30, 25, 30}));
}

TEST_F(WindowStatus, StatusBitsOutsideTheWordAreIgnoredAndHiddenChildrenAreInvisible)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* leaf = Make("leaf", Make("mid", root));
    const uint32_t before = root->Status;
    root->SetBit(32);
    root->SetBit(-1);
    root->DelBit(40);
    EXPECT_EQ(root->Status, before);
    EXPECT_FALSE(root->IsBitSet(32));

    EXPECT_TRUE(leaf->IsVisible());
    root->HideChildren(1);
    EXPECT_TRUE(root->IsVisible());
    EXPECT_FALSE(leaf->IsVisible());
}

TEST_F(WindowSiblings, CloseSiblingsListsNearestFirst)
{
    CKVQWindow* root = Make("root");
    root->Layout = LayoutRect{0, 0, 0, 0, 0, 1000, 0, 1000};
    auto place = [&](const char* name, int32_t x, const char* cls) {
        CKVQWindow* w = Make(name, root);
        w->Layout = LayoutRect{0, 0, 0, 0, x, x + 10, 0, 10};
        w->SetClassName(cls);
        return w;
    };
    CKVQWindow* self = place("self", 0, "item");
    place("far", 80, "item");
    CKVQWindow* near = place("near", 20, "item");
    place("other", 10, "label");
    place("out", 500, "item");

    WndArray found;
    self->GetCloseSiblings("item", 100.0f, found);
    ASSERT_EQ(found.Size(), 2);
    EXPECT_EQ(found.Get(0).value(), near);
    EXPECT_FLOAT_EQ(self->Distance(near), 20.0f);

    WndArray any;
    self->GetCloseSiblings("", 100.0f, any);
    ASSERT_EQ(any.Size(), 3);
    EXPECT_STREQ(any.Get(0).value()->GetName(), "other");
}

}  // namespace

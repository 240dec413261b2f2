// Render objects and the lists that own them: an object removed or its window deleted while one
// of its handlers runs stays alive until the dispatch is over, and an object is held by one list
// at a time (a second one would free it again).

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "render/Rectangle.h"
#include "render/Render.h"
#include "render/RenderRegistry.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

// A rectangle that counts the live instances and runs a test's action from its handler.
class CountedRectangle : public CRenderObject_Rectangle {
public:
    CountedRectangle() { ++alive; }
    ~CountedRectangle() override { --alive; }

    static int alive;
};
int CountedRectangle::alive = 0;

// What the "Act" handler does, and what the "Count" handler has seen.
std::function<void(IRender* self, CKVQWindow* owner)> g_action;
int g_childHits = 0;
int g_aliveInHandler = -1;

void Act(IRender* self, const char*, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    if (g_action)
        g_action(self, owner);
    g_aliveInHandler = CountedRectangle::alive;
}

void Count(IRender*, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    ++g_childHits;
}

class RenderLifetime : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        previousDevice_ = SetCurrentDevice(&device_);
        CountedRectangle::alive = 0;
        g_childHits = 0;
        g_aliveInHandler = -1;
        g_action = nullptr;
    }
    void TearDown() override
    {
        g_action = nullptr;
        for (CKVQWindow* window : made_) {
            if (!window->IsDeleted() && window->GetParent() == nullptr)
                window->Delete();
        }
        WindowModule::Get().ReleaseDeleted();
        EXPECT_EQ(CountedRectangle::alive, 0);
        SetCurrentDevice(previousDevice_);
    }
    CKVQWindow* Make()
    {
        made_.push_back(CKVQWindow::New());
        return made_.back();
    }
    // An object whose "X" handler runs the action, with one child that counts the "X" it gets.
    static CountedRectangle* ActingObject()
    {
        auto* object = new CountedRectangle;
        auto* child = new CountedRectangle;
        child->RegisterHandler("X", Count);
        EXPECT_TRUE(object->AddChildObject(child));
        object->RegisterHandler("X", Act);
        return object;
    }

private:
    RecordingDC device_;
    CKVQDC* previousDevice_ = nullptr;
    std::vector<CKVQWindow*> made_;
};

TEST_F(RenderLifetime, DirectOfferKeepsAnObjectItsHandlerRemovedUntilTheOfferEnds)
{
    CKVQWindow* window = Make();
    CountedRectangle* object = ActingObject();
    window->AddRender(object);
    g_action = [](IRender* self, CKVQWindow* owner) { owner->DelRender(self); };

    CKVQMessage message;
    EXPECT_EQ(object->ProcMessage(window, "X", &message, window), 1);
    EXPECT_EQ(g_aliveInHandler, 2);  // removed, not yet freed
    EXPECT_EQ(g_childHits, 1);       // the walk over the children went on
    EXPECT_TRUE(window->RenderLst().empty());
    EXPECT_EQ(CountedRectangle::alive, 0);  // freed once the offer returned
}

TEST_F(RenderLifetime, DirectOfferSurvivesAHandlerThatDeletesAndReleasesTheOwner)
{
    CKVQWindow* window = Make();
    CountedRectangle* object = ActingObject();
    window->AddRender(object);
    g_action = [](IRender*, CKVQWindow* owner) {
        owner->Delete();
        WindowModule::Get().ReleaseDeleted();  // the window is reset: its objects leave the list
    };

    CKVQMessage message;
    EXPECT_EQ(object->ProcMessage(window, "X", &message, window), 1);
    EXPECT_EQ(g_aliveInHandler, 2);
    EXPECT_EQ(g_childHits, 0);  // the owner is gone: nothing more is offered
    EXPECT_EQ(CountedRectangle::alive, 0);
}

TEST_F(RenderLifetime, ChildHandlerDeletingTheOwnerStopsADirectOffer)
{
    CKVQWindow* window = Make();
    auto* parent = new CountedRectangle;
    auto* first = new CountedRectangle;
    auto* second = new CountedRectangle;
    first->RegisterHandler("X", Act);
    second->RegisterHandler("X", Count);
    ASSERT_TRUE(parent->AddChildObject(first));
    ASSERT_TRUE(parent->AddChildObject(second));
    window->AddRender(parent);
    g_action = [](IRender*, CKVQWindow* owner) {
        owner->Delete();
        WindowModule::Get().ReleaseDeleted();
    };

    CKVQMessage message;
    EXPECT_EQ(parent->ProcMessage(window, "X", &message, window), 0);  // the parent has no handler
    EXPECT_EQ(g_aliveInHandler, 3);  // the whole compound outlives the running child handler
    EXPECT_EQ(g_childHits, 0);
    EXPECT_EQ(CountedRectangle::alive, 0);
}

TEST_F(RenderLifetime, HeldObjectIsRefusedByEveryOtherList)
{
    // An object of a state has no owner, yet its state holds it.
    CKVQWindow* a = Make();
    CKVQWindow* b = Make();
    ASSERT_TRUE(a->ExecuteCommand("States", "AddState"));
    ASSERT_TRUE(a->ExecuteCommand("RenderLst", "Rectangle", nullptr, 0));
    IRender* stateObject = a->GetRender("State0:Rectangle");
    ASSERT_NE(stateObject, nullptr);
    b->AddRender(stateObject);
    EXPECT_TRUE(b->RenderLst().empty());

    // A message offered with another window as owner does not make the object free to take.
    auto* own = new CountedRectangle;
    a->AddRender(own);
    CKVQMessage message;
    own->ProcMessage(b, "X", &message, b);
    b->AddRender(own);
    EXPECT_TRUE(b->RenderLst().empty());

    // Child objects are in no window's list; objects in a list cannot become children.
    auto* compound = new CountedRectangle;
    auto* part = new CountedRectangle;
    ASSERT_TRUE(compound->AddChildObject(part));
    EXPECT_FALSE(compound->AddChildObject(part));
    b->AddRender(part);
    EXPECT_TRUE(b->RenderLst().empty());
    EXPECT_FALSE(compound->AddChildObject(own));
    EXPECT_FALSE(part->AddChildObject(compound));  // would own itself
    b->AddRender(compound);
    EXPECT_EQ(b->RenderLst().size(), 1u);

    // Objects read from a record are held by their lists as well.
    CKVQWindow* copy = a->Clone();
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->RenderLst().size(), 1u);
    ASSERT_EQ(copy->States().size(), 1u);
    ASSERT_EQ(copy->States()[0].renders.size(), 1u);
    b->AddRender(copy->RenderLst()[0]);
    b->AddRender(copy->States()[0].renders[0]);
    EXPECT_EQ(b->RenderLst().size(), 1u);
    copy->Delete();

    // Released together, each object is freed by its own list only (a double free fails here).
    a->Delete();
    b->Delete();
    WindowModule::Get().ReleaseDeleted();
    EXPECT_EQ(CountedRectangle::alive, 0);
}

TEST_F(RenderLifetime, RemovedObjectCannotBeTakenInBeforeItIsFreed)
{
    CKVQWindow* window = Make();
    CKVQWindow* other = Make();
    CountedRectangle* object = ActingObject();
    window->AddRender(object);
    g_action = [other](IRender* self, CKVQWindow* owner) {
        owner->DelRender(self);
        other->AddRender(self);  // the object is about to be freed: refused
    };
    CKVQMessage message;
    window->SendEvent("X", &message);
    EXPECT_TRUE(window->RenderLst().empty());
    EXPECT_TRUE(other->RenderLst().empty());
    EXPECT_EQ(CountedRectangle::alive, 0);
}

// Editor commands that remove the object whose handler runs them: the handler's object and its
// children stay alive until the dispatch is over, then everything removed is freed.
TEST_F(RenderLifetime, EditorCommandsRunFromTheAffectedObjectsHandler)
{
    struct Case {
        const char* name;
        bool inState;
        std::function<void(IRender* self, CKVQWindow* owner)> action;
    };
    const std::vector<Case> cases = {
        {"DeleteRender", false,
         [](IRender* self, CKVQWindow* owner) {
             EXPECT_TRUE(owner->ExecuteCommand("Rectangle", "DeleteRender", self));
         }},
        {"ReplaceByPaste", false,
         [](IRender* self, CKVQWindow* owner) {
             EXPECT_TRUE(owner->ExecuteCommand("Rectangle", "ReplaceByPaste", self));
         }},
        {"window Paste", false,
         [](IRender*, CKVQWindow* owner) { EXPECT_TRUE(owner->ExecuteCommand("CKVQWindow", "Paste")); }},
        {"DeleteState", true,
         [](IRender*, CKVQWindow* owner) { EXPECT_TRUE(owner->ExecuteCommand("State0", "DeleteState", nullptr, 0)); }},
        {"state Delete", true,
         [](IRender* self, CKVQWindow* owner) { EXPECT_TRUE(owner->ExecuteCommand("Rectangle", "Delete", self, 0)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_childHits = 0;
        g_aliveInHandler = -1;
        CKVQWindow* window = Make();
        // The clipboards hold a plain rectangle and a window with no render objects.
        auto* plain = new CRenderObject_Rectangle;
        window->AddRender(plain);
        ASSERT_TRUE(window->ExecuteCommand("Rectangle", "Copy", plain));
        window->DelRender(plain);
        ASSERT_TRUE(window->ExecuteCommand("CKVQWindow", "Copy"));

        CountedRectangle* object = ActingObject();
        if (c.inState) {
            ASSERT_TRUE(window->ExecuteCommand("States", "AddState"));
            ASSERT_TRUE(window->ExecuteCommand("RenderLst", "Rectangle", nullptr, 0));
            IRender* placeholder = window->States()[0].renders[0];
            window->States()[0].renders[0] = object;  // swap in the acting object
            object->SetAttached(true);
            placeholder->SetAttached(false);
            DestroyRender(placeholder);
        } else {
            window->AddRender(object);
        }
        g_action = c.action;
        CKVQMessage message;
        window->SendEvent("X", &message);
        g_action = nullptr;

        EXPECT_EQ(g_aliveInHandler, 2);
        EXPECT_EQ(g_childHits, 1);
        EXPECT_EQ(CountedRectangle::alive, 0);
        EXPECT_EQ(window->GetRender("Rectangle") == object, false);
        window->Delete();
        WindowModule::Get().ReleaseDeleted();
    }
}

}  // namespace

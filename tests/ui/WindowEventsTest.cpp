// Window events and dispatch: what each operation sends, in which order, with which parameters,
// and how dispatch behaves when handlers delete windows or objects.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "io/EditHook.h"
#include "render/Render.h"
#include "support/WindowTestSupport.h"
#include "ui/Window.h"

namespace {

// Every event received: "window:Event<-sender", plus the message bytes.
std::vector<std::string> received;
std::vector<std::vector<uint8_t>> receivedBytes;

// A render object that records the events it handles and may act on them.
class Recorder : public TestRenderObject<Recorder> {
public:
    static constexpr const char* kClassName = "TestRecorder";

    explicit Recorder(std::vector<const char*> events, const char* objectName = "")
    {
        Name = objectName;
        for (const char* event : events)
            RegisterHandler(event, &Recorder::Handle);
    }

    std::function<void(CKVQWindow* owner, CKVQMessage* message)> action;

private:
    static void Handle(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
    {
        std::string line = std::string(owner->GetName()) + ":" + name;
        if (!self->Name.IsEmpty())
            line += "/" + std::string(self->Name.c_str());
        line += "<-" + std::string(sender ? sender->GetName() : "null");
        received.push_back(line);
        receivedBytes.emplace_back(message->GetBuffer(), message->GetBuffer() + message->GetSize());
        auto* recorder = static_cast<Recorder*>(self);
        if (recorder->action)
            recorder->action(owner, message);
    }
};

using Lines = std::vector<std::string>;

class WindowEventFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        received.clear();
        receivedBytes.clear();
    }
    void TearDown() override
    {
        for (CKVQWindow* window : made_) {
            if (!window->IsDeleted() && window->GetParent() == nullptr)
                window->Delete();
        }
        WindowModule& module = WindowModule::Get();
        module.ReleaseDeleted();
        module.focus = module.capture = module.activeFrame = module.drag = 0;
        module.notify = nullptr;
        module.setIMEState = nullptr;
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
    static Recorder* Listen(CKVQWindow* window, std::vector<const char*> events, const char* objectName = "")
    {
        auto* recorder = new Recorder(std::move(events), objectName);
        window->AddRender(recorder);
        return recorder;
    }

private:
    std::vector<CKVQWindow*> made_;
};

// Suites by behaviour, one fixture.
class WindowBookings : public WindowEventFixture {};
class WindowDispatch : public WindowEventFixture {};
class WindowEvents : public WindowEventFixture {};
class WindowFocus : public WindowEventFixture {};
class WindowVisibility : public WindowEventFixture {};

TEST_F(WindowEvents, AddChildAnnouncesTheChildThenLoadsItsSubtreeOnce)
{
    CKVQWindow* parent = Make("p");
    CKVQWindow* child = Make("c");
    CKVQWindow* grandchild = Make("g", child);
    Listen(parent, {"OnAddChild"});
    Listen(child, {"OnLoad"});
    Listen(grandchild, {"OnLoad"});
    CKVQWindow* announced = nullptr;
    static_cast<Recorder*>(parent->RenderLst()[0])->action = [&](CKVQWindow*, CKVQMessage* message) {
        announced = static_cast<CKVQWindow*>(message->Ptr("CKVQWindow", nullptr));
    };

    parent->AddChild(child);
    EXPECT_EQ(received, (Lines{"p:OnAddChild<-p", "c:OnLoad<-c", "g:OnLoad<-g"}));
    EXPECT_EQ(announced, child);

    received.clear();
    child->OnLoad();  // the load cascade runs "OnLoad" once per window
    EXPECT_TRUE(received.empty());
}

TEST_F(WindowEvents, AnnouncedChildPointerStopsResolvingAfterRelease)
{
    CKVQWindow* parent = Make("p");
    CKVQWindow* child = Make("c");
    Listen(parent, {"OnAddChild"});
    parent->AddChild(child);
    ASSERT_EQ(receivedBytes.size(), 1u);

    parent->DeleteChild(child);
    WindowModule::Get().ReleaseDeleted();
    CKVQMessage old;
    old.Bytes(receivedBytes[0].data(), static_cast<int32_t>(receivedBytes[0].size()));
    old.setMode(CIArchive::SM_READ);
    EXPECT_EQ(old.Ptr("CKVQWindow", nullptr), nullptr);
}

TEST_F(WindowEvents, DeleteAnnouncesParentFirstThenChildrenInOrder)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* a = Make("a", root);
    CKVQWindow* b = Make("b", root);
    Listen(root, {"OnDelete", "OnDeleteChild"});
    Listen(a, {"OnDelete"});
    Listen(b, {"OnDelete"});
    std::vector<std::string> notes;
    WindowModule::Get().notify = [&](const char* event, const char* argument) {
        notes.push_back(std::string(event) + " " + argument);
    };
    const uint32_t handle = root->GetWindowHandle();

    root->Delete();
    EXPECT_EQ(received, (Lines{"root:OnDelete<-root", "a:OnDelete<-a", "b:OnDelete<-b"}));
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0], "OnWindowDelete " + std::to_string(handle));
}

TEST_F(WindowEvents, DeletingAgainInsideOnDeleteQueuesTheWindowOnce)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* child = Make("child", root);
    Listen(child, {"OnDelete"})->action = [root](CKVQWindow* owner, CKVQMessage*) {
        owner->Delete();
        root->DeleteChild(owner);
    };
    root->DeleteChild(child);
    EXPECT_EQ(received.size(), 1u);
    EXPECT_EQ(WindowModule::Get().deletedThisFrame.size(), 1u);
    EXPECT_EQ(root->GetFirstChild(), nullptr);
}

TEST_F(WindowDispatch, OffersStateObjectsThenOwnObjectsThenBookings)
{
    CKVQWindow* window = Make("w");
    CKVQWindow* watcher = Make("watcher");
    window->States().push_back(WindowState{"S0", {new Recorder({"OnPing"}, "state")}});
    Listen(window, {"OnPing"}, "own");
    Listen(window, {"OnPing"}, "hidden")->IsVisible = 0;
    Listen(watcher, {"OnWatched"});
    watcher->BookMsg("OnPing", "OnWatched", window);
    watcher->BookMsg("OnPing", "OnWatched", window);  // the same booking once

    window->ProcMessage("OnPing", nullptr, watcher);
    EXPECT_EQ(received, (Lines{"w:OnPing/state<-watcher", "w:OnPing/own<-watcher", "watcher:OnWatched<-watcher"}));

    received.clear();
    window->ProcMessage("OnPing", nullptr, window, true);  // forced: hidden objects too
    EXPECT_EQ(received.size(), 4u);

    received.clear();
    window->curState = 1;  // no such state: its objects get nothing
    window->ProcMessage("OnPing", nullptr, window);
    EXPECT_EQ(received, (Lines{"w:OnPing/own<-w", "watcher:OnWatched<-w"}));
}

TEST_F(WindowDispatch, EveryReceiverReadsTheParametersFromTheStart)
{
    CKVQWindow* window = Make("w");
    CKVQWindow* watcher = Make("watcher");
    std::vector<int32_t> values;
    auto readValue = [&](CKVQWindow*, CKVQMessage* message) {
        int32_t value = 0;
        message->Int32(value);
        values.push_back(value);
    };
    Listen(window, {"OnValue"})->action = readValue;
    Listen(window, {"OnValue"})->action = readValue;
    Listen(watcher, {"OnValue"})->action = readValue;
    watcher->BookMsg("OnValue", "OnValue", window);

    CKVQMessage message;
    int32_t value = 99;
    message.Int32(value);
    window->SendEvent("OnValue", &message);
    EXPECT_EQ(values, (std::vector<int32_t>{99, 99, 99}));
}

TEST_F(WindowDispatch, StopsWhenAHandlerDeletesItsWindow)
{
    CKVQWindow* window = Make("w");
    CKVQWindow* watcher = Make("watcher");
    Listen(window, {"OnPing"}, "first")->action = [](CKVQWindow* owner, CKVQMessage*) { owner->Delete(); };
    Listen(window, {"OnPing"}, "second");
    Listen(watcher, {"OnWatched"});
    watcher->BookMsg("OnPing", "OnWatched", window);

    window->ProcMessage("OnPing", nullptr, window);
    EXPECT_EQ(received, (Lines{"w:OnPing/first<-w"}));  // neither "second" nor the booking
}

TEST_F(WindowBookings, BookingsSkipTargetsThatNoLongerExist)
{
    CKVQWindow* source = Make("src");
    CKVQWindow* gone = Make("gone");
    CKVQWindow* kept = Make("kept");
    Listen(gone, {"OnSeen"});
    Listen(kept, {"OnSeen"});
    gone->BookMsg("OnPing", "OnSeen", source);
    kept->BookMsg("OnPing", "OnSeen", source);
    gone->Delete();
    received.clear();

    source->ProcMessage("OnPing", nullptr, source);
    EXPECT_EQ(received, (Lines{"kept:OnSeen<-src"}));
}

TEST_F(WindowBookings, CircularBookingsEndInsteadOfRecursingForever)
{
    CKVQWindow* a = Make("a");
    CKVQWindow* b = Make("b");
    Listen(a, {"OnPing"});
    a->BookMsg("OnPing", "OnPing", b);
    b->BookMsg("OnPing", "OnPing", a);

    a->ProcMessage("OnPing", nullptr, a);
    EXPECT_GT(received.size(), 1u);
    EXPECT_LT(received.size(), 1000u);
}

TEST_F(WindowDispatch, HandlerMayRemoveItsOwnObject)
{
    CKVQWindow* window = Make("w");
    Recorder* self = Listen(window, {"OnPing"});
    self->action = [self](CKVQWindow* owner, CKVQMessage*) { owner->DelRender(self); };
    Listen(window, {"OnPing"}, "after");

    window->ProcMessage("OnPing", nullptr, window);  // the object outlives its own handler
    EXPECT_EQ(window->RenderLst().size(), 1u);
    received.clear();
    window->ProcMessage("OnPing", nullptr, window);
    EXPECT_EQ(received, (Lines{"w:OnPing/after<-w"}));
}

TEST_F(WindowEvents, SetStateNotifiesExitThenEnterWithTheirParameters)
{
    CKVQWindow* window = Make("w");
    Listen(window, {"OnStateExit", "OnStateEnter"});

    window->SetState(2, 1);
    EXPECT_EQ(received, (Lines{"w:OnStateExit<-w", "w:OnStateEnter<-w"}));
    EXPECT_EQ(receivedBytes[0], (std::vector<uint8_t>{0, 2, 0, 0, 0}));  // uint8 old, int32 new
    EXPECT_EQ(receivedBytes[1], (std::vector<uint8_t>{2, 0, 0, 0, 2}));  // int32 new, uint8 new
    EXPECT_EQ(window->GetState(), 2);
    EXPECT_EQ(window->GetOldState(), 2);

    received.clear();
    window->SetState(2, 1);  // unchanged: nothing
    window->SetState(5, 0);  // silent
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(window->GetState(), 5);
    EXPECT_EQ(window->GetOldState(), 2);

    window->SetState(300, 0);  // no state a byte cannot hold
    EXPECT_EQ(window->GetState(), -1);
}

TEST_F(WindowVisibility, ShowAndHideCascadeOnlyThroughVisibleWindows)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* shown = Make("shown", root);
    CKVQWindow* hidden = Make("hidden", root);
    hidden->DelBit(STATUS_IsVisible);
    for (CKVQWindow* w : {root, shown, hidden})
        Listen(w, {"OnShow", "OnHide"});

    root->Hide();
    EXPECT_EQ(received, (Lines{"root:OnHide<-root", "shown:OnHide<-shown"}));
    received.clear();
    shown->Hide();
    shown->Show();  // under a hidden parent: the bit only
    EXPECT_TRUE(shown->IsBitSet(STATUS_IsVisible));
    EXPECT_EQ(received, (Lines{"shown:OnHide<-shown"}));

    received.clear();
    root->Show();
    EXPECT_EQ(received, (Lines{"root:OnShow<-root", "shown:OnShow<-shown"}));
    received.clear();
    root->Show();  // already shown
    EXPECT_TRUE(received.empty());
}

TEST_F(WindowFocus, SetFocusTakesFocusFromThePreviousWindow)
{
    CKVQWindow* a = Make("a");
    CKVQWindow* b = Make("b");
    Listen(a, {"OnFocus", "OnLostFocus"});
    Listen(b, {"OnFocus", "OnLostFocus"});

    a->SetFocus();
    a->SetFocus();  // already focused
    b->SetFocus(a);
    EXPECT_EQ(received, (Lines{"a:OnFocus<-a", "a:OnLostFocus<-a", "b:OnFocus<-a"}));
    EXPECT_TRUE(b->IsFocus());
    EXPECT_FALSE(a->IsFocus());
}

TEST_F(WindowFocus, SetCaptureRaisesTheFrameAndMovesCaptureAndFocus)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* frame1 = Make("f1", root);
    CKVQWindow* frame2 = Make("f2", root);
    frame1->SetBit(STATUS_IsFrameWindow);
    frame2->SetBit(STATUS_IsFrameWindow);
    CKVQWindow* edit = Make("edit", frame1);
    CKVQWindow* other = Make("other", frame2);
    edit->SetBit(STATUS_IsCanFocus);
    edit->SetBit(STATUS_IsOpenIME);
    other->SetBit(STATUS_IsCanFocus);
    std::vector<const char*> events{"OnCapture", "OnLostCapture", "OnFocus", "OnLostFocus"};
    Listen(edit, events);
    Listen(other, events);
    std::vector<bool> ime;
    WindowModule::Get().setIMEState = [&](bool open) { ime.push_back(open); };
    WindowModule& module = WindowModule::Get();

    edit->SetCapture();
    EXPECT_EQ(received, (Lines{"edit:OnCapture<-edit", "edit:OnFocus<-edit"}));
    EXPECT_EQ(root->GetLastChild(), frame1);
    EXPECT_EQ(module.activeFrame, frame1->GetWindowHandle());
    EXPECT_TRUE(edit->IsCapture());
    EXPECT_EQ(ime, (std::vector<bool>{true}));

    received.clear();
    other->SetCapture();
    EXPECT_EQ(received, (Lines{"edit:OnLostCapture<-other", "other:OnCapture<-other", "edit:OnLostFocus<-other",
                               "other:OnFocus<-other"}));
    EXPECT_EQ(root->GetLastChild(), frame2);
    EXPECT_EQ(module.activeFrame, frame2->GetWindowHandle());
    EXPECT_TRUE(other->IsCapture());
    EXPECT_TRUE(other->IsFocus());
    EXPECT_EQ(ime, (std::vector<bool>{true, false}));

    received.clear();
    other->SetCapture();  // already captured
    EXPECT_TRUE(received.empty());
}

TEST_F(WindowFocus, CaptureByAWindowThatCannotFocusClearsTheFocus)
{
    CKVQWindow* edit = Make("edit");
    CKVQWindow* button = Make("button");
    edit->SetBit(STATUS_IsCanFocus);
    Listen(edit, {"OnCapture", "OnLostCapture", "OnFocus", "OnLostFocus"});
    Listen(button, {"OnCapture", "OnFocus"});
    edit->SetCapture();
    received.clear();

    button->SetCapture();
    EXPECT_EQ(received, (Lines{"edit:OnLostCapture<-button", "button:OnCapture<-button", "edit:OnLostFocus<-button"}));
    EXPECT_EQ(WindowModule::Get().focus, 0u);
    EXPECT_TRUE(button->IsCapture());
}

TEST_F(WindowEvents, UpdateReachesActiveWindowsBelowInactiveOnes)
{
    CKVQWindow* root = Make("root");
    CKVQWindow* idle = Make("idle", root);
    CKVQWindow* busy = Make("busy", idle);
    busy->SetBit(STATUS_IsActive);
    Listen(root, {"OnUpdate"});
    Listen(idle, {"OnUpdate"});
    Listen(busy, {"OnUpdate"});

    root->Update(33);
    EXPECT_EQ(received, (Lines{"busy:OnUpdate<-busy"}));
    EXPECT_EQ(receivedBytes[0], (std::vector<uint8_t>{33, 0, 0, 0}));
}

}  // namespace

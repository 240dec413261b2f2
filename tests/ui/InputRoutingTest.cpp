// Input routing: the manager driven with synthesized client input (no window, no device), checked
// by the exact messages that windows receive, in order, with their values and senders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/CoreCfg.h"
#include "app/SystemAPI.h"
#include "io/EditHook.h"
#include "platform/Clock.h"
#include "render/Render.h"
#include "support/WindowTestSupport.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

using Lines = std::vector<std::string>;
Lines received;

const std::vector<const char*> kEvents = {
    "OnSysLClickDown", "OnSysLClickUp", "OnSysLDBClick", "OnSysRClickDown", "OnSysRDBClick",
    "OnSysMouseMove",  "OnSysMouseWheel", "OnSysKeyDown", "OnSysKeyUp",   "OnLClickDown",
    "OnLClickUp",      "OnLDBClick",    "OnRClickDown",  "OnRClickUp",    "OnRDClick",
    "OnMouseEnter",    "OnMouseLeave",  "OnMouseMove",   "OnDragging",    "OnDraggingEnd",
    "OnLongClick",     "OnMouseWheel",  "OnKeyDown",     "OnKeyUp",       "OnChar",
    "OnCapture",       "OnLostCapture", "OnFocus",       "OnLostFocus",
};

// Records "window:Event(v1,v2,...)<-sender", the values read as int32 from the message bytes.
class Recorder : public TestRenderObject<Recorder> {
public:
    static constexpr const char* kClassName = "TestRecorder";

    Recorder()
    {
        for (const char* event : kEvents)
            RegisterHandler(event, &Recorder::Handle);
    }

    std::function<void(const char* name, CKVQWindow* owner)> action;

private:
    static void Handle(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
    {
        std::string line = std::string(owner->GetName()) + ":" + name + "(";
        const uint8_t* bytes = message->GetBuffer();
        for (int32_t at = 0; at + 4 <= message->GetSize(); at += 4) {
            int32_t value = 0;
            std::memcpy(&value, bytes + at, 4);
            line += (at ? "," : "") + std::to_string(value);
        }
        line += ")<-" + std::string(sender ? sender->GetName() : "null");
        received.push_back(line);
        auto* recorder = static_cast<Recorder*>(self);
        if (recorder->action)
            recorder->action(name, owner);
    }
};

Lines Matching(const std::string& text)
{
    Lines out;
    for (const std::string& line : received) {
        if (line.find(text) != std::string::npos)
            out.push_back(line);
    }
    return out;
}

class InputFixture : public ::testing::Test {
protected:
    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    CKVQWindow* root = nullptr;

    void SetUp() override
    {
        received.clear();
        platform::SetVirtualClock(true);
        mgr.Reset();
        KVQCoreCfg& cfg = GetCoreCfg();
        cfg.IsAutoScale = false;
        cfg.nLongClickTime = 1000;
        cfg.strCharset = "GB2312";
        root = Make("root", nullptr, KVQRect{0, 1000, 0, 1000});
        mgr.SetRoot(root);
    }
    void TearDown() override
    {
        mgr.Reset();
        WindowModule::Get().ReleaseDeleted();
        CKVQSystemAPI::Instance().SetKeyTranslation(nullptr);
        GetCoreCfg().IsAutoScale = false;
        platform::SetVirtualClock(false);
    }
    // A window with a recorder, at rect (absolute, since the root sits at the origin).
    static CKVQWindow* Make(const char* name, CKVQWindow* parent, const KVQRect& rect, Recorder** recorder = nullptr)
    {
        CKVQWindow* window = CKVQWindow::New();
        window->SetName(name);
        if (parent)
            parent->AppendChild(window);
        KVQRect local = rect;
        if (parent) {
            const KVQRect p = parent->GetRect();
            local = KVQRect{rect.left - p.left, rect.right - p.left, rect.top - p.top, rect.bottom - p.top};
        }
        window->NormalAligned(local);
        auto* listener = new Recorder();
        window->AddRender(listener);
        if (recorder)
            *recorder = listener;
        return window;
    }
};

class ClickRouting : public InputFixture {};
class DragRouting : public InputFixture {};
class FrameRouting : public InputFixture {};
class HoverRouting : public InputFixture {};
class KeyRouting : public InputFixture {};
class CharRouting : public InputFixture {};
class ScreenToUI : public InputFixture {};

// ---- clicks ----

TEST_F(ClickRouting, PressAndReleaseOnOneWindowIsAClick)
{
    Make("a", root, KVQRect{10, 100, 10, 100});
    EXPECT_EQ(mgr.OnSysLClickDown(15, 20), 1);
    EXPECT_EQ(mgr.OnSysLClickUp(15, 20), 1);
    EXPECT_EQ(received, (Lines{"root:OnSysLClickDown(15,20,0)<-null", "a:OnMouseEnter(15,20)<-a",
                               "a:OnCapture()<-a", "a:OnLClickDown(15,20)<-a", "root:OnSysLClickUp(15,20,0)<-null",
                               "a:OnLClickUp(15,20)<-a"}));
    const KVQCoreCfg& cfg = GetCoreCfg();
    EXPECT_FALSE(cfg.IsClickDown);
    EXPECT_EQ(cfg.nClickDownX, 15);
    EXPECT_EQ(cfg.nClickDownY, 20);
    EXPECT_EQ(cfg.nUserSaveX, -1);
    EXPECT_EQ(mgr.GetPressedWindow(), 0u);
}

TEST_F(ClickRouting, ReleaseOverAnotherWindowIsNoClick)
{
    CKVQWindow* a = Make("a", root, KVQRect{10, 100, 10, 100});
    Make("b", root, KVQRect{200, 300, 10, 100});
    mgr.OnSysLClickDown(50, 50);
    EXPECT_EQ(mgr.GetPressedWindow(), a->GetWindowHandle());
    EXPECT_TRUE(GetCoreCfg().IsClickDown);
    mgr.OnSysMouseMove(150, 50);
    mgr.OnSysMouseMove(250, 50);
    EXPECT_EQ(mgr.OnSysLClickUp(250, 50), 0);
    EXPECT_EQ(Matching("OnDragging"), (Lines{"a:OnDragging(150,50)<-a", "a:OnDragging(250,50)<-a"}));
    EXPECT_TRUE(Matching("OnLClickUp").empty());
    // Hover still follows the pointer while no drag window is set.
    EXPECT_EQ(Matching("b:OnMouse"), (Lines{"b:OnMouseEnter(250,50)<-b", "b:OnMouseMove(250,50)<-b"}));
    EXPECT_EQ(Matching("a:OnMouseLeave"), (Lines{"a:OnMouseLeave(150,50)<-a"}));
}

TEST_F(ClickRouting, SystemControlsHearOnlyDoubleClicks)
{
    CKVQWindow* s = Make("s", root, KVQRect{10, 100, 10, 100});
    s->SetBit(STATUS_IsSysControl);
    EXPECT_EQ(mgr.OnSysLClickDown(20, 20), 0);
    EXPECT_EQ(mgr.OnSysLClickUp(20, 20), 0);
    EXPECT_EQ(mgr.OnSysRClickDown(20, 20), 0);
    EXPECT_EQ(mgr.OnSysRButtonUp(20, 20), 0);
    EXPECT_TRUE(Matching("Click").size() == Matching("OnSys").size()) << ::testing::PrintToString(received);
    EXPECT_EQ(mgr.OnSysLDBClick(20, 20), 1);
    EXPECT_EQ(mgr.OnSysRDBClick(20, 20), 1);
    EXPECT_EQ(Matching("s:On"), (Lines{"s:OnMouseEnter(20,20)<-s", "s:OnLDBClick(20,20)<-s", "s:OnRDClick(20,20)<-s"}));
    EXPECT_EQ(WindowModule::Get().capture, 0u);
}

TEST_F(ClickRouting, RightReleaseIsAnnouncedAsPressAndReachesCaptureAndPointer)
{
    CKVQWindow* c = Make("c", root, KVQRect{10, 100, 10, 100});
    Make("h", root, KVQRect{200, 300, 10, 100});
    c->SetCapture();
    received.clear();
    EXPECT_EQ(mgr.OnSysRButtonUp(250, 50), 1);
    EXPECT_EQ(received, (Lines{"root:OnSysRClickDown(250,50,0)<-null", "c:OnRClickUp(250,50)<-h",
                               "h:OnRClickUp(250,50)<-h"}));
    received.clear();
    // Over the capture window itself it hears the release once, and the handler answers 0.
    EXPECT_EQ(mgr.OnSysRButtonUp(50, 50), 0);
    EXPECT_EQ(Matching("OnRClickUp"), (Lines{"c:OnRClickUp(50,50)<-c"}));
}

TEST_F(ClickRouting, DoubleClickReleaseIsNoClick)
{
    Make("a", root, KVQRect{10, 100, 10, 100});
    EXPECT_EQ(mgr.OnSysLDBClick(20, 20), 1);
    EXPECT_EQ(mgr.OnSysLClickUp(20, 20), 0);
    EXPECT_TRUE(Matching("OnLClickUp").empty());
}

TEST_F(ClickRouting, WheelGoesToTheCaptureWindowEvenHidden)
{
    CKVQWindow* c = Make("c", root, KVQRect{10, 100, 10, 100});
    EXPECT_EQ(mgr.OnSysMouseWheel(20, 20, 0x00780008), 0);
    c->SetCapture();
    c->Hide();
    received.clear();
    EXPECT_EQ(mgr.OnSysMouseWheel(20, 20, -7864312), 1);
    EXPECT_EQ(received, (Lines{"root:OnSysMouseWheel(20,20,-7864312)<-null", "c:OnMouseWheel(20,20,-7864312)<-c"}));
}

TEST_F(ClickRouting, WithoutARootNothingIsRouted)
{
    CKVQWindow* orphan = Make("orphan", nullptr, KVQRect{0, 100, 0, 100});
    mgr.SetRoot(nullptr);
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickDown(5, 5), 0);
    EXPECT_EQ(mgr.OnSysMouseMove(6, 6), 0);
    EXPECT_EQ(mgr.OnSysLClickUp(5, 5), 0);
    EXPECT_EQ(mgr.OnSysRClickDown(5, 5), 0);
    EXPECT_EQ(mgr.OnSysRButtonUp(5, 5), 0);
    EXPECT_EQ(mgr.OnSysLDBClick(5, 5), 0);
    EXPECT_EQ(mgr.OnSysMouseWheel(5, 5, 1), 0);
    mgr.Update(33);
    EXPECT_TRUE(received.empty());
    orphan->Delete();
}

TEST_F(ClickRouting, RepeatedMoveToTheSamePointIsDropped)
{
    Make("a", root, KVQRect{10, 100, 10, 100});
    EXPECT_EQ(mgr.OnSysMouseMove(0, 0), 0);  // the initial position
    EXPECT_EQ(mgr.OnSysMouseMove(20, 20), 1);
    const size_t count = received.size();
    EXPECT_EQ(mgr.OnSysMouseMove(20, 20), 0);
    EXPECT_EQ(received.size(), count);
}

// ---- drags and long clicks ----

TEST_F(DragRouting, ShortSmallDragStillClicks)
{
    Recorder* recorder = nullptr;
    Make("a", root, KVQRect{0, 100, 0, 100}, &recorder);
    recorder->action = [](const char* name, CKVQWindow* owner) {
        if (std::strcmp(name, "OnLClickDown") == 0)
            owner->EnableDrag();
    };
    mgr.OnSysLClickDown(10, 10);
    received.clear();
    EXPECT_EQ(mgr.OnSysMouseMove(13, 10), 1);
    // While a drag window is set a move drags only: no hover, no "OnMouseMove".
    EXPECT_EQ(received, (Lines{"root:OnSysMouseMove(13,10,0)<-null", "a:OnDragging(13,10)<-a"}));
    platform::AdvanceVirtualClock(150);
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickUp(13, 10), 1);
    EXPECT_EQ(Matching("a:"), (Lines{"a:OnDraggingEnd(13,10)<-a", "a:OnLClickUp(13,10)<-a"}));
    EXPECT_EQ(WindowModule::Get().drag, 0u);
}

TEST_F(DragRouting, FarOrLongDragIsNoClick)
{
    Recorder* recorder = nullptr;
    Make("a", root, KVQRect{0, 100, 0, 100}, &recorder);
    recorder->action = [](const char* name, CKVQWindow* owner) {
        if (std::strcmp(name, "OnLClickDown") == 0)
            owner->EnableDrag();
    };
    // dist² = 25 is already a drag.
    mgr.OnSysLClickDown(10, 10);
    mgr.OnSysMouseMove(15, 10);
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickUp(15, 10), 1);
    EXPECT_EQ(Matching("a:"), (Lines{"a:OnDraggingEnd(15,10)<-a"}));

    // Near but held 250 ms.
    mgr.OnSysLClickDown(10, 10);
    mgr.OnSysMouseMove(12, 11);
    platform::AdvanceVirtualClock(250);
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickUp(12, 11), 1);
    EXPECT_EQ(Matching("a:"), (Lines{"a:OnDraggingEnd(12,11)<-a"}));
}

TEST_F(DragRouting, LongClickFiresOnceAndTheReleaseStillClicks)
{
    Make("a", root, KVQRect{0, 100, 0, 100});
    mgr.OnSysLClickDown(10, 10);
    platform::AdvanceVirtualClock(1000);
    mgr.Update(33);
    EXPECT_TRUE(Matching("OnLongClick").empty());  // held exactly the long-click time: not yet
    platform::AdvanceVirtualClock(100);
    mgr.Update(33);
    mgr.Update(33);
    EXPECT_EQ(Matching("OnLongClick"), (Lines{"a:OnLongClick(1000)<-a"}));
    EXPECT_EQ(mgr.GetLongClickStart(), CKVQWindowMgr::kNoLongClick);
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickUp(10, 10), 1);
    EXPECT_EQ(Matching("a:"), (Lines{"a:OnLClickUp(10,10)<-a"}));
    platform::AdvanceVirtualClock(5000);
    mgr.Update(33);
    EXPECT_TRUE(Matching("OnLongClick").empty());
}

TEST_F(DragRouting, LongClickEndsADragWithoutAClick)
{
    Recorder* recorder = nullptr;
    Make("a", root, KVQRect{0, 100, 0, 100}, &recorder);
    recorder->action = [](const char* name, CKVQWindow* owner) {
        if (std::strcmp(name, "OnLClickDown") == 0)
            owner->EnableDrag();
    };
    mgr.OnSysLClickDown(10, 10);
    platform::AdvanceVirtualClock(1001);
    mgr.Update(33);
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickUp(10, 10), 1);
    EXPECT_EQ(Matching("a:"), (Lines{"a:OnDraggingEnd(10,10)<-a"}));
}

// ---- the active frame ----

TEST_F(FrameRouting, ActiveFrameIsModalForLeftPresses)
{
    CKVQWindow* frame = Make("f", root, KVQRect{0, 100, 0, 100});
    frame->SetBit(STATUS_IsFrameWindow);
    Make("in", frame, KVQRect{10, 50, 10, 50});
    Make("in2", frame, KVQRect{50, 90, 10, 50});
    Make("out", root, KVQRect{200, 300, 0, 100});

    // Not yet active: capture first, then the press.
    EXPECT_EQ(mgr.OnSysLClickDown(20, 20), 1);
    EXPECT_EQ(WindowModule::Get().activeFrame, frame->GetWindowHandle());
    EXPECT_EQ(Matching("in:"), (Lines{"in:OnMouseEnter(20,20)<-in", "in:OnCapture()<-in", "in:OnLClickDown(20,20)<-in"}));
    mgr.OnSysLClickUp(20, 20);
    // Inside the active frame the press is sent before the capture messages.
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickDown(60, 20), 1);
    EXPECT_EQ(Matching("in"), (Lines{"in:OnMouseLeave(60,20)<-in", "in2:OnMouseEnter(60,20)<-in2",
                                     "in2:OnLClickDown(60,20)<-in2", "in:OnLostCapture()<-in2",
                                     "in2:OnCapture()<-in2"}));
    mgr.OnSysLClickUp(60, 20);

    received.clear();
    EXPECT_EQ(mgr.OnSysLClickDown(250, 50), 0);
    EXPECT_EQ(Matching("Click"), (Lines{"root:OnSysLClickDown(250,50,0)<-null"}));
    EXPECT_EQ(mgr.OnSysLClickUp(250, 50), 0);
    EXPECT_EQ(mgr.OnSysRClickDown(250, 50), 1);
    EXPECT_EQ(Matching("out:OnRClickDown"), (Lines{"out:OnRClickDown(250,50)<-out"}));

    // Hidden, it stops being modal: the next press clears it and routes normally.
    frame->Hide();
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickDown(250, 50), 1);
    EXPECT_EQ(WindowModule::Get().activeFrame, 0u);
    EXPECT_EQ(Matching("out:OnLClickDown"), (Lines{"out:OnLClickDown(250,50)<-out"}));
}

TEST_F(FrameRouting, ReleaseInsideTheFrameGoesToTheWindowUnderThePoint)
{
    CKVQWindow* frame = Make("f", root, KVQRect{0, 500, 0, 500});
    frame->SetBit(STATUS_IsFrameWindow);
    Make("a", frame, KVQRect{10, 100, 10, 100});
    Make("b", frame, KVQRect{200, 300, 10, 100});
    mgr.OnSysLClickDown(50, 50);
    mgr.OnSysMouseMove(250, 50);
    received.clear();
    EXPECT_EQ(mgr.OnSysLClickUp(250, 50), 1);
    EXPECT_EQ(Matching("OnLClickUp"), (Lines{"b:OnLClickUp(250,50)<-b"}));
}

// ---- hover ----

TEST_F(HoverRouting, ChildEnteredParentStays)
{
    Make("p", root, KVQRect{0, 200, 0, 200});
    Make("c", root->GetFirstChild(), KVQRect{50, 100, 50, 100});
    mgr.OnSysMouseMove(10, 10);
    mgr.OnSysMouseMove(60, 60);
    mgr.OnSysMouseMove(150, 150);
    mgr.OnSysMouseMove(300, 300);
    EXPECT_EQ(Matching("OnMouseEnter"), (Lines{"p:OnMouseEnter(10,10)<-p", "c:OnMouseEnter(60,60)<-c",
                                               "root:OnMouseEnter(300,300)<-root"}));
    EXPECT_EQ(Matching("OnMouseLeave"), (Lines{"c:OnMouseLeave(150,150)<-c", "p:OnMouseLeave(300,300)<-p"}));
}

TEST_F(HoverRouting, TenEntriesAtMost)
{
    // Eleven nested windows, each 10 px inside its parent.
    CKVQWindow* parent = root;
    std::vector<CKVQWindow*> nested;
    for (int i = 0; i < 11; ++i) {
        std::string name = "w" + std::to_string(i);
        const int32_t inset = 10 * (i + 1);
        parent = Make(name.c_str(), parent, KVQRect{inset, 500 - inset, inset, 500 - inset});
        nested.push_back(parent);
    }
    for (int i = 0; i < 11; ++i)
        mgr.OnSysMouseMove(10 * (i + 1) + 1, 250);
    EXPECT_EQ(Matching("OnMouseEnter").size(), 10u);
    EXPECT_TRUE(Matching("w10:OnMouseEnter").empty());
    EXPECT_EQ(WindowModule::Get().hoverCount, 10);

    // Leaving w9 frees an entry; coming back in enters w10, the deepest window.
    mgr.OnSysMouseMove(95, 250);
    EXPECT_EQ(Matching("OnMouseLeave"), (Lines{"w9:OnMouseLeave(95,250)<-w9"}));
    mgr.OnSysMouseMove(250, 250);
    EXPECT_EQ(Matching("w10:OnMouseEnter"), (Lines{"w10:OnMouseEnter(250,250)<-w10"}));
    EXPECT_TRUE(Matching("w9:OnMouseEnter(250").empty());
}

TEST_F(HoverRouting, DeletedHoveredWindowIsForgotten)
{
    CKVQWindow* a = Make("a", root, KVQRect{0, 100, 0, 100});
    mgr.OnSysMouseMove(10, 10);
    ASSERT_EQ(WindowModule::Get().hoverCount, 1);
    a->Delete();
    EXPECT_EQ(WindowModule::Get().hoverCount, 0);
    received.clear();
    mgr.OnSysMouseMove(20, 20);
    EXPECT_TRUE(Matching("a:").empty());
}

// ---- keys ----

TEST_F(KeyRouting, KeysReachOnlyAVisibleCaptureWindow)
{
    CKVQWindow* c = Make("c", root, KVQRect{0, 100, 0, 100});
    EXPECT_EQ(mgr.OnSysKeyDown(65), 0);
    EXPECT_EQ(received, (Lines{"root:OnSysKeyDown(65,0,0)<-null"}));

    c->SetCapture();
    received.clear();
    EXPECT_EQ(mgr.OnSysKeyDown(65), 1);
    EXPECT_EQ(mgr.OnSysKeyDown(65), 1);  // auto-repeat is delivered each time
    EXPECT_EQ(mgr.OnSysKeyUp(65), 1);
    EXPECT_EQ(received, (Lines{"root:OnSysKeyDown(65,0,0)<-null", "c:OnKeyDown(65)<-c",
                               "root:OnSysKeyDown(65,0,0)<-null", "c:OnKeyDown(65)<-c",
                               "root:OnSysKeyUp(65,0,0)<-null", "c:OnKeyUp(65)<-c"}));
    root->Hide();  // hidden through an ancestor
    EXPECT_EQ(mgr.OnSysKeyDown(66), 0);
    EXPECT_TRUE(Matching("c:OnKeyDown(66)").empty());
}

TEST_F(KeyRouting, TranslatedKeyAndKeyState)
{
    CKVQSystemAPI& api = CKVQSystemAPI::Instance();
    api.SetKeyTranslation([](uint32_t v) { return static_cast<int32_t>(v) + 100; });
    Make("c", root, KVQRect{0, 100, 0, 100})->SetCapture();
    received.clear();
    mgr.OnSysKeyDown(13);
    EXPECT_NE(api.GetEngineKeyState(113), 0);
    mgr.OnSysKeyUp(13);
    EXPECT_EQ(api.GetEngineKeyState(113), 0);
    EXPECT_EQ(Matching("c:"), (Lines{"c:OnKeyDown(113)<-c", "c:OnKeyUp(113)<-c"}));
}

// ---- characters ----

TEST_F(CharRouting, DoubleByteCharacterArrivesAfterItsSecondByte)
{
    Make("c", root, KVQRect{0, 100, 0, 100})->SetCapture();
    received.clear();
    EXPECT_EQ(mgr.OnSysChar(0xD6), 0);  // lead byte of U+4E2D in GB2312
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(mgr.OnSysChar(0x1D0), 1);  // only the low 8 bits count
    EXPECT_EQ(received, (Lines{"c:OnChar(" + std::to_string(0x4E2D) + ")<-c"}));
    EXPECT_TRUE(mgr.PendingCharBytes().empty());
}

// Typing that no visible window captures is dropped: kept, it would reach the window clicked
// next, and only in part.
TEST_F(CharRouting, TypingWithoutAVisibleCaptureWindowIsDropped)
{
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"no capture window", [] {}},
        {"hidden capture window",
         [&] {
             CKVQWindow* h = Make("h", root, KVQRect{500, 600, 500, 600});
             h->SetCapture();
             h->Hide();
         }},
        {"deleted capture window",
         [&] {
             CKVQWindow* d = Make("d", root, KVQRect{500, 600, 500, 600});
             d->SetCapture();
             d->Delete();
         }},
    };
    for (const auto& [what, before] : cases) {
        mgr.Reset();
        root = Make("root", nullptr, KVQRect{0, 1000, 0, 1000});
        mgr.SetRoot(root);
        Make("c", root, KVQRect{0, 100, 0, 100});
        before();
        for (uint32_t byte : {0xD6u, 0xD0u, static_cast<uint32_t>('a')})  // GB2312 for U+4E2D, then a
            EXPECT_EQ(mgr.OnSysChar(byte), 0) << what;
        EXPECT_TRUE(mgr.PendingCharBytes().empty()) << what;
        mgr.OnSysLClickDown(10, 10);
        mgr.OnSysLClickUp(10, 10);
        received.clear();
        EXPECT_EQ(mgr.OnSysChar('b'), 1) << what;
        EXPECT_EQ(received, (Lines{"c:OnChar(98)<-c"})) << what;
    }
}

TEST_F(CharRouting, InvalidBytesAreDroppedAndLaterCharactersArrive)
{
    Make("c", root, KVQRect{0, 100, 0, 100})->SetCapture();
    received.clear();
    EXPECT_EQ(mgr.OnSysChar(0xFF), 0);  // no GB2312 character starts with 0xFF
    EXPECT_EQ(mgr.OnSysChar('A'), 1);
    EXPECT_EQ(mgr.OnSysChar(0xB0), 0);  // a lead byte followed by a byte that cannot trail it
    EXPECT_EQ(mgr.OnSysChar(' '), 1);
    EXPECT_EQ(received, (Lines{"c:OnChar(65)<-c", "c:OnChar(32)<-c"}));
}

TEST_F(CharRouting, AHalfTypedCharacterIsDroppedWhenItsCaptureWindowHides)
{
    CKVQWindow* c = Make("c", root, KVQRect{0, 100, 0, 100});
    c->SetCapture();
    received.clear();
    EXPECT_EQ(mgr.OnSysChar(0xD6), 0);
    EXPECT_EQ(mgr.PendingCharBytes(), "\xD6");
    c->Hide();
    EXPECT_EQ(mgr.OnSysChar(0xD0), 0);
    c->Show();
    EXPECT_EQ(mgr.OnSysChar('q'), 1);  // not joined to the lead byte typed before
    EXPECT_EQ(received, (Lines{"c:OnChar(113)<-c"}));
    EXPECT_TRUE(mgr.PendingCharBytes().empty());
}

TEST_F(CharRouting, UnknownCodePageDropsCharacters)
{
    GetCoreCfg().strCharset = "NO-SUCH-CODE-PAGE";
    Make("c", root, KVQRect{0, 100, 0, 100})->SetCapture();
    received.clear();
    EXPECT_EQ(mgr.OnSysChar('a'), 0);
    EXPECT_TRUE(mgr.PendingCharBytes().empty());
    GetCoreCfg().strCharset = "GB2312";
    EXPECT_EQ(mgr.OnSysChar('b'), 1);
    EXPECT_EQ(received, (Lines{"c:OnChar(98)<-c"}));
}

// ---- coordinates ----

TEST_F(ScreenToUI, SubtractsOffsetDividesAndTruncatesTowardZero)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsAutoScale = true;
    cfg.nAutoOffsetX = 10;
    cfg.nAutoOffsetY = 20;
    cfg.fAutoScaleX = 2.0f;
    cfg.fAutoScaleY = 0.5f;
    int32_t x = 5, y = 21;
    KVQAPI_ScreenToUI(x, y);
    EXPECT_EQ(x, -2);  // -2.5 toward zero
    EXPECT_EQ(y, 2);
    x = INT32_MIN;
    y = 0;
    KVQAPI_ScreenToUI(x, y);  // the subtraction wraps in 32 bits
    EXPECT_EQ(x, (INT32_MAX - 9) / 2);
    cfg.fAutoScaleX = 0.0f;
    x = 50;
    KVQAPI_ScreenToUI(x, y);
    EXPECT_EQ(x, INT32_MAX);
    cfg.IsAutoScale = false;
    x = 7;
    y = 8;
    KVQAPI_ScreenToUI(x, y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
}

TEST_F(ScreenToUI, HandlersRouteInLayoutCoordinates)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsAutoScale = true;
    cfg.nAutoOffsetX = 100;
    cfg.nAutoOffsetY = 0;
    cfg.fAutoScaleX = cfg.fAutoScaleY = 2.0f;
    Make("a", root, KVQRect{10, 50, 10, 50});
    EXPECT_EQ(mgr.OnSysMouseMove(140, 40), 1);
    EXPECT_EQ(mgr.OnSysMouseMove(141, 41), 0);  // the same layout point
    EXPECT_EQ(mgr.OnSysLClickDown(140, 40), 1);
    EXPECT_EQ(Matching("a:OnLClickDown"), (Lines{"a:OnLClickDown(20,20)<-a"}));
}

}  // namespace

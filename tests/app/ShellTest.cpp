// The shell: window geometry, the window procedure's handling of size, minimise, restore, paint,
// close and input, the device fallback, and the frame loop fed by a scripted event source.

#include "app/Shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "app/Engine.h"
#include "app/Replay.h"
#include "app/StartConfig.h"
#include "gfx/DeviceKinds.h"
#include "gfx/Texture.h"
#include "platform/Clock.h"
#include "support/RecordingDC.h"
#include "support/WindowTestSupport.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

using Lines = std::vector<std::string>;
Lines* messageLog = nullptr;
std::deque<platform::Event>* pendingEvents = nullptr;

class ShellDC : public RecordingDC {
public:
    int32_t initResult = 0;
    int32_t Init(int32_t width, int32_t height, void* window, int32_t param) override
    {
        (void)window, (void)param;
        calls.push_back("Init " + std::to_string(width) + "," + std::to_string(height));
        return initResult;
    }
    int32_t Shutdown() override
    {
        calls.push_back("Shutdown");
        return 0;
    }
    int32_t ResetDevice() override
    {
        calls.push_back("ResetDevice");
        return 0;
    }
    // As the real devices do: the repaint request arrives later as an event.
    int32_t RequestRedraw() override
    {
        calls.push_back("RequestRedraw");
        if (pendingEvents != nullptr) {
            platform::Event repaint;
            repaint.kind = platform::EventKind::Repaint;
            pendingEvents->push_back(repaint);
        }
        return 0;
    }
};

class Listener : public TestRenderObject<Listener> {
public:
    static constexpr const char* kClassName = "TestShellListener";
    Listener()
    {
        for (const char* name : {"OnKVQPause", "OnKVQResume", "OnSysKeyDown", "OnSysLClickDown", "OnChar"})
            RegisterHandler(name, &Listener::Handle);
    }

private:
    static void Handle(IRender*, const char* name, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
    {
        if (messageLog == nullptr)
            return;
        std::string line = std::string("msg ") + name;
        if (std::string(name) == "OnChar" && message != nullptr) {
            uint32_t unit = 0;
            message->UInt32(unit);
            line += "(" + std::to_string(unit) + ")";
        }
        messageLog->push_back(line + "@" + std::to_string(GetFrameCounter()));
    }
};

platform::Event MakeEvent(platform::EventKind kind, int32_t x = 0, int32_t y = 0)
{
    platform::Event event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

class ShellFixture : public ::testing::Test {
protected:
    ShellDC* device = new ShellDC();  // the fallback test hands it to the shell, which frees it
    CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
    CKVQWindow* root = nullptr;
    CKVQShell shell;
    std::deque<platform::Event> queue;

    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        messageLog = &device->calls;
        pendingEvents = &queue;
        platform::SetVirtualClock(true);
        ResetEngineClock();
        KVQAPI_SetFrameInterval(kDefaultFrameInterval);
        GetCoreCfg().IsAutoScale = false;
        manager.Reset();
        SetCurrentDevice(device);
        root = CKVQWindow::New();
        root->NormalAligned(KVQRect{0, 480, 0, 320});
        root->AddRender(new Listener());
        manager.SetRoot(root);
        for (const char* name : {"OnKVQPause", "OnKVQResume"})
            manager.BookMessage(name, root);
    }
    void TearDown() override
    {
        manager.Reset();
        WindowModule::Get().ReleaseDeleted();
        delete SetCurrentDevice(nullptr);
        ResetEngineClock();
        platform::SetVirtualClock(false);
        messageLog = nullptr;
        pendingEvents = nullptr;
    }
    Lines Trace(const Lines& operations) const { return device->Trace(operations); }
};

class WindowProcedure : public ShellFixture {};
class FrameLoopRun : public ShellFixture {
protected:
    ShellOptions options;
    ReplayScript replay;
    Lines handled;  // "Kind@frame counter" of every event the source hands out

    bool Run(const std::string& replayText, uint64_t ticks)
    {
        std::string error;
        if (!replay.Parse(replayText, "test.replay", error)) {
            ADD_FAILURE() << error;
            return false;
        }
        options.headless = true;
        options.limitTicks = true;
        options.ticks = ticks;
        shell.WindowProc(MakeEvent(platform::EventKind::Size, 480, 320));
        FrameLoop loop(shell, options, &replay, [this](platform::Event& event) {
            if (queue.empty())
                return false;
            event = queue.front();
            queue.pop_front();
            handled.push_back(std::to_string(static_cast<int>(event.kind)) + "@" + std::to_string(GetFrameCounter()));
            return true;
        });
        loop.Start();
        int guard = 0;
        while (loop.Pass()) {
            if (++guard > 100000) {
                ADD_FAILURE() << "the loop did not end";
                return false;
            }
        }
        steps = loop.Steps();
        return true;
    }
    uint64_t steps = 0;
};

// ---- geometry ----

TEST(WindowGeometry, RootSizeGivesClientAreaAndOuterSizeWithFrameAllowance)
{
    CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
    manager.Reset();
    CKVQWindow* root = CKVQWindow::New();
    root->NormalAligned(KVQRect{0, 800, 0, 600});
    manager.SetRoot(root);

    KVQCoreCfg cfg;
    TakeScreenSizeFromRoot(cfg);
    EXPECT_EQ(cfg.nScreenWidth, 800);
    EXPECT_EQ(cfg.nScreenHeight, 600);
    const WindowSize outer = OuterWindowSize(cfg.nScreenWidth, cfg.nScreenHeight);
    EXPECT_EQ(outer.width, 808);
    EXPECT_EQ(outer.height, 630);

    // A size from the command line (swapped) is kept: the root does not replace it.
    KVQCoreCfg given;
    ASSERT_TRUE(ApplyCommandLine("ui/a.ui 1024x768 1", given));
    TakeScreenSizeFromRoot(given);
    EXPECT_EQ(given.nScreenWidth, 768);
    EXPECT_EQ(given.nScreenHeight, 1024);

    manager.Reset();
    KVQCoreCfg none;
    TakeScreenSizeFromRoot(none);  // no root: nothing to take
    EXPECT_EQ(none.nScreenHeight, 0);
    WindowModule::Get().ReleaseDeleted();
}

TEST(WindowGeometry, CentringDividesTowardZero)
{
    const KVQPoint centred = CenteredWindowPosition(1920, 1080, WindowSize{808, 630});
    EXPECT_EQ(centred.x, 556);
    EXPECT_EQ(centred.y, 225);
    // A window larger than the screen: (801 - 808) / 2 is -3, not -4.
    const KVQPoint larger = CenteredWindowPosition(801, 600, WindowSize{808, 631});
    EXPECT_EQ(larger.x, -3);
    EXPECT_EQ(larger.y, -15);
}

// ---- window procedure ----

TEST_F(WindowProcedure, SizeBindsTheDeviceAndZeroSizeIsIgnored)
{
    EXPECT_TRUE(shell.WindowProc(MakeEvent(platform::EventKind::Size, 800, 600)));
    EXPECT_TRUE(shell.WindowProc(MakeEvent(platform::EventKind::Size, 0, 0)));
    EXPECT_EQ(device->Lines("Init"), (Lines{"Init 800,600"}));
    EXPECT_EQ(shell.ClientSize().width, 800);
}

TEST_F(WindowProcedure, MinimiseAndRestoreBroadcastOnceEachAfterDeviceSetUp)
{
    shell.WindowProc(MakeEvent(platform::EventKind::Size, 800, 600));
    device->Reset();

    shell.WindowProc(MakeEvent(platform::EventKind::Minimized));
    shell.WindowProc(MakeEvent(platform::EventKind::Minimized));
    EXPECT_TRUE(shell.IsMinimized());
    EXPECT_TRUE(GetCoreCfg().IsPaused);
    EXPECT_EQ(Trace({"msg", "Shutdown", "Init", "ResetDevice"}), (Lines{"msg OnKVQPause@0", "Shutdown"}));
    device->Reset();

    shell.WindowProc(MakeEvent(platform::EventKind::Restored, 640, 480));
    EXPECT_FALSE(shell.IsMinimized());
    EXPECT_FALSE(GetCoreCfg().IsPaused);
    EXPECT_EQ(Trace({"msg", "Shutdown", "Init", "ResetDevice"}),
              (Lines{"ResetDevice", "Init 640,480", "ResetDevice", "msg OnKVQResume@0"}));

    // A restore that did not follow a minimise only sets the device up again.
    device->Reset();
    shell.WindowProc(MakeEvent(platform::EventKind::Restored, 640, 480));
    EXPECT_EQ(Trace({"msg", "Init", "ResetDevice"}), (Lines{"Init 640,480"}));
}

TEST_F(WindowProcedure, PaintPresentsTheClientAreaAgainAndCloseEndsTheLoop)
{
    EXPECT_TRUE(shell.WindowProc(MakeEvent(platform::EventKind::Paint, 800, 600)));
    EXPECT_EQ(Trace({"InvalidateRect", "RequestRedraw"}), (Lines{"InvalidateRect 0,800,0,600 1", "RequestRedraw"}));
    EXPECT_FALSE(shell.WindowProc(MakeEvent(platform::EventKind::Close)));
}

TEST_F(WindowProcedure, InputReachesTheManagerAndAllButMovesAskForRepaint)
{
    manager.BookMessage("OnSysKeyDown", root);
    platform::Event key = MakeEvent(platform::EventKind::KeyDown);
    key.key = 0x41;
    shell.WindowProc(key);
    EXPECT_EQ(Trace({"msg", "RequestRedraw"}), (Lines{"msg OnSysKeyDown@0", "RequestRedraw"}));

    device->Reset();
    shell.WindowProc(MakeEvent(platform::EventKind::MouseMove, 5, 5));
    EXPECT_EQ(device->Count("RequestRedraw"), 0);
    shell.WindowProc(MakeEvent(platform::EventKind::LButtonDown, 5, 5));
    shell.WindowProc(MakeEvent(platform::EventKind::LButtonUp, 5, 5));
    platform::Event wheel = MakeEvent(platform::EventKind::MouseWheel, 5, 5);
    wheel.key = 120u << 16;
    shell.WindowProc(wheel);
    EXPECT_EQ(device->Count("RequestRedraw"), 3);
}

TEST_F(WindowProcedure, TypedTextArrivesAsCodePageBytes)
{
    GetCoreCfg().strCharset = "GB2312";
    platform::Event text = MakeEvent(platform::EventKind::Text);
    text.text = "\xE4\xBD\xA0";  // U+4F60, two bytes in GB2312
    root->SetCapture();
    shell.WindowProc(text);
    EXPECT_EQ(device->Lines("msg OnChar"), (Lines{"msg OnChar(" + std::to_string(0x4F60) + ")@0"}));
    EXPECT_EQ(device->Count("RequestRedraw"), 1);
}

TEST_F(WindowProcedure, DeviceThatCannotStartIsReplacedBySoftware)
{
    RegisterDeviceKinds();
    device->initResult = -1;
    testing::internal::CaptureStderr();
    shell.WindowProc(MakeEvent(platform::EventKind::Size, 64, 48));
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("software"), std::string::npos);
    EXPECT_NE(GetCurrentDevice(), device);  // the shell freed the failed device
    ASSERT_NE(GetCurrentDevice(), nullptr);
    EXPECT_EQ(GetTextureKind(), kTextureMemoryImage);
    device = nullptr;
    messageLog = nullptr;
}

// ---- frame loop ----

TEST_F(FrameLoopRun, ReplayEventsComeBeforeTheirTickAndTheLastRepaintIsDrained)
{
    manager.BookMessage("OnSysKeyDown", root);
    manager.BookMessage("OnSysLClickDown", root);
    ASSERT_TRUE(Run("0 keydown 65\n2 ldown 5 5\n2 lup 5 5\n9 keydown 66\n", 3));
    EXPECT_EQ(steps, 3u);
    EXPECT_EQ(GetFrameCounter(), 3);
    EXPECT_EQ(device->Lines("msg"), (Lines{"msg OnSysKeyDown@0", "msg OnSysLClickDown@1"}));
    EXPECT_TRUE(queue.empty());
    // Every tick's repaint was handled: the last one after the third tick.
    const std::string repaint = std::to_string(static_cast<int>(platform::EventKind::Repaint));
    EXPECT_EQ(handled.back(), repaint + "@3");
    EXPECT_FALSE(replay.Finished());  // the tick 9 event was never due
}

TEST_F(FrameLoopRun, ReplayedControlKeysAlsoTypeTheirCharacters)
{
    GetCoreCfg().strCharset = "GB2312";
    manager.BookMessage("OnSysKeyDown", root);
    root->SetCapture();
    ASSERT_TRUE(Run("1 keydown 0x08\n1 keydown 0x41\n2 keydown 0x09\n2 keydown 0x0D\n3 keydown 0x1B\n", 3));
    EXPECT_EQ(device->Count("msg OnSysKeyDown"), 5);
    EXPECT_EQ(device->Lines("msg OnChar"), (Lines{"msg OnChar(8)@0", "msg OnChar(9)@1", "msg OnChar(13)@1",
                                                  "msg OnChar(27)@2"}));
    EXPECT_TRUE(replay.Finished());
}

TEST_F(FrameLoopRun, MinimisedRunStillEndsAndRestoreResumesTicking)
{
    ASSERT_TRUE(Run("1 minimize\n", 5));
    EXPECT_EQ(steps, 5u);
    EXPECT_EQ(GetFrameCounter(), 0);
    EXPECT_TRUE(GetCoreCfg().IsPaused);
}

TEST_F(FrameLoopRun, RestoreUsesTheLastClientSize)
{
    ASSERT_TRUE(Run("1 minimize\n3 restore\n", 5));
    EXPECT_EQ(GetFrameCounter(), 3);
    EXPECT_EQ(device->Lines("Init"), (Lines{"Init 480,320", "Init 480,320"}));
}

TEST_F(FrameLoopRun, QuitEndsTheLoopBeforeItsTick)
{
    ASSERT_TRUE(Run("3 quit\n", 10));
    EXPECT_EQ(GetFrameCounter(), 2);
}

}  // namespace

// The engine's life on the main thread driven by a virtual clock and a logging device: the tick
// rules, rendering on request, the automatic scale, pause and resume, exit and frame capture.

#include "app/Engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "gfx/Texture.h"
#include "platform/Clock.h"
#include "script/LuaHost.h"
#include "services/SimpleAudioEngine.h"
#include "services/SoundFiles.h"
#include "support/RecordingDC.h"
#include "support/TempFiles.h"
#include "support/WindowTestSupport.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

std::vector<std::string>* eventLog = nullptr;
// When set, the device's life-cycle calls and the pause and resume messages also log whether this
// sound effect is paused at that moment ("audio paused" or "audio playing").
uint32_t probedEffect = 0;

void LogAudioState()
{
    if (eventLog != nullptr && probedEffect != 0)
        eventLog->push_back(SimpleAudioEngine::sharedEngine()->isEffectPaused(probedEffect) ? "audio paused"
                                                                                            : "audio playing");
}

// A texture that logs the cache's uploads and releases of it into the same list.
class ProbeTexture : public ITextureObject {
public:
    uint8_t* GetBits() override { return pixel_; }
    void Refresh() override {}
    void Destroy() override { delete this; }
    int32_t GetWidth() override { return 1; }
    int32_t GetHeight() override { return 1; }
    void SetWidth(int32_t) override {}
    void SetHeight(int32_t) override {}
    int32_t GetTexWidth() override { return 1; }
    int32_t GetTexHeight() override { return 1; }
    void Upload() override { Log("texture Upload"); }
    void Release() override { Log("texture Release"); }
    void GetRect(KVQRect& rect) override { rect = KVQRect{0, 1, 0, 1}; }
    void SetOffset(int32_t, int32_t) override {}
    void Paste(int32_t, int32_t, const uint8_t*, int32_t, int32_t, bool) override {}
    int32_t GetKind() override { return kTextureMemoryImage; }

private:
    static void Log(const char* what)
    {
        if (eventLog != nullptr)
            eventLog->push_back(what);
    }
    uint8_t pixel_[4] = {};
};

// A device that logs the scene and life-cycle calls too, and paints what it is told to.
class LoggingDC : public RecordingDC {
public:
    KVQRect paintRect{};
    bool dirty = false;

    int32_t GetInvalidRect(KVQRect& rect) override
    {
        rect = paintRect;
        return 0;
    }
    int32_t BeginScene() override { return Log("BeginScene"); }
    int32_t EndScene() override { return Log("EndScene"); }
    int32_t Flip() override { return Log("Flip"); }
    bool IsDirty() override { return dirty; }
    int32_t Shutdown() override
    {
        Log("Shutdown");
        LogAudioState();
        return 0;
    }
    int32_t ResetDevice() override
    {
        Log("ResetDevice");
        LogAudioState();
        return 0;
    }
    bool ReadFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height) override
    {
        Log("ReadFrame");
        width = 2;
        height = 1;
        rgba.assign(8, 7);
        return true;
    }

private:
    int32_t Log(const char* what)
    {
        calls.push_back(what);
        return 0;
    }
};

// Logs the messages a window receives into the device's call list, so order across both shows.
class MessageLog : public TestRenderObject<MessageLog> {
public:
    static constexpr const char* kClassName = "TestMessageLog";
    MessageLog()
    {
        for (const char* name : {"OnUpdate", "OnKVQPause", "OnKVQResume", "OnAutoScale", "OnUnload", "OnTick"})
            RegisterHandler(name, &MessageLog::Handle);
    }

private:
    static void Handle(IRender*, const char* name, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
    {
        std::string line = std::string("msg ") + name;
        if (std::strcmp(name, "OnUpdate") == 0 && message->GetSize() >= 4) {
            uint32_t value = 0;
            std::memcpy(&value, message->GetBuffer(), 4);
            line += " " + std::to_string(value);
        }
        if (eventLog != nullptr)
            eventLog->push_back(line);
        if (std::strcmp(name, "OnKVQPause") == 0 || std::strcmp(name, "OnKVQResume") == 0)
            LogAudioState();
    }
};

class EngineFixture : public ::testing::Test {
protected:
    LoggingDC device;
    CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
    CKVQWindow* root = nullptr;
    CKVQDC* previousDevice = nullptr;

    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        eventLog = &device.calls;
        platform::SetVirtualClock(true);
        ResetEngineClock();
        KVQCoreCfg& cfg = GetCoreCfg();
        cfg.IsAutoScale = false;
        cfg.IsDebuging = true;
        KVQAPI_SetFrameInterval(kDefaultFrameInterval);
        manager.Reset();
        CKVQTimerSystem::Instance().Clear();
        previousDevice = SetCurrentDevice(&device);

        root = CKVQWindow::New();
        root->SetName("root");
        root->NormalAligned(KVQRect{0, 480, 0, 320});
        root->SetBit(STATUS_IsActive);
        root->AddRender(new MessageLog());
        manager.SetRoot(root);
        for (const char* name : {"OnKVQPause", "OnKVQResume", "OnAutoScale"})
            manager.BookMessage(name, root);
    }
    void TearDown() override
    {
        manager.Reset();
        WindowModule::Get().ReleaseDeleted();
        CKVQTimerSystem::Instance().Clear();
        SetCurrentDevice(previousDevice);
        ResetEngineClock();
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().fAutoScaleX = GetCoreCfg().fAutoScaleY = 1.0f;
        GetCoreCfg().nAutoOffsetX = GetCoreCfg().nAutoOffsetY = 0;
        platform::SetVirtualClock(false);
        eventLog = nullptr;
    }

    // The tick clock's first reading at a non-zero time (0 means "not read yet"), no tick run.
    void Anchor()
    {
        KVQAPI_timeGetSystemTime();
        platform::AdvanceVirtualClock(1);
        ASSERT_EQ(KVQAPI_Update(), kNoTick);
    }
    std::vector<std::string> Updates() const { return device.Lines("msg OnUpdate"); }
};

class TickClock : public EngineFixture {};
class Rendering : public EngineFixture {};
class AutoScale : public EngineFixture {};
class PauseResume : public EngineFixture {};

// Pause and resume with a texture in the cache and a sound effect playing, each logging its state
// into the device's call list so that the order across device, textures and audio shows.
class PauseOrder : public EngineFixture {
protected:
    static constexpr const char* kProbeName = "pause order probe";
    TempFolder folder;

    void SetUp() override
    {
        EngineFixture::SetUp();
        const uint8_t pixel[4] = {1, 2, 3, 4};
        const int32_t id = CTextureCache::Instance().AddTexture(kProbeName, pixel, 1, 1);
        TextureHandle* handle = CTextureCache::Instance().GetTexture(id);
        ASSERT_NE(handle, nullptr);
        handle->texture->Destroy();
        handle->texture = new ProbeTexture();

        ASSERT_TRUE(folder.ok());
        const std::string wav = folder / "loop.wav";
        ASSERT_TRUE(WriteFile(wav, SilentWav(500)));
        probedEffect = SimpleAudioEngine::sharedEngine()->playEffect(wav.c_str(), true);
        ASSERT_NE(probedEffect, 0u) << "the dummy audio driver could not play";
    }
    void TearDown() override
    {
        probedEffect = 0;
        CTextureCache::Instance().RemoveTexture(kProbeName);
        SimpleAudioEngine::end();
        EngineFixture::TearDown();
    }
    std::vector<std::string> Order() const
    {
        return device.Trace({"msg", "texture", "Shutdown", "ResetDevice", "audio"});
    }
};

// ---- ticks ----

TEST_F(TickClock, FirstTickHasNoElapsedTimeButRequestsRepaint)
{
    Anchor();
    platform::AdvanceVirtualClock(32);
    EXPECT_EQ(KVQAPI_Update(), kNoTick);
    platform::AdvanceVirtualClock(1);
    EXPECT_EQ(KVQAPI_Update(), kTickRun);
    EXPECT_EQ(GetFrameCounter(), 1);
    EXPECT_EQ(KVQAPI_timeGetTime(), 33u);
    EXPECT_TRUE(Updates().empty());
    EXPECT_EQ(device.Count("InvalidateRect"), 0);
    EXPECT_EQ(device.Count("RequestRedraw"), 1);
}

TEST_F(TickClock, LateTicksFollowOnConsecutivePassesEachWithOneInterval)
{
    Anchor();
    platform::AdvanceVirtualClock(33);
    ASSERT_EQ(KVQAPI_Update(), kTickRun);
    device.Reset();

    platform::AdvanceVirtualClock(66);  // two ticks of delay
    EXPECT_EQ(KVQAPI_Update(), kTickRun);
    EXPECT_EQ(KVQAPI_Update(), kTickRun);
    EXPECT_EQ(KVQAPI_Update(), kNoTick);
    EXPECT_EQ(Updates(), (std::vector<std::string>{"msg OnUpdate 33", "msg OnUpdate 33"}));
    // Each tick marks the whole root dirty and asks for a repaint.
    EXPECT_EQ(device.Count("InvalidateRect 0,480,0,320 0"), 2);
    EXPECT_EQ(device.Count("RequestRedraw"), 2);
    EXPECT_EQ(KVQAPI_timeGetTime(), 99u);
}

TEST_F(TickClock, StallOfOverASecondGivesAtMostOneCatchUpTick)
{
    Anchor();
    platform::AdvanceVirtualClock(33);
    ASSERT_EQ(KVQAPI_Update(), kTickRun);
    platform::AdvanceVirtualClock(1500);
    EXPECT_EQ(KVQAPI_Update(), kTickRun);
    EXPECT_EQ(KVQAPI_Update(), kNoTick);
    EXPECT_EQ(GetCoreCfg().nTickAccum, 0u);
    EXPECT_EQ(Updates(), (std::vector<std::string>{"msg OnUpdate 33"}));
}

TEST_F(TickClock, TimersAdvanceOnlyWithElapsedTimeAndDeletedWindowsAreReleased)
{
    CKVQWindow* child = CKVQWindow::New();
    child->AddRender(new MessageLog());
    root->AppendChild(child);
    CKVQTimerSystem::Instance().SetTimer(child, "OnTick", 33, 5, 0);
    Anchor();
    platform::AdvanceVirtualClock(33);
    ASSERT_EQ(KVQAPI_Update(), kTickRun);  // dt 0: timers are not updated
    EXPECT_EQ(device.Count("msg OnTick"), 0);
    platform::AdvanceVirtualClock(33);
    ASSERT_EQ(KVQAPI_Update(), kTickRun);
    EXPECT_EQ(device.Count("msg OnTick"), 1);

    child->Delete();
    EXPECT_FALSE(WindowModule::Get().deletedThisFrame.empty());
    platform::AdvanceVirtualClock(33);
    ASSERT_EQ(KVQAPI_Update(), kTickRun);
    EXPECT_TRUE(WindowModule::Get().deletedThisFrame.empty());
}

TEST_F(TickClock, PausedRunsNoTickAndFrameTimeStandsStill)
{
    Anchor();
    platform::AdvanceVirtualClock(33);
    ASSERT_EQ(KVQAPI_Update(), kTickRun);
    platform::AdvanceVirtualClock(33);
    ASSERT_EQ(KVQAPI_Update(), kTickRun);
    const uint32_t frameTime = KVQAPI_timeGetTime();
    device.Reset();

    GetCoreCfg().IsPaused = true;
    for (int i = 0; i < 10; ++i) {
        platform::AdvanceVirtualClock(33);
        EXPECT_EQ(KVQAPI_Update(), kNoTick);
    }
    platform::AdvanceVirtualClock(5000);  // a long pause: the backlog is dropped
    EXPECT_EQ(KVQAPI_Update(), kNoTick);
    EXPECT_EQ(KVQAPI_timeGetTime(), frameTime);
    EXPECT_TRUE(device.calls.empty());

    GetCoreCfg().IsPaused = false;
    platform::AdvanceVirtualClock(33);
    EXPECT_EQ(KVQAPI_Update(), kTickRun);
    EXPECT_EQ(KVQAPI_Update(), kNoTick);
    EXPECT_EQ(Updates(), (std::vector<std::string>{"msg OnUpdate 33"}));
}

TEST_F(TickClock, ClockGoingBackwardsRestartsMeasuring)
{
    Anchor();
    GetCoreCfg().nLastTick = 100000;  // later than now, as after a clock jump
    EXPECT_EQ(KVQAPI_Update(), kNoTick);
    EXPECT_EQ(GetCoreCfg().nLastTick, KVQAPI_timeGetSystemTime());
}

// ---- rendering ----

TEST_F(Rendering, PaintRectDrawsTheTreeThenPresents)
{
    device.paintRect = KVQRect{0, 10, 0, 10};
    device.dirty = true;
    KVQAPI_Render();
    EXPECT_EQ(device.Trace({"InvalidateRect", "BeginScene", "EndScene", "Flip"}),
              (std::vector<std::string>{"InvalidateRect 0,480,0,320 0", "BeginScene", "EndScene", "Flip"}));
}

TEST_F(Rendering, EmptyPaintRectOnlyPresentsAndPausedDoesNothing)
{
    device.dirty = true;
    KVQAPI_Render();
    EXPECT_EQ(device.calls, (std::vector<std::string>{"Flip"}));

    device.Reset();
    device.dirty = false;
    KVQAPI_Render();
    EXPECT_TRUE(device.calls.empty());

    device.paintRect = KVQRect{0, 10, 0, 10};
    device.dirty = true;
    GetCoreCfg().IsPaused = true;
    KVQAPI_Render();
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(Rendering, ScriptErrorStaysShownUntilANewerOne)
{
    CKVQLuaHost host;
    CKVQLuaHost* previous = SetCurrentHost(&host);
    device.paintRect = KVQRect{0, 10, 0, 10};

    host.SetLastError("first failure");
    testing::internal::CaptureStderr();
    KVQAPI_Render();
    KVQAPI_Render();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(GetErrorDisplayText(), "first failure");
    EXPECT_STREQ(host.GetLastErrorText(), "");
    // Printed once, though two frames showed it.
    EXPECT_EQ(printed, "kvq: script error: first failure\n");
    // Drawn over both frames in red, one glyph per character (the system's fallback face draws it
    // when the game has loaded no font).
    const std::vector<std::string> glyphs = device.Lines("StretchBlit");
    ASSERT_EQ(glyphs.size(), 2 * std::string("first failure").size());
    for (const std::string& glyph : glyphs)
        EXPECT_NE(glyph.find("#ff0000ff"), std::string::npos) << glyph;

    host.SetLastError("second failure");
    testing::internal::CaptureStderr();
    KVQAPI_Render();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(GetErrorDisplayText(), "second failure");

    // With the debug switch off the error is left with the host.
    GetCoreCfg().IsDebuging = false;
    host.SetLastError("third failure");
    KVQAPI_Render();
    EXPECT_EQ(GetErrorDisplayText(), "second failure");
    EXPECT_STREQ(host.GetLastErrorText(), "third failure");
    device.Reset();
    device.paintRect = KVQRect{0, 10, 0, 10};
    KVQAPI_Render();
    EXPECT_EQ(device.Count("StretchBlit"), 0);
    SetCurrentHost(previous);
}

TEST_F(Rendering, CaptureRedrawsTheWholeRootAndReadsTheFrame)
{
    std::vector<uint8_t> rgba;
    int32_t width = 0;
    int32_t height = 0;
    ASSERT_TRUE(KVQAPI_CaptureFrame(rgba, width, height));
    EXPECT_EQ(device.Trace({"InvalidateRect", "BeginScene", "EndScene", "ReadFrame"}),
              (std::vector<std::string>{"InvalidateRect 0,480,0,320 0", "BeginScene", "EndScene", "ReadFrame"}));
    EXPECT_EQ(width, 2);
    EXPECT_EQ(rgba.size(), 8u);

    SetCurrentDevice(nullptr);
    EXPECT_FALSE(KVQAPI_CaptureFrame(rgba, width, height));
}

TEST_F(Rendering, AutoFlipAsksForRepaintAtScopeEnd)
{
    {
        CAutoFlip flip;
        EXPECT_EQ(device.Count("RequestRedraw"), 0);
    }
    EXPECT_EQ(device.Count("RequestRedraw"), 1);
    SetCurrentDevice(nullptr);
    { CAutoFlip flip; }  // no device: nothing to ask
}

// ---- automatic scale ----

TEST_F(AutoScale, LayoutFitsKeepingAspectAndClicksMapBack)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsAutoScale = true;
    cfg.nScreenWidth = 960;
    cfg.nScreenHeight = 480;
    EXPECT_TRUE(KVQAPI_AutoScale());
    EXPECT_FLOAT_EQ(cfg.fAutoScaleX, 1.5f);
    EXPECT_FLOAT_EQ(cfg.fAutoScaleY, 1.5f);
    EXPECT_EQ(cfg.nAutoOffsetX, 120);
    EXPECT_EQ(cfg.nAutoOffsetY, 0);
    EXPECT_EQ(device.Count("msg OnAutoScale"), 1);

    for (int32_t clickX : {120, 119}) {
        int32_t x = clickX;
        int32_t y = 0;
        KVQAPI_ScreenToUI(x, y);
        EXPECT_EQ(x, 0) << clickX;
        EXPECT_EQ(y, 0);
    }
}

TEST_F(AutoScale, OffLeavesScaleAloneAndNoRootKeepsUnitScale)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.nScreenWidth = 960;
    cfg.nScreenHeight = 480;
    EXPECT_TRUE(KVQAPI_AutoScale());
    EXPECT_FLOAT_EQ(cfg.fAutoScaleX, 1.0f);
    EXPECT_EQ(device.Count("msg OnAutoScale"), 0);

    // Without a root the size is 0 by 0: the scale would be infinite, so it stays 1.
    cfg.IsAutoScale = true;
    manager.Reset();
    EXPECT_TRUE(KVQAPI_AutoScale());
    EXPECT_FLOAT_EQ(cfg.fAutoScaleX, 1.0f);
    EXPECT_FLOAT_EQ(cfg.fAutoScaleY, 1.0f);
    EXPECT_EQ(cfg.nAutoOffsetX, 480);
    EXPECT_EQ(cfg.nAutoOffsetY, 240);
}

// ---- pause, resume, exit ----

TEST_F(PauseResume, PauseBroadcastsAndReleasesTheDeviceResumeRestores)
{
    KVQAPI_Pause();
    EXPECT_TRUE(GetCoreCfg().IsPaused);
    EXPECT_EQ(device.Trace({"msg", "Shutdown"}), (std::vector<std::string>{"msg OnKVQPause", "Shutdown"}));
    device.Reset();

    KVQAPI_Resume();
    EXPECT_FALSE(GetCoreCfg().IsPaused);
    EXPECT_EQ(device.Trace({"msg", "ResetDevice", "InvalidateRect"}),
              (std::vector<std::string>{"ResetDevice", "msg OnKVQResume", "InvalidateRect 0,480,0,320 0"}));
}

TEST_F(PauseOrder, PauseTellsTheGameThenReleasesTexturesDeviceAndAudioResumeUndoesItBackwards)
{
    KVQAPI_Pause();
    LogAudioState();
    EXPECT_EQ(Order(), (std::vector<std::string>{"msg OnKVQPause", "audio playing", "texture Release", "Shutdown",
                                                 "audio playing", "audio paused"}));
    device.Reset();

    KVQAPI_Resume();
    EXPECT_EQ(Order(), (std::vector<std::string>{"texture Upload", "ResetDevice", "audio paused", "msg OnKVQResume",
                                                 "audio playing"}));
}

TEST_F(PauseOrder, CaptureWhilePausedRestoresForTheFrameOnlyAndTellsNobody)
{
    KVQAPI_Pause();
    device.Reset();

    std::vector<uint8_t> rgba;
    int32_t width = 0;
    int32_t height = 0;
    ASSERT_TRUE(KVQAPI_CaptureFrame(rgba, width, height));
    EXPECT_EQ(device.Trace({"msg", "texture", "Shutdown", "ResetDevice", "audio", "BeginScene", "EndScene",
                            "ReadFrame"}),
              (std::vector<std::string>{"texture Upload", "ResetDevice", "audio paused", "BeginScene", "EndScene",
                                        "ReadFrame", "texture Release", "Shutdown", "audio paused"}));
    EXPECT_TRUE(GetCoreCfg().IsPaused);
    EXPECT_TRUE(SimpleAudioEngine::sharedEngine()->isEffectPaused(probedEffect));

    // Not paused: the device and textures are left as they are.
    KVQAPI_Resume();
    device.Reset();
    ASSERT_TRUE(KVQAPI_CaptureFrame(rgba, width, height));
    EXPECT_EQ(Order(), std::vector<std::string>{});
}

TEST_F(PauseResume, ExitRunsTheUnloadCascade)
{
    manager.BookMessage("OnUnload", root);
    root->OnLoad();
    EXPECT_EQ(KVQAPI_Exit(), 0);
    EXPECT_EQ(device.Count("msg OnUnload"), 1);
}

TEST(EngineStart, DeviceKindWithoutDeviceFailsWithAClearMessage)
{
    std::string error;
    EXPECT_FALSE(KVQAPI_Init(2, true, &error));
    EXPECT_NE(error.find("D3D8X"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(KVQAPI_Init(17, true, &error));
    EXPECT_NE(error.find("17"), std::string::npos) << error;
    ShutdownScriptHost();
}

}  // namespace

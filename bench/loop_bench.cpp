// The frame loop itself, without drawing: a headless loop (SDL event polling, the tick with its
// window updates, timers and Lua handlers, the repaint event and the render traversal) over a small
// game tree, drawing into a device whose drawing calls do nothing. A game runs 30 ticks a second
// and a windowed loop makes about 100 idle passes a second (10 ms sleep each); the goal is that
// both together stay under 1% of one core. The "percent_of_core" counters give that share (printed
// with a time unit, as the library prints inverted rates: read 0.1s as 0.1 percent).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>

#include "app/Clock.h"
#include "app/Engine.h"
#include "app/Shell.h"
#include "gfx/DC.h"
#include "platform/Clock.h"
#include "platform/Video.h"
#include "render/logic/LuaLogic.h"
#include "render/Rectangle.h"
#include "render/RenderRegistry.h"
#include "script/LuaHost.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int kWindows = 60;
constexpr int kScriptedWindows = 10;
constexpr int kTimers = 10;
constexpr double kTicksPerSecond = 30.0;
constexpr double kIdlePassesPerSecond = 100.0;
constexpr const char* kScript =
    "moves = 0 function OnBenchUpdate(window, name, message, sender) moves = moves + 1 end";

// Drawing does nothing; repaint requests arrive as events and every frame has something to paint,
// so the whole tree is traversed as in a real frame.
class NoDrawDC : public CKVQDC {
public:
    int32_t RequestRedraw() override
    {
        platform::PostRepaint();
        return 0;
    }
    int32_t GetInvalidRect(KVQRect& rect) override
    {
        rect = KVQRect{0, 320, 0, 240};
        return 0;
    }
};

struct LoopFixture {
    LoopFixture()
    {
        std::string error;
        videoStarted = platform::InitVideo(true, error);
        platform::SetVirtualClock(true);
        RegisterRenderClasses();
        CKVQLuaHost& host = InitScriptHost();
        host.DoBuffer(kScript, std::strlen(kScript));
        SetCurrentDevice(&device);
        KVQAPI_SetFrameInterval(kDefaultFrameInterval);

        CKVQWindow* root = CKVQWindow::New();
        root->NormalAligned(KVQRect{0, 320, 0, 240});
        root->AddRender(new CRenderObject_Rectangle);
        for (int i = 0; i < kWindows; ++i) {
            CKVQWindow* w = CKVQWindow::New();
            w->NormalAligned(KVQRect{(i % 10) * 30, (i % 10) * 30 + 25, (i / 10) * 30, (i / 10) * 30 + 25});
            w->AddRender(new CRenderObject_Rectangle);
            if (i < kScriptedWindows) {
                w->SetBit(STATUS_IsActive);
                auto* logic = new CRenderObject_LuaLogic;
                logic->ExecuteCommand("AddLuaFunction");
                logic->entries.back()->Msg = "OnUpdate";
                logic->entries.back()->LuaFunc = "OnBenchUpdate";
                w->AddRender(logic);
            }
            root->AppendChild(w);
            if (i < kTimers)
                CKVQTimerSystem::Instance().SetTimer(w, "OnBenchTimer", 100, 0xFFFFFFFFu, 0);
        }
        CKVQWindowMgr::Instance().SetRoot(root);
        root->OnLoad();

        options.headless = true;
        loop = new FrameLoop(shell, options, nullptr,
                             videoStarted ? FrameLoop::EventSource(platform::PollEvent) : FrameLoop::EventSource());
        loop->Start();
    }

    NoDrawDC device;
    CKVQShell shell;
    ShellOptions options;
    FrameLoop* loop = nullptr;  // kept to the end of the process with the rest of the engine
    bool videoStarted = false;
};

LoopFixture& Fixture()
{
    static LoopFixture fixture;
    return fixture;
}

// One tick and the repaint it asks for: passes of the loop until the next step has run and the
// event queue is empty again.
void BM_LoopTickAndRepaint(benchmark::State& state)
{
    LoopFixture& f = Fixture();
    if (!f.videoStarted)
        state.SetLabel("no SDL video: events not polled");
    for (auto _ : state) {
        const uint64_t target = f.loop->Steps() + 1;
        while (f.loop->Steps() < target)
            f.loop->Pass();
        platform::Event event;
        while (f.videoStarted && platform::PollEvent(event))
            f.shell.WindowProc(event);
    }
    state.counters["percent_of_core_at_30_ticks"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / (kTicksPerSecond * 100.0),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoopTickAndRepaint)->MeasureProcessCPUTime()->UseRealTime();

// An idle pass of a windowed loop that finds no event and no tick due (the sleep left out).
void BM_LoopIdlePass(benchmark::State& state)
{
    LoopFixture& f = Fixture();
    platform::Event event;
    for (auto _ : state) {
        if (f.videoStarted)
            benchmark::DoNotOptimize(platform::PollEvent(event));
        benchmark::DoNotOptimize(KVQAPI_Update());
    }
    state.counters["percent_of_core_at_100_passes"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / (kIdlePassesPerSecond * 100.0),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoopIdlePass)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

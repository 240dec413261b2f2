// Timers: one tick's update of 10,000 active timers against the least any timer scheme must do, a
// plain loop that adds the tick to 10,000 accumulators and compares each with its interval. The
// timers belong to 100 windows; in the measured case none triggers, so the figure is the cost of
// keeping timers alive. A second case, where every timer triggers about once a second and
// dispatches to its (handler-less) window, is reported for reference.

#include <cstdint>
#include <vector>

#include "support/Ratio.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

constexpr int kTimers = 10000;
constexpr int kWindows = 100;
constexpr int32_t kTick = 33;
constexpr int32_t kNeverInterval = 2000000000;  // no trigger within any benchmark run
constexpr int32_t kSecondInterval = 1000;
constexpr uint32_t kEndless = 4294967295u;

const char* const kNames[] = {"OnA", "OnB", "OnC", "OnD", "OnE"};

struct TimerSet {
    std::vector<CKVQWindow*> windows;

    explicit TimerSet(int32_t interval)
    {
        CKVQTimerSystem& timers = CKVQTimerSystem::Instance();
        timers.Clear();
        for (int i = 0; i < kWindows; ++i)
            windows.push_back(CKVQWindow::New());
        // Spread the start so that triggers do not all fall on one tick.
        for (int i = 0; i < kTimers; ++i)
            timers.SetTimer(windows[i % kWindows], kNames[i % 5], interval, kEndless, i % interval);
        timers.Update(0);
    }
    ~TimerSet()
    {
        CKVQTimerSystem::Instance().Clear();
        for (CKVQWindow* w : windows)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
    }
};

void BM_TimerUpdate(benchmark::State& state)
{
    TimerSet set(kNeverInterval);
    for (auto _ : state)
        KVQAPI_UpdateTimer(kTick);
    state.counters["timers"] = static_cast<double>(CKVQTimerSystem::Instance().GetTimerCount());
}
BENCHMARK(BM_TimerUpdate)->Unit(benchmark::kMicrosecond);

void BM_TimerUpdateTriggering(benchmark::State& state)
{
    TimerSet set(kSecondInterval);
    for (auto _ : state)
        KVQAPI_UpdateTimer(kTick);
}
BENCHMARK(BM_TimerUpdateTriggering)->Unit(benchmark::kMicrosecond);

void BM_PlainAccumulators(benchmark::State& state)
{
    std::vector<int32_t> accumulators(kTimers);
    std::vector<int32_t> intervals(kTimers, kNeverInterval);
    for (int i = 0; i < kTimers; ++i)
        accumulators[i] = i % 1000;
    int32_t fired = 0;
    for (auto _ : state) {
        for (int i = 0; i < kTimers; ++i) {
            accumulators[i] += kTick;
            if (accumulators[i] >= intervals[i]) {
                accumulators[i] -= intervals[i];
                ++fired;
            }
        }
        benchmark::DoNotOptimize(accumulators.data());
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(fired);
}
BENCHMARK(BM_PlainAccumulators)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {{"BM_TimerUpdate", "BM_PlainAccumulators", 5.0},
                          {"BM_TimerUpdateTriggering", "BM_PlainAccumulators", 0}});
}

#pragma once
// Benchmarks report their goals as ratios against a baseline measured in the same run: this
// main runs the registered benchmarks and then prints "NAME / BASELINE = ratio" for each pair.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                nanos_[run.benchmark_name()] = run.GetAdjustedRealTime() * Multiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Time per iteration in nanoseconds of the first benchmark whose name starts with prefix.
    double Find(const std::string& prefix) const
    {
        for (const auto& [name, ns] : nanos_) {
            if (name.rfind(prefix, 0) == 0)
                return ns;
        }
        return 0;
    }

private:
    static double Multiplier(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kSecond: return 1e9;
        case benchmark::kMillisecond: return 1e6;
        case benchmark::kMicrosecond: return 1e3;
        default: return 1;
        }
    }
    std::map<std::string, double> nanos_;
};

// pairs: (measured, baseline, goal) — goal is the highest acceptable ratio, 0 when only reported.
struct RatioGoal {
    const char* measured;
    const char* baseline;
    double goal;
};

inline int RunWithRatios(int argc, char** argv, const std::vector<RatioGoal>& goals)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const RatioGoal& g : goals) {
        double m = reporter.Find(g.measured), b = reporter.Find(g.baseline);
        if (m <= 0 || b <= 0)
            continue;
        double ratio = m / b;
        if (g.goal > 0)
            std::printf("ratio %s / %s = %.2f (goal <= %.1f: %s)\n", g.measured, g.baseline, ratio, g.goal,
                        ratio <= g.goal ? "met" : "NOT met");
        else
            std::printf("ratio %s / %s = %.2f\n", g.measured, g.baseline, ratio);
    }
    return 0;
}

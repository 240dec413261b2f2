// 100,000 short log lines through the log system against fwrite of the same bytes to a file
// (the baseline). Goal: the log system within 3x of the baseline.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "io/FileSystem.h"
#include "services/LogSystem.h"

namespace {

constexpr int kLines = 100000;
constexpr const char* kMessage = "player 42 picked up item 7";

std::string Folder()
{
    static const std::string folder = [] {
        auto path = std::filesystem::temp_directory_path() / "kvq_log_bench";
        std::filesystem::create_directories(path);
        GetFileSystem().SetApplicationFolder(path.string() + "/");
        return path.string() + "/";
    }();
    return folder;
}

void BM_FwriteBaseline(benchmark::State& state)
{
    const std::string path = Folder() + "baseline.log";
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "wb");
        char line[128];
        for (int i = 0; i < kLines; ++i) {
            // The same bytes as a log line: stamp, message, line break.
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            const int n = std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d %s\r\n", local.tm_year + 1900,
                                        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                                        kMessage);
            std::fwrite(line, 1, static_cast<size_t>(n), file);
        }
        std::fclose(file);
    }
}
BENCHMARK(BM_FwriteBaseline)->Unit(benchmark::kMillisecond);

void BM_XLog(benchmark::State& state)
{
    Folder();
    for (auto _ : state) {
        CKVQLogSystem logs("xlog.log", "", "");
        for (int i = 0; i < kLines; ++i)
            logs.XLog(0, kMessage);
        logs.FlushAll();
    }
}
BENCHMARK(BM_XLog)->Unit(benchmark::kMillisecond);

}  // namespace

// Looking a name up in a loaded package of 10,000 entries, against a plain hash-map lookup of
// the same names in the same run. The package benchmark reports its cost as a multiple of the
// map's ("x_map" counter and label), which stays comparable across machines.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/FileSystem.h"

namespace {

constexpr int kEntries = 10000;

std::vector<std::string> LookupNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < kEntries; ++i)
        names.push_back("image_" + std::to_string(i * 7919 % kEntries) + ".png");
    return names;
}

// Package of kEntries one-byte files stored under folders, built once in a temporary folder.
struct Fixture {
    std::vector<std::string> names = LookupNames();
    std::unordered_map<std::string, int> map;
    CPackage package;
    double mapNanoseconds = 0;

    Fixture()
    {
        namespace fs = std::filesystem;
        fs::path folder = fs::temp_directory_path() / ("kvq_package_bench_" + std::to_string(getpid()));
        fs::create_directories(folder / "png");
        CPackage builder;
        for (int i = 0; i < kEntries; ++i) {
            std::string name = "png/image_" + std::to_string(i) + ".png";
            if (FILE* f = std::fopen((folder / name).c_str(), "wb")) {
                std::fputc('x', f);
                std::fclose(f);
            }
            builder.AddInput(name);
            map.emplace("image_" + std::to_string(i) + ".png", i);
        }
        std::string path = (folder / "bench.KVQ").string();
        if (!builder.BuildPackage(path, folder.string()) || !package.Load(path) ||
            package.Entries().size() != static_cast<size_t>(kEntries))
            std::fprintf(stderr, "package_bench: could not build the test package\n");
        std::error_code ec;
        fs::remove_all(folder, ec);  // the loaded package keeps its stream open
    }
};

Fixture& Data()
{
    static Fixture fixture;
    return fixture;
}

double Elapsed(std::chrono::steady_clock::time_point start, int64_t operations)
{
    std::chrono::duration<double, std::nano> d = std::chrono::steady_clock::now() - start;
    return operations > 0 ? d.count() / static_cast<double>(operations) : 0;
}

void BM_MapLookup(benchmark::State& state)
{
    Fixture& f = Data();
    size_t i = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        auto it = f.map.find(f.names[i]);
        benchmark::DoNotOptimize(it);
        i = i + 1 == f.names.size() ? 0 : i + 1;
    }
    f.mapNanoseconds = Elapsed(start, state.iterations());
}
BENCHMARK(BM_MapLookup);

void BM_PackageLookup(benchmark::State& state)
{
    Fixture& f = Data();
    size_t i = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const PackageEntry* entry = f.package.FindEntry(f.names[i]);
        benchmark::DoNotOptimize(entry);
        i = i + 1 == f.names.size() ? 0 : i + 1;
    }
    double ns = Elapsed(start, state.iterations());
    if (f.mapNanoseconds > 0) {
        double ratio = ns / f.mapNanoseconds;
        state.counters["x_map"] = ratio;
        char label[64];
        std::snprintf(label, sizeof(label), "%.2fx the map lookup", ratio);
        state.SetLabel(label);
    }
}
BENCHMARK(BM_PackageLookup);

}  // namespace

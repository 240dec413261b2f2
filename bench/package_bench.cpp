// Looking a name up in a loaded package, against a plain hash-map lookup of the same names in
// the same run. A lookup must not scan the directory: it stays within a small multiple of the
// map's cost, and a package of 10,000 entries answers as fast as one of 1,000.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/FileSystem.h"
#include "support/Ratio.h"

namespace {

constexpr int kSmallPackage = 1000;
constexpr int kLargePackage = 10000;

std::string EntryName(int i) { return "image_" + std::to_string(i) + ".png"; }

// Names of a package of count entries, in an order unrelated to the directory's.
std::vector<std::string> LookupNames(int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(EntryName(static_cast<int>(static_cast<int64_t>(i) * 7919 % count)));
    return names;
}

// A package of count one-byte files stored under a folder, built in a temporary folder.
bool BuildPackage(const std::filesystem::path& folder, int count, CPackage& package)
{
    CPackage builder;
    for (int i = 0; i < count; ++i)
        builder.AddInput("png/" + EntryName(i));
    std::string path = (folder / ("bench" + std::to_string(count) + ".KVQ")).string();
    return builder.BuildPackage(path, folder.string()) && package.Load(path) &&
           package.Entries().size() == static_cast<size_t>(count);
}

struct Fixture {
    std::vector<std::string> smallNames = LookupNames(kSmallPackage);
    std::vector<std::string> largeNames = LookupNames(kLargePackage);
    std::unordered_map<std::string, int> map;
    CPackage small;
    CPackage large;

    Fixture()
    {
        namespace fs = std::filesystem;
        fs::path folder = fs::temp_directory_path() / ("kvq_package_bench_" + std::to_string(getpid()));
        fs::create_directories(folder / "png");
        for (int i = 0; i < kLargePackage; ++i) {
            if (FILE* f = std::fopen((folder / "png" / EntryName(i)).c_str(), "wb")) {
                std::fputc('x', f);
                std::fclose(f);
            }
            map.emplace(EntryName(i), i);
        }
        if (!BuildPackage(folder, kSmallPackage, small) || !BuildPackage(folder, kLargePackage, large))
            std::fprintf(stderr, "package_bench: could not build the test packages\n");
        std::error_code ec;
        fs::remove_all(folder, ec);  // the loaded packages keep their streams open
    }
};

Fixture& Data()
{
    static Fixture fixture;
    return fixture;
}

void BM_MapLookup(benchmark::State& state)
{
    Fixture& f = Data();
    size_t i = 0;
    for (auto _ : state) {
        auto it = f.map.find(f.largeNames[i]);
        benchmark::DoNotOptimize(it);
        i = i + 1 == f.largeNames.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_MapLookup);

// Argument: the package's entry count.
void BM_PackageLookup(benchmark::State& state)
{
    Fixture& f = Data();
    bool large = state.range(0) == kLargePackage;
    const CPackage& package = large ? f.large : f.small;
    const std::vector<std::string>& names = large ? f.largeNames : f.smallNames;
    size_t i = 0;
    for (auto _ : state) {
        const PackageEntry* entry = package.FindEntry(names[i]);
        benchmark::DoNotOptimize(entry);
        i = i + 1 == names.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_PackageLookup)->Arg(kSmallPackage)->Arg(kLargePackage);

}  // namespace

int main(int argc, char** argv)
{
    // "BM_PackageLookup/1000" is a prefix of "/10000" too; the report is sorted, so the
    // shorter name is found first.
    return RunWithRatios(argc, argv,
                         {{"BM_PackageLookup/10000", "BM_MapLookup", 3.0},
                          {"BM_PackageLookup/1000", "BM_MapLookup", 3.0},
                          {"BM_PackageLookup/10000", "BM_PackageLookup/1000", 2.0}});
}

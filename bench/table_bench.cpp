// Configuration tables: loading a 10 MB table against only finding every line end and comma of
// the same bytes with memchr, and a group lookup (index already built) against a plain hash-map
// lookup of the same keys, in the same run.

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "services/DBConfig.h"
#include "support/Ratio.h"

namespace {

constexpr int kKeyCount = 100000;

// About 10 MB of rows of an integer, a quoted name, a float and an integer.
const std::string& TableBytes()
{
    static const std::string bytes = [] {
        std::string text = "id,name,price,count,\n";
        for (int i = 0; text.size() < 10u * 1024 * 1024; ++i) {
            text += std::to_string(i % kKeyCount) + ",\"Item " + std::to_string(i) + "\"," + std::to_string(i % 997) +
                    ".25," + std::to_string(i * 7 % 1000) + ",\n";
        }
        return text;
    }();
    return bytes;
}

std::vector<std::string> LookupKeys()
{
    std::vector<std::string> keys;
    for (int i = 0; i < kKeyCount; ++i)
        keys.push_back(std::to_string(static_cast<int64_t>(i) * 7919 % kKeyCount));
    return keys;
}

void BM_ScanLinesAndCommas(benchmark::State& state)
{
    const std::string& bytes = TableBytes();
    for (auto _ : state) {
        size_t commas = 0;
        const char* at = bytes.data();
        const char* const end = at + bytes.size();
        while (at < end) {
            const char* line = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            const char* stop = line ? line : end;
            for (const char* c = at; (c = static_cast<const char*>(std::memchr(c, ',', static_cast<size_t>(stop - c))));
                 ++c)
                ++commas;
            at = stop + 1;
        }
        benchmark::DoNotOptimize(commas);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ScanLinesAndCommas)->Unit(benchmark::kMillisecond);

void BM_LoadTable(benchmark::State& state)
{
    const std::string& bytes = TableBytes();
    for (auto _ : state) {
        CKVQDBConfig table;
        table.LoadFromMemory(bytes, "bench.csv");
        benchmark::DoNotOptimize(table.GetRowNums());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadTable)->Unit(benchmark::kMillisecond);

void BM_HashMapLookup(benchmark::State& state)
{
    const std::vector<std::string> keys = LookupKeys();
    std::unordered_map<std::string, IntArray> map;
    // Filled in the order the table's rows fill its index.
    for (int i = 0; i < kKeyCount; ++i)
        map[std::to_string(i)].Push(1);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(keys[i]));
        i = i + 1 == keys.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_HashMapLookup);

void BM_GroupField(benchmark::State& state)
{
    const std::vector<std::string> keys = LookupKeys();
    CKVQDBConfig table;
    table.LoadFromMemory(TableBytes(), "bench.csv");
    table.GroupField(1, "0");  // builds the index
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.GroupField(1, keys[i]));
        i = i + 1 == keys.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_GroupField);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {{"BM_LoadTable", "BM_ScanLinesAndCommas", 3.0}, {"BM_GroupField", "BM_HashMapLookup", 2.0}});
}

// Reading a 1 MiB archive of mixed int32 and string transfers, against one plain copy of the
// same bytes.

#include <cstring>
#include <random>
#include <vector>

#include "common/EngineString.h"
#include "support/Ratio.h"
#include "ui/Message.h"

namespace {

constexpr int32_t kArchiveBytes = 1 << 20;

struct MixedArchive {
    CKVQMessage message{kArchiveBytes + 1024};
    int32_t pairs = 0;

    MixedArchive()
    {
        std::mt19937 random(7);
        CKVQString s;
        while (message.GetSize() < kArchiveBytes - 64) {
            int32_t value = static_cast<int32_t>(random());
            message.Int32(value);
            std::string text(1 + random() % 40, static_cast<char>('a' + random() % 26));
            s.Assign(text.c_str());
            message.String(s);
            ++pairs;
        }
    }
};

MixedArchive& Archive()
{
    static MixedArchive archive;
    return archive;
}

void BM_CopyBaseline(benchmark::State& state)
{
    const CKVQMessage& m = Archive().message;
    std::vector<uint8_t> out(static_cast<size_t>(m.GetSize()));
    for (auto _ : state) {
        std::memcpy(out.data(), m.GetBuffer(), out.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * m.GetSize());
}
BENCHMARK(BM_CopyBaseline);

void BM_ArchiveRead(benchmark::State& state)
{
    MixedArchive& a = Archive();
    CKVQString s;
    int64_t sum = 0;
    for (auto _ : state) {
        a.message.setMode(CIArchive::SM_READ);
        for (int32_t i = 0; i < a.pairs; ++i) {
            int32_t v;
            a.message.Int32(v);
            a.message.String(s);
            sum += v + s.GetByteLength();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * a.message.GetSize());
}
BENCHMARK(BM_ArchiveRead);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv, {{"BM_ArchiveRead", "BM_CopyBaseline", 4.0}});
}

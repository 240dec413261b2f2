// Window trees: loading a chain of 1,000 nested windows against 1,000 siblings of the same records
// (loading reads nested blocks where they lie, so depth must not cost more than a constant
// factor), save and load of a 10,000-window layout with three render objects per window, the hit
// test of a point through a 5-level tree of 1,000 windows, and the bytes a live window takes.

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "render/Line.h"
#include "render/Rectangle.h"
#include "render/RenderRegistry.h"
#include "support/HeapCounter.h"
#include "support/Ratio.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr int kChainWindows = 1000;
constexpr int kLayoutWindows = 10000;
constexpr int kHitWindows = 1000;

CKVQWindow* MakeWindow(int renderObjects)
{
    CKVQWindow* w = CKVQWindow::New();
    w->SetName("w");
    for (int i = 0; i < renderObjects; ++i) {
        if (i % 3 == 1)
            w->AddRender(new CRenderObject_Line);
        else
            w->AddRender(new CRenderObject_Rectangle);
    }
    return w;
}

std::vector<uint8_t> BlockOf(CKVQWindow* root)
{
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    root->WriteBlock(out);
    return std::vector<uint8_t>(out.GetBuffer(), out.GetBuffer() + out.GetSize());
}

void Release(CKVQWindow* root)
{
    root->Delete();
    WindowModule::Get().ReleaseDeleted();
}

// A layout's bytes, made once.
struct Layouts {
    std::vector<uint8_t> chain;
    std::vector<uint8_t> siblings;
    std::vector<uint8_t> large;

    Layouts()
    {
        RegisterRenderClasses();
        CKVQWindow* top = MakeWindow(1);
        CKVQWindow* at = top;
        for (int i = 1; i < kChainWindows; ++i) {
            CKVQWindow* c = MakeWindow(1);
            at->AppendChild(c);
            at = c;
        }
        chain = BlockOf(top);
        Release(top);

        top = MakeWindow(1);
        for (int i = 1; i < kChainWindows; ++i)
            top->AppendChild(MakeWindow(1));
        siblings = BlockOf(top);
        Release(top);

        CKVQWindow* large = MakeLarge();
        this->large = BlockOf(large);
        Release(large);
    }

    // 10,000 windows in three levels (1 + 99 + 9,900), three render objects each.
    static CKVQWindow* MakeLarge()
    {
        CKVQWindow* root = MakeWindow(3);
        for (int i = 0; i < 99; ++i) {
            CKVQWindow* group = MakeWindow(3);
            root->AppendChild(group);
            for (int j = 0; j < 100; ++j)
                group->AppendChild(MakeWindow(3));
        }
        return root;
    }
};

Layouts& Data()
{
    static Layouts layouts;
    return layouts;
}

void LoadBlock(benchmark::State& state, const std::vector<uint8_t>& bytes, int windows)
{
    CKVQMessage in(static_cast<int32_t>(bytes.size()));
    in.Bytes(const_cast<uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
    for (auto _ : state) {
        in.setMode(CIArchive::SM_READ);
        CKVQWindow* root = CKVQWindow::ReadBlock(in);
        benchmark::DoNotOptimize(root);
        state.PauseTiming();
        if (root)
            Release(root);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * windows);
}

void BM_LoadSiblings(benchmark::State& state)
{
    LoadBlock(state, Data().siblings, kChainWindows);
}
BENCHMARK(BM_LoadSiblings)->Unit(benchmark::kMicrosecond);

void BM_LoadNestedChain(benchmark::State& state)
{
    LoadBlock(state, Data().chain, kChainWindows);
}
BENCHMARK(BM_LoadNestedChain)->Unit(benchmark::kMicrosecond);

void BM_LoadLayout10k(benchmark::State& state)
{
    LoadBlock(state, Data().large, kLayoutWindows);
}
BENCHMARK(BM_LoadLayout10k)->Unit(benchmark::kMillisecond);

void BM_SaveLayout10k(benchmark::State& state)
{
    Data();
    CKVQWindow* root = Layouts::MakeLarge();
    for (auto _ : state) {
        CKVQMessage out(CKVQMessage::kWindowCapacity);  // as a save makes it: fresh, growing
        root->WriteBlock(out);
        benchmark::DoNotOptimize(out.GetBuffer());
    }
    state.SetItemsProcessed(state.iterations() * kLayoutWindows);
    Release(root);
}
BENCHMARK(BM_SaveLayout10k)->Unit(benchmark::kMillisecond);

// 1,000 windows in five levels, each level splitting its parent's area across its children.
CKVQWindow* MakeHitTree()
{
    CKVQWindow* root = MakeWindow(0);
    root->Layout = LayoutRect{0, 0, 0, 0, 0, 1023, 0, 1023};
    std::vector<CKVQWindow*> level{root};
    int made = 1;
    const int fanout[] = {6, 6, 6, 6};
    for (int depth = 0; depth < 4 && made < kHitWindows; ++depth) {
        std::vector<CKVQWindow*> next;
        for (CKVQWindow* parent : level) {
            const int32_t w = parent->Layout.Right - parent->Layout.Left;
            const int32_t h = parent->Layout.Bottom - parent->Layout.Top;
            for (int i = 0; i < fanout[depth] && made < kHitWindows; ++i, ++made) {
                CKVQWindow* child = MakeWindow(0);
                // Children split the width on even levels and the height on odd ones.
                if (depth % 2 == 0)
                    child->Layout = LayoutRect{0, 0, 0, 0, i * w / fanout[depth], (i + 1) * w / fanout[depth] - 1, 0, h};
                else
                    child->Layout = LayoutRect{0, 0, 0, 0, 0, w, i * h / fanout[depth], (i + 1) * h / fanout[depth] - 1};
                parent->AppendChild(child);
                next.push_back(child);
            }
        }
        level.swap(next);
    }
    return root;
}

void BM_HitTest(benchmark::State& state)
{
    CKVQWindow* root = MakeHitTree();
    std::mt19937 random(5);
    std::vector<KVQPoint> points(4096);
    for (KVQPoint& p : points)
        p = KVQPoint{static_cast<int32_t>(random() % 1024), static_cast<int32_t>(random() % 1024)};
    size_t i = 0;
    for (auto _ : state) {
        const KVQPoint& p = points[i++ & 4095];
        benchmark::DoNotOptimize(root->HitTest(p.x, p.y));
    }
    state.SetItemsProcessed(state.iterations());
    Release(root);
}
BENCHMARK(BM_HitTest);

void BM_BytesPerLiveWindow(benchmark::State& state)
{
    WindowModule::Get().DrainPool();
    std::vector<CKVQWindow*> windows;
    windows.reserve(kLayoutWindows);
    int64_t before = 0;
    int64_t after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        before = heap_counter::liveBytes.load();
        state.ResumeTiming();
        for (int i = 0; i < kLayoutWindows; ++i)
            windows.push_back(CKVQWindow::New());
        state.PauseTiming();
        after = heap_counter::liveBytes.load();
        for (CKVQWindow* w : windows)
            w->Delete();
        windows.clear();
        WindowModule::Get().ReleaseDeleted();
        WindowModule::Get().DrainPool();
        state.ResumeTiming();
    }
    state.counters["bytes_per_window"] = static_cast<double>(after - before) / kLayoutWindows;
    state.counters["sizeof_window"] = static_cast<double>(sizeof(CKVQWindow));
}
BENCHMARK(BM_BytesPerLiveWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv, {{"BM_LoadNestedChain", "BM_LoadSiblings", 2.0}});
}

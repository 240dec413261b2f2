// The cost of one routed left click (press and release) in a 1,000-window tree, against the
// root's hit test alone at the same point.

#include <benchmark/benchmark.h>

#include "app/CoreCfg.h"
#include "support/Ratio.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int kCells = 10;       // 10 x 10 panels of 100 px ...
constexpr int kPanelSize = 100;
constexpr int kItemsPerSide = 3; // ... each holding 3 x 3 items: 1 + 100 + 900 windows
constexpr int32_t kClickX = 5 * kPanelSize + 50;
constexpr int32_t kClickY = 4 * kPanelSize + 50;

CKVQWindow* BuildTree()
{
    CKVQWindow* root = CKVQWindow::New();
    root->NormalAligned(KVQRect{0, kCells * kPanelSize, 0, kCells * kPanelSize});
    for (int row = 0; row < kCells; ++row) {
        for (int column = 0; column < kCells; ++column) {
            CKVQWindow* panel = CKVQWindow::New();
            panel->NormalAligned(KVQRect{column * kPanelSize, (column + 1) * kPanelSize, row * kPanelSize,
                                         (row + 1) * kPanelSize});
            root->AppendChild(panel);
            const int item = kPanelSize / kItemsPerSide;
            for (int i = 0; i < kItemsPerSide * kItemsPerSide; ++i) {
                CKVQWindow* leaf = CKVQWindow::New();
                const int x = (i % kItemsPerSide) * item;
                const int y = (i / kItemsPerSide) * item;
                leaf->NormalAligned(KVQRect{x, x + item, y, y + item});
                panel->AppendChild(leaf);
            }
        }
    }
    return root;
}

struct Tree {
    Tree()
    {
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().IsDebuging = false;
        CKVQWindowMgr::Instance().Reset();
        CKVQWindowMgr::Instance().SetRoot(BuildTree());
    }
    ~Tree()
    {
        CKVQWindowMgr::Instance().Reset();
        WindowModule::Get().ReleaseDeleted();
    }
};

void BM_RootHitTest(benchmark::State& state)
{
    Tree tree;
    CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot();
    for (auto _ : state)
        benchmark::DoNotOptimize(root->HitTest(kClickX, kClickY));
}
BENCHMARK(BM_RootHitTest);

void BM_RoutedLeftClick(benchmark::State& state)
{
    Tree tree;
    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    int32_t taken = 0;
    for (auto _ : state) {
        taken += mgr.OnSysLClickDown(kClickX, kClickY);
        taken += mgr.OnSysLClickUp(kClickX, kClickY);
    }
    benchmark::DoNotOptimize(taken);
    if (taken != 2 * static_cast<int32_t>(state.iterations()))
        state.SkipWithError("a click was not taken");
}
BENCHMARK(BM_RoutedLeftClick);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv, {{"BM_RoutedLeftClick", "BM_RootHitTest", 0}});
}

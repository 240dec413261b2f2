// The grid path finder on a 512 x 512 maze against a direct reading of the search: an open list
// kept sorted by walking a linked list on every insertion, lookups that walk the open list. Both
// must find the same path; the figure is the ratio of their times.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <list>
#include <memory>
#include <stdexcept>
#include <vector>

#include "services/AStarFinder.h"

namespace {

constexpr int kSize = 512;

// A maze carved by a depth-first walk over odd cells, with some extra openings so that the
// search has more than one way to go.
std::vector<int> MakeMaze()
{
    std::vector<int> cells(kSize * kSize, 1);
    uint32_t seed = 2024;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
    std::vector<std::pair<int, int>> stack{{1, 1}};
    cells[1 + kSize] = 0;
    const int dirs[4][2] = {{2, 0}, {-2, 0}, {0, 2}, {0, -2}};
    while (!stack.empty()) {
        auto [c, r] = stack.back();
        int options[4], n = 0;
        for (int d = 0; d < 4; ++d) {
            int nc = c + dirs[d][0], nr = r + dirs[d][1];
            if (nc > 0 && nr > 0 && nc < kSize - 1 && nr < kSize - 1 && cells[nc + nr * kSize] == 1)
                options[n++] = d;
        }
        if (n == 0) {
            stack.pop_back();
            continue;
        }
        const int d = options[next() % static_cast<uint32_t>(n)];
        cells[(c + dirs[d][0] / 2) + (r + dirs[d][1] / 2) * kSize] = 0;
        cells[(c + dirs[d][0]) + (r + dirs[d][1]) * kSize] = 0;
        stack.push_back({c + dirs[d][0], r + dirs[d][1]});
    }
    for (int i = 0; i < kSize * kSize / 40; ++i) {
        const int c = 1 + static_cast<int>(next() % (kSize - 2)), r = 1 + static_cast<int>(next() % (kSize - 2));
        cells[c + r * kSize] = 0;
    }
    return cells;
}

const std::vector<int>& Maze()
{
    static const std::vector<int> maze = MakeMaze();
    return maze;
}

struct ListNode {
    ListNode* parent;
    int col, row, f, g, h;
};

// The baseline: the text as written, with flag grids for membership and list walks for lookups
// (the closed list gains nodes at its front, so the recent ones a lookup wants come first).
std::vector<KVQPoint> ListFind(const std::vector<int>& cells, KVQPoint start, KVQPoint goal, bool diagonal)
{
    std::vector<std::unique_ptr<ListNode>> keep;
    std::list<ListNode*> open;
    std::vector<char> inOpen(cells.size(), 0), inClosed(cells.size(), 0);
    std::list<ListNode*> closed;
    auto insert = [&](ListNode* n) {
        auto it = open.begin();
        while (it != open.end() && (*it)->f < n->f)
            ++it;
        open.insert(it, n);
        inOpen[static_cast<size_t>(n->col + n->row * kSize)] = 1;
    };
    keep.push_back(std::make_unique<ListNode>(ListNode{nullptr, start.x, start.y, 0, 0, 0}));
    insert(keep.back().get());
    const int steps[8][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    while (!open.empty()) {
        ListNode* n = open.front();
        open.pop_front();
        const size_t at = static_cast<size_t>(n->col + n->row * kSize);
        inOpen[at] = 0;
        inClosed[at] = 1;
        closed.push_front(n);
        if (n->col == goal.x && n->row == goal.y) {
            std::vector<KVQPoint> path;
            for (ListNode* p = n; p; p = p->parent)
                path.insert(path.begin(), KVQPoint{p->col, p->row});
            return path;
        }
        for (int s = 0; s < (diagonal ? 8 : 4); ++s) {
            const int c = n->col + steps[s][0], r = n->row + steps[s][1];
            if (c < 0 || r < 0 || c >= kSize || r >= kSize || cells[static_cast<size_t>(c + r * kSize)] > 0)
                continue;
            const size_t cell = static_cast<size_t>(c + r * kSize);
            const int g = n->g + ((c == n->col || r == n->row) ? 10 : 14);
            if (inOpen[cell]) {
                for (auto it = open.begin(); it != open.end(); ++it) {
                    if ((*it)->col == c && (*it)->row == r) {
                        if ((*it)->g > g) {
                            ListNode* m = *it;
                            open.erase(it);
                            m->parent = n;
                            m->g = g;
                            m->f = g + m->h;
                            insert(m);
                        }
                        break;
                    }
                }
            } else if (inClosed[cell]) {
                for (auto it = closed.begin(); it != closed.end(); ++it) {
                    if ((*it)->col == c && (*it)->row == r) {
                        if ((*it)->g > g) {
                            closed.erase(it);
                            inClosed[cell] = 0;
                        }
                        break;
                    }
                }
            } else {
                const int h = std::abs(c - goal.x) + std::abs(r - goal.y);
                keep.push_back(std::make_unique<ListNode>(ListNode{n, c, r, g + h, g, h}));
                insert(keep.back().get());
            }
        }
    }
    return {};
}

std::vector<KVQPoint> FinderFind(CKVQAStarFinder& finder, bool diagonal)
{
    std::vector<KVQPoint> out;
    if (!finder.find(diagonal))
        return out;
    KVQPointList* list = finder.GetPathList();
    for (auto node = list->Begin(); node != 0; node = list->Next(node))
        out.push_back(*list->Data(node));
    return out;
}

constexpr KVQPoint kStart{1, 1};
constexpr KVQPoint kGoal{kSize - 3, kSize - 3};

void BM_SortedListBaseline(benchmark::State& state)
{
    const bool diagonal = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ListFind(Maze(), kStart, kGoal, diagonal));
}
BENCHMARK(BM_SortedListBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Finder(benchmark::State& state)
{
    const bool diagonal = state.range(0) != 0;
    IntArray map;
    for (int v : Maze())
        map.Push(v);
    CKVQAStarFinder finder;
    finder.loadMapFromMemory(&map, kSize, kSize, 0);
    finder.setStart(kStart.x, kStart.y);
    finder.setGoal(kGoal.x, kGoal.y);
    const auto expected = ListFind(Maze(), kStart, kGoal, diagonal);
    if (expected.empty() || FinderFind(finder, diagonal) != expected) {
        state.SkipWithError("the finder's path differs from the baseline's");
        return;
    }
    state.counters["path"] = static_cast<double>(expected.size());
    state.counters["nodes"] = static_cast<double>(finder.NodeCount());
    for (auto _ : state)
        benchmark::DoNotOptimize(FinderFind(finder, diagonal));
}
BENCHMARK(BM_Finder)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

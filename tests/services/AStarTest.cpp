// The finder against a direct reading of the search: a sorted linked open list (insert at the
// front, move back past smaller f), lists walked for membership, nodes kept until the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "services/AStarFinder.h"

namespace {

struct RefNode {
    RefNode* parent;
    int col, row, f, g, h;
};

std::vector<KVQPoint> ReferenceFind(const std::vector<int>& cells, int w, int h, int collision, KVQPoint start,
                                    KVQPoint goal, bool diagonal)
{
    std::vector<std::unique_ptr<RefNode>> keep;
    std::list<RefNode*> open, closed;
    auto make = [&](RefNode* p, int c, int r, int g) {
        int hh = std::abs(c - goal.x) + std::abs(r - goal.y);
        keep.push_back(std::make_unique<RefNode>(RefNode{p, c, r, g + hh, g, hh}));
        return keep.back().get();
    };
    auto insert = [&](RefNode* n) {
        auto it = open.begin();
        while (it != open.end() && (*it)->f < n->f)
            ++it;
        open.insert(it, n);
    };
    auto findIn = [](std::list<RefNode*>& l, int c, int r) {
        for (auto it = l.begin(); it != l.end(); ++it)
            if ((*it)->col == c && (*it)->row == r)
                return it;
        return l.end();
    };
    insert(make(nullptr, start.x, start.y, 0));
    keep.back()->f = keep.back()->h = 0;
    const int steps[8][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    while (!open.empty()) {
        RefNode* n = open.front();
        open.pop_front();
        closed.push_front(n);
        if (n->col == goal.x && n->row == goal.y) {
            std::vector<KVQPoint> path;
            for (RefNode* p = n; p; p = p->parent)
                path.insert(path.begin(), KVQPoint{p->col, p->row});
            return path;
        }
        for (int s = 0; s < (diagonal ? 8 : 4); ++s) {
            int c = n->col + steps[s][0], r = n->row + steps[s][1];
            if (c < 0 || r < 0 || c >= w || r >= h || cells[c + r * w] > collision)
                continue;
            int g = n->g + ((c == n->col || r == n->row) ? 10 : 14);
            if (auto it = findIn(open, c, r); it != open.end()) {
                if ((*it)->g > g) {
                    RefNode* m = *it;
                    open.erase(it);
                    m->parent = n;
                    m->g = g;
                    m->f = g + m->h;
                    insert(m);
                }
            } else if (auto jt = findIn(closed, c, r); jt != closed.end()) {
                if ((*jt)->g > g)
                    closed.erase(jt);
            } else {
                insert(make(n, c, r, g));
            }
        }
    }
    return {};
}

std::vector<KVQPoint> PathOf(CKVQAStarFinder& finder)
{
    std::vector<KVQPoint> out;
    KVQPointList* list = finder.GetPathList();
    for (auto node = list->Begin(); node != 0; node = list->Next(node))
        out.push_back(*list->Data(node));
    return out;
}

// Grids drawn as text: '#' is a cell of value 5, anything else 0; collision is 1.
struct GridCase {
    std::string name;
    std::vector<std::string> rows;
    KVQPoint start, goal;
    bool diagonal;
    bool found;
    size_t length;  // 0: not checked beyond the reference
};

TEST(AStarFinder, MatchesReferenceOnGrids)
{
    const std::vector<GridCase> cases = {
        {"open four-way", std::vector<std::string>(10, ".........."), {2, 3}, {6, 3}, false, true, 5},
        {"goal blocked", {".....", "..#..", "....."}, {0, 0}, {2, 1}, false, false, 0},
        {"diagonal squeeze", {".#", "#."}, {0, 0}, {1, 1}, true, true, 2},
        {"squeeze four-way", {".#", "#."}, {0, 0}, {1, 1}, false, false, 0},
        {"walls four-way", {"..#.....", "..#.##..", "..#..#..", "....#...", "###.#.#.", "......#."},
         {0, 0}, {7, 5}, false, true, 0},
        {"walls diagonal", {"..#.....", "..#.##..", "..#..#..", "....#...", "###.#.#.", "......#."},
         {0, 0}, {7, 5}, true, true, 0},
        {"start is goal", {"..."}, {1, 0}, {1, 0}, false, true, 1},
        {"detour diagonal", {"........", ".######.", "......#.", ".####.#.", "......#."}, {0, 4}, {7, 4}, true,
         true, 0},
    };
    for (const GridCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int h = static_cast<int>(c.rows.size()), w = static_cast<int>(c.rows[0].size());
        std::vector<int> cells;
        IntArray map;
        for (int r = 0; r < h; ++r)
            for (int col = 0; col < w; ++col)
                cells.push_back(c.rows[static_cast<size_t>(r)][static_cast<size_t>(col)] == '#' ? 5 : 0);
        for (int v : cells)
            map.Push(v);
        CKVQAStarFinder finder;
        ASSERT_TRUE(finder.loadMapFromMemory(&map, w, h, 1));
        finder.setStart(c.start.x, c.start.y);
        finder.setGoal(c.goal.x, c.goal.y);
        EXPECT_EQ(finder.find(c.diagonal), c.found);
        const auto expected = ReferenceFind(cells, w, h, 1, c.start, c.goal, c.diagonal);
        EXPECT_EQ(PathOf(finder), expected);
        if (c.length) {
            EXPECT_EQ(expected.size(), c.length);
        }
    }
}

TEST(AStarFinder, RandomMazesMatchReference)
{
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int round = 0; round < 40; ++round) {
        const int w = 12 + round % 7, h = 9 + round % 5;
        std::vector<int> cells;
        IntArray map;
        for (int i = 0; i < w * h; ++i) {
            cells.push_back(next() % 100 < 30 ? 9 : 0);
            map.Push(cells.back());
        }
        cells[0] = 0;
        map.Set(0, 0);
        const KVQPoint goal{w - 1 - round % 3, h - 1};
        CKVQAStarFinder finder;
        finder.loadMapFromMemory(&map, w, h, 0);
        finder.setStart(0, 0);
        finder.setGoal(goal.x, goal.y);
        const bool diagonal = round % 2 == 1;
        const auto expected = ReferenceFind(cells, w, h, 0, {0, 0}, goal, diagonal);
        EXPECT_EQ(finder.find(diagonal), !expected.empty()) << "round " << round;
        EXPECT_EQ(PathOf(finder), expected) << "round " << round;
    }
}

// Starts just off the grid or on a blocked cell are expanded like any other start, and a grid
// wider or taller than its array has a ragged last row; all must match the direct reading.
TEST(AStarFinder, OffGridStartsAndShortArraysMatchReference)
{
    const struct {
        const char* name;
        int width, height, arrayCells;
        KVQPoint start, goal;
        bool diagonal;
        bool found;
    } cases[] = {
        {"start left of the grid", 4, 3, 12, {-1, 0}, {3, 2}, false, true},
        {"start below the far corner", 4, 3, 12, {4, 3}, {0, 0}, true, true},
        {"start below the far corner, four-way", 4, 3, 12, {4, 3}, {0, 0}, false, false},
        {"start two cells off", 4, 3, 12, {-2, 0}, {0, 0}, true, false},
        {"start on a blocked cell", 4, 3, 12, {1, 1}, {3, 0}, false, true},
        {"ragged last row", 5, 5, 12, {0, 0}, {1, 2}, false, true},
        {"goal past the ragged row", 5, 5, 12, {0, 0}, {2, 2}, false, false},
        {"one column", 1, 6, 6, {0, 5}, {0, 0}, true, true},
        {"width beyond the array", 1000, 2, 7, {0, 0}, {6, 0}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Cell (1, 1) is blocked; cells past the array read as blocked in the reference's grid.
        std::vector<int> cells(static_cast<size_t>(c.width * c.height), 9);
        IntArray map;
        for (int i = 0; i < c.arrayCells; ++i) {
            cells[static_cast<size_t>(i)] = c.width > 1 && i == 1 + c.width ? 9 : 0;
            map.Push(cells[static_cast<size_t>(i)]);
        }
        CKVQAStarFinder finder;
        ASSERT_TRUE(finder.loadMapFromMemory(&map, c.width, c.height, 0));
        finder.setStart(c.start.x, c.start.y);
        finder.setGoal(c.goal.x, c.goal.y);
        EXPECT_EQ(finder.find(c.diagonal), c.found);
        EXPECT_EQ(PathOf(finder), ReferenceFind(cells, c.width, c.height, 0, c.start, c.goal, c.diagonal));
    }
}

TEST(AStarFinder, RejectsMissingMapAndNegativeSizesKeepingThePreviousMap)
{
    IntArray map;
    for (int i = 0; i < 4; ++i)
        map.Push(0);
    CKVQAStarFinder finder;
    EXPECT_FALSE(finder.find(false));  // no map, start differs from goal
    ASSERT_TRUE(finder.loadMapFromMemory(&map, 2, 2, 0));
    EXPECT_FALSE(finder.loadMapFromMemory(nullptr, 2, 2, 0));
    EXPECT_FALSE(finder.loadMapFromMemory(&map, -1, 2, 0));
    finder.setStart(0, 0);
    finder.setGoal(1, 1);
    EXPECT_TRUE(finder.find(false));
    EXPECT_EQ(PathOf(finder).size(), 3u);
    // The map is a reference: a cell blocked afterwards blocks the next search.
    map.Set(3, 7);
    EXPECT_FALSE(finder.find(true));
    // A grid larger than the array reads the missing cells as blocked.
    ASSERT_TRUE(finder.loadMapFromMemory(&map, 3, 3, 9));
    finder.setGoal(2, 2);
    EXPECT_FALSE(finder.find(true));
}

// Coordinates at the ends of the int32 range and grids far larger than their array: every search
// ends with a plain answer, no overflow and no grid-sized allocation.
TEST(AStarFinder, ExtremeCoordinatesAndOversizedGridsEndCleanly)
{
    const struct {
        const char* name;
        int32_t width, height;
        KVQPoint start, goal;
        bool found;
        size_t length;
    } cases[] = {
        {"huge grid, path in the array's rows", INT32_MAX, INT32_MAX, {0, 0}, {3, 0}, true, 4},
        {"huge grid, goal past the array", INT32_MAX, INT32_MAX, {0, 0}, {0, 1}, false, 0},
        {"start at the far corner", 4, 4, {INT32_MAX, INT32_MAX}, {1, 1}, false, 0},
        {"goal at the low ends", 4, 4, {0, 0}, {INT32_MIN, INT32_MIN}, false, 0},
        {"off-grid start is its goal", 4, 4, {INT32_MIN, 7}, {INT32_MIN, 7}, true, 1},
    };
    IntArray map;
    for (int i = 0; i < 16; ++i)
        map.Push(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CKVQAStarFinder finder;
        ASSERT_TRUE(finder.loadMapFromMemory(&map, c.width, c.height, 0));
        finder.setStart(c.start.x, c.start.y);
        finder.setGoal(c.goal.x, c.goal.y);
        for (bool diagonal : {false, true}) {
            EXPECT_EQ(finder.find(diagonal), c.found);
            EXPECT_EQ(PathOf(finder).size(), c.length);
        }
    }
}

}  // namespace

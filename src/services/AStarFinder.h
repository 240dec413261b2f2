#pragma once
// Grid path finding for scripts: A* over a row-major grid of cells that the finder only
// references (cell (col, row) at col + row * width). A cell whose value is greater than the
// collision value is blocked. The result runs from start to goal, both included, as points with
// x = column and y = row.
//
// The open list keeps the engine's order: ascending f, and among equal f the most recently
// inserted node first. A step costs at least 10 while the distance estimate changes by at most 2,
// so f never falls below the f of the node being expanded and never rises more than 16 above it:
// every open node lies within 17 consecutive f values. The open list is therefore a ring of 32
// buckets, one per f, each a doubly linked LIFO chain threaded through the nodes: inserting,
// removing and taking the best are constant time and no entry is ever left behind.

#include <array>
#include <cstdint>
#include <vector>

#include "common/IntArray.h"
#include "script/bindings/geometry_glue.h"

class CKVQAStarFinder {
public:
    static constexpr int32_t kStraightCost = 10;
    static constexpr int32_t kDiagonalCost = 14;

    CKVQAStarFinder() = default;

    void setStart(int32_t col, int32_t row) { start_ = {col, row}; }
    void setGoal(int32_t col, int32_t row) { goal_ = {col, row}; }
    void setCollision(int32_t value) { collision_ = value; }
    // Keeps a reference to cells (not a copy). False, keeping the previous map, when cells is
    // missing or a size is negative. Cells beyond the array's end count as blocked.
    bool loadMapFromMemory(const IntArray* cells, int32_t width, int32_t height, int32_t collision);
    // True when a path was found; the path is then in GetPathList.
    bool find(bool diagonal);
    KVQPointList* GetPathList() { return &path_; }
    // Empties the open and closed lists and releases their nodes.
    void clear();

    // How many nodes the last search made (for tests and benchmarks).
    size_t NodeCount() const { return nodes_.size(); }

private:
    struct Node {
        int32_t parent;  // index into nodes_, -1 for none
        int32_t cell;    // index into slots_
        int32_t col, row;
        // Neighbours in its open-list bucket, -1 for none.
        int32_t prev, next;
        int32_t g;
        uint32_t h;  // a column distance plus a row distance, both inside the grid
        int64_t F() const { return static_cast<int64_t>(g) + h; }
    };

    // Fills slots_ from the map as it is now; false when the grid has no cells.
    bool BuildSlots();
    // The slot of (col, row), or -1 when it lies outside the grid and its ring of two cells.
    int64_t SlotIndex(int64_t col, int64_t row) const;
    uint32_t Estimate(int32_t col, int32_t row) const;
    void InsertOpen(int32_t node);
    void RemoveOpen(int32_t node);
    int32_t TakeBestOpen();
    template <int Steps>
    void Expand(int32_t best);
    void Visit(int32_t from, int32_t step, int32_t cell);

    const IntArray* map_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t collision_ = 0;
    KVQPoint start_{2, 3};
    KVQPoint goal_{6, 3};

    // One slot per cell of the grid's part that the array covers, surrounded by a ring of two
    // blocked cells so that a step never needs a bounds test (the start may lie in the inner
    // ring). A slot holds the cell's node while it is open, or one of the states below.
    std::vector<int32_t> slots_;
    int64_t slotCols_ = 0, slotRows_ = 0;  // the covered part, without the ring
    int32_t stride_ = 0;                   // slotCols_ + the ring on both sides
    std::array<int32_t, 8> stepOffsets_{};  // slot distance of each step
    int32_t goalSlot_ = -1;

    // Nodes live until clear: closed nodes are the parents of the path.
    std::vector<Node> nodes_;
    static constexpr size_t kBuckets = 32;  // a power of two above the 17 f values in use
    std::array<int32_t, kBuckets> buckets_{};  // head node of the chain for f = its index mod 32
    int64_t lowestF_ = 0;                      // no open node has a lower f
    size_t openCount_ = 0;
    KVQPointList path_;
};

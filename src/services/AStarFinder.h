#pragma once
// Grid path finding for scripts: A* over a row-major grid of cells that the finder only
// references (cell (col, row) at col + row * width). A cell whose value is greater than the
// collision value is blocked. The result runs from start to goal, both included, as points with
// x = column and y = row.
//
// The open list keeps the engine's order: ascending f, and among equal f the most recently
// inserted node first. f values are small integers that move forward as the search goes, so the
// list is a row of buckets, one per f from a moving base, each a doubly linked LIFO chain
// threaded through the nodes: inserting, removing and taking the best are constant time and no
// entry is ever left behind.

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
        int32_t col, row;
        // Neighbours in its open-list bucket, -1 for none; prev is kNotOpen while the node is
        // not in the open list.
        int32_t prev, next;
        int32_t g;
        uint32_t h;  // a column distance below 2^31 plus a row distance below 2^24
        bool Open() const { return prev != kNotOpen; }
        int64_t F() const { return static_cast<int64_t>(g) + h; }
    };
    static constexpr int32_t kNotOpen = -2;

    // Index of the cell, or -1 when it is outside the grid or beyond the array's end.
    int64_t CellIndex(int64_t col, int64_t row) const;
    bool Blocked(int64_t cell) const;
    void InsertOpen(int32_t node);
    void RemoveOpen(int32_t node);
    int32_t TakeBestOpen();
    void Visit(int32_t from, int64_t col, int64_t row);

    const IntArray* map_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t collision_ = 0;
    KVQPoint start_{2, 3};
    KVQPoint goal_{6, 3};

    // Cells of the array inside the grid, as they were when the search started: the map is only
    // referenced and may change between searches.
    int64_t cellCount_ = 0;

    // Nodes live until clear: closed nodes are the parents of the path.
    std::vector<Node> nodes_;
    std::vector<int32_t> cellNode_;  // per cell: its node while open, or no node, blocked or closed
    std::vector<int32_t> buckets_;   // head node of the chain for f = bucketBase_ + index
    int64_t bucketBase_ = 0;
    size_t lowestBucket_ = 0;        // no bucket below this one holds a node
    size_t openCount_ = 0;
    KVQPointList path_;
};

#include "services/AStarFinder.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>

namespace {

// Values of a cell's slot that name no node. A closed cell is final: a step costs at least 10
// while the distance estimate changes by at most 2 per step, so a node leaves the open list with
// the cheapest cost there is and no later route can improve on it.
constexpr int32_t kNoNode = -1;
constexpr int32_t kBlocked = -2;
constexpr int32_t kClosed = -3;

// The blocked ring around the covered cells is this wide: the start may lie one cell outside
// the grid, and its own neighbours one further.
constexpr int64_t kRing = 2;

// Neighbours in the order they are visited: the four straight steps, then the diagonals.
constexpr int32_t kSteps[8][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
constexpr int32_t kStraightSteps = 4;

}  // namespace

bool CKVQAStarFinder::loadMapFromMemory(const IntArray* cells, int32_t width, int32_t height, int32_t collision)
{
    if (!cells || width < 0 || height < 0)
        return false;
    map_ = cells;
    width_ = width;
    height_ = height;
    collision_ = collision;
    clear();
    return true;
}

void CKVQAStarFinder::clear()
{
    nodes_.clear();
    buckets_.fill(-1);
    lowestF_ = 0;
    openCount_ = 0;
}

bool CKVQAStarFinder::BuildSlots()
{
    // Cells beyond the array's end are blocked, so only the rows and columns the array reaches
    // need slots.
    const int* cells = map_ ? map_->Data() : nullptr;
    const int64_t gridCells = static_cast<int64_t>(width_) * static_cast<int64_t>(height_);
    const int64_t cellCount = cells ? std::min<int64_t>(gridCells, map_->Size()) : 0;
    slotCols_ = slotRows_ = 0;
    slots_.clear();
    if (cellCount <= 0)
        return false;
    const int64_t cols = std::min<int64_t>(width_, cellCount);
    const int64_t rows = std::min<int64_t>(height_, (cellCount + cols - 1) / cols);
    const int64_t stride = cols + 2 * kRing;
    const int64_t total = stride * (rows + 2 * kRing);
    if (total > INT32_MAX)
        return false;  // node and slot indices are 32-bit
    slotCols_ = cols;
    slotRows_ = rows;
    stride_ = static_cast<int32_t>(stride);
    for (size_t s = 0; s < 8; ++s)
        stepOffsets_[s] = kSteps[s][0] + kSteps[s][1] * stride_;
    slots_.assign(static_cast<size_t>(total), kBlocked);
    for (int64_t row = 0; row < rows; ++row) {
        const int64_t first = row * width_;
        const int64_t count = std::min(cols, cellCount - first);
        const int* in = cells + first;
        int32_t* out = slots_.data() + (row + kRing) * stride + kRing;
        for (int64_t col = 0; col < count; ++col)
            out[col] = in[col] > collision_ ? kBlocked : kNoNode;
    }
    return true;
}

int64_t CKVQAStarFinder::SlotIndex(int64_t col, int64_t row) const
{
    if (col < -1 || row < -1 || col > slotCols_ || row > slotRows_)
        return -1;
    return (col + kRing) + (row + kRing) * stride_;
}

uint32_t CKVQAStarFinder::Estimate(int32_t col, int32_t row) const
{
    return static_cast<uint32_t>(std::abs(static_cast<int64_t>(col) - goal_.x) +
                                 std::abs(static_cast<int64_t>(row) - goal_.y));
}

void CKVQAStarFinder::InsertOpen(int32_t node)
{
    Node& n = nodes_[static_cast<size_t>(node)];
    const int64_t f = n.F();
    // Only the start node (f = 0 whatever its distance) and its children can lie below the
    // lowest f; from then on nodes arrive at or above it.
    if (openCount_ == 0 || f < lowestF_)
        lowestF_ = f;
    int32_t& head = buckets_[static_cast<size_t>(f) % kBuckets];
    n.prev = -1;
    n.next = head;
    if (n.next >= 0)
        nodes_[static_cast<size_t>(n.next)].prev = node;
    head = node;
    ++openCount_;
}

void CKVQAStarFinder::RemoveOpen(int32_t node)
{
    Node& n = nodes_[static_cast<size_t>(node)];
    if (n.prev >= 0)
        nodes_[static_cast<size_t>(n.prev)].next = n.next;
    else
        buckets_[static_cast<size_t>(n.F()) % kBuckets] = n.next;
    if (n.next >= 0)
        nodes_[static_cast<size_t>(n.next)].prev = n.prev;
    --openCount_;
}

int32_t CKVQAStarFinder::TakeBestOpen()
{
    while (buckets_[static_cast<size_t>(lowestF_) % kBuckets] < 0)
        ++lowestF_;
    const int32_t best = buckets_[static_cast<size_t>(lowestF_) % kBuckets];
    RemoveOpen(best);
    return best;
}

void CKVQAStarFinder::Visit(int32_t from, int32_t step, int32_t cell)
{
    const Node& parent = nodes_[static_cast<size_t>(from)];
    const int64_t cost = static_cast<int64_t>(parent.g) + (step < kStraightSteps ? kStraightCost : kDiagonalCost);
    if (cost > INT32_MAX)
        return;  // farther than any grid the array can hold
    const int32_t g = static_cast<int32_t>(cost);
    int32_t& slot = slots_[static_cast<size_t>(cell)];
    if (slot == kNoNode) {
        const int32_t col = parent.col + kSteps[step][0];
        const int32_t row = parent.row + kSteps[step][1];
        const Node fresh{from, cell, col, row, -1, -1, g, Estimate(col, row)};
        nodes_.push_back(fresh);
        slot = static_cast<int32_t>(nodes_.size() - 1);
        InsertOpen(slot);
        return;
    }
    const int32_t node = slot;
    Node& n = nodes_[static_cast<size_t>(node)];
    if (n.g > g) {
        // Taken out at its old f, then inserted again at the new one.
        RemoveOpen(node);
        n.parent = from;
        n.g = g;
        InsertOpen(node);
    }
}

template <int Steps>
void CKVQAStarFinder::Expand(int32_t best)
{
    // Which neighbours can take a step is read first, in one pass without branches; the visits
    // then only go to those. A visit changes only its own cell, so the set stays right.
    const int32_t cell = nodes_[static_cast<size_t>(best)].cell;
    const int32_t* here = slots_.data() + cell;
    unsigned open = 0;
    for (int s = 0; s < Steps; ++s)
        open |= static_cast<unsigned>(here[stepOffsets_[static_cast<size_t>(s)]] >= kNoNode) << s;
    while (open != 0) {
        const int s = std::countr_zero(open);
        open &= open - 1;
        Visit(best, s, cell + stepOffsets_[static_cast<size_t>(s)]);
    }
}

bool CKVQAStarFinder::find(bool diagonal)
{
    path_.Clear();
    clear();
    if (start_.x == goal_.x && start_.y == goal_.y) {
        // Taken from the open list at once: the path is the start alone, wherever it lies.
        nodes_.push_back({-1, -1, start_.x, start_.y, -1, -1, 0, 0});
        path_.PushFront(start_);
        return true;
    }
    // A goal that is blocked or off the grid cannot be reached, and a start farther than one
    // cell off the grid has no neighbour to step to.
    if (!BuildSlots())
        return false;
    const int64_t goalSlot = SlotIndex(goal_.x, goal_.y);
    const int64_t startSlot = SlotIndex(start_.x, start_.y);
    if (goalSlot < 0 || slots_[static_cast<size_t>(goalSlot)] == kBlocked || startSlot < 0)
        return false;
    goalSlot_ = static_cast<int32_t>(goalSlot);
    nodes_.push_back({-1, static_cast<int32_t>(startSlot), start_.x, start_.y, -1, -1, 0, 0});
    InsertOpen(0);

    while (openCount_ > 0) {
        const int32_t best = TakeBestOpen();
        const int32_t cell = nodes_[static_cast<size_t>(best)].cell;
        slots_[static_cast<size_t>(cell)] = kClosed;  // a blocked start stays out of reach either way
        if (cell == goalSlot_) {
            for (int32_t i = best; i >= 0; i = nodes_[static_cast<size_t>(i)].parent)
                path_.PushFront({nodes_[static_cast<size_t>(i)].col, nodes_[static_cast<size_t>(i)].row});
            return true;
        }
        if (diagonal)
            Expand<8>(best);
        else
            Expand<kStraightSteps>(best);
    }
    clear();
    return false;
}

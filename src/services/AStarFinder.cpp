#include "services/AStarFinder.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// Buckets below the lowest occupied one are dropped once this many have piled up, so a long
// search keeps a short row.
constexpr size_t kBucketSlack = 1024;

// Values of a cell's slot that name no node. A closed cell is final: a step costs at least 10
// while the distance estimate changes by at most 2 per step, so a node leaves the open list with
// the cheapest cost there is and no later route can improve on it.
constexpr int32_t kNoNode = -1;
constexpr int32_t kBlocked = -2;
constexpr int32_t kClosed = -3;

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

int64_t CKVQAStarFinder::CellIndex(int64_t col, int64_t row) const
{
    if (col < 0 || row < 0 || col >= width_ || row >= height_)
        return -1;
    const int64_t index = col + row * width_;
    return index < cellCount_ ? index : -1;
}

bool CKVQAStarFinder::Blocked(int64_t cell) const
{
    return cell < 0 || cellNode_[static_cast<size_t>(cell)] == kBlocked;
}

void CKVQAStarFinder::clear()
{
    nodes_.clear();
    buckets_.clear();
    bucketBase_ = 0;
    lowestBucket_ = 0;
    openCount_ = 0;
    // Cells beyond the array's end are blocked, so only the array's cells need a slot.
    const int* cells = map_ ? map_->Data() : nullptr;
    const int64_t gridCells = static_cast<int64_t>(width_) * static_cast<int64_t>(height_);
    cellCount_ = cells ? std::min<int64_t>(gridCells, map_->Size()) : 0;
    // One array holds both whether a cell is blocked and which node it has, so a step looks
    // at one place.
    cellNode_.resize(static_cast<size_t>(cellCount_));
    for (size_t i = 0; i < cellNode_.size(); ++i)
        cellNode_[i] = cells[i] > collision_ ? kBlocked : kNoNode;
}

void CKVQAStarFinder::InsertOpen(int32_t node)
{
    Node& n = nodes_[static_cast<size_t>(node)];
    const int64_t f = n.F();
    if (openCount_ == 0) {
        // Every bucket is empty: start the row at this f.
        buckets_.clear();
        bucketBase_ = f;
        lowestBucket_ = 0;
    } else if (f < bucketBase_) {
        buckets_.insert(buckets_.begin(), static_cast<size_t>(bucketBase_ - f), -1);
        lowestBucket_ += static_cast<size_t>(bucketBase_ - f);
        bucketBase_ = f;
    }
    const size_t index = static_cast<size_t>(f - bucketBase_);
    if (index >= buckets_.size())
        buckets_.resize(index + 1, -1);
    n.prev = -1;
    n.next = buckets_[index];
    if (n.next >= 0)
        nodes_[static_cast<size_t>(n.next)].prev = node;
    buckets_[index] = node;
    lowestBucket_ = std::min(lowestBucket_, index);
    ++openCount_;
}

void CKVQAStarFinder::RemoveOpen(int32_t node)
{
    Node& n = nodes_[static_cast<size_t>(node)];
    const size_t index = static_cast<size_t>(n.F() - bucketBase_);
    if (n.prev >= 0)
        nodes_[static_cast<size_t>(n.prev)].next = n.next;
    else
        buckets_[index] = n.next;
    if (n.next >= 0)
        nodes_[static_cast<size_t>(n.next)].prev = n.prev;
    n.prev = kNotOpen;
    n.next = -1;
    --openCount_;
}

int32_t CKVQAStarFinder::TakeBestOpen()
{
    if (openCount_ == 0)
        return -1;
    while (buckets_[lowestBucket_] < 0)
        ++lowestBucket_;
    const int32_t best = buckets_[lowestBucket_];
    RemoveOpen(best);
    if (lowestBucket_ >= kBucketSlack) {
        buckets_.erase(buckets_.begin(), buckets_.begin() + static_cast<std::ptrdiff_t>(lowestBucket_));
        bucketBase_ += static_cast<int64_t>(lowestBucket_);
        lowestBucket_ = 0;
    }
    return best;
}

void CKVQAStarFinder::Visit(int32_t from, int64_t col, int64_t row)
{
    const int64_t cell = CellIndex(col, row);
    if (cell < 0)
        return;
    int32_t& slot = cellNode_[static_cast<size_t>(cell)];
    if (slot < kNoNode)
        return;  // blocked or closed
    const Node& parent = nodes_[static_cast<size_t>(from)];
    const bool straight = col == parent.col || row == parent.row;
    const int64_t cost = static_cast<int64_t>(parent.g) + (straight ? kStraightCost : kDiagonalCost);
    if (cost > INT32_MAX)
        return;  // farther than any grid the array can hold
    const int32_t g = static_cast<int32_t>(cost);
    if (slot == kNoNode) {
        const auto h = static_cast<uint32_t>(std::abs(col - goal_.x) + std::abs(row - goal_.y));
        nodes_.push_back({from, static_cast<int32_t>(col), static_cast<int32_t>(row), kNotOpen, -1, g, h});
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

bool CKVQAStarFinder::find(bool diagonal)
{
    path_.Clear();
    clear();
    const bool startIsGoal = start_.x == goal_.x && start_.y == goal_.y;
    // A goal that is blocked or off the grid can only be reached by starting on it; searching
    // every open cell for it would end the same way.
    if (!startIsGoal && Blocked(CellIndex(goal_.x, goal_.y)))
        return false;
    nodes_.push_back({-1, start_.x, start_.y, kNotOpen, -1, 0, 0});
    InsertOpen(0);

    static constexpr int32_t kSteps[8][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    const int32_t stepCount = diagonal ? 8 : 4;
    while (openCount_ > 0) {
        const int32_t best = TakeBestOpen();
        const Node n = nodes_[static_cast<size_t>(best)];
        const int64_t cell = CellIndex(n.col, n.row);
        if (!Blocked(cell))
            cellNode_[static_cast<size_t>(cell)] = kClosed;
        if (n.col == goal_.x && n.row == goal_.y) {
            for (int32_t i = best; i >= 0; i = nodes_[static_cast<size_t>(i)].parent)
                path_.PushFront({nodes_[static_cast<size_t>(i)].col, nodes_[static_cast<size_t>(i)].row});
            return true;
        }
        for (int32_t s = 0; s < stepCount; ++s)
            Visit(best, static_cast<int64_t>(n.col) + kSteps[s][0], static_cast<int64_t>(n.row) + kSteps[s][1]);
    }
    clear();
    return false;
}

#include "services/AStarFinder.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The heap's "less urgent" relation: std heaps put the greatest first, so the greatest is the
// lowest f, and among equal f the latest insertion.
bool LessUrgent(int32_t fa, uint64_t oa, int32_t fb, uint64_t ob)
{
    if (fa != fb)
        return fa > fb;
    return oa < ob;
}

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

int32_t CKVQAStarFinder::CellIndex(int32_t col, int32_t row) const
{
    if (col < 0 || row < 0 || col >= width_ || row >= height_)
        return -1;
    return col + row * width_;
}

bool CKVQAStarFinder::Blocked(int32_t col, int32_t row) const
{
    const int32_t index = CellIndex(col, row);
    if (index < 0 || !map_)
        return true;
    const auto value = map_->Get(index);
    return !value || *value > collision_;
}

void CKVQAStarFinder::clear()
{
    nodes_.clear();
    heap_.clear();
    openCount_ = 0;
    insertions_ = 0;
    const size_t cells = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    where_.assign(cells, Where::None);
    cellNode_.assign(cells, -1);
}

void CKVQAStarFinder::InsertOpen(int32_t node)
{
    Node& n = nodes_[static_cast<size_t>(node)];
    n.order = ++insertions_;
    heap_.push_back({n.f, n.order, node});
    std::push_heap(heap_.begin(), heap_.end(), [](const Entry& a, const Entry& b) {
        return LessUrgent(a.f, a.order, b.f, b.order);
    });
    const int32_t cell = CellIndex(n.col, n.row);
    if (cell >= 0) {
        where_[static_cast<size_t>(cell)] = Where::Open;
        cellNode_[static_cast<size_t>(cell)] = node;
    }
    ++openCount_;
}

int32_t CKVQAStarFinder::TakeBestOpen()
{
    auto less = [](const Entry& a, const Entry& b) { return LessUrgent(a.f, a.order, b.f, b.order); };
    while (!heap_.empty()) {
        std::pop_heap(heap_.begin(), heap_.end(), less);
        const Entry e = heap_.back();
        heap_.pop_back();
        // A stale entry: its node was inserted again since (a newer order) or left the list.
        if (nodes_[static_cast<size_t>(e.node)].order != e.order)
            continue;
        nodes_[static_cast<size_t>(e.node)].order = 0;
        --openCount_;
        return e.node;
    }
    return -1;
}

void CKVQAStarFinder::Visit(int32_t from, int32_t col, int32_t row)
{
    if (Blocked(col, row))
        return;
    const Node& parent = nodes_[static_cast<size_t>(from)];
    const bool straight = col == parent.col || row == parent.row;
    const int32_t g = parent.g + (straight ? kStraightCost : kDiagonalCost);
    const size_t cell = static_cast<size_t>(CellIndex(col, row));
    switch (where_[cell]) {
    case Where::None: {
        const int32_t h = std::abs(col - goal_.x) + std::abs(row - goal_.y);
        nodes_.push_back({from, col, row, g + h, g, h, 0});
        InsertOpen(static_cast<int32_t>(nodes_.size() - 1));
        break;
    }
    case Where::Open: {
        const int32_t node = cellNode_[cell];
        Node& n = nodes_[static_cast<size_t>(node)];
        if (n.g > g) {
            n.parent = from;
            n.g = g;
            n.f = g + n.h;
            --openCount_;  // taken out, then inserted again
            InsertOpen(node);
        }
        break;
    }
    case Where::Closed: {
        const int32_t node = cellNode_[cell];
        if (nodes_[static_cast<size_t>(node)].g > g) {
            // Out of the closed list, but kept: it may be a parent on the final path.
            where_[cell] = Where::None;
            cellNode_[cell] = -1;
        }
        break;
    }
    }
}

bool CKVQAStarFinder::find(bool diagonal)
{
    path_.Clear();
    clear();
    nodes_.push_back({-1, start_.x, start_.y, 0, 0, 0, 0});
    InsertOpen(0);

    static constexpr int32_t kSteps[8][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    const int32_t stepCount = diagonal ? 8 : 4;
    while (openCount_ > 0) {
        const int32_t best = TakeBestOpen();
        if (best < 0)
            break;
        const Node n = nodes_[static_cast<size_t>(best)];
        const int32_t cell = CellIndex(n.col, n.row);
        if (cell >= 0) {
            where_[static_cast<size_t>(cell)] = Where::Closed;
            cellNode_[static_cast<size_t>(cell)] = best;
        }
        if (n.col == goal_.x && n.row == goal_.y) {
            for (int32_t i = best; i >= 0; i = nodes_[static_cast<size_t>(i)].parent)
                path_.PushFront({nodes_[static_cast<size_t>(i)].col, nodes_[static_cast<size_t>(i)].row});
            return true;
        }
        for (int32_t s = 0; s < stepCount; ++s)
            Visit(best, n.col + kSteps[s][0], n.row + kSteps[s][1]);
    }
    clear();
    return false;
}

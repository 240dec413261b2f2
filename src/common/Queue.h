#pragma once
// A first-in, first-out queue: append at the tail, take from the head. It does no locking;
// a queue shared between threads (the HTTP request and response queues) is guarded by its
// owner's lock.

#include <cstddef>
#include <deque>
#include <utility>

template <typename T>
class KVQQueue {
public:
    void Append(T value) { items_.push_back(std::move(value)); }

    // Moves the head element into out and removes it; false (out untouched) when empty.
    bool Take(T& out)
    {
        if (items_.empty()) {
            return false;
        }
        out = std::move(items_.front());
        items_.pop_front();
        return true;
    }

    bool Empty() const { return items_.empty(); }
    size_t Size() const { return items_.size(); }
    void Clear() { items_.clear(); }

private:
    std::deque<T> items_;
};

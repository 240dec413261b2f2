#pragma once
// Growable arrays offered to scripts (IntArray, WndArray, KVQPointArray) share one shape:
// a block with a capacity, a count of elements in use, and a growth step of 10 — a push
// that finds the block full moves the elements to a block 10 elements larger.
//
// Every index is checked: reading, writing or erasing outside 0 … count-1 is refused and
// reported, never performed. Allocation failures are reported the same way.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <utility>

template <typename T>
class KVQArray {
public:
    static constexpr int32_t kGrowthStep = 10;
    // A ceiling on the element count so a hostile size from a script cannot ask for gigabytes.
    static constexpr int32_t kMaxCount = 1 << 24;

    KVQArray() = default;
    KVQArray(const KVQArray& other) { CopyFrom(other); }
    KVQArray& operator=(const KVQArray& other)
    {
        if (this != &other) {
            CopyFrom(other);
        }
        return *this;
    }
    KVQArray(KVQArray&& other) noexcept { Swap(other); }
    KVQArray& operator=(KVQArray&& other) noexcept
    {
        Swap(other);
        return *this;
    }
    ~KVQArray() = default;

    int32_t Size() const { return count_; }
    int32_t Capacity() const { return capacity_; }
    bool Empty() const { return count_ == 0; }
    const T* Data() const { return data_.get(); }

    // The element at index, or nothing when index is outside the array.
    std::optional<T> Get(int32_t index) const
    {
        if (!InRange(index)) {
            return std::nullopt;
        }
        return data_[index];
    }

    // Stores value at an existing index; false when index is outside the array.
    bool Set(int32_t index, T value)
    {
        if (!InRange(index)) {
            return false;
        }
        data_[index] = std::move(value);
        return true;
    }

    // Appends; false when the array cannot grow.
    bool Push(T value)
    {
        if (count_ == capacity_ && !Reallocate(capacity_ + kGrowthStep)) {
            return false;
        }
        data_[count_++] = std::move(value);
        return true;
    }

    // Removes the element at index. With keepOrder the later elements move down one place;
    // otherwise the last element takes its place. False when index is outside the array.
    bool Erase(int32_t index, bool keepOrder)
    {
        if (!InRange(index)) {
            return false;
        }
        if (keepOrder) {
            std::move(data_.get() + index + 1, data_.get() + count_, data_.get() + index);
        } else if (index != count_ - 1) {
            data_[index] = std::move(data_[count_ - 1]);
        }
        --count_;
        data_[count_] = T{};
        return true;
    }

    // Empties the array; the capacity stays.
    void ZeroSize()
    {
        std::fill(data_.get(), data_.get() + count_, T{});
        count_ = 0;
    }

    // Makes the array n elements long, each equal to value. The capacity grows to exactly n
    // when it is smaller and otherwise stays. False (array unchanged) for a negative or
    // excessive n or when the block cannot be allocated.
    bool Resize(int32_t n, const T& value)
    {
        if (n < 0 || n > kMaxCount) {
            return false;
        }
        if (n > capacity_ && !Reallocate(n)) {
            return false;
        }
        std::fill(data_.get(), data_.get() + n, value);
        std::fill(data_.get() + n, data_.get() + std::max(count_, n), T{});
        count_ = n;
        return true;
    }

private:
    bool InRange(int32_t index) const { return index >= 0 && index < count_; }

    bool Reallocate(int32_t newCapacity)
    {
        if (newCapacity > kMaxCount) {
            return false;
        }
        std::unique_ptr<T[]> block(new (std::nothrow) T[static_cast<size_t>(newCapacity)]());
        if (!block) {
            return false;
        }
        std::move(data_.get(), data_.get() + count_, block.get());
        data_ = std::move(block);
        capacity_ = newCapacity;
        return true;
    }

    void CopyFrom(const KVQArray& other)
    {
        std::unique_ptr<T[]> block;
        if (other.capacity_ > 0) {
            block.reset(new (std::nothrow) T[static_cast<size_t>(other.capacity_)]());
            if (!block) {
                return;  // out of memory: keep the old contents rather than half a copy
            }
            std::copy(other.data_.get(), other.data_.get() + other.count_, block.get());
        }
        data_ = std::move(block);
        capacity_ = other.capacity_;
        count_ = other.count_;
    }

    void Swap(KVQArray& other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(capacity_, other.capacity_);
        std::swap(count_, other.count_);
    }

    std::unique_ptr<T[]> data_;
    int32_t capacity_ = 0;
    int32_t count_ = 0;
};

// The integer array of configuration-table group indexes and of scripts.
class IntArray : public KVQArray<int32_t> {
public:
    using KVQArray<int32_t>::KVQArray;
};

extern template class KVQArray<int32_t>;

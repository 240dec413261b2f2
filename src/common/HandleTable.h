#pragma once
// The handle table: names engine objects (windows, timers) from outside by a uint32 handle
// that a released object can never answer to again.
//
// A handle packs the slot index (0 … 0xFFFFFF) in its low 24 bits and the slot's generation
// (1 … 255) in its high 8 bits; 0 names nothing. Removing an entry advances its slot's
// generation (255 wraps to 1, never 0), so a stale handle stops resolving; it could only
// resolve again after 255 more reuses of the same slot.
//
// Freed slots are reused oldest first. Objects created and released every frame (timers)
// therefore cycle through the free slots instead of growing the table, and a slot rests as
// long as possible before it is handed out again, which keeps its stale handles far apart.

#include <cstdint>
#include <deque>
#include <new>
#include <vector>

template <typename T>
class HandleTable {
public:
    static constexpr uint32_t kIndexBits = 24;
    static constexpr uint32_t kIndexMask = 0xFFFFFFu;
    static constexpr uint32_t kMaxSlots = kIndexMask + 1;

    // maxSlots lowers the slot limit (tests, small pools); it never exceeds kMaxSlots.
    explicit HandleTable(uint32_t maxSlots = kMaxSlots)
        : maxSlots_(maxSlots < kMaxSlots ? maxSlots : kMaxSlots)
    {
    }

    static uint32_t SlotIndex(uint32_t handle) { return handle & kIndexMask; }
    static uint8_t Generation(uint32_t handle) { return static_cast<uint8_t>(handle >> kIndexBits); }
    static uint32_t MakeHandle(uint32_t index, uint8_t generation)
    {
        return (static_cast<uint32_t>(generation) << kIndexBits) | (index & kIndexMask);
    }

    // Stores object and returns its handle; 0 for a null object or when the table is full.
    uint32_t Enter(T* object)
    {
        if (object == nullptr) {
            return 0;
        }
        uint32_t index;
        if (!free_.empty()) {
            index = free_.front();
            free_.pop_front();
        } else {
            if (slots_.size() >= maxSlots_) {
                return 0;
            }
            try {
                slots_.push_back(Slot{});
            } catch (const std::bad_alloc&) {
                return 0;
            }
            index = static_cast<uint32_t>(slots_.size() - 1);
        }
        Slot& slot = slots_[index];
        slot.object = object;
        ++live_;
        return MakeHandle(index, slot.generation);
    }

    // The object named by handle, or null when the handle is 0, stale or was never issued.
    T* Lookup(uint32_t handle) const
    {
        const Slot* slot = Find(handle);
        return slot ? slot->object : nullptr;
    }

    // Releases the entry named by handle. A stale or unknown handle changes nothing (false).
    bool Remove(uint32_t handle)
    {
        Slot* slot = const_cast<Slot*>(Find(handle));
        if (slot == nullptr) {
            return false;
        }
        slot->object = nullptr;
        slot->generation = NextGeneration(slot->generation);
        --live_;
        // Rather than fail a removal, a free list that cannot grow forgets the slot: it is
        // never handed out again, which costs memory but never aliases two objects.
        try {
            free_.push_back(SlotIndex(handle));
        } catch (const std::bad_alloc&) {
        }
        return true;
    }

    uint32_t SlotCount() const { return static_cast<uint32_t>(slots_.size()); }
    uint32_t LiveCount() const { return live_; }
    uint32_t FreeCount() const { return static_cast<uint32_t>(free_.size()); }

    static uint8_t NextGeneration(uint8_t generation)
    {
        return generation == 255 ? uint8_t{1} : static_cast<uint8_t>(generation + 1);
    }

private:
    struct Slot {
        T* object = nullptr;  // null while the slot is free
        uint8_t generation = 1;
    };

    // Only an occupied slot answers, so a forged handle that matches a free slot's next
    // generation cannot free that slot a second time.
    const Slot* Find(uint32_t handle) const
    {
        if (handle == 0) {
            return nullptr;
        }
        const uint32_t index = SlotIndex(handle);
        if (index >= slots_.size()) {
            return nullptr;
        }
        const Slot& slot = slots_[index];
        if (slot.object == nullptr || slot.generation != Generation(handle)) {
            return nullptr;
        }
        return &slot;
    }

    std::vector<Slot> slots_;
    std::deque<uint32_t> free_;
    uint32_t maxSlots_;
    uint32_t live_ = 0;
};

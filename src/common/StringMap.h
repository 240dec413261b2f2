#pragma once
// The engine's string-keyed map: 5 buckets chosen by the ELF hash of the key, each kept in
// strcmp order. Keys are compared byte for byte, case-sensitively. Iteration visits bucket
// 0 to 4 and, within a bucket, keys in ascending strcmp order; callers that list a map
// (registries, dumps) see that order.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

// The ELF hash of the key's bytes, each taken as unsigned.
inline uint32_t ElfHash(std::string_view key)
{
    uint32_t h = 0;
    for (const char c : key) {
        h = (h << 4) + static_cast<unsigned char>(c);
        const uint32_t high = h & 0xF0000000u;
        if (high != 0) {
            h ^= high >> 24;
        }
        h &= ~high;
    }
    return h;
}

inline uint32_t ElfHash(const char* key)
{
    return key ? ElfHash(std::string_view(key)) : 0;
}

template <typename V>
class StringMap {
public:
    static constexpr size_t kBucketCount = 5;

    static size_t BucketOf(std::string_view key) { return ElfHash(key) % kBucketCount; }

    // Inserts or replaces; true when the key was new.
    bool Insert(std::string_view key, V value)
    {
        auto& bucket = buckets_[BucketOf(key)];
        auto it = bucket.find(key);
        if (it != bucket.end()) {
            it->second = std::move(value);
            return false;
        }
        bucket.emplace(std::string(key), std::move(value));
        ++size_;
        return true;
    }

    V* Find(std::string_view key)
    {
        auto& bucket = buckets_[BucketOf(key)];
        auto it = bucket.find(key);
        return it == bucket.end() ? nullptr : &it->second;
    }
    const V* Find(std::string_view key) const { return const_cast<StringMap*>(this)->Find(key); }

    bool Contains(std::string_view key) const { return Find(key) != nullptr; }

    // C-string keys; a null key is taken as the empty key.
    bool Insert(const char* key, V value) { return Insert(View(key), std::move(value)); }
    V* Find(const char* key) { return Find(View(key)); }
    const V* Find(const char* key) const { return Find(View(key)); }
    bool Contains(const char* key) const { return Contains(View(key)); }
    bool Remove(const char* key) { return Remove(View(key)); }

    // True when the key was present.
    bool Remove(std::string_view key)
    {
        auto& bucket = buckets_[BucketOf(key)];
        auto it = bucket.find(key);
        if (it == bucket.end()) {
            return false;
        }
        bucket.erase(it);
        --size_;
        return true;
    }

    void Clear()
    {
        for (auto& bucket : buckets_) {
            bucket.clear();
        }
        size_ = 0;
    }

    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }

    // Calls f(key, value) for every entry in iteration order. f must not insert or remove.
    template <typename F>
    void ForEach(F&& f)
    {
        for (auto& bucket : buckets_) {
            for (auto& [key, value] : bucket) {
                f(static_cast<const std::string&>(key), value);
            }
        }
    }
    template <typename F>
    void ForEach(F&& f) const
    {
        for (const auto& bucket : buckets_) {
            for (const auto& [key, value] : bucket) {
                f(key, value);
            }
        }
    }

private:
    static std::string_view View(const char* key) { return key ? std::string_view(key) : std::string_view(); }

    // std::less<> compares std::string as unsigned bytes, the order strcmp gives; it also
    // lets lookups take a string_view without building a string.
    using Bucket = std::map<std::string, V, std::less<>>;
    std::array<Bucket, kBucketCount> buckets_;
    size_t size_ = 0;
};

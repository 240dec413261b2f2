#pragma once
// Counts this program's heap use for the benchmarks that report it: the number of allocations and
// the live bytes. It replaces the global operator new and delete, so it is included by exactly one
// source file of a benchmark program (each benchmark is one file).

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace heap_counter {
inline std::atomic<int64_t> allocations{0};
inline std::atomic<int64_t> liveBytes{0};

inline void* Take(size_t size) noexcept
{
    void* p = std::malloc(size ? size : 1);
    if (p) {
        ++allocations;
        liveBytes += static_cast<int64_t>(malloc_usable_size(p));
    }
    return p;
}
}  // namespace heap_counter

// Kept out of line: inlined into their callers, GCC pairs the malloc and free inside with the
// new and delete outside and warns of a mismatch that is not there.

__attribute__((noinline)) void* operator new(size_t size)
{
    void* p = heap_counter::Take(size);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t size)
{
    return operator new(size);
}
__attribute__((noinline)) void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return heap_counter::Take(size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
__attribute__((noinline)) void operator delete(void* p) noexcept
{
    if (!p)
        return;
    heap_counter::liveBytes -= static_cast<int64_t>(malloc_usable_size(p));
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    operator delete(p);
}
void operator delete(void* p, size_t) noexcept
{
    operator delete(p);
}
void operator delete[](void* p, size_t) noexcept
{
    operator delete(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    operator delete(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    operator delete(p);
}

#include "platform/LibraryMemory.h"

#include <SDL.h>

namespace platform {

namespace {

SDL_malloc_func originalMalloc = nullptr;
SDL_calloc_func originalCalloc = nullptr;
SDL_realloc_func originalRealloc = nullptr;
SDL_free_func originalFree = nullptr;

void* CappedMalloc(size_t size)
{
    return size > kMaxLibraryAllocation ? nullptr : originalMalloc(size);
}

void* CappedCalloc(size_t count, size_t size)
{
    if (size != 0 && count > kMaxLibraryAllocation / size)
        return nullptr;
    return originalCalloc(count, size);
}

void* CappedRealloc(void* memory, size_t size)
{
    return size > kMaxLibraryAllocation ? nullptr : originalRealloc(memory, size);
}

void CappedFree(void* memory)
{
    originalFree(memory);
}

}  // namespace

// The capped functions hand everything else to SDL's own, so memory taken before the switch is
// freed by the same allocator.
void CapLibraryAllocations()
{
    static bool capped = false;
    if (capped)
        return;
    capped = true;
    SDL_GetMemoryFunctions(&originalMalloc, &originalCalloc, &originalRealloc, &originalFree);
    if (originalMalloc == nullptr || originalCalloc == nullptr || originalRealloc == nullptr ||
        originalFree == nullptr)
        return;
    SDL_SetMemoryFunctions(CappedMalloc, CappedCalloc, CappedRealloc, CappedFree);
}

}  // namespace platform

#pragma once
// A ceiling on single allocations made by SDL and the libraries that allocate through it (image
// and sound decoders). Image and sound files state their sizes to the decoder, which then asks for
// that much memory at once: a few damaged header bytes could otherwise claim gigabytes.

#include <cstddef>

namespace platform {
// Twice the largest image accepted as 32-bit pixels, with room for long sounds.
constexpr size_t kMaxLibraryAllocation = size_t{1} << 29;
// Installs the ceiling once; later calls do nothing.
void CapLibraryAllocations();
}  // namespace platform

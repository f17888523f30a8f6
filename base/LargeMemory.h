#pragma once

#include <cstddef>

// Large blocks straight from the operating system, for buffers of a megabyte and more: they grow
// without copying where the system allows it and ask for large pages where it offers them.
namespace w20 {

// The size rounded up to whole pages.
std::size_t RoundToPages(std::size_t size);
// Each returns nullptr when the system has no memory to give; sizes are whole pages.
void* AllocateLargeBlock(std::size_t size);
// The block grown to `size`, its first `used` bytes kept; the old block is gone when it succeeds.
void* GrowLargeBlock(void* block, std::size_t oldSize, std::size_t size, std::size_t used);
void FreeLargeBlock(void* block, std::size_t size);
// Asks for large pages over the range, where the system offers them on request.
void AdviseLargePages(void* start, std::size_t size);

}  // namespace w20

#include <sys/mman.h>

#include <cstdint>

#include "net/IdBufferPages.h"

namespace w20 {

void AskForLargePages(void* block, std::size_t size) {
    // Large pages are 2 MiB here. Only the whole ones inside the block are asked for, so that the
    // advice never reaches memory the block shares with others.
    constexpr std::uintptr_t LargePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + LargePage - 1) & ~(LargePage - 1);
    const std::uintptr_t last = (start + size) & ~(LargePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace w20

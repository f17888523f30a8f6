#pragma once

#include <cstddef>

namespace w20 {

// Asks the system to back a large block with large pages where it offers them on request, before
// the block is first written: filling it then costs one page fault per large page instead of one
// per small page, which for a text of many megabytes is most of the cost of storing it. Only a
// hint: no byte changes. Implemented in the platform file of base/.
void AskForLargePages(void* block, std::size_t size);

}  // namespace w20

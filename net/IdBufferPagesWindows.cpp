#include "net/IdBufferPages.h"

namespace w20 {

// Windows gives large pages only to memory allocated for them by a process holding the right to
// lock pages; a heap block cannot ask for them afterwards, so its pages stay as they are.
void AskForLargePages(void* block, std::size_t size) {
    static_cast<void>(block);
    static_cast<void>(size);
}

}  // namespace w20

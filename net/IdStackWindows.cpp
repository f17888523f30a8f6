#include "net/IdStackWindows.h"

namespace w20 {

TIdStackWindows::TIdStackWindows(SocketLibrary& library) : TIdStackSocketFunctions(library) {
    library.Start();
}

std::unique_ptr<TIdStack> NewPlatformStack() {
    return std::make_unique<TIdStackWindows>();
}

}  // namespace w20

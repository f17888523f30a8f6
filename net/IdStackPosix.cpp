#include "net/IdStackPosix.h"

namespace w20 {

TIdStackPosix::TIdStackPosix(SocketLibrary& library) : TIdStackSocketFunctions(library) {
    library.Start();
}

std::unique_ptr<TIdStack> NewPlatformStack() {
    return std::make_unique<TIdStackPosix>();
}

}  // namespace w20

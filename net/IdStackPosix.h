#pragma once

#include "net/IdStackSocketFunctions.h"

namespace w20 {

// The stack of POSIX systems: the socket functions are linked in, so starting the library only
// marks it started.
class TIdStackPosix : public TIdStackSocketFunctions {
public:
    explicit TIdStackPosix(SocketLibrary& library = SocketLibrary::Process());
};

}  // namespace w20

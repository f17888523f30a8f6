#pragma once

#include "net/IdStackSocketFunctions.h"

namespace w20 {

// The stack of Windows: starting the library loads the socket library and asks it for
// version 2.2. Windows reports socket errors in the numbering of the error texts already.
class TIdStackWindows : public TIdStackSocketFunctions {
public:
    explicit TIdStackWindows(SocketLibrary& library = SocketLibrary::Process());
};

}  // namespace w20

#pragma once

#include <cstdint>

#include "net/SocketErrorMap.h"

// The one place where POSIX failure codes become socket error codes.
namespace w20 {

// An errno value; a value without a counterpart is passed on unchanged (it then has no text).
std::int32_t SocketErrorFromErrno(int error);

// A name-lookup failure: the resolver's own code and, for a system failure, the errno value.
std::int32_t SocketErrorFromResolver(int resolverCode, int error);

}  // namespace w20

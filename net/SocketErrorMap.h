#pragma once

#include <cstdint>

// The one place where the platform's native failure codes become socket error codes in the
// numbering that the messages and the tolerated-code lists use (10004 .. 10066, 11001 ..).
namespace w20 {

// Codes used by name elsewhere.
enum TSocketErrorCode : std::int32_t {
    seInterrupted = 10004,
    seBadDescriptor = 10009,
    seInvalidArgument = 10022,
    seNotSocket = 10038,
    seAddressInUse = 10048,
    seConnectionAborted = 10053,
    seConnectionReset = 10054,
    seShutdown = 10058,
    seConnectionRefused = 10061,
    seHostNotFound = 11001,
};

// An errno value; a value without a counterpart is passed on unchanged (it then has no text).
std::int32_t SocketErrorFromErrno(int error);

// A name-lookup failure: the resolver's own code and, for a system failure, the errno value.
std::int32_t SocketErrorFromResolver(int resolverCode, int error);

}  // namespace w20

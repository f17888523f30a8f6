#pragma once

#include <cstdint>

// Socket error codes in the numbering that the messages and the tolerated-code lists use
// (10004 .. 10066, 11001 ..). Windows reports them so itself; POSIX maps its own codes into them
// (net/SocketErrorMapPosix.h).
namespace w20 {

// Codes used by name elsewhere.
enum TSocketErrorCode : std::int32_t {
    seInterrupted = 10004,
    seBadDescriptor = 10009,
    seInvalidArgument = 10022,
    seWouldBlock = 10035,
    seInProgress = 10036,
    seNotSocket = 10038,
    seAddressInUse = 10048,
    seConnectionAborted = 10053,
    seConnectionReset = 10054,
    seShutdown = 10058,
    seConnectionRefused = 10061,
    seHostNotFound = 11001,
};

}  // namespace w20

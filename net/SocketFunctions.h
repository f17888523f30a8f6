#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/AddressText.h"

// The narrow layer under the socket stack: every platform socket call of the program goes through
// one table of entry points. Each entry behaves like a Windows Sockets call: a failure returns -1
// and leaves its code, in the numbering of net/SocketErrorMap.h, for LastError of the calling
// thread. A platform that loads its socket library at run time fills the table by
// name; this platform fills it with thin wrappers over the POSIX calls. Tests fill it with fakes.
namespace w20 {

// A socket value as the platform gives it: a descriptor on POSIX, a handle as wide as a pointer on
// Windows. -1 is no socket.
using TSocket = std::intptr_t;

// Address families in the numbering of the table, the same on every platform.
constexpr std::int32_t IdFamilyInet = 2;
constexpr std::int32_t IdFamilyInet6 = 23;

// The socket address record of either family: the family, the port in network byte order, the
// address bytes (an IPv4 address in the first four).
struct SocketAddress {
    std::int16_t family = IdFamilyInet;
    std::uint16_t port = 0;
    TIdIPv6Bytes address = {};
};

// One socket of a wait: the conditions asked for, and those that the wait found.
struct SocketPollEntry {
    TSocket socket = -1;
    std::uint16_t events = 0;
    std::uint16_t found = 0;
};

// Conditions of a wait, combined as bits.
enum TPollCondition : std::uint16_t {
    pollReadable = 0x01,
    pollWritable = 0x02,
    pollPriority = 0x04,
    pollError = 0x08,    // found only
    pollHangUp = 0x10,   // found only
    pollNotOpen = 0x20,  // found only: the value is not an open socket
};

struct SocketFunctions {
    // Library start-up with the version word (low byte major, high byte minor) and clean-up;
    // both return 0 on success.
    int (*Startup)(std::uint16_t version);
    int (*Cleanup)();
    std::int32_t (*LastError)();
    void (*SetLastError)(std::int32_t code);

    TSocket (*Socket)(std::int32_t family, std::int32_t type, std::int32_t protocol);
    std::int32_t (*Bind)(TSocket socket, const SocketAddress& address);
    std::int32_t (*Connect)(TSocket socket, const SocketAddress& address);
    std::int32_t (*Listen)(TSocket socket, std::int32_t backlog);
    TSocket (*Accept)(TSocket socket, SocketAddress& peer);
    // Sending never raises a signal when the peer has gone; the failure is an error code.
    std::int32_t (*Send)(TSocket socket, const void* buffer, std::int32_t length, std::int32_t flags);
    std::int32_t (*Recv)(TSocket socket, void* buffer, std::int32_t length, std::int32_t flags);
    std::int32_t (*SendTo)(TSocket socket, const void* buffer, std::int32_t length, std::int32_t flags,
                           const SocketAddress& to);
    std::int32_t (*RecvFrom)(TSocket socket, void* buffer, std::int32_t length, std::int32_t flags,
                             SocketAddress& from);
    // One wait of at most timeoutMs (negative: no limit) on any descriptor values; returns the
    // number of entries with a condition found, 0 on time-out or -1.
    std::int32_t (*Poll)(SocketPollEntry* entries, std::int32_t count, std::int32_t timeoutMs);
    std::int32_t (*Shutdown)(TSocket socket, std::int32_t direction);
    std::int32_t (*Close)(TSocket socket);
    std::int32_t (*GetSockName)(TSocket socket, SocketAddress& address);
    std::int32_t (*GetPeerName)(TSocket socket, SocketAddress& address);
    std::int32_t (*SetSockOpt)(TSocket socket, std::int32_t level, std::int32_t option, const void* value,
                               std::int32_t length);
    std::int32_t (*GetSockOpt)(TSocket socket, std::int32_t level, std::int32_t option, void* value,
                               std::int32_t* length);
    // Switches a socket between calls that wait and calls that return at once (a connect that
    // cannot end at once then fails with 10035 or 10036 and goes on in the background).
    std::int32_t (*SetBlocking)(TSocket socket, bool blocking);
    // The failure of a connect that went on in the background, as a code (0: none), or -1.
    std::int32_t (*PendingError)(TSocket socket);
    std::int32_t (*GetHostName)(char* buffer, std::int32_t length);
    // Name lookup: every IPv4 and IPv6 address of the name, in the order the system prefers.
    std::int32_t (*ResolveName)(const std::string& name, std::vector<TIdIPAddress>& addresses);
    std::int32_t (*ResolveAddress)(const TIdIPAddress& address, std::string& name);
    // Services: the port in host order; the official name followed by the aliases.
    std::int32_t (*ServiceByName)(const std::string& name, std::int32_t& port);
    std::int32_t (*ServiceByPort)(std::int32_t port, std::vector<std::string>& names);
};

// The entry points of this platform.
const SocketFunctions& PlatformSocketFunctions();

// The operating system's own message for an error code; empty for 0.
std::string SystemErrorText(std::uint32_t code);

}  // namespace w20

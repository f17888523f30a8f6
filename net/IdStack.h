#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/IdHostLookup.h"
#include "net/SocketFunctions.h"

namespace w20 {

// Argument values of the socket calls; the same numbers on every platform the program knows.
constexpr std::int32_t IdSocketStream = 1;
constexpr std::int32_t IdSocketDatagram = 2;
constexpr std::int32_t IdShutdownSend = 1;
constexpr std::int32_t IdLevelTcp = 6;
constexpr std::int32_t IdOptionTcpNoDelay = 1;

// Marks of a time-out in milliseconds: use the connection's read time-out, or wait without limit.
constexpr std::int32_t TimeoutDefault = -1;
constexpr std::int32_t TimeoutInfinite = -2;

// A set of at most 64 socket values.
class TIdSocketList {
public:
    static constexpr std::int32_t Capacity = 64;

    // Raises EIdStackSetSizeExceeded for an index outside 0 .. Count() - 1.
    TSocket Items(std::int32_t index) const;
    // Raises EIdStackSetSizeExceeded when the set is full.
    void Add(TSocket socket);
    // Moves the last value into the place of the removed one.
    void Remove(TSocket socket);
    std::int32_t Count() const { return count_; }

private:
    std::array<TSocket, Capacity> sockets_ = {};
    std::int32_t count_ = 0;
};

// The socket interface of the process. Socket values, ports, flags, lengths and results are
// 32-bit signed; a call that fails returns -1 and LastSocketError gives its code. Results of the
// calls that say "unchecked" go back as the platform gave them; CheckSocketResult turns them into
// exceptions where the caller wants that.
class TIdStack {
public:
    virtual ~TIdStack() = default;
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;

    // The host's own addresses as dotted texts, looked up again by every call of LocalAddresses.
    virtual void RefreshLocalAddresses() = 0;
    std::string FirstLocalAddress();
    const std::vector<std::string>& LocalAddresses();

    // Unchecked calls.
    virtual TSocket AcceptSocket(TSocket socket, std::string& remoteIP, std::int32_t& remotePort) = 0;
    // An empty address text binds to any local address.
    virtual std::int32_t BindSocket(TSocket socket, std::int32_t family, const std::string& ip,
                                    std::int32_t port) = 0;
    virtual std::int32_t DestroySocket(TSocket socket) = 0;
    // Raises EIdInvalidIPAddress before any platform call when the text is no address text.
    virtual std::int32_t ConnectSocket(TSocket socket, std::int32_t family, const std::string& ip,
                                       std::int32_t port) = 0;

    // Names and services; these raise. HostNameToAddress gives the name's first IPv4 address, its
    // first IPv6 address when it has none.
    virtual std::string HostNameToAddress(const std::string& name) = 0;
    virtual std::string LocalHostName() = 0;
    virtual std::string AddressToHostName(const std::string& address) = 0;
    virtual std::int32_t ServiceNameToPort(const std::string& name) = 0;
    virtual std::vector<std::string> PortToServiceNames(std::int32_t port) = 0;

    virtual std::uint16_t HostToNetPort(std::uint16_t value);
    virtual std::int32_t ListenSocket(TSocket socket, std::int32_t backlog) = 0;
    virtual std::uint16_t NetToHostPort(std::uint16_t value);
    virtual std::uint32_t HostToNetLong(std::uint32_t value);
    virtual std::uint32_t NetToHostLong(std::uint32_t value);

    // Unchecked calls. A receive returns 0 when the peer has closed.
    virtual std::int32_t SocketReceive(TSocket socket, void* buffer, std::int32_t length,
                                       std::int32_t flags) = 0;
    virtual std::int32_t SocketReceiveFrom(TSocket socket, void* buffer, std::int32_t length,
                                           std::int32_t flags, std::string& fromIP,
                                           std::int32_t& fromPort) = 0;
    // Waits until a socket of the read list is readable, of the write list writable or of the
    // error list has an exception, at most timeout ms (TimeoutInfinite: no limit). Each given list
    // is replaced by its ready sockets; returns how many there are, 0 on time-out, or -1.
    // A list of more than 64 sockets raises EIdStackSetSizeExceeded before anything is done.
    virtual std::int32_t SelectSockets(std::vector<TSocket>* read, std::vector<TSocket>* write,
                                       std::vector<TSocket>* error, std::int32_t timeout) = 0;
    virtual std::int32_t SocketSend(TSocket socket, const void* buffer, std::int32_t length,
                                    std::int32_t flags) = 0;
    virtual std::int32_t SocketSendTo(TSocket socket, const void* buffer, std::int32_t length,
                                      std::int32_t flags, const std::string& ip, std::int32_t port) = 0;
    virtual std::int32_t SetSocketOption(TSocket socket, std::int32_t level, std::int32_t option,
                                         const void* value, std::int32_t length) = 0;
    virtual TSocket NewSocket(std::int32_t family, std::int32_t type, std::int32_t protocol) = 0;
    virtual std::int32_t ShutdownSocket(TSocket socket, std::int32_t direction) = 0;
    // Calls on the socket wait (the default) or return at once.
    virtual std::int32_t SetSocketBlocking(TSocket socket, bool blocking) = 0;
    // The failure of a connect that went on without waiting: its code, 0 for none, or -1.
    virtual std::int32_t SocketPendingError(TSocket socket) = 0;
    // Every address of the name, looked up on a thread of its own.
    virtual TIdHostLookup StartHostLookup(const std::string& name) = 0;

    // "Socket Error # %d", CR LF, and the code's text (empty for a code without one).
    virtual std::string SocketErrorText(std::int32_t code);
    // The code of the calling thread's last failed socket call.
    virtual std::int32_t LastSocketError() = 0;
    // Makes the next LastSocketError of the calling thread return the code.
    virtual void SetLastSocketError(std::int32_t code) = 0;

    // Checked: a failure raises EIdSocketError. The port is in host order.
    virtual void PeerEndpoint(TSocket socket, std::int32_t& family, std::string& ip, std::int32_t& port) = 0;
    virtual void LocalEndpoint(TSocket socket, std::int32_t& family, std::string& ip, std::int32_t& port) = 0;
    virtual std::int32_t GetSocketOption(TSocket socket, std::int32_t level, std::int32_t option, void* value,
                                         std::int32_t* length) = 0;

    virtual std::string AddressToText(const TIdIPv4Bytes& bytes);
    std::string AddressToText(const TIdIPAddress& address);
    // Raise EIdInvalidIPAddress for a text that is no address text (of IPv4, or of either family).
    virtual void TextToAddress(const std::string& text, TIdIPv4Bytes& bytes);
    void TextToAddress(const std::string& text, TIdIPAddress& address);

    // False when the result is not -1. Otherwise the failure's code goes to LastSocketErrorCode:
    // true when it is tolerated, else EIdSocketError is raised.
    bool CheckSocketResult(std::int32_t result, std::initializer_list<std::int32_t> tolerated = {});
    [[noreturn]] void ThrowSocketError(std::int32_t code);
    // A new socket of the family; raises EIdInvalidSocket when none can be made.
    TSocket CreateInetSocket(std::int32_t type, std::int32_t protocol, std::int32_t family = IdFamilyInet);
    // "LOCALHOST" in any letter case gives "127.0.0.1" without lookup; an address text comes back
    // unchanged; any other text with a colon raises EIdInvalidIPAddress; anything else is looked
    // up, anew on every call.
    std::string LookupHost(const std::string& host);
    // LookupHost for a caller that waits in steps: the same rules, with every address of a name.
    TIdHostLookup LookupHostAddresses(const std::string& host);
    // An address text of either family.
    bool IsAddressText(const std::string& text);
    // The four address bytes in memory order, ready for a socket address record.
    std::uint32_t TextToAddressValue(const std::string& text);
    // The code seen by the last CheckSocketResult that met a failure.
    std::int32_t LastSocketErrorCode() const { return lastSocketErrorCode_; }

protected:
    TIdStack() = default;

    std::vector<std::string> localAddressList_;

private:
    // "127.0.0.1" for LOCALHOST in any letter case, an address text as it is; none for a name.
    std::optional<std::string> LiteralAddress(const std::string& host);

    std::int32_t lastSocketErrorCode_ = 0;
};

// What SharedStack is made from.
using TIdStackClass = std::function<std::unique_ptr<TIdStack>()>;

// The one stack of the process while a network component exists, otherwise none.
TIdStack* SharedStack();
// The shared stack; raises EIdStackError when no network component exists.
TIdStack& RequireSharedStack();
// The concrete stack of this platform (TIdStackPosix, TIdStackWindows), made when no class is set.
std::unique_ptr<TIdStack> NewPlatformStack();
// An empty class restores the stack of this platform. Set it while no network component exists.
void SetStackClass(TIdStackClass stackClass);
// Network components hold the shared stack: the first hold creates it, the last release frees it,
// all under one process-wide lock. A failed creation leaves the count as it was and raises.
void HoldSharedStack();
void ReleaseSharedStack();
std::int32_t SharedStackHolders();

}  // namespace w20

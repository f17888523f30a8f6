#pragma once

#include "net/IdStack.h"
#include "net/SocketLibrary.h"

namespace w20 {

// The stack over a socket library's entry points: every operation goes through its function
// table. The concrete stack of each platform derives from it and starts the library.
class TIdStackSocketFunctions : public TIdStack {
public:
    explicit TIdStackSocketFunctions(SocketLibrary& library);

    void RefreshLocalAddresses() override;
    TSocket AcceptSocket(TSocket socket, std::string& remoteIP, std::int32_t& remotePort) override;
    std::int32_t BindSocket(TSocket socket, std::int32_t family, const std::string& ip,
                            std::int32_t port) override;
    std::int32_t DestroySocket(TSocket socket) override;
    std::int32_t ConnectSocket(TSocket socket, std::int32_t family, const std::string& ip,
                               std::int32_t port) override;
    std::string HostNameToAddress(const std::string& name) override;
    std::string LocalHostName() override;
    std::string AddressToHostName(const std::string& address) override;
    std::int32_t ServiceNameToPort(const std::string& name) override;
    std::vector<std::string> PortToServiceNames(std::int32_t port) override;
    std::int32_t ListenSocket(TSocket socket, std::int32_t backlog) override;
    std::int32_t SocketReceive(TSocket socket, void* buffer, std::int32_t length,
                               std::int32_t flags) override;
    std::int32_t SocketReceiveFrom(TSocket socket, void* buffer, std::int32_t length, std::int32_t flags,
                                   std::string& fromIP, std::int32_t& fromPort) override;
    std::int32_t SelectSockets(std::vector<TSocket>* read, std::vector<TSocket>* write,
                               std::vector<TSocket>* error, std::int32_t timeout) override;
    std::int32_t SocketSend(TSocket socket, const void* buffer, std::int32_t length,
                            std::int32_t flags) override;
    std::int32_t SocketSendTo(TSocket socket, const void* buffer, std::int32_t length, std::int32_t flags,
                              const std::string& ip, std::int32_t port) override;
    std::int32_t SetSocketOption(TSocket socket, std::int32_t level, std::int32_t option, const void* value,
                                 std::int32_t length) override;
    TSocket NewSocket(std::int32_t family, std::int32_t type, std::int32_t protocol) override;
    std::int32_t ShutdownSocket(TSocket socket, std::int32_t direction) override;
    std::int32_t SetSocketBlocking(TSocket socket, bool blocking) override;
    std::int32_t SocketPendingError(TSocket socket) override;
    TIdHostLookup StartHostLookup(const std::string& name) override;
    // Adds "Host not found." for 11001.
    std::string SocketErrorText(std::int32_t code) override;
    std::int32_t LastSocketError() override;
    void SetLastSocketError(std::int32_t code) override;
    void PeerEndpoint(TSocket socket, std::int32_t& family, std::string& ip, std::int32_t& port) override;
    void LocalEndpoint(TSocket socket, std::int32_t& family, std::string& ip, std::int32_t& port) override;
    std::int32_t GetSocketOption(TSocket socket, std::int32_t level, std::int32_t option, void* value,
                                 std::int32_t* length) override;

private:
    // The socket address record of a bind, connect or send-to; raises EIdInvalidIPAddress for a
    // text that is no address text, and gives false for a port outside 16 bits.
    bool MakeAddress(std::int32_t family, const std::string& ip, bool emptyIsAny, std::int32_t port,
                     SocketAddress& address);
    void ReadEndpoint(const SocketAddress& address, std::int32_t& family, std::string& ip,
                      std::int32_t& port);

    const SocketFunctions& functions_;
};

}  // namespace w20

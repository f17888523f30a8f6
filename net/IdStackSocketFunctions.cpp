#include "net/IdStackSocketFunctions.h"

#include <algorithm>
#include <chrono>

#include "base/Convert.h"
#include "base/Format.h"
#include "net/IdExceptions.h"
#include "net/SocketErrorMap.h"

namespace w20 {

TIdStackSocketFunctions::TIdStackSocketFunctions(SocketLibrary& library) : functions_(library.Functions()) {}

void TIdStackSocketFunctions::RefreshLocalAddresses() {
    localAddressList_.clear();
    std::vector<TIdIPAddress> addresses;
    if (functions_.ResolveName(LocalHostName(), addresses) != 0)
        CheckSocketResult(-1);
    for (const TIdIPAddress& address : addresses)
        localAddressList_.push_back(AddressToText(address));
}

TSocket TIdStackSocketFunctions::AcceptSocket(TSocket socket, std::string& remoteIP,
                                              std::int32_t& remotePort) {
    SocketAddress peer;
    const std::int32_t result = functions_.Accept(socket, peer);
    if (result != -1) {
        std::int32_t family = 0;
        ReadEndpoint(peer, family, remoteIP, remotePort);
    }
    return result;
}

bool TIdStackSocketFunctions::MakeAddress(std::int32_t family, const std::string& ip, bool emptyIsAny,
                                          std::int32_t port, SocketAddress& address) {
    // The text's family decides; an empty text is the "any" address of the family asked for.
    address.family = static_cast<std::int16_t>(family);
    if (!ip.empty() || !emptyIsAny) {
        TIdIPAddress parsed;
        TextToAddress(ip, parsed);
        address.family = static_cast<std::int16_t>(parsed.ipv6 ? IdFamilyInet6 : IdFamilyInet);
        address.address = parsed.bytes;
    }
    // The record has 16 bits for the port: a larger value would quietly name another port.
    if (port < 0 || port > 65535) {
        SetLastSocketError(seInvalidArgument);
        return false;
    }
    address.port = HostToNetPort(static_cast<std::uint16_t>(port));
    return true;
}

void TIdStackSocketFunctions::ReadEndpoint(const SocketAddress& address, std::int32_t& family,
                                           std::string& ip, std::int32_t& port) {
    family = address.family;
    ip = AddressToText(TIdIPAddress{.ipv6 = family == IdFamilyInet6, .bytes = address.address});
    port = NetToHostPort(address.port);
}

std::int32_t TIdStackSocketFunctions::BindSocket(TSocket socket, std::int32_t family, const std::string& ip,
                                                 std::int32_t port) {
    SocketAddress address;
    if (!MakeAddress(family, ip, true, port, address))
        return -1;
    return functions_.Bind(socket, address);
}

std::int32_t TIdStackSocketFunctions::DestroySocket(TSocket socket) {
    return functions_.Close(socket);
}

std::int32_t TIdStackSocketFunctions::ConnectSocket(TSocket socket, std::int32_t family,
                                                    const std::string& ip, std::int32_t port) {
    SocketAddress address;
    if (!MakeAddress(family, ip, false, port, address))
        return -1;
    return functions_.Connect(socket, address);
}

std::string TIdStackSocketFunctions::HostNameToAddress(const std::string& name) {
    std::vector<TIdIPAddress> addresses;
    if (functions_.ResolveName(name, addresses) != 0 || addresses.empty())
        CheckSocketResult(-1);
    // A caller of this one address reads IPv4: an IPv6 address only when the name has no other.
    const auto ipv4 = std::find_if(addresses.begin(), addresses.end(),
                                   [](const TIdIPAddress& address) { return !address.ipv6; });
    return AddressToText(ipv4 != addresses.end() ? *ipv4 : addresses.front());
}

TIdHostLookup TIdStackSocketFunctions::StartHostLookup(const std::string& name) {
    // The thread may outlive this stack: it takes the two entry points it needs, not the table.
    return TIdHostLookup(name, [resolve = functions_.ResolveName, lastError = functions_.LastError](
                                   const std::string& host, std::vector<std::string>& addresses) {
        std::vector<TIdIPAddress> found;
        if (resolve(host, found) != 0 || found.empty()) {
            const std::int32_t code = lastError();
            return code != 0 ? code : std::int32_t{seHostNotFound};
        }
        for (const TIdIPAddress& address : found)
            addresses.push_back(FormatIPAddress(address));
        return std::int32_t{0};
    });
}

std::string TIdStackSocketFunctions::LocalHostName() {
    char buffer[250] = {};
    CheckSocketResult(functions_.GetHostName(buffer, sizeof buffer));
    return buffer;
}

std::string TIdStackSocketFunctions::AddressToHostName(const std::string& address) {
    TIdIPAddress parsed;
    TextToAddress(address, parsed);
    std::string name;
    CheckSocketResult(functions_.ResolveAddress(parsed, name));
    return name;
}

std::int32_t TIdStackSocketFunctions::ServiceNameToPort(const std::string& name) {
    std::int32_t port = 0;
    if (functions_.ServiceByName(name, port) == 0)
        return port;
    if (TryStrToInt(name, port))
        return port;
    throw EIdInvalidServiceName(name);
}

std::vector<std::string> TIdStackSocketFunctions::PortToServiceNames(std::int32_t port) {
    std::vector<std::string> names;
    functions_.ServiceByPort(port, names);
    return names;
}

std::int32_t TIdStackSocketFunctions::ListenSocket(TSocket socket, std::int32_t backlog) {
    return functions_.Listen(socket, backlog);
}

std::int32_t TIdStackSocketFunctions::SocketReceive(TSocket socket, void* buffer, std::int32_t length,
                                                    std::int32_t flags) {
    return functions_.Recv(socket, buffer, length, flags);
}

std::int32_t TIdStackSocketFunctions::SocketReceiveFrom(TSocket socket, void* buffer, std::int32_t length,
                                                        std::int32_t flags, std::string& fromIP,
                                                        std::int32_t& fromPort) {
    SocketAddress from;
    const std::int32_t result = functions_.RecvFrom(socket, buffer, length, flags, from);
    if (result != -1) {
        std::int32_t family = 0;
        ReadEndpoint(from, family, fromIP, fromPort);
    }
    return result;
}

std::int32_t TIdStackSocketFunctions::SelectSockets(std::vector<TSocket>* read, std::vector<TSocket>* write,
                                                    std::vector<TSocket>* error, std::int32_t timeout) {
    std::vector<TSocket>* const lists[3] = {read, write, error};
    for (const std::vector<TSocket>* list : lists) {
        if (list != nullptr && list->size() > static_cast<std::size_t>(TIdSocketList::Capacity)) {
            throw EIdStackSetSizeExceeded();
        }
    }
    if (timeout < 0 && timeout != TimeoutInfinite) {
        SetLastSocketError(seInvalidArgument);  // a negative time limit is an invalid argument
        return -1;
    }

    // What each list asks for, and which conditions count as ready for it.
    constexpr std::uint16_t Asked[3] = {pollReadable, pollWritable, pollPriority};
    constexpr std::uint16_t Ready[3] = {pollReadable | pollError | pollHangUp, pollWritable | pollError,
                                        pollPriority};
    SocketPollEntry entries[3 * TIdSocketList::Capacity];
    std::int32_t first[4] = {};
    std::int32_t count = 0;
    for (int l = 0; l < 3; ++l) {
        first[l] = count;
        if (lists[l] == nullptr)
            continue;
        for (const TSocket socket : *lists[l]) {
            if (socket < 0) {
                SetLastSocketError(seNotSocket);
                return -1;
            }
            bool present = false;  // a set holds a value once
            for (std::int32_t i = first[l]; i < count; ++i)
                present = present || entries[i].socket == socket;
            if (!present)
                entries[count++] = SocketPollEntry{socket, Asked[l], 0};
        }
    }
    first[3] = count;

    // A signal ends a wait early: wait again for the time that is left.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout < 0 ? 0 : timeout);
    std::int32_t remaining = timeout == TimeoutInfinite ? -1 : timeout;
    std::int32_t result;
    while ((result = functions_.Poll(entries, count, remaining)) < 0 &&
           functions_.LastError() == seInterrupted) {
        if (timeout != TimeoutInfinite) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            remaining = static_cast<std::int32_t>(left > 0 ? left : 0);
        }
    }
    if (result < 0)
        return -1;

    for (std::int32_t i = 0; i < count; ++i) {
        if (entries[i].found & pollNotOpen) {
            // A value that is no open socket fails the whole wait, as select does.
            SetLastSocketError(seNotSocket);
            return -1;
        }
    }
    std::int32_t readyCount = 0;
    for (int l = 0; l < 3; ++l) {
        if (lists[l] == nullptr)
            continue;
        lists[l]->clear();
        for (std::int32_t i = first[l]; i < first[l + 1]; ++i) {
            if (entries[i].found & Ready[l]) {
                lists[l]->push_back(entries[i].socket);
                ++readyCount;
            }
        }
    }
    return readyCount;
}

std::int32_t TIdStackSocketFunctions::SocketSend(TSocket socket, const void* buffer, std::int32_t length,
                                                 std::int32_t flags) {
    return functions_.Send(socket, buffer, length, flags);
}

std::int32_t TIdStackSocketFunctions::SocketSendTo(TSocket socket, const void* buffer, std::int32_t length,
                                                   std::int32_t flags, const std::string& ip,
                                                   std::int32_t port) {
    SocketAddress address;
    if (!MakeAddress(IdFamilyInet, ip, false, port, address))
        return -1;
    return functions_.SendTo(socket, buffer, length, flags, address);
}

std::int32_t TIdStackSocketFunctions::SetSocketOption(TSocket socket, std::int32_t level, std::int32_t option,
                                                      const void* value, std::int32_t length) {
    return functions_.SetSockOpt(socket, level, option, value, length);
}

TSocket TIdStackSocketFunctions::NewSocket(std::int32_t family, std::int32_t type, std::int32_t protocol) {
    return functions_.Socket(family, type, protocol);
}

std::int32_t TIdStackSocketFunctions::ShutdownSocket(TSocket socket, std::int32_t direction) {
    return functions_.Shutdown(socket, direction);
}

std::int32_t TIdStackSocketFunctions::SetSocketBlocking(TSocket socket, bool blocking) {
    return functions_.SetBlocking(socket, blocking);
}

std::int32_t TIdStackSocketFunctions::SocketPendingError(TSocket socket) {
    return functions_.PendingError(socket);
}

std::string TIdStackSocketFunctions::SocketErrorText(std::int32_t code) {
    if (code == seHostNotFound)
        return Format("Socket Error # %d\r\n%s", code, "Host not found.");
    return TIdStack::SocketErrorText(code);
}

std::int32_t TIdStackSocketFunctions::LastSocketError() {
    return functions_.LastError();
}

void TIdStackSocketFunctions::SetLastSocketError(std::int32_t code) {
    functions_.SetLastError(code);
}

void TIdStackSocketFunctions::PeerEndpoint(TSocket socket, std::int32_t& family, std::string& ip,
                                           std::int32_t& port) {
    SocketAddress address;
    CheckSocketResult(functions_.GetPeerName(socket, address));
    ReadEndpoint(address, family, ip, port);
}

void TIdStackSocketFunctions::LocalEndpoint(TSocket socket, std::int32_t& family, std::string& ip,
                                            std::int32_t& port) {
    SocketAddress address;
    CheckSocketResult(functions_.GetSockName(socket, address));
    ReadEndpoint(address, family, ip, port);
}

std::int32_t TIdStackSocketFunctions::GetSocketOption(TSocket socket, std::int32_t level, std::int32_t option,
                                                      void* value, std::int32_t* length) {
    return functions_.GetSockOpt(socket, level, option, value, length);
}

}  // namespace w20

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/SocketErrorMapPosix.h"
#include "net/SocketFunctions.h"

namespace w20 {

namespace {

// The code of the calling thread's last failed call, kept per thread as WSAGetLastError keeps it.
thread_local std::int32_t lastError = 0;

std::int32_t FailWith(std::int32_t code) {
    lastError = code;
    return -1;
}

std::int32_t FailFromErrno() {
    return FailWith(SocketErrorFromErrno(errno));
}

// The family numbers of the table and of this system.
int NativeFamily(std::int32_t family) {
    return family == IdFamilyInet6 ? AF_INET6 : family == IdFamilyInet ? AF_INET : family;
}

// The record in this system's form; returns its length.
socklen_t ToNative(const SocketAddress& address, sockaddr_storage& native) {
    native = {};
    if (address.family == IdFamilyInet6) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(native);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = address.port;
        std::memcpy(&in6.sin6_addr, address.address.data(), 16);
        return sizeof in6;
    }
    auto& in = reinterpret_cast<sockaddr_in&>(native);
    in.sin_family = static_cast<sa_family_t>(NativeFamily(address.family));
    in.sin_port = address.port;
    std::memcpy(&in.sin_addr, address.address.data(), 4);
    return sizeof in;
}

SocketAddress FromNative(const sockaddr_storage& native) {
    SocketAddress address;
    if (native.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(native);
        address.family = IdFamilyInet6;
        address.port = in6.sin6_port;
        std::memcpy(address.address.data(), &in6.sin6_addr, 16);
        return address;
    }
    const auto& in = reinterpret_cast<const sockaddr_in&>(native);
    address.family = static_cast<std::int16_t>(in.sin_family);
    address.port = in.sin_port;
    std::memcpy(address.address.data(), &in.sin_addr, 4);
    return address;
}

int Startup(std::uint16_t) {
    return 0;  // the socket functions are linked directly; there is nothing to start
}

int Cleanup() {
    return 0;
}

std::int32_t LastError() {
    return lastError;
}

void SetLastError(std::int32_t code) {
    lastError = code;
}

TSocket Socket(std::int32_t family, std::int32_t type, std::int32_t protocol) {
    const int result = ::socket(NativeFamily(family), type | SOCK_CLOEXEC, protocol);
    return result < 0 ? FailFromErrno() : result;
}

std::int32_t Bind(TSocket socket, const SocketAddress& address) {
    sockaddr_storage native;
    const socklen_t length = ToNative(address, native);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&native), length) != 0)
        return FailFromErrno();
    return 0;
}

std::int32_t Connect(TSocket socket, const SocketAddress& address) {
    sockaddr_storage native;
    const socklen_t length = ToNative(address, native);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&native), length) != 0)
        return FailFromErrno();
    return 0;
}

std::int32_t Listen(TSocket socket, std::int32_t backlog) {
    return ::listen(socket, backlog) != 0 ? FailFromErrno() : 0;
}

TSocket Accept(TSocket socket, SocketAddress& peer) {
    sockaddr_storage native{};
    socklen_t length = sizeof native;
    const int result = ::accept4(socket, reinterpret_cast<sockaddr*>(&native), &length, SOCK_CLOEXEC);
    if (result < 0)
        return FailFromErrno();
    peer = FromNative(native);
    return result;
}

// A signal during a blocking send or receive is no failure of the call: go on.
std::int32_t Send(TSocket socket, const void* buffer, std::int32_t length, std::int32_t flags) {
    ssize_t result;
    do {
        result = ::send(socket, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? FailFromErrno() : static_cast<std::int32_t>(result);
}

std::int32_t Recv(TSocket socket, void* buffer, std::int32_t length, std::int32_t flags) {
    ssize_t result;
    do {
        result = ::recv(socket, buffer, static_cast<std::size_t>(length), flags);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? FailFromErrno() : static_cast<std::int32_t>(result);
}

std::int32_t SendTo(TSocket socket, const void* buffer, std::int32_t length, std::int32_t flags,
                    const SocketAddress& to) {
    sockaddr_storage native;
    const socklen_t size = ToNative(to, native);
    const ssize_t result = ::sendto(socket, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL,
                                    reinterpret_cast<const sockaddr*>(&native), size);
    return result < 0 ? FailFromErrno() : static_cast<std::int32_t>(result);
}

std::int32_t RecvFrom(TSocket socket, void* buffer, std::int32_t length, std::int32_t flags,
                      SocketAddress& from) {
    sockaddr_storage native{};
    socklen_t size = sizeof native;
    const ssize_t result = ::recvfrom(socket, buffer, static_cast<std::size_t>(length), flags,
                                      reinterpret_cast<sockaddr*>(&native), &size);
    if (result < 0)
        return FailFromErrno();
    from = FromNative(native);
    return static_cast<std::int32_t>(result);
}

// poll has no limit on descriptor values, unlike the fixed descriptor sets of select.
std::int32_t Poll(SocketPollEntry* entries, std::int32_t count, std::int32_t timeoutMs) {
    pollfd native[3 * 64];
    if (count < 0 || count > static_cast<std::int32_t>(sizeof native / sizeof native[0])) {
        return FailWith(seInvalidArgument);
    }
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint16_t events = entries[i].events;
        native[i].fd = entries[i].socket;
        native[i].events = static_cast<short>(((events & pollReadable) ? POLLIN : 0) |
                                              ((events & pollWritable) ? POLLOUT : 0) |
                                              ((events & pollPriority) ? POLLPRI : 0));
        native[i].revents = 0;
    }
    const int result = ::poll(native, static_cast<nfds_t>(count), timeoutMs < 0 ? -1 : timeoutMs);
    if (result < 0)
        return FailFromErrno();
    for (std::int32_t i = 0; i < count; ++i) {
        const short found = native[i].revents;
        entries[i].found = static_cast<std::uint16_t>(
            ((found & POLLIN) ? pollReadable : 0) | ((found & POLLOUT) ? pollWritable : 0) |
            ((found & POLLPRI) ? pollPriority : 0) | ((found & POLLERR) ? pollError : 0) |
            ((found & POLLHUP) ? pollHangUp : 0) | ((found & POLLNVAL) ? pollNotOpen : 0));
    }
    return result;
}

std::int32_t Shutdown(TSocket socket, std::int32_t direction) {
    return ::shutdown(socket, direction) != 0 ? FailFromErrno() : 0;
}

std::int32_t Close(TSocket socket) {
    return ::close(socket) != 0 ? FailFromErrno() : 0;
}

std::int32_t GetSockName(TSocket socket, SocketAddress& address) {
    sockaddr_storage native{};
    socklen_t length = sizeof native;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&native), &length) != 0)
        return FailFromErrno();
    address = FromNative(native);
    return 0;
}

std::int32_t GetPeerName(TSocket socket, SocketAddress& address) {
    sockaddr_storage native{};
    socklen_t length = sizeof native;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&native), &length) != 0)
        return FailFromErrno();
    address = FromNative(native);
    return 0;
}

std::int32_t SetSockOpt(TSocket socket, std::int32_t level, std::int32_t option, const void* value,
                        std::int32_t length) {
    if (length < 0)
        return FailWith(seInvalidArgument);
    if (::setsockopt(socket, level, option, value, static_cast<socklen_t>(length)) != 0)
        return FailFromErrno();
    return 0;
}

std::int32_t GetSockOpt(TSocket socket, std::int32_t level, std::int32_t option, void* value,
                        std::int32_t* length) {
    if (length == nullptr || *length < 0)
        return FailWith(seInvalidArgument);
    socklen_t size = static_cast<socklen_t>(*length);
    if (::getsockopt(socket, level, option, value, &size) != 0)
        return FailFromErrno();
    *length = static_cast<std::int32_t>(size);
    return 0;
}

std::int32_t SetBlocking(TSocket socket, bool blocking) {
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0)
        return FailFromErrno();
    const int wanted = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
    if (wanted != flags && ::fcntl(socket, F_SETFL, wanted) != 0)
        return FailFromErrno();
    return 0;
}

std::int32_t PendingError(TSocket socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return FailFromErrno();
    return error == 0 ? 0 : SocketErrorFromErrno(error);
}

std::int32_t GetHostName(char* buffer, std::int32_t length) {
    if (length <= 0)
        return FailWith(seInvalidArgument);
    if (::gethostname(buffer, static_cast<std::size_t>(length)) != 0)
        return FailFromErrno();
    buffer[length - 1] = '\0';  // a cut name need not be terminated
    return 0;
}

std::int32_t ResolveName(const std::string& name, std::vector<TIdIPAddress>& addresses) {
    addresses.clear();
    // The lookup reads a C string: a name with a NUL byte would be looked up cut short.
    if (name.find('\0') != std::string::npos)
        return FailWith(seHostNotFound);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
    addrinfo* answer = nullptr;
    const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &answer);
    if (result != 0)
        return FailWith(SocketErrorFromResolver(result, errno));
    for (const addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            TIdIPv4Bytes bytes;
            std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
            addresses.push_back(TIdIPAddress::V4(bytes));
        } else if (entry->ai_family == AF_INET6 && entry->ai_addrlen >= sizeof(sockaddr_in6)) {
            TIdIPv6Bytes bytes;
            std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in6*>(entry->ai_addr)->sin6_addr, 16);
            addresses.push_back(TIdIPAddress::V6(bytes));
        }
    }
    ::freeaddrinfo(answer);
    if (addresses.empty())
        return FailWith(SocketErrorFromResolver(EAI_NONAME, 0));
    return 0;
}

std::int32_t ResolveAddress(const TIdIPAddress& address, std::string& name) {
    sockaddr_storage native;
    const socklen_t length = ToNative(
        SocketAddress{.family = static_cast<std::int16_t>(address.ipv6 ? IdFamilyInet6 : IdFamilyInet),
                      .address = address.bytes},
        native);
    char host[NI_MAXHOST];
    const int result = ::getnameinfo(reinterpret_cast<const sockaddr*>(&native), length, host, sizeof host,
                                     nullptr, 0, NI_NAMEREQD);
    if (result != 0)
        return FailWith(SocketErrorFromResolver(result, errno));
    name = host;
    return 0;
}

std::int32_t ServiceByName(const std::string& name, std::int32_t& port) {
    if (name.find('\0') != std::string::npos)
        return -1;
    servent entry{};
    servent* found = nullptr;
    char scratch[4096];
    if (::getservbyname_r(name.c_str(), nullptr, &entry, scratch, sizeof scratch, &found) != 0 || !found) {
        return -1;
    }
    port = ntohs(static_cast<std::uint16_t>(found->s_port));
    return 0;
}

std::int32_t ServiceByPort(std::int32_t port, std::vector<std::string>& names) {
    names.clear();
    if (port < 0 || port > 65535)
        return -1;
    servent entry{};
    servent* found = nullptr;
    char scratch[4096];
    const int networkPort = htons(static_cast<std::uint16_t>(port));
    if (::getservbyport_r(networkPort, nullptr, &entry, scratch, sizeof scratch, &found) != 0 || !found) {
        return -1;
    }
    names.emplace_back(found->s_name);
    for (char** alias = found->s_aliases; alias != nullptr && *alias != nullptr; ++alias) {
        names.emplace_back(*alias);
    }
    return 0;
}

constexpr SocketFunctions PosixFunctions = {
    .Startup = Startup,
    .Cleanup = Cleanup,
    .LastError = LastError,
    .SetLastError = SetLastError,
    .Socket = Socket,
    .Bind = Bind,
    .Connect = Connect,
    .Listen = Listen,
    .Accept = Accept,
    .Send = Send,
    .Recv = Recv,
    .SendTo = SendTo,
    .RecvFrom = RecvFrom,
    .Poll = Poll,
    .Shutdown = Shutdown,
    .Close = Close,
    .GetSockName = GetSockName,
    .GetPeerName = GetPeerName,
    .SetSockOpt = SetSockOpt,
    .GetSockOpt = GetSockOpt,
    .SetBlocking = SetBlocking,
    .PendingError = PendingError,
    .GetHostName = GetHostName,
    .ResolveName = ResolveName,
    .ResolveAddress = ResolveAddress,
    .ServiceByName = ServiceByName,
    .ServiceByPort = ServiceByPort,
};

}  // namespace

const SocketFunctions& PlatformSocketFunctions() {
    return PosixFunctions;
}

std::string SystemErrorText(std::uint32_t code) {
    if (code == 0)
        return {};
    char buffer[256] = {};
    // The GNU form may return a static text instead of filling the buffer.
    return strerror_r(static_cast<int>(code), buffer, sizeof buffer);
}

}  // namespace w20

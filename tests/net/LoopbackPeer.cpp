#include "tests/net/LoopbackPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace w20::test {

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        Reset(other.fd_);
        other.fd_ = -1;
    }
    return *this;
}

void Descriptor::Reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

Descriptor BoundSocket(int port, bool listening) {
    Descriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return Descriptor();
    if (listening && ::listen(fd.Get(), 8) != 0)
        throw std::runtime_error("listen failed");
    return fd;
}

int LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("getsockname failed");
    }
    return ntohs(address.sin_port);
}

Descriptor AcceptWithin(int listener, int timeoutMs) {
    pollfd entry{listener, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) != 1)
        return Descriptor();
    return Descriptor(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
}

Descriptor ConnectTo(int port) {
    Descriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("connect failed");
    }
    return fd;
}

std::string ReadFor(int fd, int timeoutMs) {
    std::string bytes;
    pollfd entry{fd, POLLIN, 0};
    while (::poll(&entry, 1, timeoutMs) == 1) {
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

int UnusedPort() {
    const Descriptor fd = BoundSocket(0, false);
    return LocalPort(fd.Get());
}

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("send failed");
        done += static_cast<std::size_t>(n);
    }
}

void ResetClose(Descriptor& fd) {
    const linger option{1, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_LINGER, &option, sizeof option);
    fd.Reset();
}

SocketFunctions CopyOfPlatformFunctions() {
    return PlatformSocketFunctions();
}

}  // namespace w20::test

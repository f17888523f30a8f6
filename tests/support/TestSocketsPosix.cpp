#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tests/support/TestSockets.h"

namespace w20::test {
namespace {

void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("test sockets: ") + what + ": " + std::strerror(errno));
}

int Fd(TestSocket socket) {
    return static_cast<int>(socket);
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

StopSignal::StopSignal() {
    int ends[2];
    Check(pipe2(ends, O_CLOEXEC) == 0, "pipe");
    watched_ = ends[0];
    raiser_ = ends[1];
}

StopSignal::~StopSignal() {
    close(Fd(watched_));
    close(Fd(raiser_));
}

void StopSignal::Raise() {
    const char stop = 1;
    if (write(Fd(raiser_), &stop, 1) != 1)
        std::abort();  // nothing could stop the waits then
}

TestSocket ListenOnLoopback(std::uint16_t& port, int backlog, bool ipv6) {
    const int listener = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    Check(listener >= 0, "socket");
    // A port asked for may still be held by closed connections waiting out their time.
    const int on = 1;
    Check(port == 0 || setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0, "reuse");
    sockaddr_in6 address6{};
    address6.sin6_family = AF_INET6;
    address6.sin6_port = htons(port);
    address6.sin6_addr = in6addr_loopback;
    sockaddr_in address = Loopback(port);
    sockaddr* bound = ipv6 ? reinterpret_cast<sockaddr*>(&address6) : reinterpret_cast<sockaddr*>(&address);
    socklen_t length = ipv6 ? sizeof address6 : sizeof address;
    Check(bind(listener, bound, length) == 0, "bind");
    Check(listen(listener, backlog) == 0, "listen");
    Check(getsockname(listener, bound, &length) == 0, "getsockname");
    port = ntohs(ipv6 ? address6.sin6_port : address.sin_port);
    return listener;
}

TestSocket StartConnect(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return NoTestSocket;
    const sockaddr_in target = Loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 && errno != EINPROGRESS) {
        close(fd);
        return NoTestSocket;
    }
    return fd;
}

TestSocket AcceptConnection(TestSocket listener) {
    const int fd = accept4(Fd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return NoTestSocket;
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

int WaitForSocket(TestSocket socket, bool forWriting, const StopSignal& stop,
                  std::optional<std::chrono::nanoseconds> limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = limit ? std::optional(Clock::now() + *limit) : std::nullopt;
    for (;;) {
        pollfd fds[2] = {{Fd(stop.watched_), POLLIN, 0},
                         {Fd(socket), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0}};
        timespec wait{};
        if (deadline) {
            const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
            const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = static_cast<time_t>(nanos / 1000000000);
            wait.tv_nsec = static_cast<long>(nanos % 1000000000);
        }
        const int ready = ppoll(fds, socket == NoTestSocket ? 1 : 2, deadline ? &wait : nullptr, nullptr);
        if (ready < 0 && errno == EINTR)
            continue;
        if (fds[0].revents != 0)
            return -1;
        return ready <= 0 ? 0 : 1;
    }
}

std::ptrdiff_t SendSome(TestSocket socket, const char* bytes, std::size_t size) {
    const ssize_t sent = send(Fd(socket), bytes, size, MSG_NOSIGNAL);
    if (sent > 0)
        return sent;
    return sent < 0 && (errno == EAGAIN || errno == EINTR) ? TryAgain : Gone;
}

std::ptrdiff_t ReceiveSome(TestSocket socket, char* buffer, std::size_t size) {
    const ssize_t got = recv(Fd(socket), buffer, size, MSG_DONTWAIT);
    if (got > 0)
        return got;
    return got < 0 && (errno == EAGAIN || errno == EINTR) ? TryAgain : Gone;
}

void ResetConnection(TestSocket socket) {
    linger hard{1, 0};
    setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(Fd(socket));
}

void CloseConnection(TestSocket socket) {
    close(Fd(socket));
}

}  // namespace w20::test

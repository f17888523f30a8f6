#include <stdexcept>
#include <string>

#include "net/SocketLibrary.h"
#include "net/WinsockBinding.h"
#include "tests/support/TestSockets.h"

// The test servers call the socket library through the program's own run-time binding, so that
// no test program imports it at link time either.
namespace w20::test {
namespace {

template <TEntryPoint Row, typename Function>
Function Ws() {
    return EntryPoint<Row, Function>();
}

void Check(bool ok, const char* what) {
    if (!ok) {
        const int code = Ws<epWSAGetLastError, decltype(&::WSAGetLastError)>()();
        throw std::runtime_error(std::string("test sockets: ") + what + ": error " + std::to_string(code));
    }
}

SOCKET Native(TestSocket socket) {
    return static_cast<SOCKET>(socket);
}

// The port in network order, without the library's own conversion.
std::uint16_t Swapped(std::uint16_t port) {
    return static_cast<std::uint16_t>((port >> 8) | (port << 8));
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = Swapped(port);
    address.sin_addr.s_addr = 0x0100007f;  // 127.0.0.1 in network order
    return address;
}

TestSocket NewLoopbackListener(sockaddr_in& address, int backlog) {
    SocketLibrary::Process().Start();
    const SOCKET listener = Ws<epsocket, decltype(&::socket)>()(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    Check(listener != INVALID_SOCKET, "socket");
    address = Loopback(0);
    int length = sizeof address;
    Check(
        Ws<epbind, decltype(&::bind)>()(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0,
        "bind");
    Check(Ws<eplisten, decltype(&::listen)>()(listener, backlog) == 0, "listen");
    Check(Ws<epgetsockname, decltype(&::getsockname)>()(listener, reinterpret_cast<sockaddr*>(&address),
                                                        &length) == 0,
          "getsockname");
    return static_cast<TestSocket>(listener);
}

void MakeNonBlocking(SOCKET socket) {
    u_long on = 1;
    Ws<epioctlsocket, decltype(&::ioctlsocket)>()(socket, static_cast<long>(FIONBIO), &on);
}

bool InSet(const fd_set& set, SOCKET socket) {
    for (u_int i = 0; i < set.fd_count; ++i) {
        if (set.fd_array[i] == socket)
            return true;
    }
    return false;
}

}  // namespace

// A connected pair over loopback: one byte on it ends the waits.
StopSignal::StopSignal() {
    sockaddr_in address{};
    const TestSocket listener = NewLoopbackListener(address, 1);
    const SOCKET raiser = Ws<epsocket, decltype(&::socket)>()(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    Check(raiser != INVALID_SOCKET, "socket");
    Check(Ws<epconnect, decltype(&::connect)>()(raiser, reinterpret_cast<sockaddr*>(&address),
                                                sizeof address) == 0,
          "connect");
    const SOCKET watched = Ws<epaccept, decltype(&::accept)>()(Native(listener), nullptr, nullptr);
    Check(watched != INVALID_SOCKET, "accept");
    Ws<epclosesocket, decltype(&::closesocket)>()(Native(listener));
    watched_ = static_cast<TestSocket>(watched);
    raiser_ = static_cast<TestSocket>(raiser);
}

StopSignal::~StopSignal() {
    CloseConnection(watched_);
    CloseConnection(raiser_);
}

void StopSignal::Raise() {
    const char stop = 1;
    if (Ws<epsend, decltype(&::send)>()(Native(raiser_), &stop, 1, 0) != 1)
        std::abort();  // nothing could stop the waits then
}

TestSocket ListenOnLoopback(std::uint16_t& port, int backlog, bool ipv6) {
    SocketLibrary::Process().Start();
    const SOCKET listener =
        Ws<epsocket, decltype(&::socket)>()(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    Check(listener != INVALID_SOCKET, "socket");
    sockaddr_in6 address6{};
    address6.sin6_family = AF_INET6;
    address6.sin6_port = Swapped(port);
    address6.sin6_addr.s6_addr[15] = 1;  // ::1
    sockaddr_in address = Loopback(port);
    sockaddr* bound = ipv6 ? reinterpret_cast<sockaddr*>(&address6) : reinterpret_cast<sockaddr*>(&address);
    int length = ipv6 ? sizeof address6 : sizeof address;
    Check(Ws<epbind, decltype(&::bind)>()(listener, bound, length) == 0, "bind");
    Check(Ws<eplisten, decltype(&::listen)>()(listener, backlog) == 0, "listen");
    Check(Ws<epgetsockname, decltype(&::getsockname)>()(listener, bound, &length) == 0, "getsockname");
    MakeNonBlocking(listener);
    port = Swapped(ipv6 ? address6.sin6_port : address.sin_port);
    return static_cast<TestSocket>(listener);
}

TestSocket StartConnect(std::uint16_t port) {
    SocketLibrary::Process().Start();
    const SOCKET socket = Ws<epsocket, decltype(&::socket)>()(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET)
        return NoTestSocket;
    MakeNonBlocking(socket);
    const sockaddr_in target = Loopback(port);
    if (Ws<epconnect, decltype(&::connect)>()(socket, reinterpret_cast<const sockaddr*>(&target),
                                              sizeof target) != 0 &&
        Ws<epWSAGetLastError, decltype(&::WSAGetLastError)>()() != WSAEWOULDBLOCK) {
        CloseConnection(static_cast<TestSocket>(socket));
        return NoTestSocket;
    }
    return static_cast<TestSocket>(socket);
}

TestSocket AcceptConnection(TestSocket listener) {
    const SOCKET socket = Ws<epaccept, decltype(&::accept)>()(Native(listener), nullptr, nullptr);
    if (socket == INVALID_SOCKET)
        return NoTestSocket;
    MakeNonBlocking(socket);
    BOOL on = TRUE;
    Ws<epsetsockopt, decltype(&::setsockopt)>()(socket, IPPROTO_TCP, TCP_NODELAY,
                                                reinterpret_cast<const char*>(&on), sizeof on);
    return static_cast<TestSocket>(socket);
}

int WaitForSocket(TestSocket socket, bool forWriting, const StopSignal& stop,
                  std::optional<std::chrono::nanoseconds> limit) {
    fd_set read{}, write{};
    read.fd_array[read.fd_count++] = Native(stop.watched_);
    if (socket != NoTestSocket)
        (forWriting ? write : read).fd_array[(forWriting ? write : read).fd_count++] = Native(socket);
    timeval wait{};
    if (limit) {
        const auto micros = std::chrono::ceil<std::chrono::microseconds>(*limit).count();
        wait.tv_sec = static_cast<long>(micros / 1000000);
        wait.tv_usec = static_cast<long>(micros % 1000000);
    }
    const int ready = Ws<epselect, decltype(&::select)>()(0, &read, &write, nullptr, limit ? &wait : nullptr);
    if (InSet(read, Native(stop.watched_)))
        return -1;
    return ready <= 0 ? 0 : 1;
}

std::ptrdiff_t SendSome(TestSocket socket, const char* bytes, std::size_t size) {
    const int length = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
    const int sent = Ws<epsend, decltype(&::send)>()(Native(socket), bytes, length, 0);
    if (sent > 0)
        return sent;
    return sent < 0 && Ws<epWSAGetLastError, decltype(&::WSAGetLastError)>()() == WSAEWOULDBLOCK ? TryAgain
                                                                                                 : Gone;
}

std::ptrdiff_t ReceiveSome(TestSocket socket, char* buffer, std::size_t size) {
    const int length = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
    const int got = Ws<eprecv, decltype(&::recv)>()(Native(socket), buffer, length, 0);
    if (got > 0)
        return got;
    return got < 0 && Ws<epWSAGetLastError, decltype(&::WSAGetLastError)>()() == WSAEWOULDBLOCK ? TryAgain
                                                                                                : Gone;
}

void ResetConnection(TestSocket socket) {
    linger hard{1, 0};
    Ws<epsetsockopt, decltype(&::setsockopt)>()(Native(socket), SOL_SOCKET, SO_LINGER,
                                                reinterpret_cast<const char*>(&hard), sizeof hard);
    CloseConnection(socket);
}

void CloseConnection(TestSocket socket) {
    Ws<epclosesocket, decltype(&::closesocket)>()(Native(socket));
}

}  // namespace w20::test

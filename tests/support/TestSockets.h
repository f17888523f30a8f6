#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

// The socket calls of the test servers, one implementation per platform: non-blocking loopback
// sockets and waits that a stop signal ends early.
namespace w20::test {

using TestSocket = std::intptr_t;
constexpr TestSocket NoTestSocket = -1;

// What a server's waits also watch: raising it ends every wait at once, now and later.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Raise();

private:
    friend int WaitForSocket(TestSocket, bool, const StopSignal&, std::optional<std::chrono::nanoseconds>);
    TestSocket watched_ = NoTestSocket;
    TestSocket raiser_ = NoTestSocket;
};

// A listening socket on 127.0.0.1 (or ::1) at the port (0: an ephemeral one, written back) with a
// queue of `backlog` waiting connections; raises std::runtime_error on failure.
TestSocket ListenOnLoopback(std::uint16_t& port, int backlog = 64, bool ipv6 = false);
// A non-blocking connect to 127.0.0.1:port, begun and not waited for (writable once it is made);
// NoTestSocket when it failed at once.
TestSocket StartConnect(std::uint16_t port);
// A waiting connection, non-blocking and without send delay; NoTestSocket when none waits.
TestSocket AcceptConnection(TestSocket listener);

// Waits until the socket is readable (or closed) or writable, the stop signal is raised or the
// limit passes (none: no limit). NoTestSocket waits on the signal alone. 1 ready, 0 time out,
// -1 stopped.
int WaitForSocket(TestSocket socket, bool forWriting, const StopSignal& stop,
                  std::optional<std::chrono::nanoseconds> limit);

// Bytes moved, or one of these.
constexpr std::ptrdiff_t TryAgain = -1;  // nothing can move now
constexpr std::ptrdiff_t Gone = -2;      // the peer has closed, reset or failed
std::ptrdiff_t SendSome(TestSocket socket, const char* bytes, std::size_t size);
std::ptrdiff_t ReceiveSome(TestSocket socket, char* buffer, std::size_t size);

// Closing with a zero linger time: the peer sees a reset.
void ResetConnection(TestSocket socket);
void CloseConnection(TestSocket socket);

}  // namespace w20::test

#pragma once

#include <cstdint>
#include <string>

#include "net/SocketLibrary.h"

// Plain POSIX loopback sockets for the far end of a test, independent of the code under test.
namespace w20::test {

// A descriptor closed at scope end.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;
    int Get() const { return fd_; }
    void Reset(int fd = -1);

private:
    int fd_;
};

// A TCP socket bound to 127.0.0.1 (port 0: one the system picks), listening when asked.
// Returns an invalid descriptor when the port cannot be bound.
Descriptor BoundSocket(int port, bool listening);
int LocalPort(int fd);
// Accepts one connection, waiting at most timeoutMs; invalid on time-out.
Descriptor AcceptWithin(int listener, int timeoutMs);
// A TCP connection to 127.0.0.1:port.
Descriptor ConnectTo(int port);
// Reads what arrives within timeoutMs, up to the peer's close.
std::string ReadFor(int fd, int timeoutMs);
// A port on 127.0.0.1 where nothing listens.
int UnusedPort();
void WriteAll(int fd, const std::string& bytes);
// Closes with a reset instead of an orderly close.
void ResetClose(Descriptor& fd);

// A table of the platform's entry points, for tests to replace single entries.
SocketFunctions CopyOfPlatformFunctions();

}  // namespace w20::test

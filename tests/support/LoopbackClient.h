#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace w20::test {

using Millis = std::chrono::milliseconds;

// One HTTP answer as a test sees it.
struct HttpAnswer {
    std::string statusLine;  // without its line end
    int status = 0;
    std::string head;  // status line and header lines with their line ends, blank line excluded
    std::string body;  // a chunked body decoded

    // The value of the first header `name` (any case), without surrounding blanks.
    std::optional<std::string> Header(const std::string& name) const;
    // The values of every header `name`, in order (Set-Cookie comes several times).
    std::vector<std::string> Headers(const std::string& name) const;
};

// A plain blocking-style TCP client on 127.0.0.1 for tests, built on POSIX sockets only, so that
// it can check servers independently of the project's own network classes. Every read is bounded.
class LoopbackClient {
public:
    // Connects at once; throws std::runtime_error when nothing accepts.
    explicit LoopbackClient(std::uint16_t port);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    // Sends all bytes; throws std::runtime_error when the connection is gone.
    void Send(std::string_view bytes);
    // Up to `count` bytes: fewer only when the server closed or the bound passed.
    std::string Receive(std::size_t count, Millis bound = Millis(3000));
    // Everything until the server closes or resets the connection, or the bound passes.
    std::string ReceiveUntilClosed(Millis bound = Millis(3000));
    // One answer: the head, then a Content-Length or chunked body, or the bytes up to the close when
    // the head announces neither. No body follows 1xx, 204 and 304, nor any answer when `toHead`.
    // Empty when no whole answer arrived within the bound.
    std::optional<HttpAnswer> ReadAnswer(Millis bound = Millis(3000), bool toHead = false);

    bool PeerClosed() const { return closed_; }
    bool PeerReset() const { return reset_; }
    void ShutdownWrite();

private:
    // Receives once into the buffer; false when the server closed or the deadline passed.
    bool Fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::string in_;
    bool closed_ = false;
    bool reset_ = false;
};

// Sends one request on a new connection and returns everything up to the server's close.
std::string Exchange(std::uint16_t port, std::string_view request, Millis bound = Millis(3000));

// A port on 127.0.0.1 that nothing listened on a moment ago.
std::uint16_t FreeLoopbackPort();

// Tries to connect until something accepts on the port; false when the bound passes first.
bool WaitUntilAccepting(std::uint16_t port, Millis bound);

}  // namespace w20::test

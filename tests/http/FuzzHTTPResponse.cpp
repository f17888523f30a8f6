#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "http/IdHTTP.h"
#include "net/IdExceptions.h"
#include "net/IdIOHandler.h"

// Any bytes as a server's answers, read by the client's real request cycle: status line,
// headers, body in every framing, redirects, cookies, challenges, over a connection that is kept
// or closed. The transport is the connection's own I/O-handler seam, so every byte goes through
// the same receive path as from a socket.
//
// Layout of an input: byte 0 cuts the receives (1 to 64 bytes each), byte 1 picks a head start
// put in front of the first answer, the rest is the answers, one per request, separated by 0x7F.
// A server that has no answer left closes the connection.
//
// Checked: every failure is one of the system's exceptions; what the client sent is whole
// requests whose lines hold no CR, LF or NUL; no call sends more requests than the redirect limit.
namespace {

constexpr char Separator = '\x7f';

const char* const HeadStarts[] = {
    "",
    "HTTP/1.1 200 OK\r\nContent-Length: ",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
    "HTTP/1.1 302 Found\r\nLocation: ",
    "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 ",
    "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic ",
    "HTTP/1.0 200 OK\r\n",
    "HTTP/1.1 404 Not Found\r\nSet-Cookie: ",
};

class ScriptedAnswers : public w20::TIdIOHandler {
public:
    ScriptedAnswers(std::vector<std::string> answers, std::size_t piece)
        : answers_(std::move(answers)), piece_(piece) {}

    std::string sent;
    std::size_t requests = 0;

    void Open() override { open_ = true; }
    void Close() override {
        open_ = false;
        pending_.clear();
    }
    bool Connected() override { return open_; }
    // Between answers the connection is idle; after the last one the server closes it.
    bool Readable(std::int32_t) override {
        if (!open_)
            throw w20::EIdConnClosedGracefully();
        return !pending_.empty() || next_ >= answers_.size();
    }
    std::int32_t Recv(void* buffer, std::int32_t length) override {
        if (!open_)
            throw w20::EIdClosedSocket();
        const std::size_t n = std::min({pending_.size(), piece_, static_cast<std::size_t>(length)});
        std::memcpy(buffer, pending_.data(), n);
        pending_.erase(0, n);
        return static_cast<std::int32_t>(n);
    }
    // Each request (the head arrives in one send) releases the next answer.
    std::int32_t Send(const void* buffer, std::int32_t length) override {
        if (!open_)
            throw w20::EIdClosedSocket();
        sent.append(static_cast<const char*>(buffer), static_cast<std::size_t>(length));
        ++requests;
        if (next_ < answers_.size())
            pending_ += answers_[next_++];
        return length;
    }

private:
    std::vector<std::string> answers_;
    std::size_t piece_;
    std::size_t next_ = 0;
    std::string pending_;
    bool open_ = false;
};

// Whole requests, each line ended by CR LF and free of CR, LF and NUL, a blank line after each.
bool WholeCleanRequests(const std::string& sent) {
    std::size_t at = 0;
    bool inHead = false;
    while (at < sent.size()) {
        const std::size_t end = sent.find("\r\n", at);
        if (end == std::string::npos)
            return false;
        const std::string line = sent.substr(at, end - at);
        if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            return false;
        if (!inHead && line.rfind("GET ", 0) != 0)
            return false;
        inHead = !line.empty();
        at = end + 2;
    }
    return !inHead;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    std::string rest = HeadStarts[data[1] % (sizeof HeadStarts / sizeof HeadStarts[0])];
    rest.append(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::vector<std::string> answers;
    for (std::size_t at = 0;;) {
        const std::size_t end = rest.find(Separator, at);
        answers.push_back(rest.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }

    ScriptedAnswers server(std::move(answers), piece);
    w20::TIdHTTP http;
    http.SetIOHandler(&server);
    http.SetHandleRedirects(true);
    http.SetHost("h");
    http.SetPort(80);
    // Two calls, so that what the first leaves behind (connection, cookies, credentials) is used.
    for (const char* url : {"http://h/q.php?a=1", "/next"}) {
        const std::size_t before = server.requests;
        try {
            http.Get(url);
        } catch (const w20::Exception&) {
            // Any of the system's failures is a fine end for a malformed answer.
        }
        if (server.requests - before > static_cast<std::size_t>(http.RedirectMaximum()))
            std::abort();
    }
    if (!WholeCleanRequests(server.sent))
        std::abort();
    http.SetIOHandler(nullptr);
    return 0;
}

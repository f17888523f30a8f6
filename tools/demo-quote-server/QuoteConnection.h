#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace w20::demo {

// The HTTP side of one client connection, without sockets: received bytes go in, answer bytes
// come out. Requests are answered in order, so pipelined requests work too.
class QuoteConnection {
public:
    // Called for a fresh session cookie value when a request carries none.
    using SessionIds = std::function<std::string()>;

    static constexpr std::size_t MaxHeadSize = 16384;

    explicit QuoteConnection(SessionIds sessionIds) : sessionIds_(std::move(sessionIds)) {}

    // Takes received bytes and answers every whole request among them. Ignored once closing.
    void Receive(std::string_view bytes);
    // Answer bytes not yet sent; the caller erases what it sent.
    std::string& Output() { return output_; }
    const std::string& Output() const { return output_; }
    // Whether the connection ends once the output is sent (asked by the client, HTTP/1.0, or an
    // unreadable request).
    bool Closing() const { return closing_; }

private:
    void Answer(const std::string& head);
    void Reply(int status, const std::string& reason, const std::string& body, bool headOnly, bool keepAlive,
               bool setCookie, const std::string& extraHeaders = "");

    SessionIds sessionIds_;
    std::string input_;
    std::size_t bodyToSkip_ = 0;
    std::string output_;
    bool closing_ = false;
};

}  // namespace w20::demo

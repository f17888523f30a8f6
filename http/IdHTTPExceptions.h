#pragma once

#include <cstdint>
#include <string>

#include "net/IdException.h"
#include "net/IdExceptions.h"

// The failures of the HTTP client that are not the transport's.
namespace w20 {

// A status that is not success; the message is the status line as received.
class EIdHTTPProtocolException : public EIdProtocolReplyError {
public:
    EIdHTTPProtocolException(std::int32_t statusCode, std::string statusLine, std::string errorBody)
        : EIdProtocolReplyError(statusCode, std::move(statusLine)), errorBody_(std::move(errorBody)) {}
    // -1 when the status line held no code.
    std::int32_t StatusCode() const { return ReplyCode(); }
    const std::string& ErrorBody() const { return errorBody_; }

private:
    std::string errorBody_;
};

// A URL whose protocol has no known port, with no port of its own and none to fall back on.
class EIdUnknownProtocol : public EIdException {
public:
    EIdUnknownProtocol() : EIdException(std::string()) {}
};

// A secure URL, for which the client has no handler.
class EIdIOHandlerPropInvalid : public EIdException {
public:
    EIdIOHandlerPropInvalid() : EIdException("IOHandler value is not valid") {}
};

// The server's header lines (or chunk trailer lines) do not end within the limit.
class EIdHTTPHeaderBlockTooLarge : public EIdException {
public:
    explicit EIdHTTPHeaderBlockTooLarge(std::size_t limit);
};

// A chunk size whose number does not fit in a 63-bit count.
class EIdHTTPChunkSizeTooLarge : public EIdException {
public:
    explicit EIdHTTPChunkSizeTooLarge(const std::string& sizeText);
};

// A chunk size line that does not begin with a hexadecimal number (an empty one included); the
// message quotes the line.
class EIdHTTPChunkSizeInvalid : public EIdException {
public:
    explicit EIdHTTPChunkSizeInvalid(const std::string& line);
};

// The two bytes after a chunk's data are not CR LF: the chunk is longer than its size line says.
class EIdHTTPChunkEndInvalid : public EIdException {
public:
    explicit EIdHTTPChunkEndInvalid(std::int64_t size);
};

// A whole call, redirects, interim answers and error bodies included, did not end within the
// client's RequestTimeout; the message names the limit in seconds.
class EIdHTTPRequestTimeout : public EIdException {
public:
    explicit EIdHTTPRequestTimeout(std::int32_t limitMs);
};

// The server closed before the body its Content-Length announced was complete.
class EIdHTTPBodyIncomplete : public EIdException {
public:
    EIdHTTPBodyIncomplete(std::int64_t received, std::int64_t expected);
};

// A proxy did not give the tunnel to a secure server: its answer to CONNECT was not a success, or
// bytes of its own followed its consent. The message names the proxy (never its credentials) and
// quotes its status line.
class EIdHTTPProxyRefused : public EIdException {
public:
    EIdHTTPProxyRefused(const std::string& proxy, const std::string& statusLine,
                        bool bodyAfterConsent = false);
};

}  // namespace w20

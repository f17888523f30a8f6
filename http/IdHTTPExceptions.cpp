#include "http/IdHTTPExceptions.h"

#include "base/Format.h"

namespace w20 {
namespace {

// Text from the server, fit for a message: cut after `limit` bytes, and every byte that is not
// printable ASCII shown as "?", so that no control byte reaches the error box.
std::string ServerText(const std::string& text, std::size_t limit = 40) {
    std::string shown = text.substr(0, limit);
    for (char& c : shown) {
        if (c < ' ' || c > '~')
            c = '?';
    }
    return text.size() > limit ? shown + "..." : shown;
}

}  // namespace

EIdHTTPHeaderBlockTooLarge::EIdHTTPHeaderBlockTooLarge(std::size_t limit)
    : EIdException(Format("Response header block larger than %zu bytes.", limit)) {}

EIdHTTPChunkSizeTooLarge::EIdHTTPChunkSizeTooLarge(const std::string& sizeText)
    : EIdException(Format("Chunk size %s is too large.", ServerText(sizeText).c_str())) {}

EIdHTTPChunkSizeInvalid::EIdHTTPChunkSizeInvalid(const std::string& line)
    : EIdException(Format("Chunk size line \"%s\" is not a hexadecimal number.", ServerText(line).c_str())) {}

EIdHTTPChunkEndInvalid::EIdHTTPChunkEndInvalid(std::int64_t size)
    : EIdException(Format("Chunk of %lld bytes is not followed by CR LF.", static_cast<long long>(size))) {}

EIdHTTPRequestTimeout::EIdHTTPRequestTimeout(std::int32_t limitMs)
    : EIdException(Format("Request not completed within %g seconds.", limitMs / 1000.0)) {}

EIdHTTPBodyIncomplete::EIdHTTPBodyIncomplete(std::int64_t received, std::int64_t expected)
    : EIdException(Format("Connection closed after %lld of %lld body bytes.",
                          static_cast<long long>(received), static_cast<long long>(expected))) {}

EIdHTTPProxyRefused::EIdHTTPProxyRefused(const std::string& proxy, const std::string& statusLine,
                                         bool bodyAfterConsent)
    : EIdException(Format(bodyAfterConsent ? "Proxy %s opened the tunnel with bytes of its own: %s"
                                           : "Proxy %s refused the tunnel: %s",
                          ServerText(proxy, 80).c_str(), ServerText(statusLine, 80).c_str())) {}

}  // namespace w20

#include "http/IdHTTPExceptions.h"

#include "base/Format.h"

namespace w20 {

EIdHTTPHeaderBlockTooLarge::EIdHTTPHeaderBlockTooLarge(std::size_t limit)
    : EIdException(Format("Response header block larger than %zu bytes.", limit)) {}

EIdHTTPChunkSizeTooLarge::EIdHTTPChunkSizeTooLarge(const std::string& sizeText)
    // The text is the server's: a long one is cut, so the message stays readable.
    : EIdException(Format("Chunk size %s%s is too large.", sizeText.substr(0, 40).c_str(),
                          sizeText.size() > 40 ? "..." : "")) {}

EIdHTTPRequestTimeout::EIdHTTPRequestTimeout(std::int32_t limitMs)
    : EIdException(Format("Request not completed within %g seconds.", limitMs / 1000.0)) {}

EIdHTTPBodyIncomplete::EIdHTTPBodyIncomplete(std::int64_t received, std::int64_t expected)
    : EIdException(Format("Connection closed after %lld of %lld body bytes.",
                          static_cast<long long>(received), static_cast<long long>(expected))) {}

}  // namespace w20

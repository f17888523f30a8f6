#include "http/IdHTTPExceptions.h"

#include "base/Format.h"

namespace w20 {
namespace {

// Text from the server, fit for a message: cut after 40 bytes, and every byte that is not
// printable ASCII shown as "?", so that no control byte reaches the error box.
std::string ServerText(const std::string& text) {
    std::string shown = text.substr(0, 40);
    for (char& c : shown) {
        if (c < ' ' || c > '~')
            c = '?';
    }
    return text.size() > 40 ? shown + "..." : shown;
}

}  // namespace

EIdHTTPHeaderBlockTooLarge::EIdHTTPHeaderBlockTooLarge(std::size_t limit)
    : EIdException(Format("Response header block larger than %zu bytes.", limit)) {}

EIdHTTPChunkSizeTooLarge::EIdHTTPChunkSizeTooLarge(const std::string& sizeText)
    : EIdException(Format("Chunk size %s is too large.", ServerText(sizeText).c_str())) {}

EIdHTTPChunkSizeInvalid::EIdHTTPChunkSizeInvalid(const std::string& line)
    : EIdException(Format("Chunk size line \"%s\" is not a hexadecimal number.", ServerText(line).c_str())) {}

EIdHTTPRequestTimeout::EIdHTTPRequestTimeout(std::int32_t limitMs)
    : EIdException(Format("Request not completed within %g seconds.", limitMs / 1000.0)) {}

EIdHTTPBodyIncomplete::EIdHTTPBodyIncomplete(std::int64_t received, std::int64_t expected)
    : EIdException(Format("Connection closed after %lld of %lld body bytes.",
                          static_cast<long long>(received), static_cast<long long>(expected))) {}

}  // namespace w20

// Feeds arbitrary bytes, cut at points taken from the input, to the demo service's HTTP side.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/demo-quote-server/QuoteConnection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    w20::demo::QuoteConnection connection([] { return std::string("0123456789abcdef"); });
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t piece = 1 + data[0] % 64;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        connection.Receive(bytes.substr(at, piece));
        const std::string& output = connection.Output();
        // Every answer is a whole HTTP/1.1 response; nothing else is ever written.
        if (!output.empty() && output.rfind("HTTP/1.1 ", 0) != 0)
            std::abort();
        connection.Output().clear();
    }
    return 0;
}

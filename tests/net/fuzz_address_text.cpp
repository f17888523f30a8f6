#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/AddressText.h"

// Every accepted text parses to bytes whose written form parses to the same bytes (and is written
// the same way again), and the text functions never fail on any input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    w20::TIdIPv4Bytes bytes = {};
    if (w20::ParseAddressText(text, bytes)) {
        w20::TIdIPv4Bytes again = {};
        const std::string dotted = w20::FormatAddress(bytes);
        if (!w20::ParseAddressText(dotted, again) || again != bytes || !w20::IsDottedQuad(dotted))
            std::abort();
    }
    w20::TIdIPAddress address;
    if (w20::ParseIPAddressText(text, address)) {
        w20::TIdIPAddress again;
        const std::string written = w20::FormatIPAddress(address);
        if (!w20::ParseIPAddressText(written, again) || again != address ||
            w20::FormatIPAddress(again) != written)
            std::abort();
    }
    std::uint32_t value = 0;
    w20::ReadSingleNumber(text, value);
    w20::IsDottedQuad(text);
    w20::IsHostNameText(text);
    w20::DomainPart(text);
    return 0;
}

#include "base/Convert.h"

#include <limits>

#include "base/Exception.h"

namespace w20 {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the whole text as an integer of `bits` bits (32 or 64).
bool ReadInteger(const std::string& text, int bits, std::int64_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size())
        return false;

    const std::uint64_t unsignedMax =
        bits == 64 ? std::numeric_limits<std::uint64_t>::max() : std::numeric_limits<std::uint32_t>::max();
    const std::uint64_t signedMax = unsignedMax >> 1;
    const std::uint64_t base = hex ? 16 : 10;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        if (magnitude > (unsignedMax - static_cast<std::uint64_t>(digit)) / base)
            return false;
        magnitude = magnitude * base + static_cast<std::uint64_t>(digit);
    }
    if (hex) {
        // Hexadecimal numbers fill the bit pattern, as the runtime does.
        std::uint64_t bitsValue = negative ? (~magnitude + 1) & unsignedMax : magnitude;
        if (bits == 32) {
            value = static_cast<std::int32_t>(static_cast<std::uint32_t>(bitsValue));
        } else {
            value = static_cast<std::int64_t>(bitsValue);
        }
        return true;
    }
    if (negative) {
        if (magnitude > signedMax + 1)
            return false;
        value = magnitude == signedMax + 1 ? (bits == 64 ? std::numeric_limits<std::int64_t>::min()
                                                         : std::numeric_limits<std::int32_t>::min())
                                           : -static_cast<std::int64_t>(magnitude);
        return true;
    }
    if (magnitude > signedMax)
        return false;
    value = static_cast<std::int64_t>(magnitude);
    return true;
}

[[noreturn]] void RaiseInvalidInteger(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid integer value");
}

}  // namespace

bool TryStrToInt(const std::string& text, std::int32_t& value) {
    std::int64_t wide = 0;
    if (!ReadInteger(text, 32, wide))
        return false;
    value = static_cast<std::int32_t>(wide);
    return true;
}

bool TryStrToInt64(const std::string& text, std::int64_t& value) {
    return ReadInteger(text, 64, value);
}

std::int32_t StrToInt(const std::string& text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        RaiseInvalidInteger(text);
    return value;
}

std::int64_t StrToInt64(const std::string& text) {
    std::int64_t value = 0;
    if (!TryStrToInt64(text, value))
        RaiseInvalidInteger(text);
    return value;
}

std::string IntToStr(std::int64_t value) {
    return std::to_string(value);
}

}  // namespace w20

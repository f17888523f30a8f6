#include "base/Convert.h"

#include <limits>

#include "base/Exception.h"

namespace w20 {
namespace {

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
    const std::uint64_t unsignedMax =
        bits == 64 ? std::numeric_limits<std::uint64_t>::max() : std::numeric_limits<std::uint32_t>::max();
    const std::uint64_t signedMax = unsignedMax >> 1;
    std::uint64_t magnitude = 0;
    if (!ReadDigits(std::string_view(text).substr(i), hex ? 16 : 10, unsignedMax, magnitude))
        return false;
    if (hex) {
        // A hexadecimal number fills the bit pattern of the type: "$FFFFFFFF" is -1 in 32 bits.
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

int DigitValue(char c, unsigned base) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ReadDigits(std::string_view digits, unsigned base, std::uint64_t maximum, std::uint64_t& value) {
    if (digits.empty())
        return false;
    std::uint64_t number = 0;
    for (const char c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0 || number > (maximum - static_cast<std::uint64_t>(digit)) / base)
            return false;
        number = number * base + static_cast<std::uint64_t>(digit);
    }
    value = number;
    return true;
}

}  // namespace w20

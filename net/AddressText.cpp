#include "net/AddressText.h"

#include "base/Convert.h"
#include "base/Strings.h"

namespace w20 {

namespace {

// The two number syntaxes differ only in where a hexadecimal number may stand.
struct NumberSyntax {
    bool loneXIsHex;  // "x" or "X" alone introduces a hexadecimal number
    bool signedHex;   // a sign may stand before a hexadecimal number
};

// Leading blanks, a sign and a number in one of the syntaxes, at most `maximum`; "-0" is zero
// and any other negative value is out of range.
bool ReadNumber(std::string_view text, std::uint32_t maximum, NumberSyntax syntax, std::uint32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    const bool hasSign = i < text.size() && (text[i] == '+' || text[i] == '-');
    if (hasSign) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (!hasSign || syntax.signedHex) {
        if (i < text.size() &&
            (text[i] == '$' || (syntax.loneXIsHex && (text[i] == 'x' || text[i] == 'X')))) {
            base = 16;
            ++i;
        } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            base = 16;
            i += 2;
        }
    }
    std::uint64_t number = 0;
    if (!ReadDigits(text.substr(i), base, maximum, number))
        return false;
    if (negative && number != 0)
        return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

}  // namespace

bool ReadDottedPart(std::string_view text, std::uint32_t maximum, std::uint32_t& value) {
    return ReadNumber(text, maximum, NumberSyntax{.loneXIsHex = true, .signedHex = false}, value);
}

bool ReadSingleNumber(std::string_view text, std::uint32_t& value) {
    return ReadNumber(text, 4294967295u, NumberSyntax{.loneXIsHex = false, .signedHex = true}, value);
}

bool ParseAddressText(std::string_view text, TIdIPv4Bytes& bytes) {
    std::string_view parts[4];
    std::string_view rest = text;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = rest.find('.');
        parts[i] = rest.substr(0, dot);
        rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    }
    parts[3] = rest;  // further dots stay in the last part and make it invalid

    std::uint32_t a = 0, b = 0, c = 0, d = 0;
    if (parts[1].empty()) {
        if (!ReadSingleNumber(parts[0], d))
            return false;
        bytes = {static_cast<std::uint8_t>(d >> 24), static_cast<std::uint8_t>(d >> 16),
                 static_cast<std::uint8_t>(d >> 8), static_cast<std::uint8_t>(d)};
    } else if (parts[2].empty()) {
        if (!ReadDottedPart(parts[0], 255, a) || !ReadDottedPart(parts[1], 16777215, d))
            return false;
        bytes = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(d >> 16),
                 static_cast<std::uint8_t>(d >> 8), static_cast<std::uint8_t>(d)};
    } else if (parts[3].empty()) {
        if (!ReadDottedPart(parts[0], 255, a) || !ReadDottedPart(parts[1], 255, b) ||
            !ReadDottedPart(parts[2], 65535, d)) {
            return false;
        }
        bytes = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                 static_cast<std::uint8_t>(d >> 8), static_cast<std::uint8_t>(d)};
    } else {
        if (!ReadDottedPart(parts[0], 255, a) || !ReadDottedPart(parts[1], 255, b) ||
            !ReadDottedPart(parts[2], 255, c) || !ReadDottedPart(parts[3], 255, d)) {
            return false;
        }
        bytes = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
                 static_cast<std::uint8_t>(d)};
    }
    return true;
}

std::string FormatAddress(const TIdIPv4Bytes& bytes) {
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

bool IsDottedQuad(std::string_view text) {
    std::string rest = Trim(text);
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = rest.find('.');
        const std::string piece = rest.substr(0, dot);
        rest = dot == std::string::npos ? std::string() : rest.substr(dot + 1);
        std::uint32_t value = 0;
        if (!ReadDottedPart(piece, 255, value))
            return false;
    }
    return true;
}

bool IsHostNameText(std::string_view text) {
    if (!text.empty() && text.front() == '.')
        return false;
    return !IsDottedQuad(text);
}

std::string DomainPart(std::string_view host) {
    const std::size_t dot = host.find('.');
    return std::string(dot == std::string_view::npos ? host : host.substr(dot));
}

}  // namespace w20

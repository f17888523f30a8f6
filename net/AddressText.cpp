#include "net/AddressText.h"

#include <algorithm>
#include <vector>

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

TIdIPAddress TIdIPAddress::V4(const TIdIPv4Bytes& bytes) {
    TIdIPAddress address;
    std::copy(bytes.begin(), bytes.end(), address.bytes.begin());
    return address;
}

TIdIPAddress TIdIPAddress::V6(const TIdIPv6Bytes& bytes) {
    return TIdIPAddress{.ipv6 = true, .bytes = bytes};
}

namespace {

// One group of one to four hexadecimal digits.
bool ReadGroup(std::string_view text, std::uint16_t& value) {
    if (text.empty() || text.size() > 4)
        return false;
    std::uint64_t number = 0;
    if (!ReadDigits(text, 16, 0xFFFF, number))
        return false;
    value = static_cast<std::uint16_t>(number);
    return true;
}

// Four decimal parts of one to three digits, each at most 255: the only IPv4 form inside an
// IPv6 text.
bool ReadStrictQuad(std::string_view text, TIdIPv4Bytes& quad) {
    for (std::size_t part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        std::uint64_t value = 0;
        if (dot == std::string_view::npos || dot == 0 || dot > 3 ||
            !ReadDigits(text.substr(0, dot), 10, 255, value))
            return false;
        quad[part] = static_cast<std::uint8_t>(value);
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return true;
}

// Groups separated by colons, none empty, the last one possibly a dotted quad; at most `room`
// groups. An empty text is no group at all.
bool ReadGroups(std::string_view text, std::size_t room, std::vector<std::uint16_t>& groups) {
    if (text.empty())
        return true;
    for (;;) {
        const std::size_t colon = text.find(':');
        const std::string_view group = text.substr(0, colon);
        if (colon == std::string_view::npos && group.find('.') != std::string_view::npos) {
            TIdIPv4Bytes quad;
            if (!ReadStrictQuad(group, quad))
                return false;
            groups.push_back(static_cast<std::uint16_t>(quad[0] << 8 | quad[1]));
            groups.push_back(static_cast<std::uint16_t>(quad[2] << 8 | quad[3]));
            return groups.size() <= room;
        }
        std::uint16_t value = 0;
        if (!ReadGroup(group, value))
            return false;
        groups.push_back(value);
        if (groups.size() > room)
            return false;
        if (colon == std::string_view::npos)
            return true;
        text.remove_prefix(colon + 1);
    }
}

}  // namespace

bool ParseIPv6Text(std::string_view text, TIdIPv6Bytes& bytes) {
    std::vector<std::uint16_t> head;
    std::vector<std::uint16_t> tail;
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) {
        if (!ReadGroups(text, 8, head) || head.size() != 8)
            return false;
    } else {
        const std::string_view before = text.substr(0, gap);
        const std::string_view after = text.substr(gap + 2);
        // The gap stands for at least one zero group; a second gap would make the text ambiguous.
        if (after.find("::") != std::string_view::npos ||
            (!before.empty() && before.find('.') != std::string_view::npos) || !ReadGroups(before, 7, head) ||
            !ReadGroups(after, 7 - head.size(), tail)) {
            return false;
        }
    }
    TIdIPv6Bytes result = {};
    for (std::size_t i = 0; i < head.size(); ++i) {
        result[2 * i] = static_cast<std::uint8_t>(head[i] >> 8);
        result[2 * i + 1] = static_cast<std::uint8_t>(head[i]);
    }
    for (std::size_t i = 0, at = 8 - tail.size(); i < tail.size(); ++i, ++at) {
        result[2 * at] = static_cast<std::uint8_t>(tail[i] >> 8);
        result[2 * at + 1] = static_cast<std::uint8_t>(tail[i]);
    }
    bytes = result;
    return true;
}

std::string FormatIPv6(const TIdIPv6Bytes& bytes) {
    std::uint16_t groups[8];
    for (int i = 0; i < 8; ++i)
        groups[i] = static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    if (groups[0] == 0 && groups[1] == 0 && groups[2] == 0 && groups[3] == 0 && groups[4] == 0 &&
        groups[5] == 0xFFFF) {
        return "::ffff:" + FormatAddress({bytes[12], bytes[13], bytes[14], bytes[15]});
    }
    int bestStart = -1, bestLength = 1;  // a single zero group stays as "0"
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const int digit = (groups[i] >> shift) & 0xF;
            started = started || digit != 0 || shift == 0;
            if (started)
                text += Digits[digit];
        }
    }
    return text;
}

bool ParseIPAddressText(std::string_view text, TIdIPAddress& address) {
    if (text.find(':') != std::string_view::npos) {
        TIdIPv6Bytes bytes;
        if (!ParseIPv6Text(text, bytes))
            return false;
        address = TIdIPAddress::V6(bytes);
        return true;
    }
    TIdIPv4Bytes bytes;
    if (!ParseAddressText(text, bytes))
        return false;
    address = TIdIPAddress::V4(bytes);
    return true;
}

std::string FormatIPAddress(const TIdIPAddress& address) {
    return address.ipv6 ? FormatIPv6(address.bytes) : FormatAddress(address.V4Bytes());
}

bool IsIPHostText(std::string_view text) {
    TIdIPv6Bytes bytes;
    return IsDottedQuad(text) || ParseIPv6Text(text, bytes);
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
    return !IsIPHostText(text);
}

std::string DomainPart(std::string_view host) {
    const std::size_t dot = host.find('.');
    return std::string(dot == std::string_view::npos ? host : host.substr(dot));
}

}  // namespace w20

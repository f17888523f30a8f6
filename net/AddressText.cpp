#include "net/AddressText.h"

#include "base/Strings.h"

namespace w20 {

bool ReadDottedPart(std::string_view text, std::uint32_t maximum, std::uint32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    unsigned base = 10;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    } else if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return false;
    std::uint64_t number = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        number = number * base + digit;
        if (number > maximum) return false;  // also keeps the sum far from overflow
    }
    if (negative && number != 0) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

bool IsDottedQuad(std::string_view text) {
    std::string rest = Trim(text);
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = rest.find('.');
        const std::string piece = rest.substr(0, dot);
        rest = dot == std::string::npos ? std::string() : rest.substr(dot + 1);
        std::uint32_t value = 0;
        if (!ReadDottedPart(piece, 255, value)) return false;
    }
    return true;
}

bool IsHostNameText(std::string_view text) {
    if (!text.empty() && text.front() == '.') return false;
    return !IsDottedQuad(text);
}

std::string DomainPart(std::string_view host) {
    const std::size_t dot = host.find('.');
    return std::string(dot == std::string_view::npos ? host : host.substr(dot));
}

}  // namespace w20

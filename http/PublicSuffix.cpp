#include "http/PublicSuffix.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "base/Strings.h"

namespace w20 {
namespace {

struct SuffixRules {
    std::unordered_set<std::string> suffixes;    // "com.pl"
    std::unordered_set<std::string> wildcards;   // "ck" for "*.ck"
    std::unordered_set<std::string> exceptions;  // "www.ck" for "!www.ck"
};

// The code points of UTF-8 text; the list is valid UTF-8.
std::u32string CodePoints(std::string_view text) {
    std::u32string points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        points.push_back(point);
        i += length;
    }
    return points;
}

// The parameters of the Punycode encoding (Bootstring for host names).
constexpr std::uint32_t Base = 36;
constexpr std::uint32_t TMin = 1;
constexpr std::uint32_t TMax = 26;
constexpr std::uint32_t Skew = 38;
constexpr std::uint32_t Damp = 700;
constexpr std::uint32_t InitialBias = 72;
constexpr char32_t InitialCode = 0x80;

// The bias for the next code point, from the last delta.
std::uint32_t Adapt(std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / Damp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    for (; delta > ((Base - TMin) * TMax) / 2; k += Base)
        delta /= Base - TMin;
    return k + (Base - TMin + 1) * delta / (delta + Skew);
}

// A label in Unicode as hosts carry it: "xn--" and its Punycode form; an ASCII label as it is.
std::string AsciiLabel(std::string_view label) {
    const std::u32string input = CodePoints(label);
    std::string output;
    for (const char32_t c : input) {
        if (c < InitialCode)
            output += static_cast<char>(c);
    }
    const std::uint32_t basic = static_cast<std::uint32_t>(output.size());
    if (basic == input.size())
        return std::string(label);
    if (basic > 0)
        output += '-';
    const auto digit = [](std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + d - 26); };
    char32_t n = InitialCode;
    std::uint32_t delta = 0;
    std::uint32_t bias = InitialBias;
    std::uint32_t handled = basic;
    while (handled < input.size()) {
        char32_t next = U'\U0010FFFF';
        for (const char32_t c : input) {
            if (c >= n && c < next)
                next = c;
        }
        delta += (next - n) * (handled + 1);
        n = next;
        for (const char32_t c : input) {
            if (c < n)
                ++delta;
            if (c != n)
                continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = Base;; k += Base) {
                const std::uint32_t t = k <= bias ? TMin : k >= bias + TMax ? TMax : k - bias;
                if (q < t)
                    break;
                output += digit(t + (q - t) % (Base - t));
                q = (q - t) / (Base - t);
            }
            output += digit(q);
            bias = Adapt(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return "xn--" + output;
}

std::string AsciiName(std::string_view name) {
    std::string ascii;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        if (start > 0)
            ascii += '.';
        ascii += AsciiLabel(name.substr(start, dot - start));
        start = dot + 1;
    }
    return ascii;
}

// Read once, on first use.
const SuffixRules& Rules() {
    static const SuffixRules rules = [] {
        SuffixRules read;
        for (const char* const* piece = PublicSuffixRules; *piece != nullptr; ++piece) {
            const std::string_view text = *piece;
            for (std::size_t start = 0; start < text.size();) {
                const std::size_t end = std::min(text.find('\n', start), text.size());
                const std::string_view rule = text.substr(start, end - start);
                start = end + 1;
                if (rule.empty())
                    continue;
                if (rule.front() == '!') {
                    read.exceptions.insert(AsciiName(rule.substr(1)));
                } else if (rule.substr(0, 2) == "*.") {
                    read.wildcards.insert(AsciiName(rule.substr(2)));
                } else {
                    read.suffixes.insert(AsciiName(rule));
                }
            }
        }
        return read;
    }();
    return rules;
}

}  // namespace

bool IsPublicSuffix(std::string_view domain) {
    if (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    if (!domain.empty() && domain.back() == '.')
        domain.remove_suffix(1);
    if (domain.empty())
        return false;
    const std::string name = LowerCase(domain);
    const SuffixRules& rules = Rules();
    // The name itself and each parent, from the name up; an exception anywhere decides at once.
    const std::size_t firstDot = name.find('.');
    for (std::size_t start = 0;; start = name.find('.', start) + 1) {
        if (rules.exceptions.count(name.substr(start)) != 0)
            return false;
        if (name.find('.', start) == std::string::npos)
            break;
    }
    if (firstDot == std::string::npos || rules.suffixes.count(name) != 0)
        return true;
    return rules.wildcards.count(name.substr(firstDot + 1)) != 0;
}

}  // namespace w20

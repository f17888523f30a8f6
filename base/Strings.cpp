#include "base/Strings.h"

#include <algorithm>
#include <utility>

#include "base/Convert.h"

namespace w20 {
namespace {

bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::size_t Pos(std::string_view part, std::string_view text) {
    if (part.empty())
        return 0;
    const std::size_t found = text.find(part);
    return found == std::string_view::npos ? 0 : found + 1;
}

std::string Copy(std::string_view text, std::size_t index, std::size_t count) {
    if (index < 1)
        index = 1;
    if (index > text.size())
        return {};
    return std::string(text.substr(index - 1, count));
}

std::string TrimLeft(std::string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsTrimmed);
    return std::string(first, text.end());
}

std::string TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && IsTrimmed(text[end - 1]))
        --end;
    return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) {
    return TrimLeft(TrimRight(text));
}

std::string Fetch(std::string& text, std::string_view delimiter) {
    const std::size_t at = text.find(delimiter);
    if (at == std::string::npos)
        return std::exchange(text, std::string());
    std::string before = text.substr(0, at);
    text.erase(0, at + delimiter.size());
    return before;
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), AsciiUpper);
    return result;
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), AsciiLower);
    return result;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

bool StartsText(std::string_view prefix, std::string_view text) {
    return text.size() >= prefix.size() && SameText(prefix, text.substr(0, prefix.size()));
}

std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && DigitValue(text[i + 1], 16) >= 0 &&
            DigitValue(text[i + 2], 16) >= 0) {
            decoded += static_cast<char>(DigitValue(text[i + 1], 16) * 16 + DigitValue(text[i + 2], 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

}  // namespace w20

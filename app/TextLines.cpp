#include "app/TextLines.h"

namespace w20 {
namespace {

// Calls line(start, length) for each line of the text and returns where the last line ends.
template <typename Char, typename OnLine>
std::size_t ForEachLine(std::basic_string_view<Char> text, OnLine line) {
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != Char('\r') && text[at] != Char('\n'))
            continue;
        line(start, at - start);
        if (text[at] == Char('\r') && at + 1 < text.size() && text[at + 1] == Char('\n'))
            ++at;
        start = at + 1;
    }
    return start;
}

}  // namespace

std::vector<LineSpan> LineSpans(std::u16string_view text) {
    std::vector<LineSpan> spans;
    const std::size_t last = ForEachLine(text, [&](std::size_t start, std::size_t length) {
        spans.push_back({start, length});
    });
    if (last < text.size())
        spans.push_back({last, text.size() - last});
    return spans;
}

std::string WithCrLfLineBreaks(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 32);
    const std::size_t last = ForEachLine(bytes, [&](std::size_t start, std::size_t length) {
        text.append(bytes.substr(start, length)).append("\r\n");
    });
    return text.append(bytes.substr(last));
}

}  // namespace w20

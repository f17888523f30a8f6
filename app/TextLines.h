#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The text area's lines are the texts between line breaks: CR LF, a lone LF and a lone CR each end
// a line, and a break at the very end of the text starts no further line.
namespace w20 {

struct LineSpan {
    std::size_t start;
    std::size_t length;
};

// Where each line of the text lies; none for an empty text.
std::vector<LineSpan> LineSpans(std::u16string_view text);

// The text with every line break written as CR LF.
std::string WithCrLfLineBreaks(std::string_view bytes);

}  // namespace w20

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text helpers of the runtime. System texts are 8-bit byte strings; case rules are ASCII only.
// Character positions in the system's texts count from 1: Pos and Copy are the one place where
// such positions meet C++ offsets.
namespace w20 {

// Position (from 1) of the first occurrence of `part` in `text`; 0 when absent or `part` is empty.
std::size_t Pos(std::string_view part, std::string_view text);

// `count` characters of `text` from position `index` (from 1), clipped to the text.
std::string Copy(std::string_view text, std::size_t index, std::size_t count = std::string::npos);

// Remove characters with codes 0 to 32 (blanks and control characters) from the ends.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// The text before the first `delimiter`, taken out of `text` together with the delimiter; without
// a delimiter the whole text is taken and `text` becomes empty.
std::string Fetch(std::string& text, std::string_view delimiter);

std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view text);

// Every "%XX" with two hexadecimal digits as the byte it stands for; anything else as it is.
std::string PercentDecoded(std::string_view text);

}  // namespace w20

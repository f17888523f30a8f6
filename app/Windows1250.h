#pragma once

#include <string>
#include <string_view>

// The window shows the system's 8-bit Windows-1250 texts. The conversion is lossless both ways
// for every byte: the five bytes the code page leaves undefined map to the control characters of
// the same number, which the code page does not use otherwise.
namespace w20 {

std::u16string FromWindows1250(std::string_view bytes);
// Characters outside the code page become "?", a character outside the 16-bit plane one "?".
std::string ToWindows1250(std::u16string_view text);

}  // namespace w20

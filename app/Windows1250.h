#pragma once

#include <QString>
#include <string>
#include <string_view>

// The window shows the system's 8-bit Windows-1250 texts. The conversion is lossless both ways
// for every byte: the five bytes the code page leaves undefined map to the control characters of
// the same number, which the code page does not use otherwise.
namespace w20 {

QString FromWindows1250(std::string_view bytes);
// Characters outside the code page become "?".
std::string ToWindows1250(const QString& text);

}  // namespace w20

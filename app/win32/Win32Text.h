#pragma once

#include <string>
#include <string_view>

#include "app/Windows1250.h"

// The system's Windows-1250 bytes as the texts of the W functions and back.
namespace w20 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the W functions take UTF-16");

inline std::wstring ToWide(std::string_view bytes) {
    const std::u16string text = FromWindows1250(bytes);
    return std::wstring(text.begin(), text.end());
}

inline std::string FromWide(std::wstring_view text) {
    return ToWindows1250(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace w20

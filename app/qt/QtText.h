#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "app/Windows1250.h"

// The system's Windows-1250 bytes as Qt text and back.
namespace w20 {

inline QString ToQString(std::string_view bytes) {
    const std::u16string text = FromWindows1250(bytes);
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::string FromQString(const QString& text) {
    return ToWindows1250(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                             static_cast<std::size_t>(text.size())));
}

}  // namespace w20

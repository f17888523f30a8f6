#include "base/Format.h"

#include <cstdarg>
#include <cstdio>

namespace w20 {

std::string Format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<std::size_t>(length));
        std::vsnprintf(result.data(), result.size() + 1, pattern, args);
    }
    va_end(args);
    return result;
}

}  // namespace w20

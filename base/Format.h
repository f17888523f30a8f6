#pragma once

#include <string>

namespace w20 {

// printf-style formatting into a std::string; the system's message texts are written with
// %d and %s placeholders, so this keeps them recognisable at the call site.
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace w20

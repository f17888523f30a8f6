#pragma once

#include <string>
#include <string_view>

namespace w20 {

// Replaces every occurrence of `find` in `source` by `replacement`, left to right and without
// overlap: the search goes on after the end of each occurrence, so the inserted text is never
// searched again. An empty `find` leaves the source unchanged.
std::string ReplaceAll(std::string_view find, std::string_view replacement, std::string_view source);

}  // namespace w20

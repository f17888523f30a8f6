#include "quotes/ReplaceAll.h"

namespace w20 {

std::string ReplaceAll(std::string_view find, std::string_view replacement, std::string_view source) {
    std::string result;
    if (find.empty()) return result.assign(source);
    // Enough room for the common case of a replacement no longer than the find text; a longer one
    // lets the buffer grow geometrically, which keeps the whole pass linear.
    result.reserve(source.size());
    std::size_t rest = 0;
    for (std::size_t at = source.find(find); at != std::string_view::npos; at = source.find(find, rest)) {
        result.append(source, rest, at - rest);
        result.append(replacement);
        rest = at + find.size();
    }
    result.append(source, rest);
    return result;
}

}  // namespace w20

#include "quotes/ReplaceAll.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/LargePages.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace w20 {
namespace {

// The first occurrence of a non-empty `find` in `text` at or after `from`, or npos.
std::size_t FindFrom(std::string_view text, std::string_view find, std::size_t from) {
#if defined(__SSE2__)
    // Sixteen starting positions at a time: only those whose first and last bytes both match are
    // compared in full. Bar texts repeat the first byte of a ticker on every line, so a search
    // for that byte alone would stop every few dozen bytes.
    if (find.size() >= 2) {
        const std::size_t span = find.size() - 1;
        const __m128i first = _mm_set1_epi8(find.front());
        const __m128i last = _mm_set1_epi8(find.back());
        for (; from + span + 16 <= text.size(); from += 16) {
            const char* block = text.data() + from;
            const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
            const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + span));
            auto candidates = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, last))));
            for (; candidates != 0; candidates &= candidates - 1) {
                const auto offset = static_cast<std::size_t>(std::countr_zero(candidates));
                if (std::memcmp(block + offset + 1, find.data() + 1, span - 1) == 0)
                    return from + offset;
            }
        }
    }
#endif
    return text.find(find, from);  // the last few bytes, and single-byte finds
}

}  // namespace

std::string ReplaceAll(std::string_view find, std::string_view replacement, std::string_view source) {
    std::string result;
    if (find.empty())
        return result.assign(source);
    // Room for the longest result a longer replacement could give, up to twice the source, so the
    // text is not copied again as it grows. Pages the result never reaches are never touched, so
    // room to spare costs address space only. Past that the buffer grows geometrically.
    std::size_t room = source.size();
    if (replacement.size() > find.size()) {
        const std::size_t mostOccurrences = source.size() / find.size();
        room += std::min(source.size(), mostOccurrences * (replacement.size() - find.size()));
    }
    result.reserve(room);
    AskForLargePages(result.data(), result.capacity());
    std::size_t rest = 0;
    for (std::size_t at = FindFrom(source, find, 0); at != std::string_view::npos;
         at = FindFrom(source, find, rest)) {
        result.append(source, rest, at - rest);
        result.append(replacement);
        rest = at + find.size();
    }
    result.append(source, rest);
    return result;
}

}  // namespace w20

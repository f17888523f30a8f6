#pragma once

#include <string_view>

namespace w20 {

// The rules of the public suffix list, one a line, made by the build from the list the system
// ships: "com.pl" (a suffix), "*.ck" (every name one label below), "!www.ck" (an exception).
// Several texts of many lines each, the last pointer null.
extern const char* const PublicSuffixRules[];

// Whether `domain` (one leading and one trailing dot ignored, case ignored) is a public suffix:
// a name under which anyone may register, such as "com", "com.pl" or "co.uk", so that a cookie
// for it would reach unrelated sites. The list's rule holds: the longest matching rule decides,
// an exception outweighs every other rule, and a name no rule matches is a suffix when it is a
// single label. Rules written in Unicode also match their "xn--" form.
bool IsPublicSuffix(std::string_view domain);

}  // namespace w20

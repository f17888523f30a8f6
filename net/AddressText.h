#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text forms of IPv4 addresses and host names.
namespace w20 {

// Reads one part of a dotted address: optional leading blanks, then an optional sign and decimal
// digits ("010" is ten, "-0" is zero), or a hexadecimal number introduced by "$", "x", "X", "0x"
// or "0X" without a sign. Nothing may follow the number, and it must not exceed `maximum`.
bool ReadDottedPart(std::string_view text, std::uint32_t maximum, std::uint32_t& value);

// Four parts of 0..255 separated by dots after blanks and control characters are removed from
// the ends; whatever follows the fourth part is not examined.
bool IsDottedQuad(std::string_view text);

// False for a text that begins with "." or is a dotted quad; the empty text counts as a name.
bool IsHostNameText(std::string_view text);

// The host text from its first "." to the end, or the whole text when it has no ".".
std::string DomainPart(std::string_view host);

}  // namespace w20

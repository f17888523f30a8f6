#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace w20 {

// Integer conversion of the runtime: leading blanks, an optional sign, then decimal digits or a
// hexadecimal number introduced by "$", "x", "X", "0x" or "0X"; nothing may follow the number.
// A hexadecimal number may use all bits of the type, so "$FFFFFFFF" reads as -1.
bool TryStrToInt(const std::string& text, std::int32_t& value);
bool TryStrToInt64(const std::string& text, std::int64_t& value);

// As above; a text that does not read raises EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt(const std::string& text);
std::int64_t StrToInt64(const std::string& text);

std::string IntToStr(std::int64_t value);

// The value of one digit in base 10 or 16 (letters in either case), or -1.
int DigitValue(char c, unsigned base);

// One or more digits of the base and nothing else, read as a number of at most `maximum`; false
// for an empty text, any other character or a larger number. Signs, prefixes and what a caller
// makes of a failure are the caller's own rules.
bool ReadDigits(std::string_view digits, unsigned base, std::uint64_t maximum, std::uint64_t& value);

}  // namespace w20

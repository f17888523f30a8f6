#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Text forms of IPv4 and IPv6 addresses and host names.
namespace w20 {

using TIdIPv4Bytes = std::array<std::uint8_t, 4>;   // first dotted part first
using TIdIPv6Bytes = std::array<std::uint8_t, 16>;  // network byte order

// An address of either family; an IPv4 address fills the first four bytes.
struct TIdIPAddress {
    bool ipv6 = false;
    TIdIPv6Bytes bytes = {};

    static TIdIPAddress V4(const TIdIPv4Bytes& bytes);
    static TIdIPAddress V6(const TIdIPv6Bytes& bytes);
    TIdIPv4Bytes V4Bytes() const { return {bytes[0], bytes[1], bytes[2], bytes[3]}; }
    bool operator==(const TIdIPAddress&) const = default;
};

// Reads one part of a dotted address: optional leading blanks, then an optional sign and decimal
// digits ("010" is ten, "-0" is zero), or a hexadecimal number introduced by "$", "x", "X", "0x"
// or "0X" without a sign. Nothing may follow the number, and it must not exceed `maximum`.
bool ReadDottedPart(std::string_view text, std::uint32_t maximum, std::uint32_t& value);

// Reads the single-number form of an address: optional leading blanks, an optional sign, then
// decimal digits or a hexadecimal number introduced by "$", "0x" or "0X" (a lone "x" does not
// introduce one here). Nothing may follow; the value must lie in 0 .. 4294967295 ("-0" is 0).
bool ReadSingleNumber(std::string_view text, std::uint32_t& value);

// An address text in one of its four forms: n, a.b, a.b.c or a.b.c.d. The form is chosen by which
// dotted parts are empty, so "10." and "10..5" are the single number 10.
bool ParseAddressText(std::string_view text, TIdIPv4Bytes& bytes);

// The four bytes as dotted decimal text, such as "127.0.0.1".
std::string FormatAddress(const TIdIPv4Bytes& bytes);

// An IPv6 address text: eight groups of one to four hexadecimal digits separated by colons, one
// "::" standing for one or more zero groups, the last two groups optionally a dotted quad of
// decimal parts. Nothing else: no blanks, no zone, no brackets.
bool ParseIPv6Text(std::string_view text, TIdIPv6Bytes& bytes);

// The shortest text (RFC 5952): lower case, no leading zeros, the first longest run of two or more
// zero groups as "::", and an IPv4-mapped address as "::ffff:" and its dotted quad.
std::string FormatIPv6(const TIdIPv6Bytes& bytes);

// An address text of either family: IPv6 when the text holds a colon, otherwise an IPv4 form.
bool ParseIPAddressText(std::string_view text, TIdIPAddress& address);
std::string FormatIPAddress(const TIdIPAddress& address);

// A host that is an address: a dotted quad or an IPv6 text. Such a host has no parent domains.
bool IsIPHostText(std::string_view text);

// Four parts of 0..255 separated by dots after blanks and control characters are removed from
// the ends; whatever follows the fourth part is not examined.
bool IsDottedQuad(std::string_view text);

// False for a text that begins with "." or is an address (a dotted quad or IPv6); the empty text counts as a
// name.
bool IsHostNameText(std::string_view text);

// The host text from its first "." to the end, or the whole text when it has no ".".
std::string DomainPart(std::string_view host);

}  // namespace w20

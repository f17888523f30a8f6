#pragma once

#include <string>
#include <string_view>

namespace w20 {

// Turns every 3 bytes into 4 characters of a 64-character table; a last group of 1 or 2 bytes
// is padded with zero bits and the output filled to 4 characters. No line breaks.
class TIdEncoder3to4 {
public:
    std::string Encode(std::string_view bytes) const;

protected:
    TIdEncoder3to4(const char* codingTable, char fillChar) : codingTable_(codingTable), fillChar_(fillChar) {}

private:
    const char* codingTable_;  // 64 characters
    char fillChar_;
};

// The Base64 of RFC 2045.
class TIdEncoderMIME : public TIdEncoder3to4 {
public:
    TIdEncoderMIME()
        : TIdEncoder3to4("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", '=') {}
};

}  // namespace w20

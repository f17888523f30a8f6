#include "http/IdEncoderMIME.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace w20 {
namespace {

TEST(TIdEncoderMIME, EncodesAsRfc2045Base64) {
    const struct {
        std::string bytes;
        const char* text;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {":", "Og=="},
        {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {std::string("\0\0\0", 3), "AAAA"},
        {"\xff\xff\xff", "////"},
        {"\xfb\xef\xbe", "++++"},
        {"\x9a\xb9", "mrk="},  // 8-bit text passes as bytes
    };
    for (const auto& c : cases)
        EXPECT_EQ(TIdEncoderMIME().Encode(c.bytes), c.text) << c.text;
}

// A decoder written for the test, to check long inputs byte for byte.
std::string Decode(const std::string& text) {
    const std::string table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        bits = (bits << 6) | static_cast<unsigned>(table.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

TEST(TIdEncoderMIME, LongInputsHaveNoLineBreaksAndDecodeBack) {
    std::mt19937 random(20);
    for (const std::size_t size : {100u, 1000u, 4099u}) {
        std::string bytes(size, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        const std::string text = TIdEncoderMIME().Encode(bytes);
        EXPECT_EQ(text.size(), (size + 2) / 3 * 4);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(Decode(text), bytes);
    }
}

}  // namespace
}  // namespace w20

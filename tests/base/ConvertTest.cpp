#include "base/Convert.h"

#include <gtest/gtest.h>

#include "base/Exception.h"

namespace w20 {
namespace {

struct IntCase {
    const char* text;
    bool valid;
    std::int32_t value;
};

TEST(StrToInt, ReadsTheRuntimeSyntax) {
    const IntCase cases[] = {
        {"0", true, 0},
        {"80", true, 80},
        {"  80", true, 80},
        {"+7", true, 7},
        {"-12", true, -12},
        {"010", true, 10},
        {"$1F", true, 31},
        {"0x1f", true, 31},
        {"X10", true, 16},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"$100000000", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"80 ", false, 0},
        {"\t80", false, 0},
        {"8a", false, 0},
        {"1.5", false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t value = 12345;
        EXPECT_EQ(TryStrToInt(c.text, value), c.valid) << "'" << c.text << "'";
        if (c.valid) {
            EXPECT_EQ(value, c.value) << "'" << c.text << "'";
        }
    }
}

TEST(StrToInt, EmbeddedNulIsNotANumber) {
    std::int32_t value = 0;
    EXPECT_FALSE(TryStrToInt(std::string("8\0", 2), value));
}

TEST(StrToInt64, ReadsSixtyFourBits) {
    EXPECT_EQ(StrToInt64("4294967296"), 4294967296LL);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
}

TEST(StrToInt, RaisesTheConversionErrorWithTheText) {
    try {
        StrToInt("8o");
        FAIL() << "no exception";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "'8o' is not a valid integer value");
    }
}

}  // namespace
}  // namespace w20

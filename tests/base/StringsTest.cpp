#include "base/Strings.h"

#include <gtest/gtest.h>

namespace w20 {
namespace {

TEST(Strings, PositionsCountFromOne) {
    EXPECT_EQ(Pos("b", "abc"), 2u);
    EXPECT_EQ(Pos("x", "abc"), 0u);
    EXPECT_EQ(Pos("", "abc"), 0u);
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abc", 3), "c");
    EXPECT_EQ(Copy("abc", 4), "");
    EXPECT_EQ(Copy("abc", 0, 2), "ab");
    EXPECT_EQ(Copy("abc", 2, 100), "bc");
}

TEST(Strings, TrimRemovesControlCharactersAndBlanksOnly) {
    EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
    EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // a non-breaking space is a character
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim("   "), "");
}

TEST(Strings, CaseRulesAreAscii) {
    EXPECT_TRUE(SameText("Keep-Alive", "KEEP-ALIVE"));
    EXPECT_FALSE(SameText("\xA5", "\xB9"));  // Windows-1250 A-ogonek and a-ogonek stay different
    EXPECT_FALSE(SameText("ab", "abc"));
    EXPECT_EQ(UpperCase("close\xB9"), "CLOSE\xB9");
    EXPECT_EQ(LowerCase("HTTP"), "http");
    EXPECT_TRUE(StartsText("basic", "Basic realm"));
    EXPECT_FALSE(StartsText("basic", "Bas"));
}

}  // namespace
}  // namespace w20

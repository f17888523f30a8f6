#include "app/Windows1250.h"

#include <gtest/gtest.h>

#include <set>

namespace w20 {
namespace {

TEST(Windows1250, EveryByteRoundTripsToItsOwnCharacter) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all.push_back(static_cast<char>(byte));
    const std::u16string text = FromWindows1250(all);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(ToWindows1250(text), all);
    EXPECT_EQ(std::set<char16_t>(text.begin(), text.end()).size(), 256u);  // no two bytes share one
}

TEST(Windows1250, PolishLettersAreTheirOwn) {
    EXPECT_EQ(FromWindows1250("\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"), u"ĄĆĘŁŃÓŚŹŻ");
    EXPECT_EQ(FromWindows1250("\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF"), u"ąćęłńóśźż");
    EXPECT_EQ(ToWindows1250(u"Podgląd €"),
              "Podgl\xB9"
              "d \x80");
}

TEST(Windows1250, UndefinedBytesKeepTheirNumber) {
    for (const unsigned char byte : {0x81, 0x83, 0x88, 0x90, 0x98})
        EXPECT_EQ(FromWindows1250(std::string(1, static_cast<char>(byte))),
                  std::u16string(1, char16_t(byte)));
}

TEST(Windows1250, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(ToWindows1250(u"a\u00F1b\u4E2Dc"), "a?b?c");
    EXPECT_EQ(ToWindows1250(u"x\U0001F600y"), "x?y");  // one character, one mark
    EXPECT_EQ(ToWindows1250(std::u16string(1, u'\0')), std::string(1, '\0'));
}

}  // namespace
}  // namespace w20

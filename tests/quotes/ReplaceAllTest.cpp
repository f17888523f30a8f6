#include "quotes/ReplaceAll.h"

#include <gtest/gtest.h>

#include <random>

namespace w20 {
namespace {

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlap) {
    const struct {
        std::string find, replacement, source, result;
    } cases[] = {
        {"aa", "b", "aaaa", "bb"},
        {"aa", "b", "aaa", "ba"},
        {"ab", "a", "aabb", "aab"},  // the "ab" the replacement forms is not searched again
        {"", "b", "abc", "abc"},
        {"b", "", "abcb", "ac"},
        {"aba", "X", "ababa", "Xba"},  // overlapping occurrences: only the left one
        {"a", "aa", "aaa", "aaaaaa"},  // a replacement holding the find text
        {"a", "ba", "aab", "babab"},
        {"b,", ",", "ab,", "a,"},  // at the very end
        {"ab", "x", "ab", "x"},    // the whole source
        {"abc", "x", "ab", "ab"},  // longer than the source
        {"ab", "x", "", ""},
        {"", "", "", ""},
        {"W20", "W20[VOR]", "FW20,5\r\nW20,5", "FW20[VOR],5\r\nW20[VOR],5"},
        {std::string("\0", 1), "0", std::string("a\0b\0", 4), "a0b0"},
        {"\xB9\xEA", "ae", "x\xB9\xEA\xB9\xEAy\xFF", "xaeaey\xFF"},
        {"\r\n", "|", "a\r\r\nb\n\r\n", "a\r|b\n|"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceAll(c.find, c.replacement, c.source), c.result)
            << "find '" << c.find << "' replacement '" << c.replacement << "' source '" << c.source << "'";
    }
}

// The rule as stated: take the leftmost occurrence in the rest, keep what precedes it, put the
// replacement, go on after the occurrence. Written position by position, unlike the real one.
std::string Reference(const std::string& find, const std::string& replacement, const std::string& source) {
    if (find.empty())
        return source;
    std::string result;
    std::size_t i = 0;
    while (i < source.size()) {
        if (source.size() - i >= find.size() && source.compare(i, find.size(), find) == 0) {
            result += replacement;
            i += find.size();
        } else {
            result += source[i++];
        }
    }
    return result;
}

std::string RandomText(std::mt19937& random, std::size_t maxLength) {
    std::string text(random() % (maxLength + 1), ' ');
    for (char& c : text)
        c = "ab\0\xFF"[random() % 4];
    return text;
}

TEST(ReplaceAll, AgreesWithTheRuleOnRandomTexts) {
    std::mt19937 random(20020926);
    for (int round = 0; round < 20000; ++round) {
        const std::string find = RandomText(random, 5);
        const std::string replacement = RandomText(random, 3);
        const std::string source = RandomText(random, 80);  // several blocks of sixteen
        ASSERT_EQ(ReplaceAll(find, replacement, source), Reference(find, replacement, source))
            << "round " << round;
    }
}

TEST(ReplaceAll, LongTexts) {
    std::string source;
    for (int i = 0; i < 100000; ++i)
        source += "W20,5,20020926,093000,1234.00\r\n";
    std::string expected;
    for (int i = 0; i < 100000; ++i)
        expected += "W20,5,20020926,0930,1234.00\r\n";
    EXPECT_EQ(ReplaceAll("3000,", "30,", source), expected);
    EXPECT_EQ(ReplaceAll("none", "x", source), source);
    const std::string huge(1 << 20, 'q');
    EXPECT_EQ(ReplaceAll("qq", "", huge + "q"), "q");
}

}  // namespace
}  // namespace w20

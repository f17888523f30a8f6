#include "app/TextLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace w20 {
namespace {

struct LinesCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
    std::string crLf;  // the text with CR LF line breaks
};

class TextLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(TextLinesTest, LinesEndAtEveryKindOfLineBreak) {
    const LinesCase& c = GetParam();
    const std::u16string text(c.bytes.begin(), c.bytes.end());
    std::vector<std::string> lines;
    for (const LineSpan& span : LineSpans(text))
        lines.push_back(c.bytes.substr(span.start, span.length));
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(WithCrLfLineBreaks(c.bytes), c.crLf);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextLinesTest,
    ::testing::Values(
        LinesCase{"Empty", "", {}, ""}, LinesCase{"CrLf", "a\r\nb", {"a", "b"}, "a\r\nb"},
        LinesCase{"LoneLfAndLoneCr", "a\nb\rc\r\n", {"a", "b", "c"}, "a\r\nb\r\nc\r\n"},
        LinesCase{"CrBeforeCrLf", "a\r\r\nb", {"a", "", "b"}, "a\r\n\r\nb"},
        LinesCase{"LfCr", "a\n\rb", {"a", "", "b"}, "a\r\n\r\nb"},
        LinesCase{"EmptyLines", "\r\n\r\nx", {"", "", "x"}, "\r\n\r\nx"},
        LinesCase{"OnlyALineBreak", "\r\n", {""}, "\r\n"}, LinesCase{"FinalLoneCr", "x\r", {"x"}, "x\r\n"},
        LinesCase{"NoLineBreak", std::string("a\0b", 3), {std::string("a\0b", 3)}, std::string("a\0b", 3)}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return info.param.name; });

}  // namespace
}  // namespace w20

#include "http/IdHeaderList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace w20 {
namespace {

using Lines = std::vector<std::string>;

TIdHeaderList ListOf(const Lines& lines, std::size_t foldLength = 78) {
    TIdHeaderList list(foldLength);
    for (const std::string& line : lines)
        list.Add(line);
    return list;
}

TEST(TIdHeaderList, ReadsValuesByNameIgnoringCase) {
    const TIdHeaderList list = ListOf({
        "HTTP-ish garbage line",
        "Content-Length: 5",
        "content-type:text/plain ",
        "Server : spaced",
        " Location: only a continuation",
        "X-Empty:",
        "X-Long: first",
        " second",
        "\tthird ",
        "X-Long: later",
        "Set-Cookie: a=1;",
        "  path=/",
        "X-Blank: a",
        "   ",
        "\t b  c \t",
        "X-Late:",
        " ",
        " b",
    });
    const struct {
        const char* name;
        const char* value;
    } cases[] = {
        {"content-length", "5"},
        {"CONTENT-TYPE", "text/plain"},
        {"Server", ""},  // a blank before the colon makes another name
        {"Server ", "spaced Location: only a continuation"},
        {"Location", ""},  // continuation lines have no name
        {"X-Empty", ""},
        {"X-Long", "first second third"},
        {"Set-Cookie", "a=1; path=/"},
        {"X-Blank", "a b  c"},  // blank continuation lines add nothing
        {"X-Late", "b"},
        {"Missing", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list.Values(c.name), c.value) << c.name;
    EXPECT_EQ(list.IndexOfName("x-long"), 6);
    EXPECT_EQ(list.IndexOfName("HTTP-ish garbage line"), -1);

    TIdHeaderList folded = ListOf({"X-Long: first", " second"});
    folded.SetUnfoldLines(false);
    EXPECT_EQ(folded.Values("X-Long"), "first");
}

TEST(TIdHeaderList, ExtractsEveryMatchingValueInOrder) {
    const TIdHeaderList list =
        ListOf({"Set-Cookie: a=1", "Other: x", "set-cookie: b=2;", " path=/", "SET-COOKIE:   c=3  "});
    std::vector<std::string> values{"kept"};
    list.Extract("Set-Cookie", values);
    EXPECT_EQ(values, (Lines{"kept", "a=1", "b=2; path=/", "c=3"}));
}

TEST(TIdHeaderList, WritesValuesInPlaceOrAtTheEnd) {
    const struct {
        Lines before;
        const char* name;
        const char* value;
        Lines after;
    } cases[] = {
        {{}, "Host", "h", {"Host: h"}},
        {{"A: 1", "host: old", "B: 2"}, "Host", "new", {"A: 1", "Host: new", "B: 2"}},
        {{"A: 1", "Host: old", " more", "\tand more", "B: 2"}, "host", "new", {"A: 1", "host: new", "B: 2"}},
        {{"Host: 1", "Host: 2"}, "Host", "3", {"Host: 3", "Host: 2"}},
        {{"A: 1", "Host: old", " more", "B: 2"}, "Host", "", {"A: 1", "B: 2"}},
        {{"A: 1"}, "Host", "", {"A: 1"}},
        {{"A: 1", " cont"}, "B", "2", {"A: 1", " cont", "B: 2"}},
    };
    for (const auto& c : cases) {
        TIdHeaderList list = ListOf(c.before);
        list.SetValues(c.name, c.value);
        EXPECT_EQ(list.Lines(), c.after) << c.name << ": " << c.value;
    }
}

TEST(TIdHeaderList, FoldsLongValuesOutsideQuotes) {
    const struct {
        std::size_t foldLength;
        std::string value;
        Lines lines;
    } cases[] = {
        {20, "short", {"X: short"}},
        {20, "aaaa bbbb cccc dddd eeee", {"X: aaaa bbbb cccc", " dddd eeee"}},
        {20, "aaaa,bbbb,cccc,dddd,eeee", {"X: aaaa,bbbb,cccc,", " dddd,eeee"}},
        {20, "\"aa bb cc dd\" ee ff gg", {"X: \"aa bb cc dd\" ee", " ff gg"}},
        {20, "\"aa bb cc dd ee ff gg\" hh", {"X: \"aa bb cc dd ee ff gg\" hh"}},
        {20, "aaaaaaaaaaaaaaaaaaaaaaaaa", {"X: aaaaaaaaaaaaaaaaaaaaaaaaa"}},
        {12, "aaaa     bbbb   cccc  dddd", {"X: aaaa", " bbbb   cccc", " dddd"}},
        {10, "aaaa bbbb cccc dddd eeee ffff", {"X: aaaa", " bbbb cccc", " dddd eeee", " ffff"}},
        {12, "a, b, c, d, e, f, g, h", {"X: a, b, c,", " d, e, f, g,", " h"}},
        {20, "aaaa bbbb cccc dddd        ", {"X: aaaa bbbb cccc", " dddd"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        TIdHeaderList list(c.foldLength);
        list.SetValues("X", c.value);
        EXPECT_EQ(list.Lines(), c.lines);
    }
    TIdHeaderList unfolded(20);
    unfolded.SetFoldLines(false);
    unfolded.SetValues("X", "aaaa bbbb cccc dddd eeee");
    EXPECT_EQ(unfolded.Lines(), (Lines{"X: aaaa bbbb cccc dddd eeee"}));
}

TEST(TIdHeaderList, FoldedValuesReadBack) {
    TIdHeaderList list(16);
    const std::string value = "one two three four five six seven eight nine ten";
    list.SetValues("Words", value);
    list.SetValues("Next", "x");
    EXPECT_GT(list.Count(), 3);
    for (const std::string& line : list.Lines())
        EXPECT_LE(line.size(), 16u) << line;
    EXPECT_EQ(list.Values("Words"), value);
    // Writing a shorter value again removes the old continuation lines.
    list.SetValues("Words", "short");
    EXPECT_EQ(list.Lines(), (Lines{"Words: short", "Next: x"}));
}

TEST(TIdHeaderList, LongValuesFoldAndReadBackWhole) {
    std::string value;
    for (int i = 0; i < 20000; ++i)
        value += (i == 0       ? ""
                  : i % 7 == 0 ? ", "
                               : " ") +
                 std::to_string(i) + (i % 11 == 0 ? "\"a, b\"" : "");
    TIdHeaderList written(78);
    written.SetValues("X-Long", value);
    ASSERT_GT(written.Count(), 1000);
    TIdHeaderList received;
    for (const std::string& line : written.Lines()) {
        EXPECT_LE(line.size(), 78u) << line;
        EXPECT_NE(line.back(), ' ') << line;
        received.Add(line);
    }
    EXPECT_EQ(received.Values("X-Long"), value);
}

TEST(TIdHeaderList, RefusesLineBreaksAndNul) {
    const std::string cases[][2] = {
        {"Host", "h\r\nX-Injected: 1"},
        {"Host", "h\nGET / HTTP/1.1"},
        {"Host", "h\r"},
        {"Host", std::string("h\0x", 3)},
        {"X\r\nY", "1"},
        {"Host", "\n"},
    };
    for (const auto& c : cases) {
        TIdHeaderList list = ListOf({"Host: old", " continued"});
        EXPECT_THROW(list.SetValues(c[0], c[1]), EIdUnsafeRequestText);
        EXPECT_EQ(list.Lines(), (Lines{"Host: old", " continued"}));
    }
    EXPECT_TRUE(HoldsLineBreak(std::string("a\0", 2)));
    EXPECT_FALSE(HoldsLineBreak("a\tb"));
}

}  // namespace
}  // namespace w20

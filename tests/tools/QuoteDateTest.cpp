#include "tools/demo-quote-server/QuoteDate.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <ostream>
#include <string>

#include "tools/demo-quote-server/QuoteBars.h"

namespace w20::demo {
namespace {

struct DateCase {
    std::string text;
    std::optional<QuoteDate> expected;
};

void PrintTo(const DateCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

// A test name from the index and the letters and digits of the text.
std::string CaseName(std::size_t index, const std::string& text) {
    std::string name = "Case" + std::to_string(index) + "_";
    for (char c : text)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

class QuoteDateForms : public testing::TestWithParam<DateCase> {};

TEST_P(QuoteDateForms, ReadAsTheUserMeantOrRefused) {
    EXPECT_EQ(ParseQuoteDate(GetParam().text), GetParam().expected);
}

const QuoteDate Dec7{2026, 12, 7};

INSTANTIATE_TEST_SUITE_P(
    DemoQuoteServer, QuoteDateForms,
    testing::Values(
        // Numeric forms: year first, day first with dots or dashes, month first with slashes.
        DateCase{"2026-12-07", Dec7}, DateCase{"2026/12/7", Dec7}, DateCase{"07.12.2026", Dec7},
        DateCase{"7.12.26", Dec7}, DateCase{"07-12-2026", Dec7}, DateCase{"12/7/26", Dec7},
        DateCase{"12/07/2026", Dec7}, DateCase{"20261207", Dec7}, DateCase{" 2026. 12. 07. ", Dec7},
        // A month above 12 trades places with a day that can be a month.
        DateCase{"25/12/2026", QuoteDate{2026, 12, 25}}, DateCase{"12.25.2026", QuoteDate{2026, 12, 25}},
        DateCase{"7/12/2026", QuoteDate{2026, 7, 12}},
        // Month names, abbreviated or not, in any case, with weekdays and ordinals passed over.
        DateCase{"7 Dec 2026", Dec7}, DateCase{"07-Dec-26", Dec7}, DateCase{"December 7, 2026", Dec7},
        DateCase{"dec 7 2026", Dec7}, DateCase{"2026 DEC 07", Dec7}, DateCase{"Mon, 7 Dec 2026", Dec7},
        DateCase{"Monday 7th December 2026", Dec7}, DateCase{"1 Sept 2026", QuoteDate{2026, 9, 1}},
        DateCase{"3 May 99", QuoteDate{1999, 5, 3}}, DateCase{"1/2/69", QuoteDate{2069, 1, 2}},
        DateCase{"1/2/70", QuoteDate{1970, 1, 2}},
        // Calendar limits.
        DateCase{"29.02.2024", QuoteDate{2024, 2, 29}}, DateCase{"29.02.2026", std::nullopt},
        DateCase{"29.02.2000", QuoteDate{2000, 2, 29}}, DateCase{"29.02.2100", std::nullopt},
        DateCase{"31.04.2026", std::nullopt}, DateCase{"00.12.2026", std::nullopt},
        DateCase{"13.13.2026", std::nullopt}, DateCase{"2026-12-32", std::nullopt},
        DateCase{"1.1.1899", std::nullopt},
        // Not dates.
        DateCase{"", std::nullopt}, DateCase{"today", std::nullopt}, DateCase{"7 Ju 2026", std::nullopt},
        DateCase{"7 Dec", std::nullopt}, DateCase{"7 Dec Jan 2026", std::nullopt},
        DateCase{"2026-12", std::nullopt}, DateCase{"1.2.3.4", std::nullopt},
        DateCase{"2026-12-07x", std::nullopt}, DateCase{"7th", std::nullopt},
        DateCase{"7 th Dec 2026", std::nullopt}, DateCase{"123.12.2026", std::nullopt},
        DateCase{"07.12.202", std::nullopt}, DateCase{"999999999999", std::nullopt},
        DateCase{"2026-123-7", std::nullopt}, DateCase{"7 Dec 20266", std::nullopt}),
    [](const auto& info) { return CaseName(info.index, info.param.text); });

TEST(QuoteDate, DayNumbersAndCompactText) {
    struct Case {
        QuoteDate date;
        long day;
        std::string compact;
    };
    for (const Case& c : {Case{{1970, 1, 1}, 0, "19700101"}, Case{{1969, 12, 31}, -1, "19691231"},
                          Case{{2000, 3, 1}, 11017, "20000301"}, Case{{2026, 12, 7}, 20794, "20261207"},
                          Case{{1900, 1, 1}, -25567, "19000101"}}) {
        EXPECT_EQ(c.date.DayNumber(), c.day) << c.compact;
        EXPECT_EQ(c.date.Compact(), c.compact);
    }
}

TEST(QuoteBars, AFutureFollowsItsIndexInWholePoints) {
    for (int day = 1; day <= 28; day += 9) {
        QuoteDate date{2026, 2, day};
        auto index = SessionBars("W20", date, 5);
        auto future = SessionBars("FW20", date, 5);
        ASSERT_EQ(index.size(), future.size());
        for (std::size_t i = 0; i < index.size(); ++i) {
            for (auto price : {future[i].open, future[i].high, future[i].low, future[i].close})
                EXPECT_EQ(price % 100, 0) << date.Compact();
            // Above the index, but only by a few points.
            EXPECT_GT(future[i].close, index[i].close - 500) << date.Compact() << " bar " << i;
            EXPECT_LT(future[i].close, index[i].close + 2000) << date.Compact() << " bar " << i;
        }
    }
}

}  // namespace
}  // namespace w20::demo

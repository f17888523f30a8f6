#include "tools/demo-quote-server/QuoteDate.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tools/demo-quote-server/QuoteBars.h"

namespace w20::demo {
namespace {

// Dates as YYYYMMDD; empty where the text is refused.
std::string Read(const char* text) {
    const std::optional<QuoteDate> date = ParseQuoteDate(text);
    return date ? date->Compact() : "";
}

TEST(QuoteDate, ReadsTheFormsUsersWriteAndRefusesTheRest) {
    const struct {
        const char* text;
        const char* date;
    } cases[] = {
        // Numeric forms: year first, day first with dots or dashes, month first with slashes.
        {"2026-12-07", "20261207"},
        {"2026/12/7", "20261207"},
        {"07.12.2026", "20261207"},
        {"7.12.26", "20261207"},
        {"07-12-2026", "20261207"},
        {"12/7/26", "20261207"},
        {"12/07/2026", "20261207"},
        {"20261207", "20261207"},
        {" 2026. 12. 07. ", "20261207"},
        // A month above 12 trades places with a day that can be a month.
        {"25/12/2026", "20261225"},
        {"12.25.2026", "20261225"},
        {"7/12/2026", "20260712"},
        // Month names, abbreviated or not, in any case, with weekdays and ordinals passed over.
        {"7 Dec 2026", "20261207"},
        {"07-Dec-26", "20261207"},
        {"December 7, 2026", "20261207"},
        {"dec 7 2026", "20261207"},
        {"2026 DEC 07", "20261207"},
        {"Mon, 7 Dec 2026", "20261207"},
        {"Monday 7th December 2026", "20261207"},
        {"1 Sept 2026", "20260901"},
        {"3 May 99", "19990503"},
        {"1/2/69", "20690102"},
        {"1/2/70", "19700102"},
        // Calendar limits.
        {"29.02.2024", "20240229"},
        {"29.02.2026", ""},
        {"29.02.2000", "20000229"},
        {"29.02.2100", ""},
        {"31.04.2026", ""},
        {"00.12.2026", ""},
        {"13.13.2026", ""},
        {"2026-12-32", ""},
        {"1.1.1899", ""},
        // Not dates.
        {"", ""},
        {"today", ""},
        {"7 Ju 2026", ""},
        {"7 Dec", ""},
        {"7 Dec Jan 2026", ""},
        {"2026-12", ""},
        {"1.2.3.4", ""},
        {"2026-12-07x", ""},
        {"7th", ""},
        {"7 th Dec 2026", ""},
        {"123.12.2026", ""},
        {"07.12.202", ""},
        {"999999999999", ""},
        {"2026-123-7", ""},
        {"7 Dec 20266", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.text), c.date) << '"' << c.text << '"';
}

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

TEST(QuoteBars, AFutureFollowsItsIndexInWholePointsAndTheIndexTradesInHundredths) {
    int wholeIndexPrices = 0, fractionalIndexPrices = 0;
    for (int day = 1; day <= 28; day += 3) {
        QuoteDate date{2026, 2, day};
        auto index = SessionBars("W20", date, 5);
        auto future = SessionBars("FW20", date, 5);
        ASSERT_EQ(index.size(), future.size());
        for (std::size_t i = 0; i < index.size(); ++i) {
            for (auto price : {future[i].open, future[i].high, future[i].low, future[i].close})
                EXPECT_EQ(price % 100, 0) << date.Compact();
            for (auto price : {index[i].open, index[i].high, index[i].low, index[i].close})
                (price % 100 == 0 ? wholeIndexPrices : fractionalIndexPrices)++;
            // Above the index, but only by a few points.
            EXPECT_GT(future[i].close, index[i].close - 500) << date.Compact() << " bar " << i;
            EXPECT_LT(future[i].close, index[i].close + 2000) << date.Compact() << " bar " << i;
        }
    }
    EXPECT_GT(wholeIndexPrices, 0);
    EXPECT_GT(fractionalIndexPrices, wholeIndexPrices * 10);
}

}  // namespace
}  // namespace w20::demo

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace w20::demo {

struct QuoteDate {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31

    std::string Compact() const;  // YYYYMMDD
    // Days since 1970-01-01; negative before.
    long DayNumber() const;
    bool operator==(const QuoteDate&) const = default;
};

// Reads a date written in one of the short date forms users have: numbers with any separators
// ("07.12.2026", "2026-12-07", "12/7/26", "20261207") or with an English month name
// ("7 Dec 2026", "December 7, 2026", "07-Dec-26"). A weekday name or an ordinal suffix is passed
// over. Three numbers read as year-month-day when the first has four digits, month/day/year with
// slashes, day-month-year otherwise; a month above 12 swaps with a day up to 12. Two-digit years
// are 1970 to 2069. Empty when the text is not a valid date of 1900 to 2099.
std::optional<QuoteDate> ParseQuoteDate(std::string_view text);

}  // namespace w20::demo

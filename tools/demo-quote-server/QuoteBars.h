#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/demo-quote-server/QuoteDate.h"

namespace w20::demo {

// One bar; prices in hundredths.
struct Bar {
    int minuteOfDay = 0;  // start of the bar
    std::int64_t open = 0;
    std::int64_t high = 0;
    std::int64_t low = 0;
    std::int64_t close = 0;
    std::int64_t volume = 0;
};

// The session runs from 09:00 to 17:00: 96 bars of 5 minutes, 32 of 15, 16 of 30.
constexpr int SessionOpenMinute = 9 * 60;
constexpr int SessionMinutes = 8 * 60;

// The bars of one instrument on one day. The same arguments always give the same bars, and
// longer bars are exactly the shorter ones merged. An instrument whose name begins with "F" is a
// future: it follows the index named by the rest of its name a few points above it and trades in
// whole points; any other name is an index around 2400 with prices to the hundredth.
std::vector<Bar> SessionBars(const std::string& instrument, const QuoteDate& date, int minutes);

// The answer body: a header line, then one line per bar: ticker, interval in minutes, date
// YYYYMMDD, time HHMMSS, open, high, low, close, volume; every line ends in CR LF.
std::string QuoteText(const std::string& instrument, const QuoteDate& date, int minutes);

}  // namespace w20::demo

#include "http/InternetDate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/http/ScopedTimeZone.h"

namespace w20 {
namespace {

using test::ScopedTimeZone;

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

// Dates are compared to the second; the arithmetic of days leaves tiny fractions.
void ExpectSameSecond(TDateTime actual, TDateTime expected, const std::string& what) {
    EXPECT_NEAR(actual, expected, 0.1 / SecsPerDay) << what;
}

TEST(InternetDate, NamesOfDaysAndMonths) {
    const struct {
        const char* text;
        int day, month;
    } cases[] = {
        {"Sun", 1, 0}, {"sat", 7, 0},    {"WED", 4, 0}, {"jan", 0, 1}, {"Dec", 0, 12},
        {"May", 0, 5}, {"Sunday", 0, 0}, {"", 0, 0},    {"Ja", 0, 0},  {"Mon ", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DayNumber(c.text), c.day) << c.text;
        EXPECT_EQ(MonthNumber(c.text), c.month) << c.text;
    }
}

TEST(InternetDate, ReadsTheAcceptedFormsAndLeavesTheZone) {
    const struct {
        const char* text;
        TDateTime expected;
        const char* rest;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", At(1994, 11, 6, 8, 49, 37), "GMT"},
        {"Sunday, 06-Nov-94 08:49:37 GMT", At(1994, 11, 6, 8, 49, 37), "GMT"},
        {"Sun Nov 6 08:49:37 1994", At(1994, 11, 6, 8, 49, 37), ""},
        {"Sun Nov  6 08:49:37 1994", At(1994, 11, 6, 8, 49, 37), ""},
        {"Sun,06 Nov 1994 08:49:37 GMT", At(1994, 11, 6, 8, 49, 37), "GMT"},
        {"  Mon, 01 Jan 2001 00:00:00 +0200  ", At(2001, 1, 1), "+0200"},
        {"06 Nov 1994 08:49:37 GMT", At(1994, 11, 6, 8, 49, 37), "GMT"},
        {"Nov 6 1994", At(1994, 11, 6), ""},
        {"Thu, 01-Jan-79 00:00:01 GMT", At(2079, 1, 1, 0, 0, 1), "GMT"},
        {"Thu, 01-Jan-80 00:00:01 GMT", At(1980, 1, 1, 0, 0, 1), "GMT"},
        {"Sat, 31 Dec 99 23:59:59 GMT", At(1999, 12, 31, 23, 59, 59), "GMT"},
        {"Sat, 01 Jan 00 12:00:00 GMT", At(2000, 1, 1, 12), "GMT"},
        {"Wed, 29 Feb 2012 10:00 GMT", At(2012, 2, 29, 10), "GMT"},
        {"Sun, xx Nov 1994 08:49:37 GMT", At(1994, 11, 1, 8, 49, 37), "GMT"},
        {"Sun, 06 NOV 1994 08:ab:37 GMT", At(1994, 11, 6, 8, 0, 37), "GMT"},
        // Dates that do not read give 0.
        {"", 0, ""},
        {"Sun, 06 Foo 1994 08:49:37 GMT", 0, nullptr},
        {"Wed, 29 Feb 2013 10:00:00 GMT", 0, nullptr},
        {"Sun, 06 Nov 1994 25:00:00 GMT", 0, nullptr},
        {"Sun, 06 Nov abc", 0, nullptr},
        {"garbage", 0, nullptr},
        {"Sun,", 0, nullptr},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        const TDateTime value = ParseInternetDate(text);
        ExpectSameSecond(value, c.expected, c.text);
        if (c.rest != nullptr) {
            EXPECT_EQ(text, c.rest) << c.text;
        }
    }
}

TEST(InternetDate, ReadsZoneOffsets) {
    const struct {
        const char* text;
        int minutes;
    } cases[] = {
        {"+0100", 60}, {"-0530", -330}, {"  +0000 ", 0}, {"+2359", 1439}, {"-1200xyz", -720}, {"GMT", 0},
        {"+01:00", 0}, {"+01", 0},      {"0100", 0},     {"+2400", 0},    {"+0160", 0},       {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::lround(ParseGmtOffset(c.text) * MinsPerDay), c.minutes) << c.text;
    }
}

TEST(InternetDate, ConvertsToLocalTimeInPinnedZones) {
    const struct {
        const char* zone;
        const char* text;
        TDateTime expected;
    } cases[] = {
        {"UTC", "Sun, 06 Nov 1994 08:49:37 +0100", At(1994, 11, 6, 7, 49, 37)},
        {"UTC", "Sun, 06 Nov 1994 08:49:37 -0230", At(1994, 11, 6, 11, 19, 37)},
        {"Asia/Kolkata", "Sun, 06 Nov 1994 20:00:00 +0530", At(1994, 11, 6, 20, 0, 0)},
        {"Asia/Kolkata", "Sun, 06 Nov 1994 20:00:00 -0100", At(1994, 11, 7, 2, 30, 0)},
    };
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.zone);
        ExpectSameSecond(InternetDateToLocal(c.text), c.expected, std::string(c.zone) + " " + c.text);
    }
}

TEST(InternetDate, LocalOffsetFollowsTheZoneInEffectNow) {
    const struct {
        const char* zone;
        long winter, summer;  // minutes; whichever holds today
    } cases[] = {{"Asia/Kolkata", 330, 330}, {"UTC", 0, 0}, {"Europe/Warsaw", 60, 120}};
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.zone);
        const long minutes = std::lround(LocalUtcOffset() * MinsPerDay);
        EXPECT_TRUE(minutes == c.winter || minutes == c.summer) << c.zone << " " << minutes;
        // Every date converts with today's offset, not the one in effect at that date.
        ExpectSameSecond(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT"),
                         At(1994, 11, 6, 8, 49, 37) + static_cast<double>(minutes) / MinsPerDay, c.zone);
    }
}

TEST(InternetDate, UnreadableDatesLieLongPast) {
    ScopedTimeZone zone("Europe/Warsaw");
    for (const char* text : {"", "never", "Sun, 32 Nov 1994 08:49:37 GMT", "0"}) {
        EXPECT_LT(InternetDateToLocal(text), 1) << text;
    }
}

TEST(InternetDate, FormatsWithTheLocalOffset) {
    const struct {
        const char* zone;
        TDateTime value;
        const char* expected;
    } cases[] = {
        {"UTC", At(2026, 12, 6, 23, 59), "Sun, 6 Dec 2026 23:59:00 +0000"},
        {"Asia/Kolkata", At(1994, 11, 6, 8, 49, 37), "Sun, 6 Nov 1994 08:49:37 +0530"},
        {"America/St_Johns", At(2001, 1, 1), "Mon, 1 Jan 2001 00:00:00 -0"},
        {"UTC", At(1899, 12, 30), "Sat, 30 Dec 1899 00:00:00 +0000"},
        {"UTC", At(1899, 12, 29, 12), "Fri, 29 Dec 1899 12:00:00 +0000"},
    };
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.zone);
        const std::string text = FormatInternetDate(c.value);
        EXPECT_EQ(text.substr(0, std::string(c.expected).size()), c.expected) << c.zone;
    }
}

TEST(InternetDate, FormattedDatesReadBack) {
    for (const char* name : {"UTC", "Asia/Kolkata", "Europe/Warsaw", "America/St_Johns"}) {
        ScopedTimeZone zone(name);
        for (const TDateTime value :
             {At(1994, 11, 6, 8, 49, 37), At(2030, 7, 1, 12), At(2000, 2, 29, 23, 59, 59)}) {
            ExpectSameSecond(InternetDateToLocal(FormatInternetDate(value)), value, name);
        }
    }
}

TEST(InternetDate, FormatsGmtDatesAsGiven) {
    const struct {
        TDateTime value;
        const char* expected;
    } cases[] = {
        {At(1994, 11, 6, 8, 49, 37), "Sun, 06 Nov 1994 08:49:37 GMT"},
        {At(2002, 9, 26, 0, 0, 5), "Thu, 26 Sep 2002 00:00:05 GMT"},
        {At(999, 1, 1), "Tue, 01 Jan 0999 00:00:00 GMT"},
    };
    ScopedTimeZone zone("Asia/Kolkata");
    for (const auto& c : cases)
        EXPECT_EQ(FormatGmtDate(c.value), c.expected);
}

TEST(InternetDate, FormattingDatesBeyondTheCalendarStaysSafe) {
    ScopedTimeZone zone("UTC");
    for (const TDateTime value : {1e300, -1e300, std::nan(""), MaxDateTime + 5}) {
        EXPECT_FALSE(FormatGmtDate(value).empty());
        EXPECT_FALSE(FormatInternetDate(value).empty());
    }
}

}  // namespace
}  // namespace w20

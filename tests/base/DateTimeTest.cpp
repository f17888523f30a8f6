#include "base/DateTime.h"

#include <gtest/gtest.h>

#include <ctime>

#include "base/Exception.h"

namespace w20 {
namespace {

TEST(DateTime, DaysCountFromTheEndOf1899) {
    const struct {
        int year, month, day;
        double value;
    } cases[] = {
        {1899, 12, 30, 0},    {1900, 1, 1, 2},        {1970, 1, 1, 25569},         {2000, 2, 29, 36585},
        {2002, 9, 26, 37525}, {1, 1, 1, MinDateTime}, {9999, 12, 31, MaxDateTime},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(EncodeDate(c.year, c.month, c.day), c.value)
            << c.year << "-" << c.month << "-" << c.day;
        const DateParts parts = DecodeDate(c.value + 0.75);
        EXPECT_EQ(parts.year, c.year);
        EXPECT_EQ(parts.month, c.month);
        EXPECT_EQ(parts.day, c.day);
    }
}

TEST(DateTime, ImpossibleDatesAndTimesAreRefused) {
    TDateTime value = 0;
    EXPECT_FALSE(TryEncodeDate(2001, 2, 29, value));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, value));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, value));
    EXPECT_FALSE(TryEncodeDate(2000, 13, 1, value));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, value));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, value));
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);
}

TEST(DateTime, TimeOfDayRoundTrips) {
    const TDateTime value = EncodeDate(2002, 9, 26) + EncodeTime(9, 30, 15, 250);
    const TimeParts parts = DecodeTime(value);
    EXPECT_EQ(parts.hour, 9);
    EXPECT_EQ(parts.minute, 30);
    EXPECT_EQ(parts.second, 15);
    EXPECT_EQ(parts.millisecond, 250);
    EXPECT_EQ(DecodeTime(EncodeTime(23, 59, 59, 999)).millisecond, 999);
}

TEST(DateTime, DecodingNonsenseGivesZeros) {
    EXPECT_EQ(DecodeDate(1e300).year, 0);
    EXPECT_EQ(DecodeDate(-1e9).month, 0);
}

TEST(DateTime, ZoneBiasGivesTheOffsetEastOfUtc) {
    const struct {
        TTimeZoneBias zone;
        long secondsEast;
    } cases[] = {
        {{-60, 0, -60, zsStandard}, 3600},    // Warsaw in winter
        {{-60, 0, -60, zsDaylight}, 7200},    // Warsaw in summer
        {{-60, 0, -60, zsUnknown}, 3600},     // no state: the zone bias alone
        {{300, 0, -60, zsDaylight}, -14400},  // New York in summer
        {{-330, 0, 0, zsStandard}, 19800},    // Kolkata
        {{0, 15, -60, zsStandard}, -900},     // a standard bias of its own counts too
    };
    for (const auto& c : cases)
        EXPECT_EQ(SecondsEastOfBias(c.zone), c.secondsEast) << c.zone.Bias << " " << c.zone.State;
}

TEST(DateTime, NowIsTheLocalClock) {
    const auto utcBefore = static_cast<std::int64_t>(std::time(nullptr));
    const TDateTime now = Now();
    long secondsEast = 0;
    ASSERT_TRUE(LocalUtcOffset(std::time(nullptr), secondsEast));
    const std::int64_t utcNow = DateTimeToUnix(now) - secondsEast;
    EXPECT_GE(utcNow, utcBefore - 1);
    EXPECT_LE(utcNow, utcBefore + 5);
}

}  // namespace
}  // namespace w20

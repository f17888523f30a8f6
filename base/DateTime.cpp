#include "base/DateTime.h"

#include <cmath>

#include "base/Exception.h"
#include "base/Platform.h"

namespace w20 {
namespace {

// Days from 0001-01-01 to 1899-12-30 in the proleptic Gregorian calendar.
constexpr std::int64_t DateDelta = 693593;

std::int64_t DaysBeforeYear(int year) {
    const std::int64_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

}  // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return false;
    }
    std::int64_t days = DaysBeforeYear(year);
    for (int m = 1; m < month; ++m)
        days += DaysInMonth(year, m);
    days += day - 1;
    value = static_cast<double>(days - DateDelta);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999) {
        return false;
    }
    value = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime value = 0;
    if (!TryEncodeDate(year, month, day, value))
        throw EConvertError("Invalid argument to date encode");
    return value;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    TDateTime value = 0;
    if (!TryEncodeTime(hour, minute, second, millisecond, value)) {
        throw EConvertError("Invalid argument to time encode");
    }
    return value;
}

DateParts DecodeDate(TDateTime value) {
    // Outside years 1 to 9999 (or not a number) there is no date to give.
    if (!(value >= MinDateTime && value < MaxDateTime + 1))
        return DateParts{0, 0, 0};
    // Civil-from-days over the 400-year Gregorian cycle.
    std::int64_t days = static_cast<std::int64_t>(std::floor(value)) + DateDelta;  // days since 0001-01-01
    const std::int64_t cycles400 = days / 146097;
    days %= 146097;
    std::int64_t cycles100 = days / 36524;
    if (cycles100 == 4)
        cycles100 = 3;
    days -= cycles100 * 36524;
    const std::int64_t cycles4 = days / 1461;
    days %= 1461;
    std::int64_t years = days / 365;
    if (years == 4)
        years = 3;
    days -= years * 365;
    DateParts parts{};
    parts.year = static_cast<int>(cycles400 * 400 + cycles100 * 100 + cycles4 * 4 + years + 1);
    parts.month = 1;
    while (days >= DaysInMonth(parts.year, parts.month)) {
        days -= DaysInMonth(parts.year, parts.month);
        ++parts.month;
    }
    parts.day = static_cast<int>(days) + 1;
    return parts;
}

TimeParts DecodeTime(TDateTime value) {
    if (!std::isfinite(value))
        return TimeParts{0, 0, 0, 0};
    const double fraction = value - std::floor(value);
    auto ms = static_cast<std::int64_t>(std::llround(fraction * MSecsPerDay));
    if (ms >= static_cast<std::int64_t>(MSecsPerDay))
        ms = static_cast<std::int64_t>(MSecsPerDay) - 1;
    TimeParts parts{};
    parts.millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    parts.second = static_cast<int>(ms % 60);
    ms /= 60;
    parts.minute = static_cast<int>(ms % 60);
    parts.hour = static_cast<int>(ms / 60);
    return parts;
}

TDateTime UnixToDateTime(std::int64_t seconds) {
    return UnixDateDelta + static_cast<double>(seconds) / SecsPerDay;
}

std::int64_t DateTimeToUnix(TDateTime value) {
    return static_cast<std::int64_t>(std::llround((value - UnixDateDelta) * SecsPerDay));
}

TDateTime LocalDateTime(std::time_t moment) {
    long secondsEast = 0;
    if (!platform::LocalOffsetSeconds(moment, secondsEast))
        return UnixToDateTime(moment);
    return UnixToDateTime(static_cast<std::int64_t>(moment) + secondsEast);
}

bool LocalUtcOffset(std::time_t moment, long& secondsEast) {
    return platform::LocalOffsetSeconds(moment, secondsEast);
}

long SecondsEastOfBias(const TTimeZoneBias& zone) {
    long minutes = zone.Bias;
    if (zone.State == zsStandard)
        minutes += zone.StandardBias;
    else if (zone.State == zsDaylight)
        minutes += zone.DaylightBias;
    return -minutes * 60;
}

TDateTime Now() {
    const platform::ClockReading clock = platform::ReadLocalClock();
    // A leap second reads as the last second of its minute.
    return EncodeDate(clock.year, clock.month, clock.day) +
           EncodeTime(clock.hour, clock.minute, clock.second > 59 ? 59 : clock.second, clock.millisecond);
}

TDateTime Date() {
    return std::floor(Now());
}

}  // namespace w20

#pragma once

#include <cstdint>
#include <ctime>

// Date-time values of the runtime: days since 1899-12-30 as a double, the fraction being the time
// of day. The current time is always local time, as the system's zone settings give it (TZ and
// the C library on POSIX, the zone information of the system on Windows).
namespace w20 {

using TDateTime = double;

constexpr double HoursPerDay = 24;
constexpr double MinsPerDay = HoursPerDay * 60;
constexpr double SecsPerDay = MinsPerDay * 60;
constexpr double MSecsPerDay = SecsPerDay * 1000;

// 0001-01-01 and 9999-12-31, the range of dates that encode and decode.
constexpr TDateTime MinDateTime = -693593;
constexpr TDateTime MaxDateTime = 2958465;

// 1970-01-01 as a TDateTime.
constexpr TDateTime UnixDateDelta = 25569;

bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value);
// Raise EConvertError "Invalid argument to date encode" / "... time encode" for impossible values.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);

struct DateParts {
    int year, month, day;
};
struct TimeParts {
    int hour, minute, second, millisecond;
};
DateParts DecodeDate(TDateTime value);
TimeParts DecodeTime(TDateTime value);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Seconds since 1970-01-01 without any zone applied, and back.
TDateTime UnixToDateTime(std::int64_t seconds);
std::int64_t DateTimeToUnix(TDateTime value);

// The wall-clock time of `moment` in the local zone.
TDateTime LocalDateTime(std::time_t moment);
// Seconds east of UTC in effect at `moment`; false when the zone data cannot tell. Windows tells
// the state of its zone now, whatever the moment.
bool LocalUtcOffset(std::time_t moment, long& secondsEast);

// A time zone as Windows describes it: minutes from local time to UTC (UTC = local + bias), the
// minutes added in standard and in daylight time, and which of them is in effect.
enum TZoneState { zsUnknown, zsStandard, zsDaylight };
struct TTimeZoneBias {
    long Bias;
    long StandardBias;
    long DaylightBias;
    TZoneState State;
};
// The offset east of UTC in seconds: the zone bias plus the bias of the state in effect (the zone
// bias alone when the state is unknown), with the sign turned.
long SecondsEastOfBias(const TTimeZoneBias& zone);

TDateTime Now();
TDateTime Date();

}  // namespace w20

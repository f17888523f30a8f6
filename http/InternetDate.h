#pragma once

#include <string>
#include <string_view>

#include "base/DateTime.h"
#include "net/IdException.h"

// Reading and writing the date texts of HTTP headers and cookies.
namespace w20 {

// The C library cannot tell the local zone's offset.
class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
public:
    EIdFailedToRetreiveTimeZoneInfo()
        : EIdException("Failed attempting to retrieve time zone information.") {}
};

// 1 to 7 for "Sun" to "Sat" and 1 to 12 for "Jan" to "Dec", any case; 0 for anything else.
int DayNumber(std::string_view text);
int MonthNumber(std::string_view text);

// Reads the date and time at the front of `text` and leaves the rest (the zone) in it.
// Never fails: a text that does not read gives 0.
TDateTime ParseInternetDate(std::string& text);

// "+hhmm" or "-hhmm" as a time span; anything else gives 0.
TDateTime ParseGmtOffset(std::string_view text);

// The local zone's offset now (local time = UTC + result). Raises
// EIdFailedToRetreiveTimeZoneInfo when the zone data cannot tell.
TDateTime LocalUtcOffset();

// An Internet date text as local time; a text that does not read gives a date long past.
TDateTime InternetDateToLocal(const std::string& text);

// "Sun, 6 Dec 2026 23:59:00 +0100": local time with the local zone's offset.
std::string FormatInternetDate(TDateTime value);
// "Sun, 06 Nov 1994 08:49:37 GMT": the value as given, labelled GMT.
std::string FormatGmtDate(TDateTime value);

}  // namespace w20

#include "http/InternetDate.h"

#include <cmath>
#include <ctime>

#include "base/Convert.h"
#include "base/Format.h"
#include "base/Strings.h"

namespace w20 {
namespace {

constexpr const char* DayNames[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
constexpr const char* MonthNames[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr const char* ShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* ShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int IntOr(const std::string& text, int fallback) {
    std::int32_t value = 0;
    return TryStrToInt(text, value) ? value : fallback;
}

// What the formatters print for dates that do not decode (beyond the years 1 to 9999).
struct CalendarParts {
    DateParts date;
    TimeParts time;
    int weekDay;  // 0 = Sunday
};

CalendarParts Decode(TDateTime value) {
    if (!(value >= MinDateTime && value < MaxDateTime + 1))
        value = 0;
    CalendarParts parts{DecodeDate(value), DecodeTime(value), 0};
    // Day 0 (1899-12-30) was a Saturday.
    const auto days = static_cast<long long>(std::floor(value));
    parts.weekDay = static_cast<int>(((days % 7) + 7 + 6) % 7);
    return parts;
}

std::string TimeText(const TimeParts& time) {
    return Format("%.2d:%.2d:%.2d", time.hour, time.minute, time.second);
}

}  // namespace

int DayNumber(std::string_view text) {
    const std::string upper = UpperCase(text);
    for (int i = 0; i < 7; ++i) {
        if (upper == DayNames[i])
            return i + 1;
    }
    return 0;
}

int MonthNumber(std::string_view text) {
    const std::string upper = UpperCase(text);
    for (int i = 0; i < 12; ++i) {
        if (upper == MonthNames[i])
            return i + 1;
    }
    return 0;
}

TDateTime ParseInternetDate(std::string& text) {
    text = Trim(text);
    if (text.empty())
        return 0;

    if (DayNumber(text.substr(0, 3)) > 0) {
        // "Sun,06 Nov 1994": make the day name a word of its own before dropping it.
        if (text.size() >= 4 && text[3] == ',' && (text.size() < 5 || text[4] != ' '))
            text.insert(4, " ");
        const std::size_t blank = text.find(' ');
        if (blank != std::string::npos)
            text = TrimLeft(text.substr(blank + 1));
    }

    const std::size_t hyphen = text.find('-');
    const std::size_t blank = text.find(' ');
    const std::string_view separator =
        hyphen != std::string::npos && hyphen >= 1 && blank != std::string::npos && hyphen < blank ? "-"
                                                                                                   : " ";

    int day = 0;
    int month = 0;
    std::string first = Fetch(text, separator);
    text = TrimLeft(text);
    if (MonthNumber(first) > 0) {
        month = MonthNumber(first);
        day = IntOr(Fetch(text, separator), 1);
    } else {
        day = IntOr(first, 1);
        month = MonthNumber(Fetch(text, separator));
    }
    text = TrimLeft(text);
    if (month == 0)
        return 0;

    std::string yearText = Fetch(text, " ");
    std::int32_t year = 0;
    if (!TryStrToInt(yearText, year)) {
        // The time came before the year ("Sun Nov 6 08:49:37 1994").
        if (!TryStrToInt(Fetch(text, " "), year))
            return 0;
        text = yearText + (text.empty() ? "" : " " + text);
    }
    if (year < 80) {
        year += 2000;
    } else if (year < 100) {
        year += 1900;
    }

    TDateTime result = 0;
    if (!TryEncodeDate(year, month, day, result))
        return 0;

    if (text.find(':') != std::string::npos) {
        std::string clock = Fetch(text, " ");
        const int hours = IntOr(Fetch(clock, ":"), 0);
        const int minutes = IntOr(Fetch(clock, ":"), 0);
        const int seconds = IntOr(clock, 0);
        TDateTime time = 0;
        if (!TryEncodeTime(hours, minutes, seconds, 0, time))
            return 0;
        result += time;
    }
    text = TrimLeft(text);
    return result;
}

TDateTime ParseGmtOffset(std::string_view text) {
    const std::string zone = Trim(text).substr(0, 5);
    if (zone.size() != 5 || (zone[0] != '+' && zone[0] != '-'))
        return 0;
    for (std::size_t i = 1; i < 5; ++i) {
        if (zone[i] < '0' || zone[i] > '9')
            return 0;
    }
    TDateTime offset = 0;
    if (!TryEncodeTime((zone[1] - '0') * 10 + (zone[2] - '0'), (zone[3] - '0') * 10 + (zone[4] - '0'), 0, 0,
                       offset)) {
        return 0;
    }
    return zone[0] == '-' ? -offset : offset;
}

TDateTime LocalUtcOffset() {
    long secondsEast = 0;
    if (!LocalUtcOffset(std::time(nullptr), secondsEast))
        throw EIdFailedToRetreiveTimeZoneInfo();
    return static_cast<double>(secondsEast) / SecsPerDay;
}

TDateTime InternetDateToLocal(const std::string& text) {
    std::string rest = text;
    TDateTime result = ParseInternetDate(rest);
    // "GMT", "UTC" and the like are shorter and count as offset 0.
    if (rest.size() > 4)
        result -= ParseGmtOffset(rest);
    return result + LocalUtcOffset();
}

std::string FormatInternetDate(TDateTime value) {
    const CalendarParts parts = Decode(value);
    const long minutes = std::lround(LocalUtcOffset() * MinsPerDay);
    const long magnitude = minutes < 0 ? -minutes : minutes;
    const std::string zone = Format("%s%.2ld%.2ld", minutes >= 0 ? "+" : "-", magnitude / 60, magnitude % 60);
    return Format("%s, %d %s %d %s %s", ShortDayNames[parts.weekDay], parts.date.day,
                  ShortMonthNames[parts.date.month - 1], parts.date.year, TimeText(parts.time).c_str(),
                  zone.c_str());
}

std::string FormatGmtDate(TDateTime value) {
    const CalendarParts parts = Decode(value);
    return Format("%s, %.2d %s %.4d %s %s", ShortDayNames[parts.weekDay], parts.date.day,
                  ShortMonthNames[parts.date.month - 1], parts.date.year, TimeText(parts.time).c_str(),
                  "GMT");
}

}  // namespace w20

#include "tools/demo-quote-server/QuoteDate.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

namespace w20::demo {

namespace {

constexpr std::array<const char*, 12> MonthNames = {"january",   "february", "march",    "april",
                                                    "may",       "june",     "july",     "august",
                                                    "september", "october",  "november", "december"};
constexpr std::array<const char*, 7> WeekdayNames = {"monday", "tuesday",  "wednesday", "thursday",
                                                     "friday", "saturday", "sunday"};
constexpr std::array<const char*, 4> OrdinalSuffixes = {"st", "nd", "rd", "th"};

struct Number {
    int value;
    std::size_t digits;
};

// Whether `word` (lower case) is `name` or a prefix of it of at least three letters.
bool Abbreviates(const std::string& word, const char* name) {
    return word.size() >= 3 && std::string_view(name).starts_with(word);
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

std::optional<int> FullYear(const Number& number) {
    if (number.digits == 4)
        return number.value;
    if (number.digits <= 2)
        return number.value < 70 ? 2000 + number.value : 1900 + number.value;
    return std::nullopt;
}

std::optional<QuoteDate> Checked(std::optional<int> year, int month, int day) {
    if (!year || *year < 1900 || *year > 2099 || month < 1 || month > 12)
        return std::nullopt;
    if (day < 1 || day > DaysInMonth(*year, month))
        return std::nullopt;
    return QuoteDate{*year, month, day};
}

}  // namespace

std::string QuoteDate::Compact() const {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
    return text;
}

long QuoteDate::DayNumber() const {
    // Days from civil date, counting years from March so that the leap day comes last.
    long y = year - (month <= 2 ? 1 : 0);
    long era = (y >= 0 ? y : y - 399) / 400;
    long yearOfEra = y - era * 400;
    long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::optional<QuoteDate> ParseQuoteDate(std::string_view text) {
    std::vector<Number> numbers;
    std::optional<int> monthByName;
    bool slashes = false;
    for (std::size_t at = 0; at < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (std::isdigit(c)) {
            Number number{0, 0};
            for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
                if (++number.digits > 8)
                    return std::nullopt;
                number.value = number.value * 10 + (text[at] - '0');
            }
            numbers.push_back(number);
        } else if (std::isalpha(c)) {
            std::string word;
            for (; at < text.size() && std::isalpha(static_cast<unsigned char>(text[at])); ++at)
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
            bool known = false;
            for (std::size_t m = 0; m < MonthNames.size(); ++m) {
                if (Abbreviates(word, MonthNames[m])) {
                    if (monthByName)
                        return std::nullopt;
                    monthByName = static_cast<int>(m) + 1;
                    known = true;
                }
            }
            for (const char* weekday : WeekdayNames)
                known = known || Abbreviates(word, weekday);
            bool afterNumber =
                at >= word.size() + 1 && std::isdigit(static_cast<unsigned char>(text[at - word.size() - 1]));
            for (const char* suffix : OrdinalSuffixes)
                known = known || (afterNumber && word == suffix);
            if (!known)
                return std::nullopt;
        } else {
            slashes = slashes || c == '/';
            ++at;
        }
    }

    if (monthByName) {
        if (numbers.size() != 2)
            return std::nullopt;
        // The year is the number with four digits, else the later one.
        bool yearFirst = numbers[0].digits == 4 && numbers[1].digits != 4;
        const Number& year = yearFirst ? numbers[0] : numbers[1];
        const Number& day = yearFirst ? numbers[1] : numbers[0];
        if (day.digits > 2)
            return std::nullopt;
        return Checked(FullYear(year), *monthByName, day.value);
    }
    if (numbers.size() == 1 && numbers[0].digits == 8) {
        int compact = numbers[0].value;
        return Checked(compact / 10000, compact / 100 % 100, compact % 100);
    }
    if (numbers.size() != 3)
        return std::nullopt;
    if (numbers[0].digits == 4) {
        if (numbers[1].digits > 2 || numbers[2].digits > 2)
            return std::nullopt;
        return Checked(numbers[0].value, numbers[1].value, numbers[2].value);
    }
    if (numbers[0].digits > 2 || numbers[1].digits > 2)
        return std::nullopt;
    int month = slashes ? numbers[0].value : numbers[1].value;
    int day = slashes ? numbers[1].value : numbers[0].value;
    if (month > 12 && day <= 12)
        std::swap(month, day);
    return Checked(FullYear(numbers[2]), month, day);
}

}  // namespace w20::demo

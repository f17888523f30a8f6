// Any text through the Internet date reader, and whatever it gives back through the writers.
#include <stdlib.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/InternetDate.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A zone with a half-hour offset exercises the minute arithmetic.
    setenv("TZ", "Asia/Kolkata", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string rest = input;
    const w20::TDateTime parsed = w20::ParseInternetDate(rest);
    const w20::TDateTime local = w20::InternetDateToLocal(input);
    const w20::TDateTime offset = w20::ParseGmtOffset(input);
    for (const w20::TDateTime value : {parsed, local, offset}) {
        if (w20::FormatInternetDate(value).empty() || w20::FormatGmtDate(value).empty())
            abort();
    }
    if (parsed != 0 && w20::InternetDateToLocal(w20::FormatInternetDate(parsed)) == 0)
        abort();
    return 0;
}

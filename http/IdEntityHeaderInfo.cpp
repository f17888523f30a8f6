#include "http/IdEntityHeaderInfo.h"

#include <limits>

#include "base/Convert.h"
#include "base/Exception.h"
#include "base/Strings.h"
#include "http/InternetDate.h"

namespace w20 {
namespace {

// Optional sign and decimal digits, nothing else; false also when the number does not fit.
bool ReadDecimal(const std::string& text, std::int64_t& value) {
    const bool hasSign = !text.empty() && (text[0] == '+' || text[0] == '-');
    std::uint64_t number = 0;
    if (!ReadDigits(std::string_view(text).substr(hasSign ? 1 : 0), 10,
                    std::numeric_limits<std::int64_t>::max(), number))
        return false;
    value =
        hasSign && text[0] == '-' ? -static_cast<std::int64_t>(number) : static_cast<std::int64_t>(number);
    return true;
}

// No date text, however malformed, fails a response.
TDateTime HeaderDate(const std::string& text) {
    if (text.empty())
        return 0;
    try {
        return InternetDateToLocal(text);
    } catch (const Exception&) {
        return 0;
    }
}

}  // namespace

void TIdEntityHeaderInfo::SetContentLength(std::int64_t value) {
    contentLength_ = value;
    hasContentLength_ = value >= 0;
}

void TIdEntityHeaderInfo::Clear() {
    connection_.clear();
    contentVersion_.clear();
    contentEncoding_.clear();
    contentLanguage_.clear();
    contentType_.clear();
    SetContentLength(-1);
    contentRangeStart_ = 0;
    contentRangeEnd_ = 0;
    date_ = 0;
    expires_ = 0;
    lastModified_ = 0;
    rawHeaders_.Clear();
}

void TIdEntityHeaderInfo::ProcessHeaders() {
    connection_ = rawHeaders_.Values("Connection");
    contentVersion_ = rawHeaders_.Values("Content-Version");
    contentEncoding_ = rawHeaders_.Values("Content-Encoding");
    contentLanguage_ = rawHeaders_.Values("Content-Language");
    contentType_ = rawHeaders_.Values("Content-Type");
    std::int64_t length = -1;
    const std::string lengthText = rawHeaders_.Values("Content-Length");
    if (!ReadDecimal(lengthText, length))
        length = -1;
    SetContentLength(length);
    date_ = HeaderDate(rawHeaders_.Values("Date"));
    lastModified_ = HeaderDate(rawHeaders_.Values("Last-Modified"));
    // "Expires" may also be a number of seconds from now.
    const std::string expires = rawHeaders_.Values("Expires");
    std::int64_t seconds = 0;
    if (ReadDecimal(expires, seconds)) {
        expires_ = Now() + static_cast<double>(seconds) / SecsPerDay;
    } else {
        expires_ = HeaderDate(expires);
    }
    pragma_ = rawHeaders_.Values("Pragma");
}

void TIdEntityHeaderInfo::SetEntityHeaders() {
    const auto write = [this](const char* name, const std::string& value) {
        if (!value.empty())
            rawHeaders_.SetValues(name, value);
    };
    write("Connection", connection_);
    write("Content-Version", contentVersion_);
    write("Content-Encoding", contentEncoding_);
    write("Content-Language", contentLanguage_);
    write("Content-Type", contentType_);
    if (contentLength_ >= 0)
        write("Content-Length", IntToStr(contentLength_));
    write("Cache-control", cacheControl_);
    if (date_ > 0)
        write("Date", FormatInternetDate(date_));
    if (expires_ > 0)
        write("Expires", FormatInternetDate(expires_));
    if (lastModified_ > 0)
        write("Last-Modified", FormatGmtDate(lastModified_));
    write("Pragma", pragma_);
}

}  // namespace w20

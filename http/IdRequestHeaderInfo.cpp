#include "http/IdRequestHeaderInfo.h"

#include "base/Convert.h"
#include "http/IdBasicAuthentication.h"
#include "http/InternetDate.h"

namespace w20 {

void TIdRequestHeaderInfo::ResetHeaders() {
    accept_ = "text/html, */*";
    userAgent_ = "Mozilla/3.0 (compatible; VOR Library)";
    acceptCharSet_.clear();
    basicAuthentication_ = false;
    Clear();
}

void TIdRequestHeaderInfo::BuildRequestHeaders() {
    TIdHeaderList& raw = RawHeaders();
    raw.Clear();
    SetEntityHeaders();
    for (const std::string& line : CustomHeaders().Lines()) {
        if (HoldsLineBreak(line))
            throw EIdUnsafeRequestText("Custom header line refused: it holds CR, LF or NUL.");
        raw.Add(line);
    }
    const auto write = [&raw](const char* name, const std::string& value) {
        if (!value.empty())
            raw.SetValues(name, value);
    };
    write("Proxy-Connection", proxyConnection_);
    write("Host", host_);
    write("Accept", accept_);
    write("Accept-Charset", acceptCharSet_);
    write("Accept-Encoding", acceptEncoding_);
    write("Accept-Language", acceptLanguage_);
    write("From", from_);
    write("Referer", referer_);
    write("User-Agent", userAgent_);
    if (LastModified() > 0)
        write("If-Modified-Since", FormatInternetDate(LastModified()));
    if (ContentRangeStart() != 0 || ContentRangeEnd() != 0) {
        write("Range", "bytes=" + IntToStr(ContentRangeStart()) + "-" +
                           (ContentRangeEnd() != 0 ? IntToStr(ContentRangeEnd()) : std::string()));
    }
    if (!authentication_ && basicAuthentication_) {
        authentication_ = std::make_unique<TIdBasicAuthentication>();
        authentication_->SetUsername(username_);
        authentication_->SetPassword(password_);
    }
    if (authentication_)
        write("Authorization", authentication_->HeaderValue());
}

}  // namespace w20

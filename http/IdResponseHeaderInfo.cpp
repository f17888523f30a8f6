#include "http/IdResponseHeaderInfo.h"

#include <vector>

#include "base/Convert.h"
#include "base/Strings.h"

namespace w20 {
namespace {

void Refill(TIdHeaderList& list, const TIdHeaderList& raw, std::string_view name) {
    std::vector<std::string> values;
    raw.Extract(name, values);
    list.Clear();
    for (const std::string& value : values)
        list.Add(value);
}

}  // namespace

void TIdResponseHeaderInfo::ResetHeaders() {
    Clear();
    SetContentType("text/html");
    location_.clear();
    server_.clear();
    wwwAuthenticate_.Clear();
    proxyAuthenticate_.Clear();
}

void TIdResponseHeaderInfo::ParseResponseHeaders() {
    const TIdHeaderList& raw = RawHeaders();
    location_ = raw.Values("Location");
    server_ = raw.Values("Server");
    proxyConnection_ = raw.Values("Proxy-Connection");
    // "bytes 0-99/100": the unit goes, the start ends at "-", the end at "/".
    std::string range = raw.Values("Content-Range");
    if (range.empty()) {
        SetContentRangeStart(0);
        SetContentRangeEnd(0);
    } else {
        const std::size_t blank = range.find(' ');
        range.erase(0, blank == std::string::npos ? 0 : blank + 1);
        const std::size_t dash = range.find('-');
        SetContentRangeStart(StrToInt64(range.substr(0, dash)));
        range.erase(0, dash == std::string::npos ? range.size() : dash + 1);
        SetContentRangeEnd(StrToInt64(range.substr(0, range.find('/'))));
    }
    Refill(wwwAuthenticate_, raw, "WWW-Authenticate");
    Refill(proxyAuthenticate_, raw, "Proxy-Authenticate");
    ProcessHeaders();
}

}  // namespace w20

#include "http/IdCookie.h"

#include <cmath>

#include "base/Convert.h"
#include "base/DateTime.h"
#include "base/Strings.h"
#include "http/InternetDate.h"
#include "http/PublicSuffix.h"
#include "net/AddressText.h"
#include "net/IdException.h"

namespace w20 {
namespace {

// Lines as a string list reads them: CR LF, LF or CR ends one; no empty line after the last end.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::vector<std::string> SplitAttributes(const std::string& text) {
    if (text.find(';') == std::string::npos)
        return SplitLines(text);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t semicolon = text.find(';'); semicolon != std::string::npos;
         semicolon = text.find(';', start)) {
        parts.push_back(Trim(std::string_view(text).substr(start, semicolon - start)));
        start = semicolon + 1;
    }
    if (start < text.size())
        parts.push_back(Trim(std::string_view(text).substr(start)));
    return parts;
}

// The latest moment the date helpers can still write and read back.
constexpr TDateTime LatestExpiry = MaxDateTime + (SecsPerDay - 1) / SecsPerDay;

}  // namespace

void TIdNetscapeCookie::ParseCookieText(const std::string& text) {
    if (text == cookieText_)
        return;
    cookieText_ = text;
    std::vector<std::string> entries = SplitAttributes(text);
    name_.clear();
    value_.clear();
    if (!entries.empty()) {
        const std::string& pair = entries.front();
        const std::size_t equals = pair.find('=');
        name_ = pair.substr(0, equals);
        value_ = equals == std::string::npos ? std::string() : pair.substr(equals + 1);
        entries.erase(entries.begin());
    }
    for (std::string& entry : entries) {
        const std::size_t equals = entry.find('=');
        entry = UpperCase(std::string_view(entry).substr(0, equals)) +
                (equals == std::string::npos ? std::string() : entry.substr(equals));
    }
    LoadAttributes(entries);
}

void TIdNetscapeCookie::LoadAttributes(const Attributes& attributes) {
    path_ = AttributeValue(attributes, "PATH");
    if (!path_.empty() && path_.front() == '"')
        path_.erase(0, 1);
    if (!path_.empty() && path_.back() == '"')
        path_.pop_back();
    SetExpiry(AttributeValue(attributes, "EXPIRES"));
    domain_ = AttributeValue(attributes, "DOMAIN");
    secure_ = HasFlag(attributes, "SECURE");
}

std::string TIdNetscapeCookie::AttributeValue(const Attributes& attributes, std::string_view name) {
    for (const std::string& entry : attributes) {
        if (entry.size() > name.size() && entry[name.size()] == '=' &&
            entry.compare(0, name.size(), name) == 0) {
            return entry.substr(name.size() + 1);
        }
    }
    return {};
}

bool TIdNetscapeCookie::HasFlag(const Attributes& attributes, std::string_view name) {
    for (const std::string& entry : attributes) {
        if (entry == name)
            return true;
    }
    return false;
}

bool TIdNetscapeCookie::IsValidForHost(const std::string& host) const {
    if (IsIPHostText(host))
        return domain_ == host;
    // A cookie for a public suffix (".com", ".com.pl", "co.uk") would reach every site under
    // it; only a host that has such a name itself may set one for its own name.
    if (IsPublicSuffix(domain_) && !(IsHostNameText(host) && domain_ == host))
        return false;
    if (IsHostNameText(host))
        return IsHostNameText(domain_) ? domain_ == host : domain_ == DomainPart(host);
    return SameText(domain_, DomainPart(host));
}

void TIdNetscapeCookie::AppendAttribute(std::string& text, std::string_view name, const std::string& value) {
    if (value.empty())
        return;
    if (!text.empty())
        text += "; ";
    text += name;
    text += "=" + value;
}

std::string TIdNetscapeCookie::BuildCookieText() const {
    std::string text = value_.empty() ? std::string() : name_ + "=" + value_;
    AppendAttribute(text, "path", path_);
    if (kind_ == ckNetscape)
        AppendAttribute(text, "expires", expires_);
    AppendAttribute(text, "domain", domain_);
    if (secure_)
        text += text.empty() ? "secure" : "; secure";
    return text;
}

void TIdCookieRFC2109::SetExpiry(const std::string& text) {
    if (!text.empty()) {
        try {
            maxAge_ = static_cast<std::int64_t>(std::trunc((InternetDateToLocal(text) - Now()) * SecsPerDay));
        } catch (const Exception&) {
            // A date that cannot be converted keeps the max-age we had.
        }
    }
    expires_ = text;
}

void TIdCookieRFC2109::LoadAttributes(const Attributes& attributes) {
    TIdNetscapeCookie::LoadAttributes(attributes);
    if (!TryStrToInt64(AttributeValue(attributes, "MAX-AGE"), maxAge_))
        maxAge_ = -1;
    version_ = AttributeValue(attributes, "VERSION");
    comment_ = AttributeValue(attributes, "COMMENT");
    if (!expires_.empty()) {
        kind_ = classKind_;
        return;
    }
    kind_ = ckNetscape;
    if (maxAge_ >= 0) {
        const TDateTime now = Now();
        // Past the last writable date the cookie simply lives as long as dates go.
        const double days = static_cast<double>(maxAge_) / SecsPerDay;
        SetExpiry(FormatInternetDate(days < LatestExpiry - now ? now + days : LatestExpiry));
    }
}

std::string TIdCookieRFC2109::BuildCookieText() const {
    std::string text = TIdNetscapeCookie::BuildCookieText();
    if (maxAge_ >= 0 && expires_.empty())
        AppendAttribute(text, "max-age", IntToStr(maxAge_));
    AppendAttribute(text, "comment", comment_);
    AppendAttribute(text, "version", version_);
    return text;
}

void TIdCookieRFC2109::AssignFrom(const TIdCookieRFC2109& newer) {
    name_ = newer.name_;
    value_ = newer.value_;
    path_ = newer.path_;
    expires_ = newer.expires_;
    domain_ = newer.domain_;
    secure_ = newer.secure_;
    maxAge_ = newer.maxAge_;
    version_ = newer.version_;
    comment_ = newer.comment_;
    kind_ = newer.kind_;
}

void TIdCookieRFC2965::LoadAttributes(const Attributes& attributes) {
    TIdCookieRFC2109::LoadAttributes(attributes);
    commentURL_ = AttributeValue(attributes, "COMMENTURL");
    discard_ = HasFlag(attributes, "DISCARD");
    const std::string port = AttributeValue(attributes, "PORT");
    if (port.empty()) {
        ports_ = {80};
    } else if (port.size() >= 2 && port.front() == '"' && port.back() == '"') {
        std::vector<std::int32_t> ports;
        std::string piece;
        // A piece that is not a number raises the conversion error to the caller.
        for (std::size_t i = 1; i < port.size(); ++i) {
            const char c = port[i];
            if (c == ',' || c == ' ' || i == port.size() - 1) {
                if (!piece.empty())
                    ports.push_back(StrToInt(piece));
                piece.clear();
            } else {
                piece += c;
            }
        }
        ports_ = ports.empty() ? std::vector<std::int32_t>{80} : ports;
    }
}

std::int32_t TIdCookieRFC2965::Port(int index) const {
    if (index < 0 || index >= PortCount())
        throw EIdException("Index out of range.");
    return ports_[static_cast<std::size_t>(index)];
}

void TIdCookieRFC2965::SetPort(int index, std::int32_t value) {
    if (index < 0 || index > PortCount())
        throw EIdException("Index out of range.");
    if (index == PortCount()) {
        ports_.push_back(value);
    } else {
        ports_[static_cast<std::size_t>(index)] = value;
    }
}

}  // namespace w20

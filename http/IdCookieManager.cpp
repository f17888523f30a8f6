#include "http/IdCookieManager.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "base/DateTime.h"
#include "base/Strings.h"
#include "http/IdHeaderList.h"
#include "http/InternetDate.h"
#include "net/AddressText.h"

namespace w20 {
namespace {

// The host is the cookie's domain (leading dot ignored) or lies below it. A plain substring
// test would also send ".b.c" cookies to "x.b.c.attacker.example".
bool DomainMatches(std::string_view host, std::string_view domain) {
    if (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    if (domain.empty())
        return false;
    if (SameText(host, domain))
        return true;
    return host.size() > domain.size() && !IsIPHostText(host) &&
           host[host.size() - domain.size() - 1] == '.' &&
           SameText(host.substr(host.size() - domain.size()), domain);
}

// The domain index entries that may hold cookies for `host`, in index order: the host and each
// of its parent domains, with and without a leading dot (an address has no parent domains).
std::vector<int> DomainsForHost(const TIdCookieDomains& domains, std::string_view host) {
    std::vector<int> found;
    for (std::size_t start = 0; start < host.size(); start = host.find('.', start) + 1) {
        const std::string_view suffix = host.substr(start);
        for (const std::string& domain : {std::string(suffix), "." + std::string(suffix)}) {
            const int index = domains.IndexOf(domain);
            if (index >= 0 && DomainMatches(host, domain))
                found.push_back(index);
        }
        if (IsIPHostText(host) || host.find('.', start) == std::string_view::npos)
            break;
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

}  // namespace

TIdCookieManager::TIdCookieManager(TCookieCollectionEvent onCreate)
    : OnCreate(std::move(onCreate)), cookies_(std::make_unique<TIdCookies>()) {
    if (OnCreate)
        OnCreate(this, *cookies_);
}

TIdCookieManager::~TIdCookieManager() {
    try {
        RemoveExpired();
        if (OnDestroy)
            OnDestroy(this, *cookies_);
    } catch (...) {
        // Nothing may leave a destructor; the cookies are freed below all the same.
    }
}

void TIdCookieManager::AddSetCookie(const std::string& value, const std::string& host) {
    Admit(std::make_unique<TIdCookieRFC2109>(), value, host);
}

void TIdCookieManager::AddSetCookie2(const std::string& value, const std::string& host) {
    Admit(std::make_unique<TIdCookieRFC2965>(), value, host);
}

void TIdCookieManager::Admit(std::unique_ptr<TIdCookieRFC2109> cookie, const std::string& value,
                             const std::string& host) {
    cookie->ParseCookieText(value);
    // Name and value are copied into our own request header, where such bytes could split it.
    if (HoldsLineBreak(cookie->CookieName()) || HoldsLineBreak(cookie->Value()))
        return;
    if (cookie->Domain().empty())
        cookie->SetDomain(host);
    if (!cookie->IsValidForHost(host))
        return;
    bool accept = true;
    if (OnNewCookie)
        OnNewCookie(this, cookie.get(), accept);
    if (accept)
        cookies_->StoreCookie(std::move(cookie));
}

void TIdCookieManager::AddResponseCookies(const TIdHeaderList& headers, const std::string& host) {
    std::vector<std::string> cookies;
    std::vector<std::string> cookies2;
    headers.Extract("Set-cookie", cookies);
    headers.Extract("Set-cookie2", cookies2);
    int offered = 0;
    for (std::size_t i = 0; i < cookies.size() && offered < MaxCookiesPerResponse; ++i, ++offered)
        AddSetCookie(cookies[i], host);
    for (std::size_t i = 0; i < cookies2.size() && offered < MaxCookiesPerResponse; ++i, ++offered)
        AddSetCookie2(cookies2[i], host);
}

std::string TIdCookieManager::BuildCookieHeader(const TIdURI& uri, bool secure) {
    RemoveExpired();
    struct Match {
        std::string pathKey;  // upper-cased: paths order ignoring case
        const TIdCookieRFC2109* cookie;
    };
    std::vector<Match> matches;
    TIdCookieLock lock(*cookies_, TIdAccessMode::AccessRead);
    const TIdCookieDomains& domains = lock.Domains();
    for (const int d : DomainsForHost(domains, uri.Host())) {
        const TIdCookieList& list = domains.Cookies(d);
        for (int i = list.Count() - 1; i >= 0; --i) {
            const TIdCookieRFC2109* cookie = list.Cookies(i);
            if (cookie->Path().empty() || uri.Path().compare(0, cookie->Path().size(), cookie->Path()) != 0) {
                continue;
            }
            if ((cookie->Secure() && !secure) || cookie->Value().empty())
                continue;
            matches.push_back({UpperCase(cookie->Path()), cookie});
        }
    }
    std::stable_sort(matches.begin(), matches.end(),
                     [](const Match& a, const Match& b) { return b.pathKey < a.pathKey; });
    std::string header;
    int sent = 0;
    for (const Match& match : matches) {
        if (sent == MaxCookiesPerRequest)
            break;
        const std::string pair = match.cookie->CookieName() + "=" + match.cookie->Value();
        const std::size_t separator = header.empty() ? 0 : 2;
        if (header.size() + separator + pair.size() > MaxCookieHeader)
            continue;
        if (separator != 0)
            header += "; ";
        header += pair;
        ++sent;
    }
    return header;
}

void TIdCookieManager::RemoveExpired() {
    TIdCookieLock lock(*cookies_, TIdAccessMode::AccessReadWrite);
    const TDateTime now = Now();
    const TIdCookieDomains& domains = lock.Domains();
    for (int d = 0; d < domains.Count(); ++d) {
        TIdCookieList& list = domains.Cookies(d);
        for (int i = list.Count() - 1; i >= 0; --i) {
            TIdCookieRFC2109* cookie = list.Cookies(i);
            // An expiry text that does not read converts to a date long past.
            if (!cookie->Expires().empty() && now > InternetDateToLocal(cookie->Expires())) {
                cookies_->RemoveCookie(cookie);
            }
        }
    }
}

}  // namespace w20

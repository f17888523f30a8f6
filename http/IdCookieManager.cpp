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
    return host.size() > domain.size() && !IsDottedQuad(host) &&
           host[host.size() - domain.size() - 1] == '.' &&
           SameText(host.substr(host.size() - domain.size()), domain);
}

// Case-insensitive order of the paths; equal paths compare equal.
bool PathLess(const std::string& a, const std::string& b) {
    return UpperCase(a) < UpperCase(b);
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

std::string TIdCookieManager::BuildCookieHeader(const TIdURI& uri, bool secure) {
    RemoveExpired();
    // Sorted by path; a cookie goes in front of those with an equal path.
    std::vector<const TIdCookieRFC2109*> matches;
    TIdCookieLock lock(*cookies_, TIdAccessMode::AccessRead);
    const TIdCookieDomains& domains = lock.Domains();
    for (int d = 0; d < domains.Count(); ++d) {
        if (!DomainMatches(uri.Host(), domains.Domains(d)))
            continue;
        const TIdCookieList& list = domains.Cookies(d);
        for (int i = list.Count() - 1; i >= 0; --i) {
            const TIdCookieRFC2109* cookie = list.Cookies(i);
            if (cookie->Path().empty() || uri.Path().compare(0, cookie->Path().size(), cookie->Path()) != 0) {
                continue;
            }
            if ((cookie->Secure() && !secure) || cookie->Value().empty())
                continue;
            const auto at = std::lower_bound(matches.begin(), matches.end(), cookie,
                                             [](const TIdCookieRFC2109* a, const TIdCookieRFC2109* b) {
                                                 return PathLess(a->Path(), b->Path());
                                             });
            matches.insert(at, cookie);
        }
    }
    std::string header;
    for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
        if (!header.empty())
            header += "; ";
        header += (*it)->CookieName() + "=" + (*it)->Value();
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

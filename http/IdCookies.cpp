#include "http/IdCookies.h"

#include <algorithm>

#include "base/Strings.h"

namespace w20 {

int TIdCookieList::IndexOf(std::string_view name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (SameText(entries_[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

void TIdCookieList::Add(const std::string& name, TIdCookieRFC2109* cookie) {
    entries_.push_back({name, cookie});
}

void TIdCookieList::Delete(int index) {
    entries_.erase(entries_.begin() + index);
}

int TIdCookieDomains::IndexOf(std::string_view domain) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (SameText(entries_[i].domain, domain))
            return static_cast<int>(i);
    }
    return -1;
}

TIdCookieList& TIdCookieDomains::Add(const std::string& domain) {
    entries_.push_back({domain, std::make_unique<TIdCookieList>()});
    return *entries_.back().cookies;
}

int TIdCookies::Count() {
    TIdCookieLock lock(*this, TIdAccessMode::AccessRead);
    return static_cast<int>(cookies_.size());
}

TIdCookieDomains& TIdCookies::LockDomainList(TIdAccessMode mode) {
    if (mode == TIdAccessMode::AccessRead) {
        lock_.BeginRead();
    } else {
        lock_.BeginWrite();
    }
    return domains_;
}

void TIdCookies::UnlockDomainList(TIdAccessMode mode) {
    if (mode == TIdAccessMode::AccessRead) {
        lock_.EndRead();
    } else {
        lock_.EndWrite();
    }
}

void TIdCookies::StoreCookie(std::unique_ptr<TIdCookieRFC2109> cookie) {
    TIdCookieLock lock(*this, TIdAccessMode::AccessReadWrite);
    const int domain = domains_.IndexOf(cookie->Domain());
    TIdCookieList& list = domain < 0 ? domains_.Add(cookie->Domain()) : domains_.Cookies(domain);
    const int stored = list.IndexOf(cookie->CookieName());
    if (stored < 0) {
        list.Add(cookie->CookieName(), cookie.get());
        cookies_.push_back(std::move(cookie));
    } else {
        list.Cookies(stored)->AssignFrom(*cookie);
    }
}

void TIdCookies::RemoveCookie(TIdCookieRFC2109* cookie) {
    TIdCookieLock lock(*this, TIdAccessMode::AccessReadWrite);
    // Matched by identity, not by name: a cookie of the same name may stand in the list.
    for (int d = 0; d < domains_.Count(); ++d) {
        TIdCookieList& list = domains_.Cookies(d);
        for (int i = 0; i < list.Count(); ++i) {
            if (list.Cookies(i) == cookie)
                list.Delete(i--);
        }
    }
    const auto owned =
        std::find_if(cookies_.begin(), cookies_.end(),
                     [cookie](const std::unique_ptr<TIdCookieRFC2109>& c) { return c.get() == cookie; });
    if (owned != cookies_.end())
        cookies_.erase(owned);
}

}  // namespace w20

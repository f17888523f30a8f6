#include "http/IdCookies.h"

#include <algorithm>

#include "base/Strings.h"

namespace w20 {
namespace {

unsigned char UpperByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

}  // namespace

bool TextLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return UpperByte(x) < UpperByte(y); });
}

int TIdCookieList::IndexOf(std::string_view name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (SameText(entries_[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

int TIdCookieList::IndexOf(const TIdCookieRFC2109* cookie) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].cookie == cookie)
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
    const auto found = positions_.find(domain);
    return found == positions_.end() ? -1 : found->second;
}

TIdCookieList& TIdCookieDomains::Add(const std::string& domain) {
    positions_.emplace(domain, Count());
    entries_.push_back({domain, std::make_unique<TIdCookieList>()});
    return *entries_.back().cookies;
}

int TIdCookies::Count() {
    TIdCookieLock lock(*this, TIdAccessMode::AccessRead);
    return static_cast<int>(held_.size());
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
    if (stored >= 0) {
        TIdCookieRFC2109* kept = list.Cookies(stored);
        kept->AssignFrom(*cookie);
        Restamp(held_.at(kept));
        return;
    }
    TIdCookieRFC2109* added = cookie.get();
    list.Add(added->CookieName(), added);
    Restamp(held_.emplace(added, Held{std::move(cookie), &list, 0}).first->second);
    // The newest cookie is never the oldest, so what goes here is always another one.
    if (list.Count() > MaxCookiesPerDomain)
        RemoveCookie(Oldest(list));
    while (held_.size() > static_cast<std::size_t>(MaxCookies))
        RemoveCookie(byAge_.begin()->second);
}

void TIdCookies::RemoveCookie(TIdCookieRFC2109* cookie) {
    TIdCookieLock lock(*this, TIdAccessMode::AccessReadWrite);
    const auto held = held_.find(cookie);
    if (held == held_.end())
        return;
    // Found by identity in the list it was stored in: a cookie of the same name may stand in
    // another list.
    TIdCookieList& list = *held->second.list;
    list.Delete(list.IndexOf(cookie));
    byAge_.erase(held->second.stamp);
    held_.erase(held);
}

void TIdCookies::Restamp(Held& held) {
    if (held.stamp != 0)
        byAge_.erase(held.stamp);
    held.stamp = ++nextStamp_;
    byAge_.emplace(held.stamp, held.cookie.get());
}

TIdCookieRFC2109* TIdCookies::Oldest(const TIdCookieList& list) const {
    TIdCookieRFC2109* oldest = nullptr;
    std::uint64_t oldestStamp = 0;
    for (int i = 0; i < list.Count(); ++i) {
        const std::uint64_t stamp = held_.at(list.Cookies(i)).stamp;
        if (oldest == nullptr || stamp < oldestStamp) {
            oldest = list.Cookies(i);
            oldestStamp = stamp;
        }
    }
    return oldest;
}

}  // namespace w20

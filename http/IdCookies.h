#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "http/IdCookie.h"
#include "http/ReadWriteLock.h"

namespace w20 {

enum class TIdAccessMode { AccessRead, AccessReadWrite };

// Orders texts ignoring ASCII case; also compares a text with a string_view without a copy.
struct TextLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// One domain's cookies by name, in the order they were first stored. Names are found ignoring
// case, by a scan: the store keeps a domain's list short (TIdCookies::MaxCookiesPerDomain). The
// list only points at the cookies; the collection owns them.
class TIdCookieList {
public:
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Names(int index) const { return entries_.at(static_cast<std::size_t>(index)).name; }
    TIdCookieRFC2109* Cookies(int index) const { return entries_.at(static_cast<std::size_t>(index)).cookie; }
    int IndexOf(std::string_view name) const;           // -1 when absent
    int IndexOf(const TIdCookieRFC2109* cookie) const;  // -1 when absent
    void Add(const std::string& name, TIdCookieRFC2109* cookie);
    void Delete(int index);

private:
    struct Entry {
        std::string name;
        TIdCookieRFC2109* cookie;
    };
    std::vector<Entry> entries_;
};

// The domain index: each domain with its cookie list, in the order the domains were first
// stored. Domains are found ignoring case, through a sorted index; a domain keeps its list, even
// an empty one.
class TIdCookieDomains {
public:
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Domains(int index) const {
        return entries_.at(static_cast<std::size_t>(index)).domain;
    }
    TIdCookieList& Cookies(int index) const { return *entries_.at(static_cast<std::size_t>(index)).cookies; }
    int IndexOf(std::string_view domain) const;  // -1 when absent
    TIdCookieList& Add(const std::string& domain);

private:
    struct Entry {
        std::string domain;
        std::unique_ptr<TIdCookieList> cookies;
    };
    std::vector<Entry> entries_;
    std::map<std::string, int, TextLess> positions_;
};

// All stored cookies with the domain index, guarded by a lock for many readers or one writer.
// The store is bounded: past MaxCookiesPerDomain cookies in one domain, or MaxCookies in all,
// the oldest go (the ones stored or last replaced longest ago), silently.
class TIdCookies {
public:
    static constexpr int MaxCookiesPerDomain = 50;
    static constexpr int MaxCookies = 3000;

    TIdCookies() = default;
    TIdCookies(const TIdCookies&) = delete;
    TIdCookies& operator=(const TIdCookies&) = delete;

    // Number of cookie objects held.
    int Count();

    TIdCookieDomains& LockDomainList(TIdAccessMode mode);
    void UnlockDomainList(TIdAccessMode mode);

    // Appends the cookie to its domain's list, or hands its fields to the stored cookie of the
    // same name, which keeps its place. Then drops the oldest cookies past the bounds.
    void StoreCookie(std::unique_ptr<TIdCookieRFC2109> cookie);
    // Takes the cookie out of its domain's list and destroys it.
    void RemoveCookie(TIdCookieRFC2109* cookie);

private:
    struct Held {
        std::unique_ptr<TIdCookieRFC2109> cookie;
        TIdCookieList* list;
        std::uint64_t stamp;  // when it was stored or last replaced
    };
    void Restamp(Held& held);
    // The cookie of the list stored or replaced longest ago.
    TIdCookieRFC2109* Oldest(const TIdCookieList& list) const;

    // Declared first so that it goes last: cookies, then domain lists, then the lock.
    ReadWriteLock lock_;
    TIdCookieDomains domains_;
    std::uint64_t nextStamp_ = 0;
    std::unordered_map<const TIdCookieRFC2109*, Held> held_;
    std::map<std::uint64_t, TIdCookieRFC2109*> byAge_;
};

// Holds the domain index lock for a scope.
class TIdCookieLock {
public:
    TIdCookieLock(TIdCookies& cookies, TIdAccessMode mode)
        : cookies_(cookies), mode_(mode), domains_(cookies.LockDomainList(mode)) {}
    ~TIdCookieLock() { cookies_.UnlockDomainList(mode_); }
    TIdCookieLock(const TIdCookieLock&) = delete;
    TIdCookieLock& operator=(const TIdCookieLock&) = delete;

    TIdCookieDomains& Domains() const { return domains_; }

private:
    TIdCookies& cookies_;
    TIdAccessMode mode_;
    TIdCookieDomains& domains_;
};

}  // namespace w20

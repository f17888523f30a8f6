#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/IdCookie.h"
#include "http/ReadWriteLock.h"

namespace w20 {

enum class TIdAccessMode { AccessRead, AccessReadWrite };

// One domain's cookies by name, in the order they were first stored. Names are found ignoring
// case. The list only points at the cookies; the collection owns them.
class TIdCookieList {
public:
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Names(int index) const { return entries_.at(static_cast<std::size_t>(index)).name; }
    TIdCookieRFC2109* Cookies(int index) const { return entries_.at(static_cast<std::size_t>(index)).cookie; }
    int IndexOf(std::string_view name) const;  // -1 when absent
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
// stored. Domains are found ignoring case; a domain keeps its list, even an empty one.
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
};

// All stored cookies with the domain index, guarded by a lock for many readers or one writer.
class TIdCookies {
public:
    TIdCookies() = default;
    TIdCookies(const TIdCookies&) = delete;
    TIdCookies& operator=(const TIdCookies&) = delete;

    // Number of cookie objects held.
    int Count();

    TIdCookieDomains& LockDomainList(TIdAccessMode mode);
    void UnlockDomainList(TIdAccessMode mode);

    // Appends the cookie to its domain's list, or hands its fields to the stored cookie of the
    // same name, which keeps its place.
    void StoreCookie(std::unique_ptr<TIdCookieRFC2109> cookie);
    // Takes the cookie out of its domain's list and destroys it.
    void RemoveCookie(TIdCookieRFC2109* cookie);

private:
    // Declared first so that it goes last: cookies, then domain lists, then the lock.
    ReadWriteLock lock_;
    TIdCookieDomains domains_;
    std::vector<std::unique_ptr<TIdCookieRFC2109>> cookies_;
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

#include "http/IdCookieManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/DateTime.h"
#include "base/Exception.h"
#include "http/IdURI.h"
#include "http/InternetDate.h"
#include "tests/http/ScopedTimeZone.h"

namespace w20 {
namespace {

using test::ScopedTimeZone;

std::string Header(TIdCookieManager& manager, const std::string& url, bool secure = false) {
    return manager.BuildCookieHeader(TIdURI(url), secure);
}

std::string InDays(double days) {
    return FormatInternetDate(Now() + days);
}

// Every stored cookie as "domain:name=value", in index and list order.
std::string Stored(TIdCookieManager& manager) {
    TIdCookieLock lock(manager.CookieCollection(), TIdAccessMode::AccessRead);
    std::string text;
    for (int d = 0; d < lock.Domains().Count(); ++d) {
        const TIdCookieList& list = lock.Domains().Cookies(d);
        for (int i = 0; i < list.Count(); ++i) {
            if (!text.empty())
                text += " ";
            text += lock.Domains().Domains(d) + ":" + list.Cookies(i)->CookieName() + "=" +
                    list.Cookies(i)->Value();
        }
    }
    return text;
}

class CookieStore : public ::testing::Test {
protected:
    ScopedTimeZone zone_{"Europe/Warsaw"};
    TIdCookieManager manager_;
};

TEST_F(CookieStore, DomainDecidesWhichHostsGetACookie) {
    const struct {
        const char* setCookie;
        const char* from;
        const char* stored;
        const char* requestHost;
        bool sent;
    } cases[] = {
        {"a=1; path=/; domain=.b.c", "a.b.c", ".b.c:a=1", "d.b.c", true},
        {"a=1; path=/; domain=.b.c", "a.b.c", ".b.c:a=1", "b.c", true},
        {"a=1; path=/; domain=.b.c", "a.b.c", ".b.c:a=1", "x.y.b.c", true},
        {"a=1; path=/; domain=.b.c", "a.b.c", ".b.c:a=1", "x.b.c.attacker.example", false},
        {"a=1; path=/; domain=.b.c", "a.b.c", ".b.c:a=1", "xb.c", false},
        {"a=1; path=/", "a.b", "a.b:a=1", "xa.b.evil", false},
        {"a=1; path=/", "a.b", "a.b:a=1", "xa.b", false},
        {"a=1; path=/", "a.b", "a.b:a=1", "www.a.b", true},
        {"a=1; path=/", "a.b.c", "a.b.c:a=1", "A.B.C", true},
        {"a=1; path=/", "a.b.c", "a.b.c:a=1", "other.c", false},
        {"a=1; path=/; domain=b.c", "a.b.c", "", "a.b.c", false},
        {"a=1; path=/; domain=.c", "a.b.c", "", "a.b.c", false},
        {"a=1; path=/; domain=.com", "a.com", "", "b.com", false},
        {"a=1; path=/", "10.0.0.1", "10.0.0.1:a=1", "10.0.0.1", true},
        {"a=1; path=/; domain=10.0.0.1", "10.0.0.1", "10.0.0.1:a=1", "10.0.0.1", true},
        {"a=1; path=/; domain=.0.0.1", "10.0.0.1", "", "10.0.0.1", false},
        {"a=1; path=/; domain=.2.3.4", "x.2.3.4", ".2.3.4:a=1", "1.2.3.4", false},
        {"a=1; path=/; domain=.2.3.4", "x.2.3.4", ".2.3.4:a=1", "::ffff:1.2.3.4", false},
        {"a=1; path=/", "::1", "::1:a=1", "::1", true},
        {"a=1; path=/", "localhost", "localhost:a=1", "localhost", true},
        // A public suffix would reach unrelated sites; the host may still set its own name.
        {"a=1; path=/; domain=.com.pl", "shop.com.pl", "", "other.com.pl", false},
        {"a=1; path=/; domain=com.pl", "com.pl", "com.pl:a=1", "com.pl", true},
        {"a=1; path=/; domain=.shop.com.pl", "www.shop.com.pl", ".shop.com.pl:a=1", "x.shop.com.pl", true},
        {"a=1; path=/; domain=.co.uk", "news.co.uk", "", "shop.co.uk", false},
        {"a=1; path=/; domain=.site.ck", "www.site.ck", "", "other.site.ck", false},
        {"a=1; path=/; domain=.www.ck", "a.www.ck", ".www.ck:a=1", "b.www.ck", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setCookie) + " from " + c.from + " to " + c.requestHost);
        TIdCookieManager manager;
        manager.AddSetCookie(c.setCookie, c.from);
        EXPECT_EQ(Stored(manager), c.stored);
        EXPECT_EQ(Header(manager, "http://" + HostPort(c.requestHost, "") + "/"), c.sent ? "a=1" : "");
    }
}

TEST_F(CookieStore, CookiesThatAreKeptButNeverSent) {
    const char* cases[] = {
        "a=1",                  // no path
        "a=; path=/",           // empty value
        "a=1; path=/; secure",  // secure, and our connections are plain
        "a=1; path=/X/",        // paths compare with case
        "a=1; path=/x/y/",      // longer than the request's directory
    };
    for (const char* text : cases) {
        TIdCookieManager manager;
        manager.AddSetCookie(text, "h");
        EXPECT_EQ(manager.CookieCollection().Count(), 1) << text;
        EXPECT_EQ(Header(manager, "http://h/x/page.php?q=1"), "") << text;
    }
    TIdCookieManager manager;
    manager.AddSetCookie("a=1; path=/; secure", "h");
    EXPECT_EQ(Header(manager, "http://h/", true), "a=1");
}

TEST_F(CookieStore, LongerPathsFirstAndNewestFirstAmongEqualPaths) {
    manager_.AddSetCookie("root=1; path=/", "h");
    manager_.AddSetCookie("sub=2; path=/sub/", "h");
    manager_.AddSetCookie("late=3; path=/", "h");
    manager_.AddSetCookie("dom=4; path=/; domain=.h.pl", "x.h.pl");
    EXPECT_EQ(Header(manager_, "http://h/sub/page"), "sub=2; late=3; root=1");
    EXPECT_EQ(Header(manager_, "http://h/other/"), "late=3; root=1");

    // Among domains the index order counts: the domain stored first comes first.
    TIdCookieManager manager;
    manager.AddSetCookie("first=1; path=/", "x.h.pl");
    manager.AddSetCookie("second=2; path=/; domain=.h.pl", "x.h.pl");
    manager.AddSetCookie("deep=3; path=/a/b/", "x.h.pl");
    manager.AddSetCookie("mid=4; path=/A/", "x.h.pl");
    EXPECT_EQ(Header(manager, "http://x.h.pl/a/b/c"), "deep=3; first=1; second=2");
    EXPECT_EQ(Header(manager, "http://x.h.pl/A/b/c"), "mid=4; first=1; second=2");
}

TEST_F(CookieStore, SameNameReplacesInPlace) {
    manager_.AddSetCookie("SID=abc; path=/; expires=" + InDays(10), "h");
    manager_.AddSetCookie("other=1; path=/", "h");
    const std::string later = InDays(20);
    manager_.AddSetCookie("sid=xyz; path=/", "h");
    manager_.AddSetCookie("SID=new; path=/; expires=" + later, "h");
    EXPECT_EQ(Stored(manager_), "h:SID=new h:other=1");
    EXPECT_EQ(manager_.CookieCollection().Count(), 2);
    TIdCookieLock lock(manager_.CookieCollection(), TIdAccessMode::AccessRead);
    EXPECT_EQ(lock.Domains().Cookies(0).Cookies(0)->Expires(), later);
}

TEST_F(CookieStore, ReplacementAcrossCookieClasses) {
    manager_.AddSetCookie2("a=2965; path=/; Port=\"81\"; version=1", "h");
    manager_.AddSetCookie("a=2109; path=/p/; comment=c", "h");
    EXPECT_EQ(manager_.CookieCollection().Count(), 1);
    {
        TIdCookieLock lock(manager_.CookieCollection(), TIdAccessMode::AccessRead);
        const TIdCookieRFC2109* stored = lock.Domains().Cookies(0).Cookies(0);
        EXPECT_EQ(stored->Value(), "2109");
        EXPECT_EQ(stored->Path(), "/p/");
        EXPECT_EQ(stored->Comment(), "c");
        EXPECT_EQ(stored->Version(), "");
        // The stored object keeps its class, and with it the fields only that class has.
        const auto* rfc2965 = dynamic_cast<const TIdCookieRFC2965*>(stored);
        ASSERT_NE(rfc2965, nullptr);
        EXPECT_EQ(rfc2965->Port(0), 81);
    }
    manager_.AddSetCookie2("A=back; path=/", "H");
    EXPECT_EQ(Stored(manager_), "h:A=back");
    EXPECT_EQ(Header(manager_, "http://h/"), "A=back");
}

TEST_F(CookieStore, ExpiredCookiesGoAtTheNextSweep) {
    manager_.AddSetCookie("keep=1; path=/; expires=" + InDays(1), "h");
    manager_.AddSetCookie("old=1; path=/; expires=" + InDays(-1), "h");
    manager_.AddSetCookie("bad=1; path=/; expires=someday", "h");
    manager_.AddSetCookie("session=1; path=/", "h");
    EXPECT_EQ(manager_.CookieCollection().Count(), 4);
    EXPECT_EQ(Header(manager_, "http://h/"), "session=1; keep=1");
    EXPECT_EQ(Stored(manager_), "h:keep=1 h:session=1");
}

TEST_F(CookieStore, MaxAgeZeroDeletesAStoredCookie) {
    manager_.AddSetCookie("SID=abc; path=/", "h");
    manager_.AddSetCookie("SID=gone; path=/; max-age=0", "h");
    EXPECT_EQ(Stored(manager_), "h:SID=gone");
    // The expiry is the current second; the sweep is retried until it has passed.
    std::string header = "SID=gone";
    for (int attempt = 0; attempt < 30 && manager_.CookieCollection().Count() > 0; ++attempt) {
        EXPECT_EQ(header, "SID=gone");
        std::this_thread::sleep_for(std::chrono::milliseconds(attempt == 0 ? 0 : 100));
        header = Header(manager_, "http://h/");
    }
    EXPECT_EQ(manager_.CookieCollection().Count(), 0);
    EXPECT_EQ(header, "");
    // The domain keeps its (now empty) list.
    TIdCookieLock lock(manager_.CookieCollection(), TIdAccessMode::AccessRead);
    EXPECT_EQ(lock.Domains().Count(), 1);
}

TEST_F(CookieStore, LineBreaksAndNulFromAServerAreRefused) {
    const std::string cases[] = {
        "a=1\r\nX-Injected: 1; path=/",    "a=1\nX: 1; path=/", "a=1\rX: 1; path=/",
        std::string("a=1\0x; path=/", 13), "a\r\nb=1; path=/",  std::string("a\0=1; path=/", 12),
    };
    for (const std::string& text : cases) {
        manager_.AddSetCookie(text, "h");
        manager_.AddSetCookie2(text, "h");
    }
    EXPECT_EQ(manager_.CookieCollection().Count(), 0);
    // Line breaks in attributes other than the pair never reach a request.
    manager_.AddSetCookie("a=1; path=/; comment=x\r\ny", "h");
    EXPECT_EQ(Header(manager_, "http://h/"), "a=1");
}

TEST_F(CookieStore, BadPortListEndsTheCookieAndLeavesTheStore) {
    manager_.AddSetCookie("a=1; path=/", "h");
    EXPECT_THROW(manager_.AddSetCookie2("a=2; path=/; Port=\"80,eighty\"", "h"), EConvertError);
    EXPECT_EQ(Header(manager_, "http://h/"), "a=1");
}

// The cookie names of a "Cookie" value, in order.
std::vector<std::string> Names(const std::string& header) {
    std::vector<std::string> names;
    for (std::size_t start = 0; start < header.size();) {
        const std::size_t end = std::min(header.find("; ", start), header.size());
        names.push_back(header.substr(start, header.find('=', start) - start));
        start = end + 2;
    }
    return names;
}

// Stores `count` cookies "<prefix><i>=1; path=/" with the given attributes, from `host`.
void StoreMany(TIdCookieManager& manager, const std::string& host, const std::string& prefix, int count,
               const std::string& attributes = "") {
    for (int i = 0; i < count; ++i)
        manager.AddSetCookie(prefix + std::to_string(i) + "=1; path=/" + attributes, host);
}

TEST_F(CookieStore, OneResponseOffersItsFirstFiftyValues) {
    const struct {
        int refused;  // leading "Set-cookie" values that fail the domain check
        int setCookie;
        int setCookie2;
        int storedFirst;
        int storedSecond;
    } rows[] = {
        {0, 10, 0, 10, 0}, {0, 60, 5, 50, 0}, {0, 45, 10, 45, 5}, {0, 0, 70, 0, 50}, {3, 60, 0, 47, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.setCookie) + " + " + std::to_string(row.setCookie2));
        TIdHeaderList headers;
        // "Set-cookie" values are offered first, wherever their lines stand.
        for (int i = 0; i < row.setCookie2; ++i)
            headers.Add("Set-Cookie2: b" + std::to_string(i) + "=1; path=/");
        for (int i = 0; i < row.setCookie; ++i) {
            headers.Add("Set-Cookie: a" + std::to_string(i) + "=1; path=/" +
                        (i < row.refused ? "; domain=other.pl" : ""));
        }
        TIdCookieManager manager;
        manager.AddResponseCookies(headers, "h");
        const std::vector<std::string> names = Names(Header(manager, "http://h/"));
        const auto count = [&names](char prefix) {
            return std::count_if(names.begin(), names.end(),
                                 [prefix](const std::string& name) { return name.front() == prefix; });
        };
        EXPECT_EQ(count('a'), row.storedFirst);
        EXPECT_EQ(count('b'), row.storedSecond);
        EXPECT_EQ(manager.CookieCollection().Count(), row.storedFirst + row.storedSecond);
    }
}

TEST_F(CookieStore, OneRequestCarriesAtMost150CookiesIn8KiB) {
    // Four domains that all reach a.b.c.pl, fifty cookies each.
    StoreMany(manager_, "a.b.c.pl", "p", 50);
    StoreMany(manager_, "a.b.c.pl", "q", 50, "; domain=.b.c.pl");
    StoreMany(manager_, "b.c.pl", "r", 50);
    StoreMany(manager_, "b.c.pl", "s", 50, "; domain=.c.pl");
    EXPECT_EQ(manager_.CookieCollection().Count(), 200);
    std::vector<std::string> expected;
    for (const char prefix : {'p', 'q', 'r', 's'}) {
        for (int i = 49; i >= 0 && expected.size() < 150; --i)
            expected.push_back(prefix + std::to_string(i));
    }
    EXPECT_EQ(Names(Header(manager_, "http://a.b.c.pl/")), expected);

    // A cookie that would pass the limit is left out; smaller ones after it still go.
    TIdCookieManager manager;
    manager.AddSetCookie("tiny=1; path=/", "h");
    manager.AddSetCookie("big=" + std::string(9000, 'x') + "; path=/a/", "h");
    for (int i = 0; i < 10; ++i)
        manager.AddSetCookie("c" + std::to_string(i) + "=" + std::string(1000, 'v') + "; path=/", "h");
    const std::string header = Header(manager, "http://h/a/");
    EXPECT_LE(header.size(), TIdCookieManager::MaxCookieHeader);
    EXPECT_EQ(Names(header),
              (std::vector<std::string>{"c9", "c8", "c7", "c6", "c5", "c4", "c3", "c2", "tiny"}));
}

TEST_F(CookieStore, ADomainKeepsItsFiftyNewestCookies) {
    StoreMany(manager_, "h", "c", 50);
    manager_.AddSetCookie("c0=2; path=/", "h");  // set again: now the newest, in its old place
    StoreMany(manager_, "h", "d", 2);
    std::string expected = "h:c0=2";
    for (int i = 3; i < 50; ++i)
        expected += " h:c" + std::to_string(i) + "=1";
    EXPECT_EQ(Stored(manager_), expected + " h:d0=1 h:d1=1");
    EXPECT_EQ(manager_.CookieCollection().Count(), 50);
    // Another domain has bounds of its own.
    StoreMany(manager_, "x.h", "c", 3);
    EXPECT_EQ(manager_.CookieCollection().Count(), 53);
}

TEST_F(CookieStore, TheStoreKeepsItsNewest3000Cookies) {
    for (int host = 0; host <= 60; ++host)
        StoreMany(manager_, "h" + std::to_string(host) + ".pl", "c", 50);
    EXPECT_EQ(manager_.CookieCollection().Count(), TIdCookies::MaxCookies);
    manager_.AddSetCookie("c0=2; path=/", "h1.pl");
    StoreMany(manager_, "h61.pl", "c", 1);
    EXPECT_EQ(manager_.CookieCollection().Count(), TIdCookies::MaxCookies);
    TIdCookieLock lock(manager_.CookieCollection(), TIdAccessMode::AccessRead);
    const TIdCookieDomains& domains = lock.Domains();
    ASSERT_EQ(domains.Count(), 62);  // domains keep their place, emptied or not
    EXPECT_EQ(domains.Domains(0), "h0.pl");
    EXPECT_EQ(domains.Cookies(0).Count(), 0);
    // The oldest went: h1.pl's c1, not c0, which was set again.
    const TIdCookieList& h1 = domains.Cookies(1);
    ASSERT_EQ(h1.Count(), 49);
    EXPECT_EQ(h1.Names(0), "c0");
    EXPECT_EQ(h1.Names(1), "c2");
    EXPECT_EQ(domains.Cookies(61).Count(), 1);
}

TEST(CookieManagerEvents, CreateNewCookieAndDestroy) {
    ScopedTimeZone zone("UTC");
    std::vector<std::string> events;
    TIdCookies* created = nullptr;
    {
        TIdCookieManager manager([&](TIdCookieManager*, TIdCookies& cookies) {
            events.push_back("create");
            created = &cookies;
        });
        EXPECT_EQ(created, &manager.CookieCollection());
        manager.OnNewCookie = [&](TIdCookieManager* sender, TIdCookieRFC2109* cookie, bool& accept) {
            EXPECT_EQ(sender, &manager);
            EXPECT_TRUE(accept);
            events.push_back("new " + cookie->CookieName());
            accept = cookie->CookieName() != "refused";
        };
        manager.OnDestroy = [&](TIdCookieManager*, TIdCookies& cookies) {
            events.push_back("destroy " + std::to_string(cookies.Count()));
        };
        manager.AddSetCookie("kept=1; path=/", "h");
        manager.AddSetCookie("refused=1; path=/", "h");
        manager.AddSetCookie("foreign=1; path=/; domain=other.pl", "h");
        manager.AddSetCookie("stale=1; path=/; expires=" + FormatInternetDate(Now() - 1), "h");
        EXPECT_EQ(Header(manager, "http://h/"), "kept=1");
        manager.AddSetCookie("stale=1; path=/; expires=" + FormatInternetDate(Now() - 1), "h");
    }
    // The sweep before OnDestroy has already taken the stale cookie.
    const std::vector<std::string> expected = {"create",    "new kept",  "new refused",
                                               "new stale", "new stale", "destroy 1"};
    EXPECT_EQ(events, expected);
}

// Names seen twice in one header would mean a list changed under a reader.
bool HasRepeatedName(const std::string& header) {
    std::vector<std::string> names;
    for (std::size_t start = 0; start < header.size();) {
        const std::size_t end = std::min(header.find("; ", start), header.size());
        const std::string name = header.substr(start, header.find('=', start) - start);
        if (std::find(names.begin(), names.end(), name) != names.end())
            return true;
        names.push_back(name);
        start = end + 2;
    }
    return false;
}

TEST(CookieManagerThreads, ReadersAndWritersShareTheStore) {
    ScopedTimeZone zone("UTC");
    TIdCookieManager manager;
    std::atomic<bool> repeated{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&manager, &repeated, t] {
            for (int i = 0; i < 200; ++i) {
                const std::string name = "c" + std::to_string(i % 50);
                if (t % 2 == 0) {
                    manager.AddSetCookie(name + "=v; path=/", "h");
                    manager.AddSetCookie(name + "=w; path=/; expires=" + FormatInternetDate(Now() - 1), "h");
                } else if (HasRepeatedName(Header(manager, "http://h/"))) {
                    repeated = true;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(repeated);
    // Every name's last store was an expired one.
    EXPECT_EQ(Header(manager, "http://h/"), "");
    EXPECT_EQ(manager.CookieCollection().Count(), 0);
}

}  // namespace
}  // namespace w20

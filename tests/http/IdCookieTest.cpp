#include "http/IdCookie.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/DateTime.h"
#include "base/Exception.h"
#include "http/InternetDate.h"
#include "net/IdException.h"
#include "tests/http/ScopedTimeZone.h"

namespace w20 {
namespace {

using test::ScopedTimeZone;

template <class Cookie = TIdCookieRFC2109>
std::unique_ptr<Cookie> Parsed(const std::string& text) {
    auto cookie = std::make_unique<Cookie>();
    cookie->ParseCookieText(text);
    return cookie;
}

TEST(TIdCookie, ParsesThePairAndTheAttributes) {
    const struct {
        const char* text;
        const char* name;
        const char* value;
        const char* path;
        const char* domain;
        bool secure;
    } cases[] = {
        {"SID=abc; path=/; domain=.b.c", "SID", "abc", "/", ".b.c", false},
        {"SID=abc", "SID", "abc", "", "", false},
        {"a=b=c; Path=/x/", "a", "b=c", "/x/", "", false},
        {"a=1; PATH=\"/q/\"", "a", "1", "/q/", "", false},
        {"a=1; path=\"/q/", "a", "1", "/q/", "", false},
        {"a=1; path=\"", "a", "1", "", "", false},
        {"a=1; path=/first; path=/second", "a", "1", "/first", "", false},
        {"a=1;secure;DoMaIn=x.y", "a", "1", "", "x.y", true},
        {"a=1; secure=yes", "a", "1", "", "", false},
        {"  a = 1 ;  path=/  ", "a ", " 1", "/", "", false},
        {"flag", "flag", "", "", "", false},
        {"a=;path=/", "a", "", "/", "", false},
        {";path=/", "", "", "/", "", false},
        // Without ";" every text line is an entry of its own.
        {"a=1\r\npath=/l/\nsecure", "a", "1", "/l/", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto cookie = Parsed(c.text);
        EXPECT_EQ(cookie->CookieText(), c.text);
        EXPECT_EQ(cookie->CookieName(), c.name);
        EXPECT_EQ(cookie->Value(), c.value);
        EXPECT_EQ(cookie->Path(), c.path);
        EXPECT_EQ(cookie->Domain(), c.domain);
        EXPECT_EQ(cookie->Secure(), c.secure);
    }
}

TEST(TIdCookie, ExpiryAndMaxAgeDecideTheKind) {
    ScopedTimeZone zone("Europe/Warsaw");
    const std::string future = FormatInternetDate(Now() + 10);
    const struct {
        std::string text;
        TIdCookieKind kind;
        std::int64_t minMaxAge, maxMaxAge;  // -1 both: exactly -1
        bool hasExpires;
    } cases[] = {
        {"a=1; expires=" + future, ckRFC2109, -1, -1, true},
        {"a=1; expires=" + future + "; max-age=77", ckRFC2109, 77, 77, true},
        {"a=1", ckNetscape, -1, -1, false},
        {"a=1; max-age=3600", ckNetscape, 3598, 3600, true},
        {"a=1; max-age=0", ckNetscape, -2, 0, true},
        {"a=1; max-age=-5", ckNetscape, -5, -5, false},
        {"a=1; max-age=soon", ckNetscape, -1, -1, false},
        {"a=1; expires=whenever", ckRFC2109, -1, -1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto cookie = Parsed(c.text);
        EXPECT_EQ(cookie->CookieKind(), c.kind);
        EXPECT_GE(cookie->MaxAge(), c.minMaxAge);
        EXPECT_LE(cookie->MaxAge(), c.maxMaxAge);
        EXPECT_EQ(!cookie->Expires().empty(), c.hasExpires);
    }
    EXPECT_EQ(Parsed<TIdCookieRFC2965>("a=1; expires=" + future)->CookieKind(), ckRFC2965);
}

TEST(TIdCookie, MaxAgeSetsAnExpiryThatReadsBack) {
    ScopedTimeZone zone("Asia/Kolkata");
    const double days = InternetDateToLocal(Parsed("a=1; max-age=86400")->Expires()) - Now();
    EXPECT_NEAR(days, 1.0, 2 / SecsPerDay);
    // Ages past the last date the calendar holds stop there instead of wrapping.
    EXPECT_GT(InternetDateToLocal(Parsed("a=1; max-age=9223372036854775807")->Expires()), MaxDateTime - 1);
}

TEST(TIdCookie, SetExpiryWorksOutMaxAgeFromTheDate) {
    ScopedTimeZone zone("UTC");
    TIdCookieRFC2109 cookie;
    cookie.SetExpiry(FormatInternetDate(Now() + 100.0 / SecsPerDay));
    EXPECT_GE(cookie.MaxAge(), 98);
    EXPECT_LE(cookie.MaxAge(), 100);
    cookie.SetExpiry("");
    EXPECT_EQ(cookie.Expires(), "");
    EXPECT_GE(cookie.MaxAge(), 98);
    // An unreadable date still converts (to a date long past); it never raises.
    cookie.SetExpiry("not a date");
    EXPECT_EQ(cookie.Expires(), "not a date");
    EXPECT_LT(cookie.MaxAge(), 0);
}

TEST(TIdCookie, SameTextParsedAgainChangesNothing) {
    TIdCookieRFC2109 cookie;
    cookie.ParseCookieText("a=1; path=/");
    cookie.SetValue("changed");
    cookie.ParseCookieText("a=1; path=/");
    EXPECT_EQ(cookie.Value(), "changed");
    cookie.ParseCookieText("b=2");
    EXPECT_EQ(cookie.CookieName(), "b");
    EXPECT_EQ(cookie.Path(), "");
}

TEST(TIdCookie, DomainCheckAgainstTheRequestHost) {
    const struct {
        const char* host;
        const char* domain;
        bool valid;
    } cases[] = {
        {"a.b.c", "a.b.c", true},
        {"a.b.c", ".b.c", true},
        {"a.b.c", "b.c", false},
        {"a.b.c", ".c", false},
        {"a.b.c", "A.B.C", false},
        {"a.b.c", ".B.C", false},
        {"a.b.c", "x.b.c", false},
        {"10.0.0.1", "10.0.0.1", true},
        {"10.0.0.1", ".0.0.1", false},
        {"10.0.0.1", "10.0.0.2", false},
        {"::ffff:10.0.0.1", ".0.0.1", false},  // an IPv6 address has no parent domains either
        {"::1", "::1", true},
        {"localhost", "localhost", true},
        {"localhost", ".localhost", false},
        {".b.c", ".B.C", true},
        // A public suffix would reach every site under it; the host may set its own name.
        {"a.com", ".com", false},
        {".com", ".COM", false},
        {"a.b.com", ".b.com", true},
        {"shop.com.pl", ".com.pl", false},
        {"com.pl", "com.pl", true},
    };
    for (const auto& c : cases) {
        TIdCookieRFC2109 cookie;
        cookie.SetDomain(c.domain);
        EXPECT_EQ(cookie.IsValidForHost(c.host), c.valid) << c.host << " / " << c.domain;
    }
}

TEST(TIdCookie, BuildsItsTextForm) {
    ScopedTimeZone zone("UTC");
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"a=1; path=/; domain=h; secure", "a=1; path=/; domain=h; secure"},
        {"a=; path=/", "path=/"},
        {"a=1; comment=hi; version=1", "a=1; comment=hi; version=1"},
        {"a=1; expires=Sun, 06 Nov 1994 08:49:37 GMT", "a=1"},
        {"a=1; max-age=-3", "a=1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parsed(c.text)->BuildCookieText(), c.expected) << c.text;
    const std::string aged = Parsed("a=1; max-age=60")->BuildCookieText();
    EXPECT_EQ(aged.rfind("a=1; expires=", 0), 0u) << aged;
}

TEST(TIdCookie, PortListOfSetCookie2) {
    const struct {
        const char* text;
        std::vector<std::int32_t> ports;
    } cases[] = {
        {"a=1", {80}},
        {"a=1; Port", {80}},
        {"a=1; Port=", {80}},
        {"a=1; Port=\"8080\"", {8080}},
        {"a=1; port=\"80, 8080,81 82\"", {80, 8080, 81, 82}},
        {"a=1; Port=\"\"", {80}},
        {"a=1; Port=\" , \"", {80}},
        {"a=1; Port=8080", {}},
    };
    for (const auto& c : cases) {
        const auto cookie = Parsed<TIdCookieRFC2965>(c.text);
        std::vector<std::int32_t> ports;
        for (int i = 0; i < cookie->PortCount(); ++i)
            ports.push_back(cookie->Port(i));
        EXPECT_EQ(ports, c.ports) << c.text;
    }
    try {
        Parsed<TIdCookieRFC2965>("a=1; Port=\"80,abc\"");
        ADD_FAILURE() << "non-numeric port accepted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
}

TEST(TIdCookie, Rfc2965Attributes) {
    const auto cookie =
        Parsed<TIdCookieRFC2965>("a=1; CommentURL=http://h/c; Discard; Comment=c; Version=\"1\"");
    EXPECT_EQ(cookie->CommentURL(), "http://h/c");
    EXPECT_TRUE(cookie->Discard());
    EXPECT_EQ(cookie->Comment(), "c");
    EXPECT_EQ(cookie->Version(), "\"1\"");
}

TEST(TIdCookie, PortEntriesAreSetWithinOneEntryPastTheEnd) {
    TIdCookieRFC2965 cookie;
    cookie.ParseCookieText("a=1");
    cookie.SetPort(1, 81);
    cookie.SetPort(0, 79);
    EXPECT_EQ(cookie.PortCount(), 2);
    EXPECT_EQ(cookie.Port(0), 79);
    EXPECT_EQ(cookie.Port(1), 81);
    for (int index : {3, -1}) {
        try {
            cookie.SetPort(index, 1);
            ADD_FAILURE() << index;
        } catch (const EIdException& e) {
            EXPECT_EQ(e.Message(), "Index out of range.");
        }
    }
    EXPECT_THROW(cookie.Port(2), EIdException);
    EXPECT_EQ(cookie.PortCount(), 2);
}

}  // namespace
}  // namespace w20

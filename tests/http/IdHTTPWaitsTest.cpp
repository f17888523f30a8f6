#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "http/IdHTTP.h"
#include "http/ProxySettings.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "tests/http/HttpClientSupport.h"
#include "tests/support/FullBacklogListener.h"
#include "tests/support/ScriptedServer.h"

// No wait of a call on a hostile or stalled server is endless: the connect, the read and the whole
// call each have a limit, and each ends the call with its own message.
namespace w20 {
namespace {

using test::GetOutcome;
using test::HttpOk;
using test::Millis;
using test::MillisecondsSince;
using test::Script;
using test::ScriptedServer;

// The tool's client with short limits, so that the rows end soon.
constexpr std::int32_t ConnectLimit = 300;
constexpr std::int32_t ReadLimit = 500;
constexpr std::int32_t RequestLimit = 1500;
const std::string RequestTimedOut = "!EIdHTTPRequestTimeout: Request not completed within 1.5 seconds.";

struct LimitedClient : TIdHTTP {
    TIdSSLIOHandlerSocket tls;
    explicit LimitedClient(std::shared_ptr<const TIdProxySettings> proxies = nullptr) {
        ConfigureQuoteClient(*this, tls, std::move(proxies));
        SetConnectTimeout(ConnectLimit);
        SetReadTimeout(ReadLimit);
        SetRequestTimeout(RequestLimit);
    }
};

// A page that takes minutes to drip out.
const std::string LongPage(2000, 'p');

// Redirects to the next target, each only after a pause shorter than the read limit.
Script SlowRedirects() {
    Script script;
    for (int i = 0; i < 15; ++i) {
        script.push_back(test::WaitRequest());
        script.push_back(test::Pause(Millis(300)));
        script.push_back(test::Send(
            test::HttpResponse("HTTP/1.1 302 Found", {"Location: /next", "Content-Length: 0"}, "")));
    }
    return script;
}

TEST(IdHTTPWaits, HostilePeersEndWithinTheirLimits) {
    struct Row {
        std::string name;
        std::optional<Script> script;  // none: a listener whose backlog is full
        std::string outcome;
        long minimumMs;
        long maximumMs;
    };
    const std::vector<Row> rows = {
        {"accepts and never answers", Script{test::WaitRequest(), test::Silent(Millis(4000))},
         "!EIdReadTimeout: Read Timeout", ReadLimit - 20, ReadLimit + 700},
        {"one byte at a time",
         Script{test::WaitRequest(), test::Drip("HTTP/1.1 200 OK\r\n\r\n" + LongPage, Millis(100))},
         RequestTimedOut, RequestLimit - 20, RequestLimit + 700},
        {"100 Continue for ever",
         Script{test::WaitRequest(), test::SendRepeated("HTTP/1.1 100 Continue\r\n\r\n", 100000000)},
         RequestTimedOut, RequestLimit - 20, RequestLimit + 700},
        {"error page dripping",
         Script{test::WaitRequest(), test::Send("HTTP/1.1 404 Not Found\r\n\r\n"),
                test::Drip(LongPage, Millis(100))},
         RequestTimedOut, RequestLimit - 20, RequestLimit + 700},
        // The short limits of error and dropped bodies (2 s, 4 s) are cut by the whole call's.
        {"error page stalled",
         Script{test::WaitRequest(), test::Send("HTTP/1.1 404 Not Found\r\n\r\npartial"),
                test::Silent(Millis(4000))},
         RequestTimedOut, RequestLimit - 20, RequestLimit + 400},
        {"redirect body stalled",
         Script{test::WaitRequest(), test::Send("HTTP/1.1 302 Found\r\nLocation: /b\r\n\r\nslow"),
                test::Silent(Millis(5000))},
         RequestTimedOut, RequestLimit - 20, RequestLimit + 700},
        {"redirects, each in time", SlowRedirects(), RequestTimedOut, RequestLimit - 20, RequestLimit + 700},
        {"full listen backlog", std::nullopt, "!EIdConnectTimeout: Connect timed out.", ConnectLimit - 20,
         ConnectLimit + 700},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<ScriptedServer> server;
        std::optional<test::FullBacklogListener> backlog;
        std::string url;
        if (row.script) {
            server.emplace(std::vector<Script>{*row.script},
                           test::ScriptedServerOptions{.waitBound = Millis(6000)});
            url = server->Url("/q.php");
        } else {
            backlog.emplace();
            ASSERT_TRUE(backlog->Full()) << "the kernel answers every connect: no unanswered one to time out";
            url = "http://127.0.0.1:" + std::to_string(backlog->Port()) + "/q.php";
        }
        LimitedClient http;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(GetOutcome(http, url), row.outcome);
        const long elapsed = MillisecondsSince(start);
        EXPECT_GE(elapsed, row.minimumMs);
        EXPECT_LT(elapsed, row.maximumMs);
        EXPECT_FALSE(http.Connected());

        // The client is ready for the next call, with the whole limit again.
        ScriptedServer good({{test::WaitRequest(), test::Pause(Millis(200)), test::Send(HttpOk("next"))}});
        EXPECT_EQ(GetOutcome(http, good.Url("/q.php")), "next");
    }
}

// Settings whose first answer takes 1.2 s, every later one none at once.
struct StalledProxySettings : TIdProxySettings {
    std::optional<TIdProxy> ForUrl(const std::string& /*url*/) const override {
        if (asked++ == 0)
            std::this_thread::sleep_for(Millis(1200));
        return std::nullopt;
    }
    mutable std::atomic<int> asked = 0;
};

// A stalled proxy lookup ends the call within the connect limit or the deadline, or when the idle
// hook raises; it goes on meanwhile, and its answer serves the next call without a second question.
TEST(IdHTTPWaits, AStalledProxyLookupEndsWithinTheLimits) {
    const struct Row {
        std::int32_t connectLimit, requestLimit;
        bool hookRaises;
        long expectedMs;
        std::string outcome;
    } rows[] = {{ConnectLimit, RequestLimit, false, ConnectLimit, "!EIdConnectTimeout: Connect timed out."},
                {0, 500, false, 500, "!EIdHTTPRequestTimeout: Request not completed within 0.5 seconds."},
                {0, 0, true, TIdIOHandlerSocket::IdleStep, "!EIdException: window closed"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.outcome);
        ScriptedServer server({{test::WaitRequest(), test::Send(HttpOk("bars"))}});
        const auto settings = std::make_shared<StalledProxySettings>();
        LimitedClient http(settings);
        http.SetConnectTimeout(row.connectLimit);
        http.SetRequestTimeout(row.requestLimit);
        const auto start = std::chrono::steady_clock::now();
        http.OnIdle = [&row] {
            if (row.hookRaises)
                throw EIdException("window closed");
        };
        EXPECT_EQ(GetOutcome(http, server.Url("/q.php")), row.outcome);
        EXPECT_GE(MillisecondsSince(start), row.expectedMs - 20);
        EXPECT_LT(MillisecondsSince(start), row.expectedMs + 700);
        std::this_thread::sleep_until(start + Millis(1300));
        EXPECT_EQ(GetOutcome(http, server.Url("/q.php")), "bars");
        EXPECT_EQ(settings->asked, 1);
    }
}

TEST(IdHTTPWaits, TheToolsClientHasItsLimits) {
    TIdSSLIOHandlerSocket tls;
    TIdHTTP http;
    ConfigureQuoteClient(http, tls);
    EXPECT_EQ(http.ConnectTimeout(), 10000);
    EXPECT_EQ(http.ReadTimeout(), 30000);
    EXPECT_EQ(http.RequestTimeout(), 60000);
    EXPECT_STREQ(EIdHTTPRequestTimeout(http.RequestTimeout()).what(),
                 "Request not completed within 60 seconds.");
}

// A client with its own defaults has none of these limits: it waits for as long as the server
// takes, here longer than every limit of the rows above.
TEST(IdHTTPWaits, DefaultsWaitAsLongAsTheServerTakes) {
    struct Row {
        std::string name;
        Script script;
        std::string outcome;
        long minimumMs;
    };
    const std::vector<Row> rows = {
        {"silence, then the answer",
         {test::WaitRequest(), test::Pause(Millis(2000)), test::Send(HttpOk("late"))},
         "late",
         1900},
        {"one byte at a time", {test::WaitRequest(), test::Drip(HttpOk("slow"), Millis(50))}, "slow", 1800},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server({row.script}, {.waitBound = Millis(6000)});
        TIdHTTP http;
        EXPECT_EQ(http.RequestTimeout(), 0);
        EXPECT_EQ(http.ConnectTimeout(), 0);
        EXPECT_EQ(http.ReadTimeout(), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(GetOutcome(http, server.Url("/q.php")), row.outcome);
        EXPECT_GE(MillisecondsSince(start), row.minimumMs);
    }
}

}  // namespace
}  // namespace w20

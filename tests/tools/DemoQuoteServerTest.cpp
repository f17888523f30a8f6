#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackClient.h"

namespace w20::test {
namespace {

using std::chrono::milliseconds;

// The built service as a child process on a free port.
class DemoQuoteServer {
public:
    explicit DemoQuoteServer(const std::vector<std::string>& arguments = {})
        : process_(Arguments(arguments)) {
        auto line = process_.ReadOutputLine(milliseconds(5000));
        if (!line || !line->starts_with("listening on 127.0.0.1:"))
            throw std::runtime_error("the demo quote service did not start: " + line.value_or("(no output)"));
        port_ = static_cast<std::uint16_t>(std::stoi(line->substr(line->rfind(':') + 1)));
    }

    std::uint16_t Port() const { return port_; }
    ChildProcess& Process() { return process_; }

private:
    static std::vector<std::string> Arguments(const std::vector<std::string>& arguments) {
        std::vector<std::string> all = {W20_DEMO_QUOTE_SERVER};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return all;
    }

    ChildProcess process_;
    std::uint16_t port_ = 0;
};

// The query exactly as the tool builds it: nothing escaped.
std::string QuoteTarget(const std::string& date, const std::string& instrument, int seconds) {
    return "/quotes.php?data_notowania=" + date + "&nazwa_instrumentu=" + instrument +
           "&mst_omg=mst&time_period_l=fmin&time_period=" + std::to_string(seconds) + "&send=on";
}

std::string Get(const std::string& target, const std::string& headers = "",
                const std::string& version = "HTTP/1.1") {
    return "GET " + target + " " + version + "\r\nHost: 127.0.0.1\r\nAccept: text/html, */*\r\n" + headers +
           "\r\n";
}

std::vector<std::string> BodyLines(const std::string& body) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = body.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(body.substr(start, end - start));
    EXPECT_EQ(start, body.size()) << "the last line has no CR LF";
    return lines;
}

// Bars as numbers: time in minutes, prices in hundredths.
struct ParsedBar {
    int minute;
    long long open, high, low, close, volume;
};

std::vector<ParsedBar> ParseBars(const std::string& body, const std::string& ticker, int minutes,
                                 const std::string& date) {
    std::vector<std::string> lines = BodyLines(body);
    EXPECT_FALSE(lines.empty());
    if (lines.empty())
        return {};
    EXPECT_EQ(lines[0], "Ticker,Interval,Date,Time,Open,High,Low,Close,Volume");
    const std::regex form(ticker + "," + std::to_string(minutes) + "," + date +
                          R"(,(\d\d)(\d\d)00,(\d+)\.(\d\d),(\d+)\.(\d\d),(\d+)\.(\d\d),(\d+)\.(\d\d),(\d+))");
    std::vector<ParsedBar> bars;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::smatch m;
        if (!std::regex_match(lines[i], m, form)) {
            ADD_FAILURE() << "line " << i << ": " << lines[i];
            continue;
        }
        auto price = [&](int at) { return std::stoll(m[at]) * 100 + std::stoll(m[at + 1]); };
        bars.push_back({std::stoi(m[1]) * 60 + std::stoi(m[2]), price(3), price(5), price(7), price(9),
                        std::stoll(m[11])});
    }
    return bars;
}

class DemoQuoteServerTest : public testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<DemoQuoteServer>(); }
    static void TearDownTestSuite() { server_.reset(); }

    static HttpAnswer Fetch(const std::string& request, std::uint16_t port = 0) {
        LoopbackClient client(port != 0 ? port : server_->Port());
        client.Send(request);
        auto answer = client.ReadAnswer();
        if (!answer)
            throw std::runtime_error("no answer to: " + request);
        return *answer;
    }
    static std::string Body(const std::string& date, const std::string& instrument, int seconds) {
        HttpAnswer answer = Fetch(Get(QuoteTarget(date, instrument, seconds)));
        EXPECT_EQ(answer.status, 200) << answer.body;
        return answer.body;
    }

    static std::unique_ptr<DemoQuoteServer> server_;
};

std::unique_ptr<DemoQuoteServer> DemoQuoteServerTest::server_;

TEST_F(DemoQuoteServerTest, ASessionOfWellFormedBarsForEveryInterval) {
    const struct {
        int seconds;
        int minutes;
        std::size_t bars;
    } cases[] = {{300, 5, 96}, {900, 15, 32}, {1800, 30, 16}};
    for (const auto& c : cases) {
        for (const std::string instrument : {"W20", "FW20"}) {
            SCOPED_TRACE(instrument + " " + std::to_string(c.seconds) + " s");
            HttpAnswer answer = Fetch(Get(QuoteTarget("2026-12-07", instrument, c.seconds)));
            EXPECT_EQ(answer.statusLine, "HTTP/1.1 200 OK");
            EXPECT_EQ(answer.Header("Content-Type"), "text/plain; charset=windows-1250");
            auto bars = ParseBars(answer.body, instrument, c.minutes, "20261207");
            ASSERT_EQ(bars.size(), c.bars);
            for (std::size_t i = 0; i < bars.size(); ++i) {
                const ParsedBar& bar = bars[i];
                EXPECT_EQ(bar.minute, 9 * 60 + static_cast<int>(i) * c.minutes) << "bar " << i;
                EXPECT_GE(bar.high, std::max(bar.open, bar.close)) << "bar " << i;
                EXPECT_LE(bar.low, std::min(bar.open, bar.close)) << "bar " << i;
                EXPECT_GT(bar.low, 150000) << "bar " << i;  // around 2400, not near zero
                EXPECT_LT(bar.high, 350000) << "bar " << i;
                EXPECT_GT(bar.volume, 0) << "bar " << i;
            }
            EXPECT_EQ(bars.back().minute + c.minutes, 17 * 60);
        }
    }
}

TEST_F(DemoQuoteServerTest, LongerBarsAreTheShorterOnesMerged) {
    for (const std::string instrument : {"W20", "FW20"}) {
        auto five = ParseBars(Body("2026-03-16", instrument, 300), instrument, 5, "20260316");
        for (auto [seconds, minutes] : {std::pair{900, 15}, std::pair{1800, 30}}) {
            auto longer = ParseBars(Body("2026-03-16", instrument, seconds), instrument, minutes, "20260316");
            std::size_t per = static_cast<std::size_t>(minutes / 5);
            ASSERT_EQ(longer.size() * per, five.size());
            for (std::size_t i = 0; i < longer.size(); ++i) {
                const ParsedBar* part = &five[i * per];
                long long high = part[0].high, low = part[0].low, volume = 0;
                for (std::size_t k = 0; k < per; ++k) {
                    high = std::max(high, part[k].high);
                    low = std::min(low, part[k].low);
                    volume += part[k].volume;
                }
                EXPECT_EQ(longer[i].open, part[0].open) << instrument << minutes << " bar " << i;
                EXPECT_EQ(longer[i].close, part[per - 1].close) << instrument << minutes << " bar " << i;
                EXPECT_EQ(longer[i].high, high) << instrument << minutes << " bar " << i;
                EXPECT_EQ(longer[i].low, low) << instrument << minutes << " bar " << i;
                EXPECT_EQ(longer[i].volume, volume) << instrument << minutes << " bar " << i;
            }
        }
    }
}

TEST_F(DemoQuoteServerTest, TheSameQueryGivesTheSameBarsInAnotherRun) {
    DemoQuoteServer second;
    for (const std::string instrument : {"W20", "FW20", "XYZ"}) {
        for (int seconds : {300, 1800}) {
            HttpAnswer answer = Fetch(Get(QuoteTarget("2026-12-07", instrument, seconds)), second.Port());
            EXPECT_EQ(answer.body, Body("2026-12-07", instrument, seconds)) << instrument << " " << seconds;
        }
    }
}

TEST_F(DemoQuoteServerTest, InstrumentsAndDatesGiveDifferentBars) {
    // Everything after the time field, so that only prices and volumes are compared.
    auto prices = [](const std::string& body) {
        std::string all;
        for (const auto& line : BodyLines(body)) {
            std::size_t at = 0;
            for (int comma = 0; comma < 4 && at != std::string::npos; ++comma)
                at = line.find(',', at + 1);
            all += (at == std::string::npos ? line : line.substr(at)) + "\n";
        }
        return all;
    };
    std::set<std::string> seen;
    for (const std::string date : {"2026-12-07", "2026-12-08", "2025-12-07"}) {
        for (const std::string instrument : {"W20", "FW20", "MW40", "FMW40"}) {
            EXPECT_TRUE(seen.insert(prices(Body(date, instrument, 300))).second) << date << " " << instrument;
        }
    }
}

TEST_F(DemoQuoteServerTest, DateFormsOfTheUsersShortDateFormat) {
    const std::string expected = Body("2026-12-07", "W20", 900);
    for (const std::string date : {"7%20Dec%202026", "07.12.2026", "12/7/26", "December%207,%202026",
                                   "07-Dec-26", "20261207", "7+Dec+2026"}) {
        HttpAnswer answer = Fetch(Get(QuoteTarget(date, "W20", 900)));
        EXPECT_EQ(answer.status, 200) << date << ": " << answer.body;
        EXPECT_EQ(answer.body, expected) << date;
    }
}

TEST_F(DemoQuoteServerTest, SessionCookieIsSetOnlyWhenNoneCameWithTheRequest) {
    HttpAnswer first = Fetch(Get(QuoteTarget("2026-12-07", "W20", 300)));
    ASSERT_EQ(first.Headers("Set-Cookie").size(), 1u);
    std::string cookie = first.Headers("Set-Cookie")[0];
    EXPECT_TRUE(std::regex_match(cookie, std::regex("session=[0-9a-f]{16}; path=/"))) << cookie;
    std::string pair = cookie.substr(0, cookie.find(';'));

    struct Case {
        std::string cookieHeader;
        bool setAgain;
    };
    for (const Case& c :
         {Case{"Cookie: " + pair + "\r\n", false}, Case{"Cookie: a=1; " + pair + "\r\n", false},
          Case{"Cookie: other=1\r\n", true}, Case{"Cookie: mysession=1\r\n", true}, Case{"", true}}) {
        HttpAnswer answer = Fetch(Get(QuoteTarget("2026-12-07", "W20", 300), c.cookieHeader));
        EXPECT_EQ(answer.Headers("Set-Cookie").size(), c.setAgain ? 1u : 0u) << c.cookieHeader;
    }
    // Each new session gets its own value.
    EXPECT_NE(Fetch(Get(QuoteTarget("2026-12-07", "W20", 300))).Header("Set-Cookie"), cookie);
}

TEST_F(DemoQuoteServerTest, PipelinedAndDribbledRequestsAreAnsweredInOrder) {
    LoopbackClient client(server_->Port());
    std::string requests = Get(QuoteTarget("2026-12-07", "W20", 1800)) + Get("/nothing") +
                           Get(QuoteTarget("2026-12-07", "FW20", 1800));
    for (char c : requests)
        client.Send(std::string(1, c));
    auto first = client.ReadAnswer();
    auto second = client.ReadAnswer();
    auto third = client.ReadAnswer();
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(first->body, Body("2026-12-07", "W20", 1800));
    EXPECT_EQ(second->status, 404);
    EXPECT_EQ(third->body, Body("2026-12-07", "FW20", 1800));
}

TEST_F(DemoQuoteServerTest, KeepAliveFollowsVersionAndConnectionHeader) {
    const struct {
        const char* version;
        const char* header;
        const char* answered;
        bool closes;
    } cases[] = {
        {"HTTP/1.1", "", "keep-alive", false},
        {"HTTP/1.1", "Connection: close\r\n", "close", true},
        {"HTTP/1.1", "Connection: Keep-Alive, Close\r\n", "close", true},
        {"HTTP/1.0", "", "close", true},
        {"HTTP/1.0", "Connection: keep-alive\r\n", "keep-alive", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.header);
        LoopbackClient client(server_->Port());
        client.Send(Get(QuoteTarget("2026-12-07", "W20", 300), c.header, c.version));
        auto answer = client.ReadAnswer();
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        EXPECT_EQ(answer->Header("Connection"), c.answered);
        EXPECT_EQ(client.Receive(1, milliseconds(c.closes ? 2000 : 100)), "");
        EXPECT_EQ(client.PeerClosed(), c.closes);
        EXPECT_FALSE(client.PeerReset());
        if (!c.closes) {
            client.Send(Get(QuoteTarget("2026-12-07", "FW20", 300)));
            auto next = client.ReadAnswer();
            ASSERT_TRUE(next);
            EXPECT_EQ(next->body, Body("2026-12-07", "FW20", 300));
        }
    }
}

TEST_F(DemoQuoteServerTest, AnswersOtherClientsWhileOneIsHalfWay) {
    LoopbackClient slow(server_->Port());
    std::string request = Get(QuoteTarget("2026-12-07", "W20", 300));
    slow.Send(request.substr(0, 30));
    LoopbackClient quick(server_->Port());
    quick.Send(Get(QuoteTarget("2026-12-07", "FW20", 300)));
    auto quickAnswer = quick.ReadAnswer();
    ASSERT_TRUE(quickAnswer);
    EXPECT_EQ(quickAnswer->status, 200);
    slow.Send(request.substr(30));
    auto slowAnswer = slow.ReadAnswer();
    ASSERT_TRUE(slowAnswer);
    EXPECT_EQ(slowAnswer->body, Body("2026-12-07", "W20", 300));
}

TEST_F(DemoQuoteServerTest, HeadGivesTheHeadOfTheGet) {
    std::string target = QuoteTarget("2026-12-07", "W20", 900);
    LoopbackClient client(server_->Port());
    client.Send("HEAD " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    auto answer = client.ReadAnswer(milliseconds(3000), true);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->Header("Content-Length"), std::to_string(Body("2026-12-07", "W20", 900).size()));
    EXPECT_EQ(client.Receive(1, milliseconds(100)), "");
}

// The quote query without one of its keys.
std::string Without(const std::string& key) {
    std::string target = QuoteTarget("2026-12-07", "W20", 300);
    std::size_t at = target.find(key + "=");
    std::size_t end = target.find('&', at);
    target.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
    return Get(target);
}

TEST_F(DemoQuoteServerTest, RefusalsSayWhatIsWrongInOneLine) {
    const std::string bad = "HTTP/1.1 400 Bad Request";
    const std::string notFound = "HTTP/1.1 404 Not Found";
    const struct {
        std::string request;
        std::string statusLine;
        std::string body;
    } cases[] = {
        {Without("data_notowania"), bad, "missing query key: data_notowania\r\n"},
        {Without("nazwa_instrumentu"), bad, "missing query key: nazwa_instrumentu\r\n"},
        {Without("mst_omg"), bad, "missing query key: mst_omg\r\n"},
        {Without("time_period_l"), bad, "missing query key: time_period_l\r\n"},
        {Without("time_period"), bad, "missing query key: time_period\r\n"},
        {Without("send"), bad, "missing query key: send\r\n"},
        {Get("/quotes.php"), bad, "missing query key: data_notowania\r\n"},
        {Get(QuoteTarget("2026-12-07", "", 300)), bad, "empty instrument name in nazwa_instrumentu\r\n"},
        {Get(QuoteTarget("2026-12-07", "W20", 60)), bad,
         "time_period must be 300, 900 or 1800 seconds, not '60'\r\n"},
        {Get("/quotes.php?data_notowania=2026-12-07&nazwa_instrumentu=W20&mst_omg=mst&time_period_l=fmin"
             "&time_period=&send=on"),
         bad, "time_period must be 300, 900 or 1800 seconds, not ''\r\n"},
        {Get(QuoteTarget("30.02.2026", "W20", 300)), bad,
         "unreadable date in data_notowania: '30.02.2026'\r\n"},
        {Get(QuoteTarget("next%20Monday", "W20", 300)), bad,
         "unreadable date in data_notowania: 'next Monday'\r\n"},
        {Get(QuoteTarget("", "W20", 300)), bad, "unreadable date in data_notowania: ''\r\n"},
        {Get("/"), notFound, "no such page: /\r\n"},
        {Get("/quotes.php/extra?send=on"), notFound, "no such page: /quotes.php/extra\r\n"},
        {Get("/QUOTES.PHP"), notFound, "no such page: /QUOTES.PHP\r\n"},
        {"POST /quotes.php HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", "HTTP/1.1 405 Method Not Allowed",
         "only GET and HEAD are answered here\r\n"},
        {"GARBAGE\r\n\r\n", bad, "malformed request line\r\n"},
        // What real servers refuse: a blank or a control byte in the target, a blank too many.
        {Get(QuoteTarget("8 Dec 2026", "W20", 300)), bad, "malformed request line\r\n"},
        {Get(QuoteTarget("2026-12-08", "W\t20", 300)), bad, "malformed request line\r\n"},
        {Get(QuoteTarget("2026-12-08",
                         "W\x7f"
                         "20",
                         300)),
         bad, "malformed request line\r\n"},
        {"GET  /quotes.php HTTP/1.1\r\n\r\n", bad, "malformed request line\r\n"},
        {"GET /quotes.php HTTP/1.1 \r\n\r\n", bad, "malformed request line\r\n"},
        {" GET /quotes.php HTTP/1.1\r\n\r\n", bad, "malformed request line\r\n"},
        {"get /quotes.php HTTP/1.1\r\n\r\n", bad, "malformed request line\r\n"},
        {"GET /quotes.php HTTP/2.0\r\n\r\n", "HTTP/1.1 505 HTTP Version Not Supported",
         "only HTTP/1.0 and HTTP/1.1 are spoken here\r\n"},
        {"GET / HTTP/1.1\r\nno colon here\r\n\r\n", bad, "malformed header line\r\n"},
        {"GET / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", bad, "malformed Content-Length\r\n"},
        {"GET / HTTP/1.1\r\nHost: a\r\n" + std::string(17000, 'x') + "\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large", "request head longer than 16384 bytes\r\n"},
    };
    for (const auto& c : cases) {
        HttpAnswer answer = Fetch(c.request);
        EXPECT_EQ(answer.statusLine, c.statusLine) << c.request.substr(0, 120);
        EXPECT_EQ(answer.body, c.body) << c.request.substr(0, 120);
    }
}

TEST_F(DemoQuoteServerTest, AnAbsoluteTargetIsReadByItsPath) {
    HttpAnswer answer = Fetch(
        Get("http://127.0.0.1:" + std::to_string(server_->Port()) + QuoteTarget("2026-12-07", "W20", 300)));
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, Body("2026-12-07", "W20", 300));
}

TEST_F(DemoQuoteServerTest, AnUnreadableRequestEndsTheConnection) {
    LoopbackClient client(server_->Port());
    client.Send("GARBAGE\r\n\r\n" + Get(QuoteTarget("2026-12-07", "W20", 300)));
    auto answer = client.ReadAnswer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Header("Connection"), "close");
    EXPECT_EQ(client.ReceiveUntilClosed(), "");
    EXPECT_TRUE(client.PeerClosed());
}

TEST(DemoQuoteServerProcess, StopsCleanlyOnTermAndInterrupt) {
    for (int signal : {SIGTERM, SIGINT}) {
        DemoQuoteServer server;
        LoopbackClient idle(server.Port());  // an open connection must not hold the service up
        auto start = std::chrono::steady_clock::now();
        int status = server.Process().Stop(signal, milliseconds(2000));
        EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1500));
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "signal " << signal;
    }
}

TEST(DemoQuoteServerProcess, ListensOnTheAskedPort) {
    std::uint16_t port = FreeLoopbackPort();
    for (const auto& arguments : {std::vector<std::string>{"--port", std::to_string(port)},
                                  std::vector<std::string>{"--port=" + std::to_string(port)}}) {
        DemoQuoteServer server(arguments);
        EXPECT_EQ(server.Port(), port);
    }
}

TEST(DemoQuoteServerProcess, RefusesUnexpectedArguments) {
    for (const auto& arguments :
         {std::vector<std::string>{"--port"}, std::vector<std::string>{"--port", "70000"},
          std::vector<std::string>{"--port", "x"}, std::vector<std::string>{"--verbose"}}) {
        ChildProcess child({"/bin/sh", "-c",
                            std::string(W20_DEMO_QUOTE_SERVER) + " " + arguments[0] +
                                (arguments.size() > 1 ? " " + arguments[1] : "") + " 2>&1"});
        auto line = child.ReadOutputLine(milliseconds(3000));
        ASSERT_TRUE(line);
        EXPECT_TRUE(line->starts_with("demo-quote-server: unexpected argument")) << *line;
        EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), "usage: demo-quote-server [--port N]");
        for (int i = 0; i < 300 && child.Running(); ++i)
            usleep(10000);
        ASSERT_TRUE(child.WaitStatus());
        EXPECT_EQ(WEXITSTATUS(*child.WaitStatus()), 2);
    }
}

TEST(DemoQuoteServerProcess, ATakenPortFailsClearly) {
    DemoQuoteServer first;
    ChildProcess second(
        {"/bin/sh", "-c",
         std::string(W20_DEMO_QUOTE_SERVER) + " --port " + std::to_string(first.Port()) + " 2>&1"});
    auto line = second.ReadOutputLine(milliseconds(3000));
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "demo-quote-server: cannot listen on 127.0.0.1:" + std::to_string(first.Port()) +
                         ": Address already in use");
}

}  // namespace
}  // namespace w20::test

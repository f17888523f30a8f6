#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <ostream>
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

    static HttpAnswer Fetch(const std::string& request) {
        LoopbackClient client(server_->Port());
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

struct IntervalCase {
    int seconds;
    int minutes;
    std::size_t bars;
};

void PrintTo(const IntervalCase& c, std::ostream* out) {
    *out << c.seconds << " s";
}

class DemoQuoteIntervals : public DemoQuoteServerTest, public testing::WithParamInterface<IntervalCase> {};

TEST_P(DemoQuoteIntervals, ASessionOfWellFormedBars) {
    const IntervalCase& c = GetParam();
    for (const std::string instrument : {"W20", "FW20"}) {
        HttpAnswer answer = Fetch(Get(QuoteTarget("2026-12-07", instrument, c.seconds)));
        EXPECT_EQ(answer.statusLine, "HTTP/1.1 200 OK");
        EXPECT_EQ(answer.Header("Content-Type"), "text/plain; charset=windows-1250");
        auto bars = ParseBars(answer.body, instrument, c.minutes, "20261207");
        ASSERT_EQ(bars.size(), c.bars) << instrument;
        for (std::size_t i = 0; i < bars.size(); ++i) {
            const ParsedBar& bar = bars[i];
            EXPECT_EQ(bar.minute, 9 * 60 + static_cast<int>(i) * c.minutes) << instrument << " bar " << i;
            EXPECT_GE(bar.high, std::max(bar.open, bar.close)) << instrument << " bar " << i;
            EXPECT_LE(bar.low, std::min(bar.open, bar.close)) << instrument << " bar " << i;
            EXPECT_GT(bar.low, 150000) << instrument << " bar " << i;  // around 2400, not near zero
            EXPECT_LT(bar.high, 350000) << instrument << " bar " << i;
            EXPECT_GT(bar.volume, 0) << instrument << " bar " << i;
        }
        EXPECT_EQ(bars.back().minute + c.minutes, 17 * 60) << instrument;
    }
}

INSTANTIATE_TEST_SUITE_P(DemoQuoteServer, DemoQuoteIntervals,
                         testing::Values(IntervalCase{300, 5, 96}, IntervalCase{900, 15, 32},
                                         IntervalCase{1800, 30, 16}),
                         [](const auto& info) { return std::to_string(info.param.seconds); });

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
            LoopbackClient client(second.Port());
            client.Send(Get(QuoteTarget("2026-12-07", instrument, seconds)));
            auto answer = client.ReadAnswer();
            ASSERT_TRUE(answer);
            EXPECT_EQ(answer->body, Body("2026-12-07", instrument, seconds)) << instrument << " " << seconds;
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

TEST_F(DemoQuoteServerTest, FuturesTradeInWholePointsAndIndexPricesSometimesDo) {
    int wholeIndexPrices = 0, fractionalIndexPrices = 0;
    for (const std::string date : {"2026-12-07", "2026-12-08", "2026-12-09", "2026-12-10", "2026-12-11"}) {
        for (const auto& bar : ParseBars(Body(date, "W20", 300), "W20", 5,
                                         date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2))) {
            for (long long price : {bar.open, bar.high, bar.low, bar.close})
                (price % 100 == 0 ? wholeIndexPrices : fractionalIndexPrices)++;
        }
        auto future = ParseBars(Body(date, "FW20", 300), "FW20", 5,
                                date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2));
        for (const auto& bar : future) {
            for (long long price : {bar.open, bar.high, bar.low, bar.close})
                EXPECT_EQ(price % 100, 0) << date;
        }
    }
    EXPECT_GT(wholeIndexPrices, 0);
    EXPECT_GT(fractionalIndexPrices, wholeIndexPrices * 10);
}

TEST_F(DemoQuoteServerTest, DateFormsOfTheUsersShortDateFormat) {
    const std::string expected = Body("2026-12-07", "W20", 900);
    for (const std::string date : {"7 Dec 2026", "07.12.2026", "12/7/26", "December 7, 2026", "07-Dec-26",
                                   "20261207", "7%20Dec%202026", "7+Dec+2026"}) {
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

TEST_F(DemoQuoteServerTest, KeepsTheConnectionForTheNextRequest) {
    LoopbackClient client(server_->Port());
    client.Send(Get(QuoteTarget("2026-12-07", "W20", 300)));
    auto first = client.ReadAnswer();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Header("Connection"), "keep-alive");
    EXPECT_EQ(client.Receive(1, milliseconds(100)), "");
    EXPECT_FALSE(client.PeerClosed());
    client.Send(Get(QuoteTarget("2026-12-07", "FW20", 300)));
    auto second = client.ReadAnswer();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->body, Body("2026-12-07", "FW20", 300));
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

struct ConnectionCase {
    std::string version;
    std::string header;
    std::string answered;
    bool closes;
};

void PrintTo(const ConnectionCase& c, std::ostream* out) {
    *out << c.version << " " << c.header;
}

class DemoQuoteConnections : public DemoQuoteServerTest,
                             public testing::WithParamInterface<ConnectionCase> {};

TEST_P(DemoQuoteConnections, KeepAliveFollowsVersionAndConnectionHeader) {
    const ConnectionCase& c = GetParam();
    LoopbackClient client(server_->Port());
    client.Send(Get(QuoteTarget("2026-12-07", "W20", 300), c.header, c.version));
    auto answer = client.ReadAnswer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->Header("Connection"), c.answered);
    EXPECT_EQ(client.Receive(1, milliseconds(c.closes ? 2000 : 100)), "");
    EXPECT_EQ(client.PeerClosed(), c.closes);
    EXPECT_FALSE(client.PeerReset());
}

INSTANTIATE_TEST_SUITE_P(
    DemoQuoteServer, DemoQuoteConnections,
    testing::Values(ConnectionCase{"HTTP/1.1", "", "keep-alive", false},
                    ConnectionCase{"HTTP/1.1", "Connection: close\r\n", "close", true},
                    ConnectionCase{"HTTP/1.1", "Connection: Keep-Alive, Close\r\n", "close", true},
                    ConnectionCase{"HTTP/1.0", "", "close", true},
                    ConnectionCase{"HTTP/1.0", "Connection: keep-alive\r\n", "keep-alive", false}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

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

struct RefusalCase {
    std::string request;
    std::string statusLine;
    std::string body;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.request.substr(0, 120);
}

class DemoQuoteRefusals : public DemoQuoteServerTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(DemoQuoteRefusals, SayWhatIsWrongInOneLine) {
    HttpAnswer answer = Fetch(GetParam().request);
    EXPECT_EQ(answer.statusLine, GetParam().statusLine);
    EXPECT_EQ(answer.body, GetParam().body);
}

std::string Without(const std::string& key) {
    std::string target = QuoteTarget("2026-12-07", "W20", 300);
    std::size_t at = target.find(key + "=");
    std::size_t end = target.find('&', at);
    target.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
    return Get(target);
}

const std::string BadRequest = "HTTP/1.1 400 Bad Request";

INSTANTIATE_TEST_SUITE_P(
    DemoQuoteServer, DemoQuoteRefusals,
    testing::Values(
        RefusalCase{Without("data_notowania"), BadRequest, "missing query key: data_notowania\r\n"},
        RefusalCase{Without("nazwa_instrumentu"), BadRequest, "missing query key: nazwa_instrumentu\r\n"},
        RefusalCase{Without("mst_omg"), BadRequest, "missing query key: mst_omg\r\n"},
        RefusalCase{Without("time_period_l"), BadRequest, "missing query key: time_period_l\r\n"},
        RefusalCase{Without("time_period"), BadRequest, "missing query key: time_period\r\n"},
        RefusalCase{Without("send"), BadRequest, "missing query key: send\r\n"},
        RefusalCase{Get("/quotes.php"), BadRequest, "missing query key: data_notowania\r\n"},
        RefusalCase{Get(QuoteTarget("2026-12-07", "", 300)), BadRequest,
                    "empty instrument name in nazwa_instrumentu\r\n"},
        RefusalCase{Get(QuoteTarget("2026-12-07", "W20", 60)), BadRequest,
                    "time_period must be 300, 900 or 1800 seconds, not '60'\r\n"},
        RefusalCase{
            Get("/quotes.php?data_notowania=2026-12-07&nazwa_instrumentu=W20&mst_omg=mst&time_period_l=fmin"
                "&time_period=&send=on"),
            BadRequest, "time_period must be 300, 900 or 1800 seconds, not ''\r\n"},
        RefusalCase{Get(QuoteTarget("30.02.2026", "W20", 300)), BadRequest,
                    "unreadable date in data_notowania: '30.02.2026'\r\n"},
        RefusalCase{Get(QuoteTarget("next Monday", "W20", 300)), BadRequest,
                    "unreadable date in data_notowania: 'next Monday'\r\n"},
        RefusalCase{Get(QuoteTarget("", "W20", 300)), BadRequest,
                    "unreadable date in data_notowania: ''\r\n"},
        RefusalCase{Get("/"), "HTTP/1.1 404 Not Found", "no such page: /\r\n"},
        RefusalCase{Get("/quotes.php/extra?send=on"), "HTTP/1.1 404 Not Found",
                    "no such page: /quotes.php/extra\r\n"},
        RefusalCase{Get("/QUOTES.PHP"), "HTTP/1.1 404 Not Found", "no such page: /QUOTES.PHP\r\n"},
        RefusalCase{"POST /quotes.php HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc",
                    "HTTP/1.1 405 Method Not Allowed", "only GET and HEAD are answered here\r\n"},
        RefusalCase{"GARBAGE\r\n\r\n", BadRequest, "malformed request line\r\n"},
        RefusalCase{"GET /quotes.php HTTP/2.0\r\n\r\n", "HTTP/1.1 505 HTTP Version Not Supported",
                    "only HTTP/1.0 and HTTP/1.1 are spoken here\r\n"},
        RefusalCase{"GET / HTTP/1.1\r\nno colon here\r\n\r\n", BadRequest, "malformed header line\r\n"},
        RefusalCase{"GET / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", BadRequest,
                    "malformed Content-Length\r\n"},
        RefusalCase{"GET / HTTP/1.1\r\nHost: a\r\n" + std::string(17000, 'x') + "\r\n\r\n",
                    "HTTP/1.1 431 Request Header Fields Too Large",
                    "request head longer than 16384 bytes\r\n"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

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

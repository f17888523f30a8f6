#include "quotes/DownloadCycle.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "http/IdHTTPExceptions.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "tests/quotes/FakeWindow.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TempDir.h"

namespace w20 {
namespace {

using test::FakeWindow;
using test::Script;
using test::ScriptedServer;

using Files = std::map<std::string, std::string>;

const std::string Bars =
    "Ticker,Interval,Date,Time,Open,High,Low,Close,Volume\r\n"
    "WIG20,5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n";
const std::string Moved = "HTTP/1.1 302 Found";

Configuration ServiceAt(const ScriptedServer& server) {
    return {server.Url("/q.php"), "WIG20", "FW20Z2", "FW20Z2", "WIG20", "normal"};
}

// `redirects` answers on one connection, each sending the client on to the next target, then
// the bars when the chain is shorter than the client's limit of 15.
void AddChain(Script& script, int redirects) {
    for (int i = 0; i < redirects; ++i) {
        script.push_back(test::WaitRequest());
        script.push_back(test::Send(test::HttpResponse(
            Moved, {"Location: /moved/" + std::to_string(i + 1), "Content-Length: 5"}, "moved")));
    }
    if (redirects < 15) {
        script.push_back(test::WaitRequest());
        script.push_back(test::Send(test::HttpOk(Bars)));
    }
}

struct Client : TIdHTTP {
    TIdSSLIOHandlerSocket tls;
    Client() {
        ConfigureQuoteClient(*this, tls);
        SetReadTimeout(3000);
    }
};

TEST(DownloadCycle, AnAnswerThatStillRedirectsFailsTheCycleAndLeavesTheFiles) {
    const struct {
        const char* name;
        int format;
        int answeredFirst;  // requests answered with bars before the redirect chain
        Files files;
    } rows[] = {
        {"MetaStock, first request", 0, 0, {{"vor5.txt", "old metastock\r\n"}}},
        {"MetaStock, second request", 0, 1, {{"vor5.txt", "old metastock\r\n"}}},
        {"Omega, first request",
         1,
         0,
         {{"w20vor5.txt", "old index\r\n"}, {"fw20vor5.txt", "old futures\r\n"}}},
        {"Omega, second request",
         1,
         1,
         {{"w20vor5.txt", "old index\r\n"}, {"fw20vor5.txt", "old futures\r\n"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const test::ScopedWorkingDirectory inDir(dir.Path());
        for (const auto& [name, bytes] : row.files)
            test::WriteFileBytes(dir.File(name), bytes);
        Script script;
        for (int i = 0; i < row.answeredFirst; ++i)
            AddChain(script, 0);
        AddChain(script, 15);
        ScriptedServer server({script});
        FakeWindow window;
        window.format = row.format;
        const std::string caption = window.caption;
        Client http;
        try {
            T1Execute(window, ServiceAt(server), http);
            ADD_FAILURE() << "the cycle ended normally";
        } catch (const EIdHTTPProtocolException& e) {
            EXPECT_STREQ(e.what(), Moved.c_str());
            EXPECT_EQ(e.StatusCode(), 302);
        }
        EXPECT_EQ(test::SplitRequests(server.Received(0)).size(), row.answeredFirst + 15u);
        EXPECT_EQ(window.texts, std::vector<std::string>{""});  // cleared, nothing shown
        EXPECT_EQ(window.caption, caption);
        for (const auto& [name, bytes] : row.files)
            EXPECT_EQ(test::ReadFileBytes(dir.File(name)), bytes) << name;
    }
}

TEST(DownloadCycle, FollowedRedirectsStillGiveTheAnswer) {
    test::TempDir dir;
    const test::ScopedWorkingDirectory inDir(dir.Path());
    Script script;
    AddChain(script, 14);
    AddChain(script, 1);
    ScriptedServer server({script});
    FakeWindow window;
    Client http;
    T1Execute(window, ServiceAt(server), http);
    EXPECT_EQ(window.texts.at(1), Bars + Bars);
    EXPECT_EQ(test::ReadFileBytes(dir.File("vor5.txt")),
              "W20[VOR],5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n"
              "W20[VOR],5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n");
}

// The client alone keeps its rule: past the limit the call gives the empty text, no error, and
// the last target stays in Location.
TEST(DownloadCycle, TheClientAloneGivesTheEmptyAnswerPastTheLimit) {
    Script script;
    AddChain(script, 15);
    ScriptedServer server({script});
    Client http;
    EXPECT_EQ(http.Get(server.Url("/q.php")), "");
    EXPECT_EQ(http.ResponseText(), Moved);
    EXPECT_EQ(http.Response().Location(), "/moved/15");
}

// The request target of the first query of a cycle, as the server received it.
std::string FirstTarget(const std::string& date, const std::string& instrument) {
    test::ScriptedServer server({{test::WaitRequest(), test::Send(test::HttpOk("")), test::WaitRequest(),
                                  test::Send(test::HttpOk(""))}});
    test::FakeWindow window;
    window.shortDate = date;
    Configuration config;
    config.ServiceUrl = server.Url("/q.php");
    config.FirstInstrument = instrument;
    config.SecondInstrument = "FW20";
    TIdSSLIOHandlerSocket tls;
    TIdHTTP http;
    ConfigureQuoteClient(http, tls);
    T1Execute(window, config, http);
    const std::string request = test::SplitRequests(server.Received(0)).at(0);
    const std::string line = request.substr(0, request.find("\r\n"));
    return line.substr(4, line.rfind(' ') - 4);
}

TEST(DownloadCycle, BytesThatCannotStandInARequestTargetAreEncodedAndNoOthers) {
    const std::string tail = "&mst_omg=mst&time_period_l=fmin&time_period=300&send=on";
    const struct {
        std::string date;
        std::string instrument;
        std::string target;
    } rows[] = {
        {"2026-12-08", "WIG20", "/q.php?data_notowania=2026-12-08&nazwa_instrumentu=WIG20"},
        {"8.12.2026", "WIG20", "/q.php?data_notowania=8.12.2026&nazwa_instrumentu=WIG20"},
        {"8 Dec 2026", "WIG 20", "/q.php?data_notowania=8%20Dec%202026&nazwa_instrumentu=WIG%2020"},
        {"8\t12\x7f", "\x01\x1f", "/q.php?data_notowania=8%0912%7F&nazwa_instrumentu=%01%1F"},
        // Windows-1250 letters, a "%" and the query's own signs go as they are.
        {"2026/12/08", "Pi\xB9tek%20&x=1",
         "/q.php?data_notowania=2026/12/08&nazwa_instrumentu=Pi\xB9tek%20&x=1"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FirstTarget(row.date, row.instrument), row.target + tail) << row.instrument;
}

}  // namespace
}  // namespace w20

#include <gtest/gtest.h>

#include "http/IdHTTP.h"
#include "quotes/DownloadCycle.h"
#include "tests/quotes/FakeWindow.h"
#include "tests/support/ScriptedServer.h"

namespace w20 {
namespace {

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
    TIdHTTP http;
    ConfigureQuoteClient(http);
    T1Execute(window, config, http);
    const std::string request = test::SplitRequests(server.Received(0)).at(0);
    const std::string line = request.substr(0, request.find("\r\n"));
    return line.substr(4, line.rfind(' ') - 4);
}

TEST(QueryEncoding, BytesThatCannotStandInARequestTargetAreEncodedAndNoOthers) {
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

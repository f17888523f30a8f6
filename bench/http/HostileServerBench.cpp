#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "http/IdCookieManager.h"
#include "http/IdHTTP.h"
#include "http/IdHeaderList.h"
#include "tests/support/ScriptedServer.h"

// What a hostile server can make the client pay: a header folded over a megabyte of continuation
// lines, and redirects that each set tens of thousands of cookies. Each is read through a real Get
// against the scripted loopback server, as a response would be; the store and the list are also
// timed on their own. Goals: the folded header under 50 ms, the cookie flood under 1 s.
namespace w20 {
namespace {

constexpr int FoldedLines = 250000;
constexpr int Redirects = 15;
constexpr int CookiesPerRedirect = 30000;

// One header folded over FoldedLines continuation lines of one letter: 1 MB of header block,
// inside the client's cap.
std::string FoldedResponse() {
    std::string response = "HTTP/1.1 200 OK\r\nX-Folded: w\r\n";
    response.reserve(response.size() + FoldedLines * 4 + 64);
    for (int i = 0; i < FoldedLines; ++i)
        response += " x\r\n";
    return response + "Content-Length: 2\r\n\r\nok";
}

void FoldedHeaderThroughGet(benchmark::State& state) {
    const std::string response = FoldedResponse();
    test::ScriptedServer server([&response](std::size_t) { return test::Respond(response); });
    std::size_t unfolded = 0;
    for (auto _ : state) {
        TIdHTTP http;
        if (http.Get(server.Url("/folded")) != "ok") {
            state.SkipWithError("wrong body");
            return;
        }
        unfolded = http.Response().RawHeaders().Values("X-Folded").size();
    }
    if (unfolded != 2 * FoldedLines + 1)
        state.SkipWithError("header not unfolded whole");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * response.size()));
}
BENCHMARK(FoldedHeaderThroughGet)->Unit(benchmark::kMillisecond)->UseRealTime();

// The list alone: the received lines unfolded, and a value of the same size folded when written.
void FoldedHeaderInTheList(benchmark::State& state) {
    TIdHeaderList received;
    received.Add("X-Folded: w");
    for (int i = 0; i < FoldedLines; ++i)
        received.Add(" x");
    const std::string value = received.Values("X-Folded");
    for (auto _ : state) {
        benchmark::DoNotOptimize(received.Values("X-Folded"));
        TIdHeaderList written;
        written.SetValues("X-Folded", value);
        benchmark::DoNotOptimize(written.Count());
    }
}
BENCHMARK(FoldedHeaderInTheList)->Unit(benchmark::kMillisecond);

// Redirect `index` of the flood: CookiesPerRedirect cookies of new names, then the next target.
std::string FloodRedirect(int index) {
    std::vector<std::string> headers;
    headers.reserve(CookiesPerRedirect + 2);
    const std::string prefix = "Set-Cookie: r" + std::to_string(index) + "c";
    for (int i = 0; i < CookiesPerRedirect; ++i)
        headers.push_back(prefix + std::to_string(i) + "=1; path=/");
    headers.push_back("Location: /flood/" + std::to_string(index + 1));
    headers.push_back("Content-Length: 0");
    return test::HttpResponse("HTTP/1.1 302 Found", headers, "");
}

// One Get that meets only redirects, each flooding the store, then one ordinary Get on the same
// client, which carries what the store kept.
void CookieFloodThroughGet(benchmark::State& state) {
    test::Script script;
    for (int i = 0; i < Redirects; ++i) {
        script.push_back(test::WaitRequest());
        script.push_back(test::Send(FloodRedirect(i)));
    }
    script.push_back(test::WaitRequest());
    script.push_back(test::Send(test::HttpOk("ok")));
    test::ScriptedServerOptions options;
    options.waitBound = std::chrono::milliseconds(60000);
    test::ScriptedServer server([&script](std::size_t) { return script; }, options);
    int kept = 0;
    for (auto _ : state) {
        TIdHTTP http;
        http.SetHandleRedirects(true);
        const bool flooded = http.Get(server.Url("/flood/0")).empty() && http.ResponseCode() == 302;
        if (!flooded || http.Get(server.Url("/after")) != "ok") {
            state.SkipWithError("unexpected answer");
            return;
        }
        kept = http.CookieManager()->CookieCollection().Count();
    }
    state.counters["cookies_kept"] = kept;
}
BENCHMARK(CookieFloodThroughGet)->Unit(benchmark::kMillisecond)->UseRealTime();

// The store at its bounds, driven as Get drives it: responses of 50 new cookies each from 200
// hosts, every one followed by the "Cookie" value of the next request to that host. The cookies
// carry an expiry date, which the sweep before each request reads.
void CookieStoreAtItsBounds(benchmark::State& state) {
    constexpr int Hosts = 200;
    TIdHeaderList response;
    for (int i = 0; i < TIdCookieManager::MaxCookiesPerResponse; ++i)
        response.Add("Set-Cookie: c" + std::to_string(i) +
                     "=1; path=/; expires=Fri, 31 Dec 2100 23:59:59 GMT");
    std::size_t headerSize = 0;
    for (auto _ : state) {
        TIdCookieManager manager;
        for (int host = 0; host < Hosts; ++host) {
            const std::string name = "h" + std::to_string(host) + ".pl.test";
            manager.AddResponseCookies(response, name);
            headerSize = manager.BuildCookieHeader(TIdURI("http://" + name + "/"), false).size();
        }
        if (manager.CookieCollection().Count() != TIdCookies::MaxCookies) {
            state.SkipWithError("store not at its bound");
            return;
        }
    }
    state.counters["header_bytes"] = static_cast<double>(headerSize);
    state.SetItemsProcessed(state.iterations() * Hosts);
}
BENCHMARK(CookieStoreAtItsBounds)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace w20

BENCHMARK_MAIN();

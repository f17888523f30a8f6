#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/IdStack.h"
#include "net/IdStackSocketFunctions.h"
#include "net/IdTCPClient.h"
#include "net/SocketLibrary.h"
#include "tests/support/FullBacklogListener.h"
#include "tests/support/ScriptedServer.h"

// Connects raced over a name's addresses: a first address that never answers and a second that
// does, and a name with only an IPv6 address (against a server on ::1).
namespace w20 {
namespace {

std::vector<TIdIPAddress> answer;

// The platform's stack with a name lookup that gives `answer`, while the object lives.
class FakeNames {
public:
    explicit FakeNames(std::vector<std::string> addresses) : library_(Functions()) {
        answer.clear();
        for (const std::string& text : addresses)
            ParseIPAddressText(text, answer.emplace_back());
        SetStackClass([this] { return std::make_unique<TIdStackSocketFunctions>(library_); });
    }
    ~FakeNames() { SetStackClass(nullptr); }

private:
    static SocketFunctions Functions() {
        SocketFunctions functions = PlatformSocketFunctions();
        functions.ResolveName = [](const std::string&, std::vector<TIdIPAddress>& addresses) {
            addresses = answer;
            return std::int32_t{0};
        };
        return functions;
    }
    SocketLibrary library_;
};

// A server on ::1, at the port of a full listener on 127.0.0.1 when `firstDead`: that port may
// still be held on ::1 by connections of an earlier run waiting out their time, so another is
// tried then.
struct Peers {
    std::unique_ptr<test::FullBacklogListener> dead;
    std::unique_ptr<test::ScriptedServer> server;

    explicit Peers(bool firstDead) {
        for (int attempt = 0; !server; ++attempt) {
            if (firstDead)
                dead = std::make_unique<test::FullBacklogListener>();
            test::ScriptedServerOptions options;
            options.ipv6 = true;
            options.port = dead ? dead->Port() : 0;
            try {
                server = std::make_unique<test::ScriptedServer>(
                    std::vector<test::Script>{{test::Send("hi\n"), test::Silent(test::Millis(3000))}},
                    options);
            } catch (const std::runtime_error&) {
                if (attempt == 20)
                    throw;
            }
        }
    }
};

void Connect(benchmark::State& state, const std::vector<std::string>& addresses, bool firstDead) {
    const Peers peers(firstDead);
    test::ScriptedServer& server = *peers.server;
    const FakeNames names(addresses);
    for (auto _ : state) {
        TIdTCPClient client;
        client.SetHost("quotes.example");
        client.SetPort(server.Port());
        client.Connect(10000);
        benchmark::DoNotOptimize(client.ReadLine());
        client.Disconnect();
    }
}

void FirstAddressNeverAnswers(benchmark::State& state) {
    Connect(state, {"127.0.0.1", "::1"}, true);
}
BENCHMARK(FirstAddressNeverAnswers)->Unit(benchmark::kMillisecond)->Iterations(5);

void IPv6OnlyName(benchmark::State& state) {
    Connect(state, {"::1"}, false);
}
BENCHMARK(IPv6OnlyName)->Unit(benchmark::kMicrosecond)->Iterations(300);

}  // namespace
}  // namespace w20

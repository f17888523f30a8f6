#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/Convert.h"
#include "base/Strings.h"
#include "net/IdBuffer.h"
#include "net/IdStack.h"
#include "net/IdTCPClient.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

// A connect and five small GETs over it, against nginx on 127.0.0.1 and ::1: by address, and by a
// name the system resolves to one IPv4 address (the machine's own name). The figures of one run
// compare as ratios; a build of an earlier version runs the same file. A fixed count of
// connects: each leaves its port waiting out its time, and the ports of one peer run out.
namespace w20 {
namespace {

class Server {
public:
    static Server& Get() {
        static Server server;
        return server;
    }
    std::uint16_t Port() const { return nginx_->Port(); }

private:
    Server() {
        test::WriteFileBytes(folder_.File("q.txt"), std::string(200, 'q'));
        nginx_ = std::make_unique<test::NginxServer>(folder_.Path());
    }
    test::TempDir folder_;
    std::unique_ptr<test::NginxServer> nginx_;
};

// One GET on the connection: the head up to the empty line, then the body by its length.
void GetOnce(TIdTCPClient& client, const std::string& host) {
    client.WriteLine("GET /q.txt HTTP/1.1\r\nHost: " + host + "\r\n");
    std::int32_t length = 0;
    for (std::string line = client.ReadLine(); !line.empty(); line = client.ReadLine()) {
        if (StartsText("Content-Length:", line))
            length = StrToInt(Trim(line.substr(15)));
    }
    TIdSimpleBuffer body;
    client.ReadToStream(body, length, false);
}

void ConnectAndGets(benchmark::State& state, const std::string& host) {
    const std::uint16_t port = Server::Get().Port();
    for (auto _ : state) {
        TIdTCPClient client;
        client.SetHost(host);
        client.SetPort(port);
        client.Connect(10000);
        for (int i = 0; i < 5; ++i)
            GetOnce(client, "q");
        client.Disconnect();
    }
}

void IPv4Address(benchmark::State& state) {
    ConnectAndGets(state, "127.0.0.1");
}
BENCHMARK(IPv4Address)->Unit(benchmark::kMicrosecond)->Iterations(300);

void IPv6Address(benchmark::State& state) {
    ConnectAndGets(state, "::1");
}
BENCHMARK(IPv6Address)->Unit(benchmark::kMicrosecond)->Iterations(300);

void IPv4Name(benchmark::State& state) {
    TIdTCPClient holder;  // holds the stack for the name's lookup
    ConnectAndGets(state, RequireSharedStack().LocalHostName());
}
BENCHMARK(IPv4Name)->Unit(benchmark::kMicrosecond)->Iterations(300);

}  // namespace
}  // namespace w20

BENCHMARK_MAIN();

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/ResidentMemory.h"
#include "http/IdHTTP.h"
#include "net/IdBuffer.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

// The HTTP client against nginx on 127.0.0.1, next to curl on the same URLs: large bodies by
// length, by chunks and up to the close, and many small requests over one kept-alive connection.
// bench/http/run.sh runs them and prints the figures.
namespace w20 {
namespace {

using Clock = std::chrono::steady_clock;
using bench::ResetPeak;
using bench::ResidentKiB;

constexpr std::size_t BodySize = 64u << 20;
constexpr std::size_t SmallSize = 200;
constexpr int SmallCount = 10000;

// nginx serving a 64 MiB file as it is (Content-Length), the same bytes through its SSI filter,
// which drops the length (chunked for HTTP/1.1, up to the close for HTTP/1.0), and a small file.
// Started by the first benchmark that needs it, for the whole run.
class Peer {
public:
    static Peer& Get() {
        static Peer peer;
        return peer;
    }
    std::string Url(const std::string& target) const { return nginx_->Url(target); }

private:
    Peer() {
        std::string block(1u << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
        for (const std::string& name : {folder_.File("big.bin"), folder_.File("big.html")}) {
            std::ofstream file(name, std::ios::binary);
            for (std::size_t i = 0; i < BodySize / block.size(); ++i)
                file.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        std::ofstream(folder_.File("small.txt"), std::ios::binary) << block.substr(0, SmallSize);
        nginx_ = std::make_unique<test::NginxServer>(folder_.Path(), "location = /big.html { ssi on; }");
    }

    test::TempDir folder_;
    std::unique_ptr<test::NginxServer> nginx_;
};

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// curl reading into nowhere; the time is curl's own total for the transfer.
double CurlTransferSeconds(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"curl", "-s", "-o", "/dev/null", "-w", "%{time_total}\n"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    test::ChildProcess curl(argv);
    const std::optional<std::string> seconds = curl.ReadOutputLine(std::chrono::seconds(60));
    return seconds && !seconds->empty() ? std::stod(*seconds) : -1;
}

// curl reading into nowhere; the time is the whole process, start-up included.
double CurlSeconds(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"sh", "-c", "curl -s -o /dev/null \"$@\" >/dev/null", "curl"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto start = Clock::now();
    test::ChildProcess curl(argv);
    while (curl.Running())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    return Seconds(Clock::now() - start);
}

enum Framing { ByLength, Chunked, UntilClose };

std::vector<std::string> CurlArguments(Framing framing) {
    switch (framing) {
        case ByLength:
            return {Peer::Get().Url("/big.bin")};
        case Chunked:
            return {Peer::Get().Url("/big.html")};
        case UntilClose:
            return {"--http1.0", Peer::Get().Url("/big.html")};
    }
    return {};
}

// Each iteration takes the body once by curl and once by get, one right after the other, so that
// the ratio of the two sums compares transfers made under the same load on a shared machine.
// get returns its seconds, or a negative value when the body came wrong. The iteration's time
// is get's; curl_ratio is curl's time over get's, so above 1 means get is faster.
template <typename GetOnce>
void TakeTurnsWithCurl(benchmark::State& state, Framing framing, GetOnce get) {
    double curlSeconds = 0;
    double getSeconds = 0;
    for (auto _ : state) {
        const double curl = CurlTransferSeconds(CurlArguments(framing));
        if (curl <= 0) {
            state.SkipWithError("curl gave no time");
            return;
        }
        const double ours = get();
        if (ours < 0) {
            state.SkipWithError("short body");
            return;
        }
        state.SetIterationTime(ours);
        curlSeconds += curl;
        getSeconds += ours;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BodySize));
    state.counters["curl_ratio"] = curlSeconds / getSeconds;
}

// Get of the body into the returned text, by a fresh client as the tool would start it;
// peak_ratio is the peak resident memory of the call over the body size.
void Body(benchmark::State& state) {
    const auto framing = static_cast<Framing>(state.range(0));
    const std::string url = Peer::Get().Url(framing == ByLength ? "/big.bin" : "/big.html");
    double peakRatio = 0;
    TakeTurnsWithCurl(state, framing, [&] {
        TIdHTTP http;
        http.SetHandleRedirects(true);
        http.SetProtocolVersion(framing == UntilClose ? pv1_0 : pv1_1);
        const std::int64_t before = ResidentKiB(false);
        ResetPeak();
        const auto start = Clock::now();
        const std::string body = http.Get(url);
        const double seconds = Seconds(Clock::now() - start);
        const std::int64_t peak = ResidentKiB(true) - before;
        peakRatio = std::max(peakRatio, static_cast<double>(peak) * 1024 / static_cast<double>(BodySize));
        return body.size() == BodySize ? seconds : -1;
    });
    state.counters["peak_ratio"] = peakRatio;
}
BENCHMARK(Body)->DenseRange(ByLength, UntilClose)->Unit(benchmark::kMillisecond)->UseManualTime();

void CurlSmall(benchmark::State& state) {
    // One command line with every URL, so that curl keeps its connection.
    std::vector<std::string> many;
    for (int i = 0; i < SmallCount; ++i)
        many.push_back(Peer::Get().Url("/small.txt?" + std::to_string(i)));
    const std::vector<std::string> one{Peer::Get().Url("/small.txt")};
    double startup = 0;
    for (auto _ : state) {
        state.PauseTiming();
        startup = CurlSeconds(one);
        state.ResumeTiming();
        state.SetIterationTime(CurlSeconds(many));
    }
    state.counters["startup_ms"] = startup * 1000;
    state.SetItemsProcessed(state.iterations() * SmallCount);
}
BENCHMARK(CurlSmall)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

// Times the reuse check before each request, which waits up to 1 ms for a close by design.
class TimedPollClient : public TIdHTTP {
public:
    Clock::duration pollTime{};
    void PollClosed(bool raiseIfClosed) override {
        const auto start = Clock::now();
        TIdHTTP::PollClosed(raiseIfClosed);
        pollTime += Clock::now() - start;
    }
};

void GetSmall(benchmark::State& state) {
    const std::string url = Peer::Get().Url("/small.txt");
    double pollSeconds = 0;
    int connects = 0;
    for (auto _ : state) {
        TimedPollClient http;
        http.SetHandleRedirects(true);
        http.OnConnected = [&connects](TIdTCPClient&) { ++connects; };
        for (int i = 0; i < SmallCount; ++i) {
            if (http.Get(url).size() != SmallSize) {
                state.SkipWithError("wrong body");
                return;
            }
        }
        pollSeconds += Seconds(http.pollTime);
    }
    state.counters["poll_ms"] = pollSeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["connects"] = static_cast<double>(connects) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * SmallCount);
}
BENCHMARK(GetSmall)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same by length, with Get into a stream whose pages are already mapped: what the protocol
// costs, without the cost of fresh memory for the body.
void Mapped(benchmark::State& state) {
    const std::string url = Peer::Get().Url("/big.bin");
    TIdSimpleBuffer stream;
    TakeTurnsWithCurl(state, ByLength, [&] {
        stream.SetPosition(0);
        stream.SetSize(0);
        TIdHTTP http;
        const auto start = Clock::now();
        http.Get(url, stream);
        const double seconds = Seconds(Clock::now() - start);
        return stream.Size() == BodySize ? seconds : -1;
    });
}
BENCHMARK(Mapped)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
}  // namespace w20

BENCHMARK_MAIN();

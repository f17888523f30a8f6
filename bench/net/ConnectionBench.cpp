#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "base/Convert.h"
#include "base/Strings.h"
#include "bench/support/ResidentMemory.h"
#include "net/IdBuffer.h"
#include "net/IdTCPClient.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/NginxServer.h"
#include "tests/support/PythonHttpServer.h"
#include "tests/support/TempDir.h"

// Reading from the TCP connection. The body benchmarks read from a real server on 127.0.0.1 and
// compare with curl; the line benchmarks run on an in-memory transport, so that they measure the
// connection and not the sockets.
namespace w20 {
namespace {

using bench::ResetPeak;
using bench::ResidentKiB;

// Serves a text in pieces of a fixed size, one piece per receive.
class StringTransport : public TIdIOHandler {
public:
    StringTransport(const std::string& text, std::size_t piece) : text_(text), piece_(piece) {}
    bool Connected() override { return true; }
    bool Readable(std::int32_t) override { return true; }
    std::int32_t Recv(void* buffer, std::int32_t length) override {
        const std::size_t n = std::min({piece_, static_cast<std::size_t>(length), text_.size() - at_});
        std::memcpy(buffer, text_.data() + at_, n);
        at_ += n;
        return static_cast<std::int32_t>(n);
    }
    std::int32_t Send(const void*, std::int32_t length) override { return length; }

private:
    const std::string& text_;
    const std::size_t piece_;
    std::size_t at_ = 0;
};

// Lines of 98 bytes and CR LF, read one by one; the time per line should not grow with the count.
void ReadLines(benchmark::State& state) {
    const std::size_t lines = static_cast<std::size_t>(state.range(0));
    std::string text;
    text.reserve(lines * 100);
    const std::string line = std::string(98, 'q') + "\r\n";
    for (std::size_t i = 0; i < lines; ++i)
        text += line;
    for (auto _ : state) {
        StringTransport transport(text, 32768);
        TIdTCPConnection connection;
        connection.SetIOHandler(&transport);
        for (std::size_t i = 0; i < lines; ++i)
            benchmark::DoNotOptimize(connection.ReadLine());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ReadLines)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();

// One long line arriving a byte per receive: each receive searches only the new byte, so the time
// grows with the length, not with its square.
void LongLineByteByByte(benchmark::State& state) {
    const std::string text = std::string(static_cast<std::size_t>(state.range(0)) - 1, 'q') + "\n";
    for (auto _ : state) {
        StringTransport transport(text, 1);
        TIdTCPConnection connection;
        connection.SetIOHandler(&transport);
        benchmark::DoNotOptimize(connection.ReadLine());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(LongLineByteByByte)
    ->RangeMultiplier(2)
    ->Range(1024, 16384)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

constexpr std::size_t BodySize = 256u << 20;

// A server we did not write, serving a file of BodySize bytes: nginx, or python's http.server
// where nginx is missing. Started by the first benchmark that needs it, for the whole run.
class Peer {
public:
    static Peer& Get() {
        static Peer peer;
        return peer;
    }
    std::uint16_t Port() const { return nginx_ ? nginx_->Port() : python_->Port(); }
    std::string Url() const { return nginx_ ? nginx_->Url("/body.bin") : python_->Url("/body.bin"); }
    bool KeepsAlive() const { return nginx_ != nullptr; }

private:
    Peer() {
        std::ofstream file(folder_.File("body.bin"), std::ios::binary);
        std::string block(1u << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 7 + i / 251);
        for (std::size_t i = 0; i < BodySize / block.size(); ++i)
            file.write(block.data(), block.size());
        file.close();
        if (test::NginxServer::Available()) {
            nginx_ = std::make_unique<test::NginxServer>(folder_.Path());
        } else {
            python_ = std::make_unique<test::PythonHttpServer>(folder_.Path());
        }
    }

    test::TempDir folder_;
    std::unique_ptr<test::NginxServer> nginx_;
    std::unique_ptr<test::PythonHttpServer> python_;
};

// curl reading the same body into nowhere; the time is curl's own total, without its start-up.
void CurlBody(benchmark::State& state) {
    const std::string url = Peer::Get().Url();
    for (auto _ : state) {
        test::ChildProcess curl({"curl", "-s", "-o", "/dev/null", "-w", "%{time_total}\n", url});
        const std::optional<std::string> seconds = curl.ReadOutputLine(std::chrono::seconds(60));
        if (!seconds || seconds->empty()) {
            state.SkipWithError("curl gave no time");
            return;
        }
        state.SetIterationTime(std::stod(*seconds));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BodySize));
}
BENCHMARK(CurlBody)->Unit(benchmark::kMillisecond)->UseManualTime();

// A GET of the body, read by its length or up to the server's close, into a fresh stream or into
// one whose pages are already mapped; extra_KiB is the peak resident memory beyond the body.
void ReadBody(benchmark::State& state, bool untilClose, bool reuse) {
    Peer& peer = Peer::Get();
    std::int64_t bytes = 0;
    std::int64_t extraKiB = 0;
    static TIdSimpleBuffer kept;  // its pages stay mapped from one run to the next
    std::optional<TIdSimpleBuffer> fresh;
    for (auto _ : state) {
        // Giving back the pages of the last body is not part of reading this one.
        state.PauseTiming();
        fresh.reset();
        fresh.emplace();
        state.ResumeTiming();
        TIdSimpleBuffer& body = reuse ? kept : *fresh;
        body.Clear();
        TIdTCPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(peer.Port());
        client.SetRecvBufferSize(static_cast<std::int32_t>(state.range(0)));
        const std::int64_t before = ResidentKiB(false);
        ResetPeak();
        client.Connect(0);
        client.BeginBatch();
        client.WriteLine(std::string("GET /body.bin ") +
                         (untilClose || !peer.KeepsAlive() ? "HTTP/1.0" : "HTTP/1.1"));
        client.WriteLine("Host: 127.0.0.1");
        client.WriteLine();
        client.EndBatch();
        std::int32_t length = -1;
        for (std::string line = client.ReadLine(); !line.empty(); line = client.ReadLine()) {
            if (StartsText("Content-Length:", line))
                length = StrToInt(Trim(Copy(line, 16)));
        }
        client.ReadToStream(body, untilClose ? -1 : length, untilClose);
        const std::int64_t peak = ResidentKiB(true);
        extraKiB = std::max(extraKiB, peak - before - static_cast<std::int64_t>(body.Size() / 1024));
        bytes += static_cast<std::int64_t>(body.Size());
        client.Disconnect();
        if (body.Size() != BodySize) {
            state.SkipWithError("short body");
            return;
        }
    }
    state.SetBytesProcessed(bytes);
    state.counters["extra_KiB"] = static_cast<double>(extraKiB);
}

// What storing the body costs without any network: 32 KiB writes into a fresh stream, whose pages
// the system maps and clears on first touch.
void BodyIntoFreshStreamAlone(benchmark::State& state) {
    const std::string block(32768, 'b');
    std::optional<TIdSimpleBuffer> fresh;
    for (auto _ : state) {
        state.PauseTiming();
        fresh.reset();
        fresh.emplace();
        state.ResumeTiming();
        for (std::size_t i = 0; i < BodySize / block.size(); ++i)
            fresh->Write(block.data(), block.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BodySize));
}
BENCHMARK(BodyIntoFreshStreamAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BodyByCount(benchmark::State& state) {
    ReadBody(state, false, false);
}
BENCHMARK(BodyByCount)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();

void BodyUntilClose(benchmark::State& state) {
    ReadBody(state, true, false);
}
BENCHMARK(BodyUntilClose)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();

void BodyByCountMapped(benchmark::State& state) {
    ReadBody(state, false, true);
}
// With receives of curl's size too, for comparison.
BENCHMARK(BodyByCountMapped)->Arg(32768)->Arg(102400)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace w20

BENCHMARK_MAIN();

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "base/Convert.h"
#include "base/Strings.h"
#include "net/IdBuffer.h"
#include "net/IdTCPClient.h"

// Reading from the TCP connection. The body benchmarks need an HTTP server on 127.0.0.1 that
// serves W20_BENCH_PATH on port W20_BENCH_PORT (bench/net/run.sh starts one); the line benchmarks
// run on an in-memory transport, so that they measure the connection and not the sockets.
namespace w20 {
namespace {

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
    for (std::size_t i = 0; i < lines; ++i) text += line;
    for (auto _ : state) {
        StringTransport transport(text, 32768);
        TIdTCPConnection connection;
        connection.SetIOHandler(&transport);
        for (std::size_t i = 0; i < lines; ++i) benchmark::DoNotOptimize(connection.ReadLine());
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
BENCHMARK(LongLineByteByByte)->RangeMultiplier(2)->Range(1024, 16384)->Unit(benchmark::kMicrosecond)->Complexity();

// Resident memory of the process; the peak since the last reset when peak is set.
std::int64_t ResidentKiB(bool peak) {
    std::ifstream status("/proc/self/status");
    const std::string key = peak ? "VmHWM:" : "VmRSS:";
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0) return StrToInt64(Trim(line.substr(key.size(), line.size() - key.size() - 3)));
    }
    return -1;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A GET of the benchmark file; the body is read by its length or up to the server's close.
void ReadBody(benchmark::State& state, bool untilClose, bool reuse) {
    const char* port = std::getenv("W20_BENCH_PORT");
    const char* path = std::getenv("W20_BENCH_PATH");
    if (port == nullptr || path == nullptr) {
        state.SkipWithError("W20_BENCH_PORT and W20_BENCH_PATH are not set (use bench/net/run.sh)");
        return;
    }
    std::int64_t bytes = 0;
    std::int64_t extraKiB = 0;
    static TIdSimpleBuffer kept;  // its pages stay mapped from one run to the next
    for (auto _ : state) {
        TIdTCPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(StrToInt(port));
        client.SetRecvBufferSize(static_cast<std::int32_t>(state.range(0)));
        TIdSimpleBuffer fresh;
        TIdSimpleBuffer& body = reuse ? kept : fresh;
        body.Clear();
        const std::int64_t before = ResidentKiB(false);
        ResetPeak();
        client.Connect(0);
        client.BeginBatch();
        client.WriteLine(std::string("GET ") + path + (untilClose ? " HTTP/1.0" : " HTTP/1.1"));
        client.WriteLine("Host: 127.0.0.1");
        client.WriteLine();
        client.EndBatch();
        std::int32_t length = -1;
        for (std::string line = client.ReadLine(); !line.empty(); line = client.ReadLine()) {
            if (StartsText("Content-Length:", line)) length = StrToInt(Trim(Copy(line, 16)));
        }
        client.ReadToStream(body, untilClose ? -1 : length, untilClose);
        const std::int64_t peak = ResidentKiB(true);
        extraKiB = std::max(extraKiB, peak - before - static_cast<std::int64_t>(body.Size() / 1024));
        bytes += static_cast<std::int64_t>(body.Size());
        client.Disconnect();
    }
    state.SetBytesProcessed(bytes);
    state.counters["extra_KiB"] = static_cast<double>(extraKiB);
}

void BodyByCount(benchmark::State& state) {
    ReadBody(state, false, false);
}
BENCHMARK(BodyByCount)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();

void BodyByCountReused(benchmark::State& state) {
    ReadBody(state, false, true);
}
// With pages mapped by an earlier run, and with receives of curl's size for comparison.
BENCHMARK(BodyByCountReused)->Arg(32768)->Arg(102400)->Unit(benchmark::kMillisecond)->UseRealTime();

void BodyUntilClose(benchmark::State& state) {
    ReadBody(state, true, false);
}
BENCHMARK(BodyUntilClose)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace w20

BENCHMARK_MAIN();

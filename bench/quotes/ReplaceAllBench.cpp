#include <benchmark/benchmark.h>

#include <string>

#include "quotes/ReplaceAll.h"

namespace w20 {
namespace {

// A service answer of `bytes` bytes: future bar lines with varying prices, and an index bar line
// every 1024 lines.
std::string BarText(std::size_t bytes) {
    std::string text;
    text.reserve(bytes + 128);
    for (unsigned line = 0; text.size() < bytes; ++line) {
        text += line % 1024 == 0 ? "WIG20" : "FW20Z2";
        text += ",5,20020926," + std::to_string(90000 + (line % 12) * 500) + "00,";
        text += std::to_string(1200 + line % 97) + ".00," + std::to_string(1201 + line % 89) + ".50,";
        text += std::to_string(1199 + line % 83) + "." + std::to_string(10 + line % 90) + ",";
        text += std::to_string(line % 5000) + "\r\n";
    }
    text.resize(bytes);
    return text;
}

void Run(benchmark::State& state, std::string_view find, std::string_view replacement) {
    const std::string text = BarText(static_cast<std::size_t>(state.range(0)) << 20);
    for (auto _ : state) {
        std::string result = ReplaceAll(find, replacement, text);
        benchmark::DoNotOptimize(result.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

// The index ticker: one match in about 64 KiB.
void BM_ReplaceAllSparse(benchmark::State& state) {
    Run(state, "WIG20", "W20[VOR]");
}
// The seconds of the times and the zeros before a comma: two or three matches in every line.
void BM_ReplaceAllDense(benchmark::State& state) {
    Run(state, "00,", ",");
}

// Sizes in MiB; each is twice the one before, to show the time growing linearly. All are above
// the size up to which the allocator recycles freed blocks, so every run pays for fresh pages.
BENCHMARK(BM_ReplaceAllSparse)->Arg(32)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllDense)->Arg(32)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace w20

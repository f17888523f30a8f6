#include <benchmark/benchmark.h>

#include <string>

#include "net/IdBuffer.h"

namespace {

// Reading a large answer line by line off the input queue: the managed buffer moves the rest of
// the content once per 32768 consumed bytes, the simple buffer on every removal.
template <typename Buffer>
void ConsumeInLines(benchmark::State& state) {
    const std::string content(static_cast<std::size_t>(state.range(0)), 'x');
    constexpr std::size_t LineLength = 64;
    for (auto _ : state) {
        Buffer buffer;
        buffer.Append(content);
        while (buffer.Size() >= LineLength)
            benchmark::DoNotOptimize(buffer.TakeFront(LineLength));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK_TEMPLATE(ConsumeInLines, w20::TIdManagedBuffer)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK_TEMPLATE(ConsumeInLines, w20::TIdSimpleBuffer)->Arg(64 << 10)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();

#include <benchmark/benchmark.h>

#include <string>

#include "quotes/ExportWriters.h"
#include "quotes/RewritingRules.h"
#include "tests/quotes/FakeWindow.h"
#include "tests/support/TempDir.h"

namespace w20 {
namespace {

constexpr int Lines = 100000;

// A rewritten answer: a header line, then the index and the future bars, half each.
std::string RewrittenText() {
    std::string text = "Ticker,Per,Date,Time,Open,High,Low,Close,Volume\r\n";
    for (int i = 1; i < Lines; ++i) {
        text += i < Lines / 2 ? "W20[VOR]" : "FW20[VOR]";
        text += ",5,20020926," + std::to_string(900 + i % 600) + "," + std::to_string(1200 + i % 97) +
                ".00,1236.50,1230.00,1235.00," + std::to_string(i) + "\r\n";
    }
    return text;
}

// The service's own text, before the rules.
std::string AnswerText() {
    std::string text;
    for (int i = 0; i < Lines; ++i) {
        text += i < Lines / 2 ? "WIG20" : "FW20Z2";
        text +=
            ",5,20020926," + std::to_string(900 + i % 600) + "00,1234.00,1236.50,1230.00,1235.00,1200\r\n";
    }
    return text;
}

template <typename Step>
void Run(benchmark::State& state, const std::string& text, Step step) {
    test::TempDir dir;
    test::ScopedWorkingDirectory cwd(dir.Path());
    test::FakeWindow window;
    window.setText(text);
    for (auto _ : state)
        step(window);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * Lines);
}

void BM_WriteMetaStockFile(benchmark::State& state) {
    Run(state, RewrittenText(), [](test::FakeWindow& window) { WriteMetaStockFile(window); });
}

void BM_WriteOmegaFiles(benchmark::State& state) {
    const Configuration config;
    Run(state, RewrittenText(), [&](test::FakeWindow& window) { WriteOmegaFiles(window, config); });
}

void BM_ApplyOmegaRules(benchmark::State& state) {
    Configuration config;
    config.IndexTicker = "WIG20";
    config.FuturesTicker = "FW20Z2";
    const std::string answer = AnswerText();
    Run(state, answer, [&](test::FakeWindow& window) {
        window.setText(answer);
        ApplyOmegaRules(window, config);
    });
}

BENCHMARK(BM_WriteMetaStockFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteOmegaFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyOmegaRules)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace w20

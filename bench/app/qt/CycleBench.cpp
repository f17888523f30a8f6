// Run offscreen: QT_QPA_PLATFORM=offscreen build/bench/app/qt/cycle_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "tests/app/qt/StartedForm.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScriptedServer.h"

namespace w20::test {
namespace {

std::string DataFile(const std::string& serviceUrl, const std::string& index, const std::string& future) {
    return serviceUrl + "\r\n" + index + "\r\n" + future + "\r\n" + future + "\r\n" + index +
           "\r\nnormal\r\n\r\n";
}

// A typical day: two answers of 96 five-minute bars from the demo service, each cycle as a
// Start click runs it, caption, rewriting, scrolling and export included.
void TypicalDayCycle(benchmark::State& state) {
    ChildProcess service({W20_DEMO_QUOTE_SERVER, "--port", "0"});
    const std::string address = service.ReadOutputLine(std::chrono::seconds(10)).value_or("").substr(13);
    StartedForm started(DataFile("http://" + address + "/quotes.php", "WIG20", "FWIG20"));
    started.choose("RadioGroup2", state.range(0));
    for (auto _ : state)
        started.button()->click();
    if (!started.desktop.boxes.empty())
        state.SkipWithError(started.desktop.boxes[0].message.c_str());
}
BENCHMARK(TypicalDayCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string Bars(const std::string& ticker, int lines) {
    std::string body = "Ticker,Interval,Date,Time,Open,High,Low,Close,Volume\r\n";
    for (int i = 0; i < lines; ++i) {
        body += ticker + ",5,20020926," + std::to_string(90000 + i % 80000) +
                ",1234.00,1236.50,1230.00,1235.00," + std::to_string(1000 + i) + "\r\n";
    }
    return body;
}

// Two answers of 50,000 lines. A 1 ms timer measures how long the window goes without handling
// events (a zero-time one would fire at every pass and weigh on what it measures); the requests
// themselves block it by design, so the gap is reported for the export, which starts once the
// caption is set.
void LargeCycle(benchmark::State& state) {
    const std::string index = HttpOk(Bars("WIG20", 50000));
    const std::string future = HttpOk(Bars("FW20Z2", 50000));
    ScriptedServer server([&](std::size_t) {
        return Script{WaitRequest(), Send(index), WaitRequest(), Send(future)};
    });
    StartedForm started(DataFile(server.Url("/q.php"), "WIG20", "FW20Z2"));
    started.choose("RadioGroup2", state.range(0));
    double longestGap = 0;
    for (auto _ : state) {
        QElapsedTimer sinceLastTick;
        bool exporting = false;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (!exporting && started.form->windowTitle().contains("Last")) {
                exporting = true;
            } else if (exporting) {
                longestGap = std::max(longestGap, static_cast<double>(sinceLastTick.nsecsElapsed()) / 1e6);
            }
            sinceLastTick.restart();
        });
        started.form->setWindowTitle("");
        sinceLastTick.start();
        tick.start(1);
        started.button()->click();
    }
    state.counters["longest_gap_ms"] = longestGap;
    if (!started.desktop.boxes.empty())
        state.SkipWithError(started.desktop.boxes[0].message.c_str());
}
BENCHMARK(LargeCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace w20::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

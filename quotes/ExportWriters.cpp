#include "quotes/ExportWriters.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/TextFile.h"
#include "quotes/ReplaceAll.h"
#include "quotes/RewritingRules.h"

namespace w20 {
namespace {

constexpr int ScrollBack = 20;

bool StartsWith(const std::string& line, std::string_view prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

// Visits the lines from `first` on while the live line count says there are more. The window
// may change the text while it processes events, so a line that is gone by then ends the walk.
template <typename Visit>
void WalkLines(QuoteWindow& window, int first, Visit visit) {
    for (int index = first; index < window.lineCount(); ++index) {
        window.processEvents();
        if (index >= window.lineCount())
            break;
        visit(window.line(index));
    }
}

// One Omega file: the lines of one instrument, with "<ticker>,<interval>," removed.
void WriteOmegaFile(QuoteWindow& window, const Configuration& config, std::string_view namePrefix,
                    std::string_view ticker, bool showInLabel) {
    TextFileWriter file(std::string(namePrefix) + window.intervalText() + ".txt");
    WalkLines(window, 1, [&](const std::string& line) {
        if (!StartsWith(line, ticker))
            return;
        // Read afresh for every line: the user may switch the interval while the file is written.
        const std::string interval = config.PeriodMode == TickMode ? "I" : window.intervalText();
        file.WriteLine(ReplaceAll(std::string(ticker) + "," + interval + ",", "", line));
        if (showInLabel) {
            window.processEvents();
            window.setLastFuturesLine(line);
        }
    });
    file.Close();
}

}  // namespace

void ScrollToEnd(QuoteWindow& window) {
    const auto length = static_cast<long long>(window.text().size());
    // A position past the end puts the caret at the end, so a huge text may be cut to int.
    window.setCaret(static_cast<int>(std::min<long long>(std::llabs(length - ScrollBack), INT_MAX)));
}

void WriteMetaStockFile(QuoteWindow& window) {
    TextFileWriter file("vor" + window.intervalText() + ".txt");
    WalkLines(window, 0, [&](const std::string& line) {
        if (StartsWith(line, OwnIndexTicker)) {
            file.WriteLine(line);
        } else if (StartsWith(line, OwnFuturesTicker)) {
            file.WriteLine(line);
            window.processEvents();
            window.setLastFuturesLine(line);
        }
    });
    file.Close();
}

void WriteOmegaFiles(QuoteWindow& window, const Configuration& config) {
    WriteOmegaFile(window, config, "w20vor", OwnIndexTicker, false);
    WriteOmegaFile(window, config, "fw20vor", OwnFuturesTicker, true);
}

}  // namespace w20

#include "quotes/RewritingRules.h"

#include "quotes/ReplaceAll.h"

namespace w20 {
namespace {

void Rewrite(QuoteWindow& window, std::string_view find, std::string_view replacement) {
    window.setText(ReplaceAll(find, replacement, window.text()));
}

void RenameTickers(QuoteWindow& window, const Configuration& config) {
    Rewrite(window, config.IndexTicker, OwnIndexTicker);
    Rewrite(window, config.FuturesTicker, OwnFuturesTicker);
}

// The interval field between its two commas becomes "I", wherever it stands in the text.
void MarkTickInterval(QuoteWindow& window, const Configuration& config) {
    if (config.PeriodMode != TickMode)
        return;
    Rewrite(window, "," + window.intervalText() + ",", ",I,");
}

}  // namespace

void ApplyMetaStockRules(QuoteWindow& window, const Configuration& config) {
    RenameTickers(window, config);
    MarkTickInterval(window, config);
}

void ApplyOmegaRules(QuoteWindow& window, const Configuration& config) {
    // ".00" is shielded while "00," is cut, so whole prices keep their decimals while the
    // seconds of a time (093000 -> 0930) go.
    Rewrite(window, ".00", ".xx");
    Rewrite(window, "00,", ",");
    Rewrite(window, ".xx", ".00");
    RenameTickers(window, config);
    MarkTickInterval(window, config);
}

}  // namespace w20

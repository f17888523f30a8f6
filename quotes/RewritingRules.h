#pragma once

#include <string_view>

#include "quotes/Configuration.h"
#include "quotes/QuoteWindow.h"

namespace w20 {

// The tool's own tickers, put into the text by the rules and recognised by the export writers.
inline constexpr std::string_view OwnIndexTicker = "W20[VOR]";
inline constexpr std::string_view OwnFuturesTicker = "FW20[VOR]";
// With this period mode the interval field of every bar line becomes "I".
inline constexpr std::string_view TickMode = "tickowy";

// Each rule takes the text area's current text and puts its result back before the next rule
// reads it, so the user sees the rewritten text and the writers read their lines from it.
void ApplyMetaStockRules(QuoteWindow& window, const Configuration& config);
void ApplyOmegaRules(QuoteWindow& window, const Configuration& config);

}  // namespace w20

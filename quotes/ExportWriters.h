#pragma once

#include "quotes/Configuration.h"
#include "quotes/QuoteWindow.h"

// The steps that follow the rewriting: scroll the text area to its end, then write the export
// files of the chosen format from its lines into the working directory. The writers follow the
// live window: they let it process events before every line and after every FW20 line, read the
// line count again before every line and the interval text whenever they need it, so the user's
// edits take effect from then on. A file that cannot be written raises EInOutError, keeps its
// previous content, and no later file of the call is written.
namespace w20 {

// Puts the caret 20 characters before the end of the text, which shows its last lines.
void ScrollToEnd(QuoteWindow& window);

// "vor<interval>.txt": every line that begins with either tool ticker, unchanged.
void WriteMetaStockFile(QuoteWindow& window);

// "w20vor<interval>.txt", then "fw20vor<interval>.txt": the lines of one instrument each, from
// the second line of the text area on, with the ticker and interval fields cut off.
void WriteOmegaFiles(QuoteWindow& window, const Configuration& config);

}  // namespace w20

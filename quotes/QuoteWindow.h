#pragma once

#include <cstddef>
#include <string>

namespace w20 {

// What the download cycle, the rewriting rules and the export writers need from the main
// window. Texts cross it as 8-bit Windows-1250 bytes; the window converts for display.
//
// The text area's lines are the texts between line breaks, numbered from 0. CR LF, a lone LF and
// a lone CR each end a line; a line break at the very end of the text starts no further line, so
// an empty text area has no lines at all.
class QuoteWindow {
public:
    // Lines are read with at most this many bytes.
    static constexpr std::size_t MaxLineLength = 4096;

    virtual ~QuoteWindow() = default;

    virtual std::string text() const = 0;  // whole text, lines joined by CR LF
    virtual void setText(const std::string& bytes) = 0;
    virtual int lineCount() const = 0;              // read again before every line
    virtual std::string line(int index) const = 0;  // at most MaxLineLength bytes; empty past the end
    // Caret at a position of text() (counted from 0, so every line break counts as two), then
    // scrolled into view, moving the view no further from the end of the text than needed. A
    // position past the end puts it at the end.
    virtual void setCaret(int position) = 0;
    virtual void setCaption(const std::string& text) = 0;
    virtual void setLastFuturesLine(const std::string& text) = 0;  // Label3
    virtual void repaintNow() = 0;
    virtual void processEvents() = 0;               // one pass over pending events, never waits
    virtual int intervalIndex() const = 0;          // RadioGroup1, -1 when none is selected
    virtual int formatIndex() const = 0;            // RadioGroup2, -1 when none is selected
    virtual std::string intervalText() const = 0;   // "5", "15", "30", or empty before start-up ends
    virtual std::string shortDateText() const = 0;  // picker date, user's short date format
    virtual std::string longTimeText() const = 0;   // now, user's long time format
};

}  // namespace w20

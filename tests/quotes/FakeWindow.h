#pragma once

#include <functional>
#include <string>
#include <vector>

#include "quotes/QuoteWindow.h"

namespace w20::test {

// The window on a few strings. The text area keeps its lines the way the real one does (CR LF,
// lone LF and lone CR end a line; a final line break starts no further line) and records what the
// cycle showed. OnProcessEvents stands in for the user acting while events are processed.
class FakeWindow : public QuoteWindow {
public:
    std::string text() const override;
    void setText(const std::string& bytes) override;
    int lineCount() const override;
    std::string line(int index) const override;
    void setCaret(int position) override { caret = position; }
    void setCaption(const std::string& text) override { caption = text; }
    void setLastFuturesLine(const std::string& text) override { lastFuturesLine = text; }
    void repaintNow() override { ++repaints; }
    void processEvents() override;
    int intervalIndex() const override { return interval; }
    int formatIndex() const override { return format; }
    std::string intervalText() const override { return intervalTextValue; }
    std::string shortDateText() const override { return shortDate; }
    std::string longTimeText() const override { return longTime; }

    std::vector<std::string> texts;  // every text set, in order

    int caret = -1;
    std::string caption = "Korvane W20/FW20 Project";
    std::string lastFuturesLine = "FW20 - last";
    int repaints = 0;
    int eventPasses = 0;
    mutable int readsPastEnd = 0;  // lines asked for that the text area does not have
    std::function<void()> OnProcessEvents;
    int interval = 0;
    int format = 0;
    std::string intervalTextValue = "5";
    std::string shortDate = "2002-09-26";
    std::string longTime = "17:30:00";

private:
    std::vector<std::string> blocks_{""};  // the lines, and an empty one after a final line break
};

}  // namespace w20::test

#pragma once

#include <string>

#include "app/Form1Controls.h"
#include "app/Form1Handlers.h"
#include "tests/quotes/FakeWindow.h"

namespace w20::test {

// The controls on a few values; the interval text comes from the handlers, as in a real window.
class FakeForm1 : public FakeWindow, public Form1Controls {
public:
    std::string text() const override { return FakeWindow::text(); }
    void setText(const std::string& bytes) override { FakeWindow::setText(bytes); }
    int lineCount() const override { return FakeWindow::lineCount(); }
    std::string line(int index) const override { return FakeWindow::line(index); }
    void setCaret(int position) override { FakeWindow::setCaret(position); }
    void setCaption(const std::string& text) override { FakeWindow::setCaption(text); }
    void setLastFuturesLine(const std::string& text) override { FakeWindow::setLastFuturesLine(text); }
    void repaintNow() override { FakeWindow::repaintNow(); }
    void processEvents() override { FakeWindow::processEvents(); }
    int intervalIndex() const override { return FakeWindow::intervalIndex(); }
    int formatIndex() const override { return FakeWindow::formatIndex(); }
    std::string intervalText() const override { return handlers != nullptr ? handlers->IntervalText() : ""; }
    std::string shortDateText() const override { return FakeWindow::shortDateText(); }
    std::string longTimeText() const override { return FakeWindow::longTimeText(); }

    void setPickerDate(TDateTime date) override { pickerDate = date; }
    void setPreviewText(const std::string& text) override { previewText = text; }
    void enableTimer(bool enabled) override { timerEnabled = enabled; }
    void closeWindow() override { ++closes; }

    const Form1Handlers* handlers = nullptr;
    TDateTime pickerDate = 0;
    std::string previewText;
    bool timerEnabled = false;
    int closes = 0;
};

}  // namespace w20::test

#pragma once

#include <string>

#include "base/DateTime.h"
#include "quotes/QuoteWindow.h"

namespace w20 {

// What the window's handlers need from a front end beyond the quote window: the controls that
// start-up, the interval choice and the timer touch. Texts are Windows-1250 bytes.
class Form1Controls : public QuoteWindow {
public:
    virtual void setPickerDate(TDateTime date) = 0;            // DateTimePicker1; the time is dropped
    virtual void setPreviewText(const std::string& text) = 0;  // Label1, sized to its caption
    // Timer1; enabling starts the 60-second period afresh.
    virtual void enableTimer(bool enabled) = 0;
    // Closes the window as the user's close would, now that nothing holds it open.
    virtual void closeWindow() = 0;
};

}  // namespace w20

#pragma once

#include <exception>
#include <memory>
#include <string>

#include "app/Form1Controls.h"
#include "quotes/Configuration.h"

namespace w20 {

class Desktop;
class TIdHTTP;
class TIdSSLIOHandlerSocket;

// Ends a wait of the download when the window has been asked to close. It is no failure: it is not
// an Exception, so that no error handling on the way catches it, and it is never shown.
class EWindowClosing : public std::exception {
public:
    const char* what() const noexcept override { return "The window is closing"; }
};

// The event handlers of the main window and the state they keep, for any front end: the front end
// makes the controls, implements Form1Controls on them and forwards each event through Run, which
// shows an exception that leaves a handler in the desktop's error box.
//
// While a download waits on the network the window's pending events are processed every few
// milliseconds, so that it repaints, moves and can be closed.
class Form1Handlers {
public:
    // Creates IdHTTP1 and its TLS handler, the first network components of the process,
    // configured for the quote service, with the window's events processed while it waits.
    Form1Handlers(Form1Controls& controls, Desktop& desktop);
    ~Form1Handlers();
    Form1Handlers(const Form1Handlers&) = delete;
    Form1Handlers& operator=(const Form1Handlers&) = delete;

    // Once the handler has returned, a close held back by a cycle is carried out.
    void Run(void (Form1Handlers::*handler)());

    void FormCreate();
    void RadioGroup1Click();
    void Label5Click();
    void Label6Click();
    void Label10Click();
    // The Start button and the timer. A Start handled while a cycle runs (at one of its
    // event-processing points) is ignored: two cycles would share the text area and the files.
    void Timer1Timer();
    // The window's name for one download cycle; the cycle itself is quotes/DownloadCycle's.
    void T1Execute();
    // The user asks to close the window: true when it may close now. During a cycle it may not,
    // since the cycle still uses it: the cycle's network wait ends at its next step, and the
    // window is closed once the cycle has unwound, without a box and without re-arming the timer.
    bool FormCloseQuery();

    const Configuration& Config() const { return config_; }
    const std::string& IntervalText() const { return intervalText_; }
    bool CycleRunning() const { return cycleRunning_; }

private:
    std::string PreviewText() const;
    // Called between the steps of the client's waits.
    void WaitIdle();

    Form1Controls& controls_;
    Desktop& desktop_;
    Configuration config_;
    std::string intervalText_;
    // The handler goes after the client that uses it.
    std::unique_ptr<TIdSSLIOHandlerSocket> IdSSLIOHandlerSocket1;
    std::unique_ptr<TIdHTTP> IdHTTP1;
    bool cycleRunning_ = false;
    bool closeRequested_ = false;
};

}  // namespace w20

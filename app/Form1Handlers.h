#pragma once

#include <memory>
#include <string>

#include "app/Form1Controls.h"
#include "quotes/Configuration.h"

namespace w20 {

class Desktop;
class TIdHTTP;

// The event handlers of the main window and the state they keep, for any front end: the front end
// makes the controls, implements Form1Controls on them and forwards each event through Run, which
// shows an exception that leaves a handler in the desktop's error box.
class Form1Handlers {
public:
    // Creates IdHTTP1, the first network component of the process, configured for the quote service.
    Form1Handlers(Form1Controls& controls, Desktop& desktop);
    ~Form1Handlers();
    Form1Handlers(const Form1Handlers&) = delete;
    Form1Handlers& operator=(const Form1Handlers&) = delete;

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

    const Configuration& Config() const { return config_; }
    const std::string& IntervalText() const { return intervalText_; }
    bool CycleRunning() const { return cycleRunning_; }

private:
    std::string PreviewText() const;

    Form1Controls& controls_;
    Desktop& desktop_;
    Configuration config_;
    std::string intervalText_;
    std::unique_ptr<TIdHTTP> IdHTTP1;
    bool cycleRunning_ = false;
};

// The addresses the three links open.
extern const char* const AuthorWebPage;
extern const char* const AuthorMail;
extern const char* const ProviderHost;

}  // namespace w20

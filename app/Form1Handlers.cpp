#include "app/Form1Handlers.h"

#include "app/Desktop.h"
#include "app/Form1Texts.h"
#include "base/TextFile.h"
#include "http/IdHTTP.h"
#include "http/ProxySettings.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "quotes/DownloadCycle.h"

namespace w20 {

Form1Handlers::Form1Handlers(Form1Controls& controls, Desktop& desktop)
    : controls_(controls),
      desktop_(desktop),
      IdSSLIOHandlerSocket1(std::make_unique<TIdSSLIOHandlerSocket>()),
      IdHTTP1(std::make_unique<TIdHTTP>()) {
    // The user's proxy settings are read once, at start-up.
    ConfigureQuoteClient(*IdHTTP1, *IdSSLIOHandlerSocket1, SystemProxySettings());
    IdHTTP1->OnIdle = [this] { WaitIdle(); };
}

Form1Handlers::~Form1Handlers() = default;

void Form1Handlers::Run(void (Form1Handlers::*handler)()) {
    desktop_.RunHandler([this, handler] {
        try {
            (this->*handler)();
        } catch (const EWindowClosing&) {
            // The download was given up for the close: nothing to report.
        }
    });
    // A close waits while a cycle is on the stack: a handler run at one of the cycle's
    // event-processing points returns into it.
    if (closeRequested_ && !cycleRunning_) {
        closeRequested_ = false;
        controls_.closeWindow();
    }
}

void Form1Handlers::WaitIdle() {
    controls_.processEvents();
    if (closeRequested_)
        throw EWindowClosing();
}

bool Form1Handlers::FormCloseQuery() {
    if (cycleRunning_)
        closeRequested_ = true;
    return !cycleRunning_;
}

void Form1Handlers::FormCreate() {
    controls_.setPickerDate(Date());
    TextFileReader file("data.txt");
    // Values are kept as far as they were read when a later line fails.
    for (std::string* value : {&config_.ServiceUrl, &config_.FirstInstrument, &config_.FuturesTicker,
                               &config_.SecondInstrument, &config_.IndexTicker, &config_.PeriodMode}) {
        *value = file.ReadLine();
    }
    file.ReadLine();  // the seventh line is read and thrown away
    file.Close();
    intervalText_ = "5";
    controls_.setPreviewText(PreviewText());
}

std::string Form1Handlers::PreviewText() const {
    return "Podgl\xB9"
           "d danych " +
           intervalText_ + " minutowych (plik \"vor" + intervalText_ + ".txt\").";
}

void Form1Handlers::RadioGroup1Click() {
    static const char* const Intervals[] = {"5", "15", "30"};
    const int item = controls_.intervalIndex();
    if (item >= 0 && item < 3)
        intervalText_ = Intervals[item];
    controls_.setPreviewText(PreviewText());
}

void Form1Handlers::Label5Click() {
    desktop_.OpenAddress(std::string("http://") + AuthorWebPage);
}

void Form1Handlers::Label6Click() {
    desktop_.OpenAddress(std::string("mailto:") + AuthorMail + "?subject=Korvane RT project");
}

void Form1Handlers::Label10Click() {
    desktop_.OpenAddress(std::string("http://") + ProviderHost);
}

void Form1Handlers::Timer1Timer() {
    if (cycleRunning_)
        return;
    controls_.enableTimer(false);
    cycleRunning_ = true;
    try {
        T1Execute();
    } catch (...) {
        cycleRunning_ = false;
        throw;  // the timer stays stopped until the next Start
    }
    cycleRunning_ = false;
    if (!closeRequested_)
        controls_.enableTimer(true);  // the next tick comes a full period after this cycle ended
}

void Form1Handlers::T1Execute() {
    w20::T1Execute(controls_, config_, *IdHTTP1);
}

}  // namespace w20

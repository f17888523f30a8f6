#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "quotes/Configuration.h"
#include "quotes/QuoteWindow.h"

class QDateEdit;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace w20 {

class Desktop;
class TIdHTTP;
class TLinkLabel;
class TRadioGroup;

// The tool's one window. Controls carry their designed names (also as Qt object names); every
// event runs its handler through the desktop's handler wrapper. The download cycle reaches the
// window through QuoteWindow, with RichEdit1 as the text area and Label3 as the FW20 line.
class TForm1 : public QWidget, public QuoteWindow {
    Q_OBJECT
public:
    explicit TForm1(Desktop& desktop, QWidget* parent = nullptr);
    ~TForm1() override;

    const Configuration& Config() const { return config_; }
    const std::string& IntervalText() const { return intervalText_; }

    // Event handlers.
    void FormCreate();
    void RadioGroup1Click();
    void Label5Click();
    void Label6Click();
    void Label10Click();
    void Timer1Timer();

    // QuoteWindow
    std::string text() const override;
    void setText(const std::string& bytes) override;
    int lineCount() const override;
    std::string line(int index) const override;
    void setCaret(int position) override;
    void setCaption(const std::string& text) override;
    void setLastFuturesLine(const std::string& text) override;
    void repaintNow() override;
    void processEvents() override;
    int intervalIndex() const override;
    int formatIndex() const override;
    std::string intervalText() const override { return intervalText_; }
    std::string shortDateText() const override;
    std::string longTimeText() const override;

private:
    void CreateControls();
    void WireEvents();
    void T1Execute();
    std::string PreviewText() const;
    void Run(void (TForm1::*handler)());

    Desktop& desktop_;
    Configuration config_;
    std::string intervalText_;

    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    TLinkLabel* Label5 = nullptr;
    TLinkLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel3 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label2 = nullptr;
    TLinkLabel* Label10 = nullptr;
    QPushButton* Button1 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;
    TRadioGroup* RadioGroup1 = nullptr;
    TRadioGroup* RadioGroup2 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QTimer* Timer1 = nullptr;
    std::unique_ptr<TIdHTTP> IdHTTP1;
    bool cycleRunning_ = false;
};

}  // namespace w20

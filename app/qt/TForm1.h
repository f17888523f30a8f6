#pragma once

#include <QElapsedTimer>
#include <QTextBlock>
#include <QWidget>
#include <optional>
#include <string>

#include "app/Form1Controls.h"
#include "app/Form1Handlers.h"

class QCloseEvent;
class QDateEdit;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace w20 {

class Desktop;
class TLinkLabel;
class TRadioGroup;

// The tool's one window on Qt widgets. Controls carry their designed names (also as Qt object
// names); every event goes to its handler in Form1Handlers. The download cycle reaches the window
// through QuoteWindow, with RichEdit1 as the text area and Label3 as the FW20 line.
class TForm1 : public QWidget, public Form1Controls {
    Q_OBJECT
public:
    explicit TForm1(Desktop& desktop, QWidget* parent = nullptr);
    ~TForm1() override;

    Form1Handlers& Handlers() { return handlers_; }
    const Configuration& Config() const { return handlers_.Config(); }
    const std::string& IntervalText() const { return handlers_.IntervalText(); }

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
    std::string intervalText() const override { return handlers_.IntervalText(); }
    std::string shortDateText() const override;
    std::string longTimeText() const override;

    // Form1Controls
    void setPickerDate(TDateTime date) override;
    void setPreviewText(const std::string& text) override;
    void enableTimer(bool enabled) override;
    void closeWindow() override;

protected:
    // Held back while a cycle runs; the handlers close the window once it has unwound.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void WireEvents();
    void ShowPendingText() const;

    Form1Handlers handlers_;

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

    // A text set but not yet put into RichEdit1's document.
    mutable std::optional<std::string> pendingText_;
    // The line count and the line read last, until RichEdit1's text changes.
    struct Reading {
        int lineCount = -1;
        int lineIndex = -1;
        QTextBlock block;
    };
    mutable Reading reading_;
    std::string lastFuturesLine_;
    QElapsedTimer lastEventPass_;
    QTimer* label3Frame_ = nullptr;
};

}  // namespace w20

#pragma once

#include <QWidget>
#include <string>

#include "quotes/Configuration.h"

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

// The tool's one window. Controls carry their designed names (also as Qt object names); every
// event runs its handler through the desktop's handler wrapper.
class TForm1 : public QWidget {
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
};

}  // namespace w20

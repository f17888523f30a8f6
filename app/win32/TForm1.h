#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Form1Controls.h"
#include "app/Form1Handlers.h"
#include "app/TextLines.h"

namespace w20 {

class Desktop;
class TRadioGroup;

// The ids of the window's controls; a radio group's items follow its first item's id.
enum Form1ControlId : int {
    idLabel1 = 101,
    idLabel3,
    idLabel4,
    idLabel5,
    idLabel6,
    idLabel7,
    idLabel2,
    idLabel10,
    idButton1,
    idRichEdit1,
    idRadioGroup1,
    idRadioGroup2,
    idDateTimePicker1,
    idRadioGroup1Item0 = 201,
    idRadioGroup2Item0 = 211,
};

// The tool's one window on Win32 controls, made at the designed places; every event goes to its
// handler in Form1Handlers. The download cycle reaches it through QuoteWindow, with RichEdit1 as
// the text area and Label3 as the FW20 line. Bevels have no window: the form draws them.
class TForm1 : public Form1Controls {
public:
    // Makes the window (hidden) and its controls, then runs FormCreate.
    explicit TForm1(Desktop& desktop);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return handle_; }
    HWND Control(Form1ControlId id) const { return GetDlgItem(handle_, id); }
    Form1Handlers& Handlers() { return handlers_; }
    const Configuration& Config() const { return handlers_.Config(); }
    bool TimerEnabled() const { return timerEnabled_; }
    // The dots per inch the window is laid out at.
    int Dpi() const { return dpi_; }

    // Hands a message to its window, the dialog keys (Tab, arrows) to the form's navigation.
    void Dispatch(MSG& message);

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

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    HWND MakeLabel(Form1ControlId id, const std::string& caption, DWORD style = 0);
    void Layout();
    void PlaceClientArea(POINT origin);
    void OnCommand(int id, int code);
    void PaintBevels(HDC dc) const;
    // RichEdit1's text as it holds it now, with where its lines lie.
    const std::u16string& EditorText() const;

    Form1Handlers handlers_;
    HWND handle_ = nullptr;
    HFONT font_ = nullptr;
    HFONT buttonFont_ = nullptr;
    HFONT linkFont_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HWND RichEdit1 = nullptr;
    HWND DateTimePicker1 = nullptr;
    std::unique_ptr<TRadioGroup> RadioGroup1;
    std::unique_ptr<TRadioGroup> RadioGroup2;
    bool timerEnabled_ = false;
    int dpi_ = 96;

    // RichEdit1's text and lines, read again after every change of the control.
    mutable bool editorRead_ = false;
    mutable std::u16string editorText_;
    mutable std::vector<LineSpan> lines_;
};

}  // namespace w20

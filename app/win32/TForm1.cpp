#include "app/win32/TForm1.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <stdexcept>

#include "app/Form1Texts.h"
#include "app/win32/TRadioGroup.h"
#include "app/win32/Win32Dpi.h"
#include "app/win32/Win32Text.h"
#include "base/Exception.h"

namespace w20 {
namespace {

constexpr const wchar_t* ClassName = L"TForm1";
constexpr DWORD FormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr RECT ClientArea = {197, 107, 197 + 440, 107 + 233};  // on the screen
constexpr UINT_PTR Timer1Id = 1;
constexpr COLORREF LinkColour = RGB(0, 0, 255);
// RichEdit1 cannot hold a NUL character: it shows this one in its place.
constexpr char16_t ShownNul = u'\x2400';

// The bevels, drawn by the form: a raised box lights its top and left edges, a lowered one its
// bottom and right edges.
struct Bevel {
    RECT bounds;
    UINT edge;
};
constexpr Bevel Bevels[] = {
    {{256, 168, 256 + 176, 168 + 5}, BDR_RAISEDINNER},  // Bevel2
    {{256, 224, 256 + 176, 224 + 5}, BDR_RAISEDINNER},  // Bevel3
    {{8, 4, 8 + 433, 4 + 21}, BDR_SUNKENOUTER},         // Bevel1
};

enum class FontRole { Text, Link, Button };

// Where each control goes in the design; a label's size is its caption's.
struct Placement {
    Form1ControlId id;
    RECT bounds;
    FontRole font;
};
constexpr Placement Placements[] = {
    {idLabel1, {8, 32, 8, 32}, FontRole::Text},
    {idLabel3, {16, 8, 16, 8}, FontRole::Text},
    {idLabel4, {13, 208, 13, 208}, FontRole::Text},
    {idLabel5, {260, 175, 260, 175}, FontRole::Link},
    {idLabel6, {328, 190, 328, 190}, FontRole::Text},
    {idLabel7, {13, 192, 13, 192}, FontRole::Text},
    {idLabel2, {260, 208, 260, 208}, FontRole::Text},
    {idLabel10, {344, 208, 344, 208}, FontRole::Link},
    {idButton1, {6, 150, 6 + 41, 150 + 33}, FontRole::Button},
    {idRichEdit1, {8, 48, 8 + 425, 48 + 57}, FontRole::Text},
    {idDateTimePicker1, {56, 152, 56 + 81, 152 + 21}, FontRole::Text},
};
constexpr RECT RadioGroup1Bounds = {8, 112, 8 + 273, 112 + 33};
constexpr RECT RadioGroup2Bounds = {288, 112, 288 + 129, 112 + 49};

bool IsLabel(int id) {
    return id >= idLabel1 && id <= idLabel10;
}

bool IsLink(int id) {
    return id == idLabel5 || id == idLabel6 || id == idLabel10;
}

// The designed face at a character height in design pixels (11 for 8 point, 13 for 10 point)
// scaled to `dpi`.
HFONT MakeFont(int characterHeight, bool underlined, int dpi) {
    return CreateFontW(-Scaled(characterHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, underlined, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

// The icon of the program's resources at a size in pixels.
HICON LoadProgramIcon(int size) {
    constexpr int ProgramIcon = 1;  // w20fw20.rc
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON, size, size, 0));
}

void RegisterFormClass(WNDPROC windowProc) {
    static const bool registered = [windowProc] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hIcon = LoadProgramIcon(GetSystemMetrics(SM_CXICON));
        windowClass.hIconSm = LoadProgramIcon(GetSystemMetrics(SM_CXSMICON));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = ClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    if (!registered)
        throw std::runtime_error("the window class cannot be registered");
}

// The rich edit and date picker classes.
void LoadControlClasses() {
    static const bool loaded = [] {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&classes) && LoadLibraryW(L"riched20.dll") != nullptr;
    }();
    if (!loaded)
        throw std::runtime_error("the rich edit and date picker controls are missing");
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Labels size themselves to their caption. An empty caption measures as a blank, so the label
// keeps the height of a line.
void SizeToCaption(HWND label) {
    std::wstring caption = WindowText(label);
    if (caption.empty())
        caption = L" ";
    const HDC dc = GetDC(label);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, caption.data(), static_cast<int>(caption.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetCaption(HWND label, const std::string& caption) {
    SetWindowTextW(label, ToWide(caption).c_str());
    SizeToCaption(label);
}

// The control keeps its paragraphs apart with a CR: every line break becomes one.
std::wstring EditorForm(std::string_view bytes) {
    const std::u16string text = FromWindows1250(bytes);
    std::wstring shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        shown.push_back(c == u'\n' ? L'\r' : c == u'\0' ? wchar_t(ShownNul) : wchar_t(c));
    }
    return shown;
}

}  // namespace

TForm1::TForm1(Desktop& desktop) : handlers_(*this, desktop) {
    RegisterFormClass(WindowProc);
    LoadControlClasses();
    RECT frame = ClientArea;
    AdjustWindowRectEx(&frame, FormStyle, FALSE, 0);
    CreateWindowExW(0, ClassName, ToWide(Form1Caption).c_str(), FormStyle, frame.left, frame.top,
                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
    if (handle_ == nullptr)
        throw std::runtime_error("the window cannot be created");
    CreateControls();
    dpi_ = WindowDpi(handle_);
    Layout();
    const RECT client = Scaled(ClientArea, dpi_);
    PlaceClientArea({client.left, client.top});
    handlers_.Run(&Form1Handlers::FormCreate);
}

TForm1::~TForm1() {
    if (handle_ != nullptr)
        DestroyWindow(handle_);
    for (const HGDIOBJ font : {font_, linkFont_, buttonFont_})
        DeleteObject(font);
    DestroyIcon(icon_);
    DestroyIcon(smallIcon_);
}

HWND TForm1::MakeLabel(Form1ControlId id, const std::string& caption, DWORD style) {
    return CreateWindowExW(0, L"STATIC", ToWide(caption).c_str(),
                           WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | style, 0, 0, 0, 0,
                           handle_, reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
}

// In the designed order of creation, which is also the order Tab goes through the controls.
void TForm1::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto child = [&](DWORD exStyle, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                           int id) {
        return CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, handle_,
                               reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
    };

    MakeLabel(idLabel1, "");
    MakeLabel(idLabel3, Label3Caption);
    MakeLabel(idLabel4, Label4Caption);
    MakeLabel(idLabel5, AuthorWebPage, SS_NOTIFY);
    MakeLabel(idLabel6, AuthorMail, SS_NOTIFY);
    MakeLabel(idLabel7, Label7Caption);
    MakeLabel(idLabel2, Label2Caption);
    MakeLabel(idLabel10, ProviderHost, SS_NOTIFY);

    child(0, L"BUTTON", ToWide(Button1Caption).c_str(), WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, idButton1);

    RichEdit1 = child(WS_EX_CLIENTEDGE, RICHEDIT_CLASSW, L"",
                      WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                      idRichEdit1);
    // Plain text can be chosen only while the control is new: before its font is set.
    if (SendMessageW(RichEdit1, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE, 0) != 0)
        throw std::runtime_error("the text area cannot hold plain text");
    SendMessageW(RichEdit1, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);  // no limit of the tool's own
    SendMessageW(RichEdit1, EM_SETEVENTMASK, 0, ENM_CHANGE);

    RadioGroup1 = std::make_unique<TRadioGroup>(handle_, idRadioGroup1, idRadioGroup1Item0,
                                                RadioGroup1Caption, RadioGroup1Items, 3);
    RadioGroup1->SetItemIndex(0);
    RadioGroup2 = std::make_unique<TRadioGroup>(handle_, idRadioGroup2, idRadioGroup2Item0,
                                                RadioGroup2Caption, RadioGroup2Items, 1);
    RadioGroup2->SetItemIndex(0);

    // The short date of the user's regional settings, changed field by field or from the calendar.
    DateTimePicker1 =
        child(0, DATETIMEPICK_CLASSW, L"", WS_TABSTOP | WS_GROUP | DTS_SHORTDATEFORMAT, idDateTimePicker1);
}

// Fonts, icons, places and sizes at the window's scale; the old fonts go once nothing uses them.
void TForm1::Layout() {
    const HFONT oldFonts[] = {font_, linkFont_, buttonFont_};
    const HICON oldIcons[] = {icon_, smallIcon_};
    font_ = MakeFont(11, false, dpi_);
    linkFont_ = MakeFont(11, true, dpi_);
    buttonFont_ = MakeFont(13, false, dpi_);
    icon_ = LoadProgramIcon(Scaled(32, dpi_));
    smallIcon_ = LoadProgramIcon(Scaled(16, dpi_));
    SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    for (const Placement& place : Placements) {
        const HWND control = Control(place.id);
        const HFONT font = place.font == FontRole::Link     ? linkFont_
                           : place.font == FontRole::Button ? buttonFont_
                                                            : font_;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        const RECT bounds = Scaled(place.bounds, dpi_);
        SetWindowPos(control, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                     bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (IsLabel(place.id))
            SizeToCaption(control);
    }
    SendMessageW(DateTimePicker1, DTM_SETMCFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    RadioGroup1->Place(Scaled(RadioGroup1Bounds, dpi_), font_, dpi_);
    RadioGroup2->Place(Scaled(RadioGroup2Bounds, dpi_), font_, dpi_);

    for (const HFONT font : oldFonts)
        DeleteObject(font);
    for (const HICON icon : oldIcons)
        DestroyIcon(icon);
    InvalidateRect(handle_, nullptr, TRUE);
}

// Moves the window so that its client area starts at `origin` on the screen and has the design's
// size at the window's scale.
void TForm1::PlaceClientArea(POINT origin) {
    RECT frame{}, client{};
    GetWindowRect(handle_, &frame);
    GetClientRect(handle_, &client);
    POINT clientOrigin{0, 0};
    ClientToScreen(handle_, &clientOrigin);
    const RECT size = Scaled(ClientArea, dpi_);
    SetWindowPos(
        handle_, nullptr, origin.x - (clientOrigin.x - frame.left), origin.y - (clientOrigin.y - frame.top),
        frame.right - frame.left - client.right + size.right - size.left,
        frame.bottom - frame.top - client.bottom + size.bottom - size.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->handle_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->HandleMessage(message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == Timer1Id)
                handlers_.Run(&Form1Handlers::Timer1Timer);
            return 0;
        case WM_CTLCOLORSTATIC: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            const bool link = IsLink(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
            SetTextColor(dc, link ? LinkColour : GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SETCURSOR:
            if (IsLink(GetDlgCtrlID(reinterpret_cast<HWND>(wParam)))) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            // Moved to a monitor of another scale: the system's suggested place, the design's
            // client area at the new scale.
            dpi_ = LOWORD(wParam);
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(handle_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                         suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            POINT origin{0, 0};
            ClientToScreen(handle_, &origin);
            PlaceClientArea(origin);
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(handle_, &paint);
            PaintBevels(dc);
            EndPaint(handle_, &paint);
            return 0;
        }
        case WM_CLOSE:
            // Held back while a cycle runs; the handlers close the window once it has unwound.
            if (handlers_.FormCloseQuery())
                DestroyWindow(handle_);
            return 0;
        case WM_DESTROY:
            KillTimer(handle_, Timer1Id);
            timerEnabled_ = false;
            return 0;
        default:
            break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

void TForm1::OnCommand(int id, int code) {
    switch (id) {
        case idButton1:
            if (code == BN_CLICKED)
                handlers_.Run(&Form1Handlers::Timer1Timer);
            return;
        case idLabel5:
        case idLabel6:
        case idLabel10:
            if (code == STN_CLICKED) {
                handlers_.Run(id == idLabel5   ? &Form1Handlers::Label5Click
                              : id == idLabel6 ? &Form1Handlers::Label6Click
                                               : &Form1Handlers::Label10Click);
            }
            return;
        case idRichEdit1:
            if (code == EN_CHANGE)
                editorRead_ = false;
            return;
        default:
            break;
    }
    if (code != BN_CLICKED)
        return;
    // A click on the item already selected changes nothing.
    if (RadioGroup1->Owns(id) && RadioGroup1->SelectionChanged())
        handlers_.Run(&Form1Handlers::RadioGroup1Click);
    if (RadioGroup2->Owns(id))
        RadioGroup2->SelectionChanged();
}

void TForm1::PaintBevels(HDC dc) const {
    for (const Bevel& bevel : Bevels) {
        RECT bounds = Scaled(bevel.bounds, dpi_);
        DrawEdge(dc, &bounds, bevel.edge, BF_RECT);
    }
}

void TForm1::Dispatch(MSG& message) {
    if (handle_ != nullptr && IsDialogMessageW(handle_, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

const std::u16string& TForm1::EditorText() const {
    if (editorRead_)
        return editorText_;
    // Paragraphs end in a CR here, one character each, as the control counts its positions.
    GETTEXTLENGTHEX length = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    const auto size = static_cast<std::size_t>(
        SendMessageW(RichEdit1, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
    std::wstring text(size + 1, L'\0');
    GETTEXTEX request = {static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr,
                         nullptr};
    text.resize(static_cast<std::size_t>(SendMessageW(
        RichEdit1, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text.data()))));
    editorText_.assign(text.begin(), text.end());
    std::replace(editorText_.begin(), editorText_.end(), ShownNul, u'\0');
    lines_ = LineSpans(editorText_);
    editorRead_ = true;
    return editorText_;
}

std::string TForm1::text() const {
    return WithCrLfLineBreaks(ToWindows1250(EditorText()));
}

void TForm1::setText(const std::string& bytes) {
    SetWindowTextW(RichEdit1, EditorForm(bytes).c_str());
    editorRead_ = false;
}

int TForm1::lineCount() const {
    EditorText();
    return static_cast<int>(lines_.size());
}

std::string TForm1::line(int index) const {
    if (index < 0 || index >= lineCount())
        return {};
    const LineSpan span = lines_[static_cast<std::size_t>(index)];
    return ToWindows1250(
        std::u16string_view(editorText_).substr(span.start, std::min(span.length, MaxLineLength)));
}

void TForm1::setCaret(int position) {
    const std::u16string& text = EditorText();
    auto at = static_cast<LONG>(text.size());  // past the end: the end
    long lineStart = 0;                        // where the line starts in text()
    for (const LineSpan& span : lines_) {
        const auto length = static_cast<long>(span.length);
        // Up to and including the position between CR and LF, which falls on the line's end.
        if (position <= lineStart + length + 1) {
            at = static_cast<LONG>(span.start) + std::clamp(position - lineStart, 0L, length);
            break;
        }
        lineStart += length + 2;
    }
    CHARRANGE caret = {at, at};
    SendMessageW(RichEdit1, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    // Coming from the end of the text, the view moves only as far as the caret needs.
    SendMessageW(RichEdit1, WM_VSCROLL, SB_BOTTOM, 0);
    SendMessageW(RichEdit1, EM_SCROLLCARET, 0, 0);
}

void TForm1::setCaption(const std::string& text) {
    SetWindowTextW(handle_, ToWide(text).c_str());
}

void TForm1::setLastFuturesLine(const std::string& text) {
    SetCaption(Control(idLabel3), text);
}

void TForm1::repaintNow() {
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// What is waiting is handled; nothing is waited for.
void TForm1::processEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that ends on it
            return;
        }
        Dispatch(message);
    }
}

int TForm1::intervalIndex() const {
    return RadioGroup1->ItemIndex();
}

int TForm1::formatIndex() const {
    return RadioGroup2->ItemIndex();
}

std::string TForm1::shortDateText() const {
    SYSTEMTIME date{};
    SendMessageW(DateTimePicker1, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    wchar_t text[100];
    const int length =
        GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, 100, nullptr);
    return FromWide(std::wstring_view(text, length > 0 ? static_cast<std::size_t>(length - 1) : 0));
}

std::string TForm1::longTimeText() const {
    wchar_t text[100];
    const int length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, text, 100);
    return FromWide(std::wstring_view(text, length > 0 ? static_cast<std::size_t>(length - 1) : 0));
}

void TForm1::setPickerDate(TDateTime date) {
    const DateParts parts = DecodeDate(date);
    SYSTEMTIME day{};
    day.wYear = static_cast<WORD>(parts.year);
    day.wMonth = static_cast<WORD>(parts.month);
    day.wDay = static_cast<WORD>(parts.day);
    SendMessageW(DateTimePicker1, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&day));
}

void TForm1::setPreviewText(const std::string& text) {
    SetCaption(Control(idLabel1), text);
}

// Enabling starts the period afresh.
void TForm1::enableTimer(bool enabled) {
    KillTimer(handle_, Timer1Id);
    timerEnabled_ = false;
    if (!enabled)
        return;
    if (SetTimer(handle_, Timer1Id, Timer1Interval, nullptr) == 0)
        throw Exception("Not enough timers available");
    timerEnabled_ = true;
}

void TForm1::closeWindow() {
    SendMessageW(handle_, WM_CLOSE, 0, 0);
}

}  // namespace w20

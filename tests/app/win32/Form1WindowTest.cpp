#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/Form1Handlers.h"
#include "app/Form1Texts.h"
#include "app/win32/Win32Text.h"
#include "tests/app/win32/StartedForm.h"

namespace w20 {
namespace {

using test::StartedForm;

const char FullData[] = "http://127.0.0.1:1/q.php\r\nIDX\r\nFW20Z2\r\nFUT\r\nW20\r\ntickowy\r\n";

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return FromWide(name);
}

bool HasStyle(HWND window, LONG_PTR style) {
    return (GetWindowLongPtrW(window, GWL_STYLE) & style) == style;
}

LOGFONTW FontOf(HWND window) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// The width and height of a text in a control's font.
SIZE Measure(HWND control, const std::wstring& text) {
    const HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return size;
}

SIZE Measure(HWND control, const std::string& bytes) {
    return Measure(control, ToWide(bytes));
}

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
           "x" + std::to_string(r.bottom - r.top);
}

std::string Text(int left, int top, int width, int height) {
    return Text(RECT{left, top, left + width, top + height});
}

// The scale the tests' prefix gives the screen (run-window-tests.sh runs them at several).
int ScreenDpi() {
    const char* dpi = std::getenv("W20_TEST_DPI");
    return dpi == nullptr ? 96 : std::atoi(dpi);
}

// A length of the 96-dpi design at `dpi`, rounded to the nearest pixel.
int At(int dpi, int length) {
    return (length * dpi + 48) / 96;
}

// A rectangle of the design at `dpi`: exactly at 96 dpi, elsewhere within a pixel.
void ExpectNear(const RECT& r, int left, int top, int width, int height, int dpi) {
    const int x = At(dpi, left), y = At(dpi, top);
    EXPECT_LE(std::max({std::abs(r.left - x), std::abs(r.top - y), std::abs(r.right - x - At(dpi, width)),
                        std::abs(r.bottom - y - At(dpi, height))}),
              dpi == 96 ? 0 : 1)
        << Text(r) << " at " << dpi << " dpi";
}

TEST(Form1Window, TheWindowHasItsPlaceAndFrame) {
    StartedForm started(FullData);
    const HWND form = started.form->Handle();
    RECT client{};
    GetClientRect(form, &client);
    POINT origin{0, 0};
    ClientToScreen(form, &origin);
    const int dpi = ScreenDpi();
    EXPECT_EQ(started.form->Dpi(), dpi);
    ExpectNear(RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom}, 197, 107, 440,
               233, dpi);
    EXPECT_EQ(started.caption(form), "Korvane W20/FW20 Project");
    EXPECT_TRUE(HasStyle(form, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_FALSE(HasStyle(form, WS_MAXIMIZEBOX));
    EXPECT_FALSE(HasStyle(form, WS_THICKFRAME));
    EXPECT_EQ(GetClassLongPtrW(form, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
    EXPECT_NE(SendMessageW(form, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(form, WM_GETICON, ICON_SMALL, 0), 0);
    const LOGFONTW font = FontOf(started.control(idLabel4));
    EXPECT_EQ(FromWide(font.lfFaceName), "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -At(dpi, 11));
    if (dpi == 96) {
        EXPECT_EQ(Measure(started.control(idLabel4), L"Xg").cy, 13);  // a line of text: 11 and the leading
    }
    EXPECT_EQ(FontOf(started.control(idButton1)).lfHeight, -At(dpi, 13));
    EXPECT_FALSE(started.form->TimerEnabled());
}

struct Placed {
    const char* name;
    Form1ControlId id;
    const char* windowClass;
    int left, top, width, height;
    const char* text;  // nullptr: not checked here
};

// Every control where the design puts it at `dpi`. Labels size themselves to their caption: their
// size is the caption's in their font.
void ExpectEveryControlInPlace(const StartedForm& started, int dpi) {
    const std::string preview =
        "Podgl\xB9"
        "d danych 5 minutowych (plik \"vor5.txt\").";
    const Placed table[] = {
        {"Label1", idLabel1, "Static", 8, 32, -1, 13, preview.c_str()},
        {"Label3", idLabel3, "Static", 16, 8, 54, 13, "FW20 - last"},
        {"Label4", idLabel4, "Static", 13, 208, 221, 13,
         "dzisiejsze dane mo\xBFna \x9C"
         "ci\xB9ga\xE6 dopiero po sesji"},
        {"Label5", idLabel5, "Static", 260, 175, -1, 13, AuthorWebPage},
        {"Label6", idLabel6, "Static", 328, 190, -1, 13, AuthorMail},
        {"Label7", idLabel7, "Static", 13, 192, 222, 13,
         "Dane z poprzednich dni s\xB9 dost\xEApne ca\xB3y czas"},
        {"Label2", idLabel2, "Static", 260, 208, 81, 13, "Data provided by"},
        {"Label10", idLabel10, "Static", 344, 208, -1, 13, ProviderHost},
        {"Button1", idButton1, "Button", 6, 150, 41, 33, "Start"},
        {"RichEdit1", idRichEdit1, "RichEdit20W", 8, 48, 425, 57, ""},
        {"RadioGroup1", idRadioGroup1, "Button", 8, 112, 273, 33, "Dane"},
        {"RadioGroup2", idRadioGroup2, "Button", 288, 112, 129, 49, "Zapis"},
        {"DateTimePicker1", idDateTimePicker1, "SysDateTimePick32", 56, 152, 81, 21, nullptr},
    };
    for (const Placed& p : table) {
        SCOPED_TRACE(p.name);
        const HWND control = started.control(p.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), p.windowClass);
        const RECT r = started.rect(control);
        if (p.windowClass != std::string("Static")) {
            ExpectNear(r, p.left, p.top, p.width, p.height, dpi);
        } else {  // sized to the caption; at 96 dpi as designed
            const SIZE caption = Measure(control, started.caption(control));
            ExpectNear(RECT{r.left, r.top, r.left, r.top}, p.left, p.top, 0, 0, dpi);
            EXPECT_EQ(Text(r), Text(r.left, r.top, caption.cx, caption.cy));
            if (dpi == 96) {
                EXPECT_EQ(Text(r), Text(p.left, p.top, p.width >= 0 ? p.width : caption.cx, p.height));
            }
        }
        if (p.text != nullptr) {
            EXPECT_EQ(started.caption(control), p.text);
        }
    }
}

TEST(Form1Window, EveryControlIsInItsPlaceWithItsText) {
    StartedForm started(FullData);
    ExpectEveryControlInPlace(started, ScreenDpi());
}

// Moved to a monitor of another scale, the window takes the system's suggested place and lays
// everything out again at the new scale; back on the first monitor it is as before.
TEST(Form1Window, AMonitorOfAnotherScaleLaysTheWindowOutAgain) {
    StartedForm started(FullData);
    const HWND form = started.form->Handle();
    const int dpi = ScreenDpi();
    for (const int next : {dpi + dpi / 2, dpi}) {
        SCOPED_TRACE(next);
        RECT suggested{};
        GetWindowRect(form, &suggested);
        OffsetRect(&suggested, 10, 20);
        SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(next, next), reinterpret_cast<LPARAM>(&suggested));
        RECT frame{}, client{};
        GetWindowRect(form, &frame);
        GetClientRect(form, &client);
        EXPECT_EQ(Text(frame.left, frame.top, client.right, client.bottom),
                  Text(suggested.left, suggested.top, At(next, 440), At(next, 233)));
        EXPECT_EQ(FontOf(started.control(idLabel4)).lfHeight, -At(next, 11));
        EXPECT_EQ(FontOf(started.control(idButton1)).lfHeight, -At(next, 13));
        ExpectEveryControlInPlace(started, next);
    }
}

TEST(Form1Window, AnEmptyLabelHasTheWidthOfABlank) {
    StartedForm started(std::nullopt);  // no data.txt: the preview stays empty
    ASSERT_EQ(started.desktop.boxes.size(), 1u);
    EXPECT_EQ(started.desktop.boxes[0].message, "File not found.");
    EXPECT_EQ(Text(started.rect(idLabel1)), Text(8, 32, 3, 13));
    // A click on the item already selected runs no handler: the preview stays empty.
    ASSERT_TRUE(started.Click(started.item(idRadioGroup1Item0, 0)));
    EXPECT_EQ(started.caption(idLabel1), "");
    ASSERT_TRUE(started.Click(started.item(idRadioGroup1Item0, 2)));
    EXPECT_EQ(started.caption(idLabel1),
              "Podgl\xB9"
              "d danych 30 minutowych (plik \"vor30.txt\").");
}

TEST(Form1Window, EveryTextFitsItsControl) {
    StartedForm started(FullData);
    const int dpi = ScreenDpi();
    RECT client{};
    GetClientRect(started.form->Handle(), &client);
    for (const Form1ControlId id :
         {idLabel1, idLabel3, idLabel4, idLabel5, idLabel6, idLabel7, idLabel2, idLabel10}) {
        const RECT r = started.rect(id);
        const SIZE text = Measure(started.control(id), started.caption(id));
        SCOPED_TRACE(started.caption(id));
        EXPECT_GE(r.right - r.left, text.cx);
        EXPECT_GE(r.bottom - r.top, text.cy);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom);
    }
    EXPECT_LT(started.rect(idLabel2).right, started.rect(idLabel10).left);
    EXPECT_LE(Measure(started.control(idButton1), "Start").cx + At(dpi, 8), At(dpi, 41));
    for (const Form1ControlId group : {idRadioGroup1, idRadioGroup2}) {
        const RECT box = started.rect(group);
        EXPECT_LE(Measure(started.control(group), started.caption(group)).cx + At(dpi, 16),
                  box.right - box.left);
        const Form1ControlId first = group == idRadioGroup1 ? idRadioGroup1Item0 : idRadioGroup2Item0;
        for (int i = 0; i < (group == idRadioGroup1 ? 3 : 2); ++i) {
            const HWND item = started.item(first, i);
            SCOPED_TRACE(started.caption(item));
            const RECT r = started.rect(item);
            // The round box, a gap, then the text.
            EXPECT_LE(GetSystemMetrics(SM_CXMENUCHECK) + At(dpi, 4) + Measure(item, started.caption(item)).cx,
                      r.right - r.left);
            EXPECT_GE(r.bottom - r.top, Measure(item, started.caption(item)).cy);
            EXPECT_TRUE(r.left > box.left && r.top > box.top && r.right < box.right && r.bottom < box.bottom);
        }
    }
    // The date, the drop-down button and the frame.
    const HWND picker = started.control(idDateTimePicker1);
    EXPECT_LE(Measure(picker, started.form->shortDateText()).cx + GetSystemMetrics(SM_CXVSCROLL) + At(dpi, 6),
              At(dpi, 81));
}

TEST(Form1Window, ControlsHaveTheirKindAndSettings) {
    StartedForm started(FullData);
    const HWND edit = started.control(idRichEdit1);
    EXPECT_TRUE(HasStyle(edit, ES_MULTILINE | ES_WANTRETURN));
    EXPECT_FALSE(HasStyle(edit, WS_HSCROLL));  // long lines wrap
    EXPECT_FALSE(HasStyle(edit, ES_AUTOHSCROLL));
    EXPECT_TRUE(SendMessageW(edit, EM_GETTEXTMODE, 0, 0) & TM_PLAINTEXT);
    EXPECT_TRUE(HasStyle(started.control(idButton1), WS_TABSTOP));

    const HWND picker = started.control(idDateTimePicker1);
    EXPECT_TRUE(HasStyle(picker, DTS_SHORTDATEFORMAT));
    EXPECT_FALSE(HasStyle(picker, DTS_RIGHTALIGN));   // the calendar opens at the left edge
    EXPECT_FALSE(HasStyle(picker, DTS_APPCANPARSE));  // no free-form text
    EXPECT_FALSE(HasStyle(picker, DTS_TIMEFORMAT));
    SYSTEMTIME shown{}, today{};
    SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
    GetLocalTime(&today);
    EXPECT_EQ(Text(shown.wYear, shown.wMonth, shown.wDay, 0), Text(today.wYear, today.wMonth, today.wDay, 0));

    const char* const items[] = {"5-minutowe", "15-minutowe", "30-minutowe", "MetaStock",
                                 "Omega TradeStation"};
    for (int i = 0; i < 5; ++i) {
        const HWND item =
            i < 3 ? started.item(idRadioGroup1Item0, i) : started.item(idRadioGroup2Item0, i - 3);
        SCOPED_TRACE(items[i]);
        EXPECT_EQ(started.caption(item), items[i]);
        EXPECT_TRUE(HasStyle(item, BS_AUTORADIOBUTTON));
        EXPECT_EQ(SendMessageW(item, BM_GETCHECK, 0, 0), i == 0 || i == 3 ? BST_CHECKED : BST_UNCHECKED);
    }
    // Three items in a row, two in a column.
    EXPECT_EQ(started.rect(started.item(idRadioGroup1Item0, 1)).top,
              started.rect(started.item(idRadioGroup1Item0, 0)).top);
    EXPECT_GT(started.rect(started.item(idRadioGroup1Item0, 1)).left,
              started.rect(started.item(idRadioGroup1Item0, 0)).right - 1);
    EXPECT_EQ(started.rect(started.item(idRadioGroup2Item0, 1)).left,
              started.rect(started.item(idRadioGroup2Item0, 0)).left);
    EXPECT_GT(started.rect(started.item(idRadioGroup2Item0, 1)).top,
              started.rect(started.item(idRadioGroup2Item0, 0)).bottom - 1);
}

TEST(Form1Window, TabGoesThroughTheControlsInTheirOrder) {
    StartedForm started(FullData);
    const HWND form = started.form->Handle();
    const HWND order[] = {started.control(idButton1),          started.control(idRichEdit1),
                          started.item(idRadioGroup1Item0, 0), started.item(idRadioGroup2Item0, 0),
                          started.control(idDateTimePicker1),  started.control(idButton1)};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(GetNextDlgTabItem(form, order[i], FALSE), order[i + 1]) << i;
}

TEST(Form1Window, LinksAreBlueWithAHandAndLabelsOnButtonFace) {
    StartedForm started(FullData);
    const HWND form = started.form->Handle();
    const HDC dc = CreateCompatibleDC(nullptr);
    for (const Form1ControlId id : {idLabel1, idLabel5, idLabel6, idLabel10, idLabel2}) {
        SCOPED_TRACE(started.caption(id));
        const bool link = id == idLabel5 || id == idLabel6 || id == idLabel10;
        const LRESULT brush = SendMessageW(form, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(started.control(id)));
        EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
        EXPECT_EQ(GetTextColor(dc), link ? RGB(0, 0, 255) : GetSysColor(COLOR_WINDOWTEXT));
        EXPECT_EQ(FontOf(started.control(id)).lfUnderline != 0, id == idLabel5 || id == idLabel10);
        const LRESULT handled =
            SendMessageW(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(started.control(id)),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(handled == TRUE && GetCursor() == LoadCursorW(nullptr, IDC_HAND), link);
    }
    DeleteDC(dc);
}

// A raised box lights its top and left edges and shades the others; a lowered one the other way.
TEST(Form1Window, BevelsAreDrawnInTheirPlaces) {
    StartedForm started(FullData);
    const HWND form = started.form->Handle();
    ShowWindow(form, SW_SHOWNOACTIVATE);
    UpdateWindow(form);
    test::Pump(*started.form, std::chrono::milliseconds(300));
    const HDC dc = GetDC(form);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shade = GetSysColor(COLOR_BTNSHADOW);
    struct Pixel {
        int x, y;
        COLORREF colour;
    };
    const Pixel pixels[] = {
        {256, 168, light},
        {300, 168, light},
        {256, 171, light},
        {300, 172, shade},
        {431, 170, shade},  // Bevel2
        {257, 224, light},
        {300, 228, shade},
        {431, 226, shade},  // Bevel3
        {8, 4, shade},
        {200, 4, shade},
        {8, 20, shade},
        {200, 24, light},  // Bevel1
        {300, 170, GetSysColor(COLOR_BTNFACE)},
        {300, 226, GetSysColor(COLOR_BTNFACE)},
    };
    for (const Pixel& p : pixels)
        EXPECT_EQ(GetPixel(dc, p.x, p.y), p.colour) << p.x << "," << p.y;
    ReleaseDC(form, dc);
}

TEST(Form1Window, IntervalChoiceAndLinksRunTheirHandlers) {
    StartedForm started(FullData);
    const char* const texts[] = {"15", "30", "5"};
    const int order[] = {1, 2, 0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(started.Click(started.item(idRadioGroup1Item0, order[i])));
        EXPECT_EQ(started.form->intervalIndex(), order[i]);
        EXPECT_EQ(started.form->Handlers().IntervalText(), texts[i]);
        const std::string preview =
            "Podgl\xB9"
            "d danych " +
            std::string(texts[i]) + " minutowych (plik \"vor" + texts[i] + ".txt\").";
        EXPECT_EQ(started.caption(idLabel1), preview);
        EXPECT_EQ(started.rect(idLabel1).right - 8, Measure(started.control(idLabel1), preview).cx);
    }
    ASSERT_TRUE(started.Click(started.item(idRadioGroup2Item0, 1)));
    EXPECT_EQ(started.form->formatIndex(), 1);
    EXPECT_EQ(started.form->intervalIndex(), 0);  // the groups do not share their items

    // With no item selected the interval text stays.
    SendMessageW(started.item(idRadioGroup1Item0, 0), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(started.form->intervalIndex(), -1);
    started.form->Handlers().Run(&Form1Handlers::RadioGroup1Click);
    EXPECT_EQ(started.form->Handlers().IntervalText(), "5");

    for (const Form1ControlId id : {idLabel5, idLabel6, idLabel10}) {
        ASSERT_TRUE(started.Post(started.control(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2)));
        ASSERT_TRUE(started.Post(started.control(id), WM_LBUTTONUP, 0, MAKELPARAM(2, 2)));
    }
    ASSERT_EQ(started.desktop.opened.size(), 3u);
    EXPECT_EQ(started.desktop.opened[0], "http://" + started.caption(idLabel5));
    EXPECT_EQ(started.desktop.opened[1],
              "mailto:" + started.caption(idLabel6) + "?subject=Korvane RT project");
    EXPECT_EQ(started.desktop.opened[2], "http://" + started.caption(idLabel10));
    EXPECT_TRUE(started.desktop.boxes.empty());
}

}  // namespace
}  // namespace w20

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <string>
#include <vector>

#include "quotes/ExportWriters.h"
#include "quotes/RewritingRules.h"
#include "tests/app/win32/StartedForm.h"

namespace w20 {
namespace {

using test::StartedForm;

// A form whose data.txt names the service's tickers.
struct QuoteForm : StartedForm {
    QuoteForm() : StartedForm("http://127.0.0.1:1/q.php\r\nIDX\r\nFW20Z2\r\nFUT\r\nWIG20\r\n-\r\n") {}
    HWND editor() const { return control(idRichEdit1); }
    LONG caret() const {
        CHARRANGE range{};
        SendMessageW(editor(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return range.cpMin;
    }
};

struct LinesCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
    std::string text;
};

class RichEdit1Lines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(RichEdit1Lines, LinesEndAtEveryLineBreak) {
    const LinesCase& c = GetParam();
    QuoteForm started;
    QuoteWindow& window = *started.form;
    window.setText(c.bytes);
    EXPECT_EQ(window.text(), c.text);
    ASSERT_EQ(window.lineCount(), static_cast<int>(c.lines.size()));
    for (std::size_t i = 0; i < c.lines.size(); ++i)
        EXPECT_EQ(window.line(static_cast<int>(i)), c.lines[i]) << i;
    EXPECT_EQ(window.line(static_cast<int>(c.lines.size())), "");
    EXPECT_EQ(window.line(-1), "");
}

std::string EveryByteButLineBreaks() {
    std::string bytes = "W20[VOR],5,";
    for (int c = 0; c < 256; ++c) {
        if (c != '\r' && c != '\n')
            bytes += static_cast<char>(c);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RichEdit1Lines,
    ::testing::Values(LinesCase{"CrLf", "a\r\nb", {"a", "b"}, "a\r\nb"},
                      LinesCase{"LoneLfAndLoneCr", "a\nb\rc\r\n", {"a", "b", "c"}, "a\r\nb\r\nc\r\n"},
                      LinesCase{"CrBeforeCrLf", "a\r\r\nb", {"a", "", "b"}, "a\r\n\r\nb"},
                      LinesCase{"EmptyLines", "\r\n\r\nx", {"", "", "x"}, "\r\n\r\nx"},
                      LinesCase{"OnlyALineBreak", "\r\n", {""}, "\r\n"}, LinesCase{"Empty", "", {}, ""},
                      LinesCase{"EveryByte",
                                EveryByteButLineBreaks(),
                                {EveryByteButLineBreaks()},
                                EveryByteButLineBreaks()}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return info.param.name; });

TEST(RichEdit1, LongLinesAreReadCutButKeptWhole) {
    QuoteForm started;
    const std::string longLine = "FW20[VOR],5," + std::string(20000, '7');
    started.form->setText(longLine + "\r\nW20[VOR],5,1");
    ASSERT_EQ(started.form->lineCount(), 2);
    EXPECT_EQ(started.form->line(0), longLine.substr(0, 4096));
    EXPECT_EQ(started.form->line(1), "W20[VOR],5,1");
    EXPECT_EQ(started.form->text().size(), longLine.size() + 14);
}

// Positions count a line break as two, the control counts it as one.
TEST(RichEdit1, TheCaretCountsLineBreaksAsTwo) {
    struct Case {
        const char* bytes;
        int position;
        LONG inControl;
    };
    const Case cases[] = {{"ab\r\ncd", 0, 0},  {"ab\r\ncd", 2, 2},   {"ab\r\ncd", 3, 2},
                          {"ab\r\ncd", 4, 3},  {"ab\r\ncd", 6, 5},   {"ab\r\ncd", 100, 5},
                          {"ab\r\ncd", -3, 0}, {"ab\ncd\nef", 8, 6}, {"\r\n\r\nx", 4, 2},
                          {"", 20, 0}};
    QuoteForm started;
    for (const Case& c : cases) {
        started.form->setText(c.bytes);
        started.form->setCaret(c.position);
        EXPECT_EQ(started.caret(), c.inControl) << c.bytes << " at " << c.position;
    }
}

TEST(RichEdit1, ScrollingShowsTheEndOfTheText) {
    QuoteForm started;
    ShowWindow(started.form->Handle(), SW_SHOWNOACTIVATE);
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "W20[VOR],5,20020926,0930,1234.00,1236.50\r\n";
    text += "FW20[VOR],5,last";
    started.form->setText(text);
    EXPECT_EQ(SendMessageW(started.editor(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    ScrollToEnd(*started.form);
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_POS;
    GetScrollInfo(started.editor(), SB_VERT, &bar);
    EXPECT_GT(bar.nPos, 0);
    // The last line shows whole.
    POINTL end{};
    const LONG last = static_cast<LONG>(text.size()) - 200;  // a line break is one character here
    SendMessageW(started.editor(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&end), last);
    RECT view{};
    SendMessageW(started.editor(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
    EXPECT_GE(end.y, view.top);
    EXPECT_LE(end.y + 13, view.bottom);
    // The vertical scroll bar shows once the text is longer than the view; long lines wrap.
    EXPECT_EQ(GetWindowLongPtrW(started.editor(), GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL);
    // 20 back from the end: over the short last line and its line break into the line before.
    EXPECT_EQ(SendMessageW(started.editor(), EM_EXLINEFROMCHAR, 0, started.caret()), 199);
}

TEST(RichEdit1, TheUsersTypingIsReadBack) {
    QuoteForm started;
    started.form->setText("W20[VOR],5,1\r\n");
    ASSERT_EQ(started.form->lineCount(), 1);
    SendMessageW(started.editor(), EM_SETSEL, -1, -1);
    SendMessageW(started.editor(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"FW20[VOR],5,3"));
    EXPECT_EQ(started.form->lineCount(), 2);
    EXPECT_EQ(started.form->line(1), "FW20[VOR],5,3");
    SetWindowTextW(started.editor(), L"");
    EXPECT_EQ(started.form->lineCount(), 0);
}

TEST(QuoteWindow, LabelCaptionAndChoices) {
    QuoteForm started;
    TForm1& form = *started.form;
    const LONG width = started.rect(idLabel3).right - started.rect(idLabel3).left;
    form.setLastFuturesLine("FW20[VOR],5,20020926,0930,1230.50,1231.00,1229.00,1230.00,17 \xB9");
    EXPECT_EQ(started.caption(idLabel3), "FW20[VOR],5,20020926,0930,1230.50,1231.00,1229.00,1230.00,17 \xB9");
    EXPECT_GT(started.rect(idLabel3).right - started.rect(idLabel3).left, width);
    form.setCaption("Korvane W20/FW20 RealTime? Project - Download failed!");
    EXPECT_EQ(started.caption(form.Handle()), "Korvane W20/FW20 RealTime? Project - Download failed!");
    EXPECT_EQ(form.intervalIndex(), 0);
    EXPECT_EQ(form.formatIndex(), 0);
}

TEST(QuoteWindow, DateAndTimeFollowTheRegionalSettings) {
    QuoteForm started;
    SYSTEMTIME day{};
    day.wYear = 2002;
    day.wMonth = 9;
    day.wDay = 26;
    SendMessageW(started.control(idDateTimePicker1), DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(&day));
    // The tests run with Polish regional settings.
    EXPECT_EQ(started.form->shortDateText(), "26.09.2002");
    const std::string time = started.form->longTimeText();
    ASSERT_EQ(time.size(), 8u) << time;
    for (int i : {2, 5})
        EXPECT_EQ(time[static_cast<std::size_t>(i)], ':') << time;
}

TEST(QuoteWindow, ProcessEventsHandlesWhatIsWaiting) {
    QuoteForm started;
    PostMessageW(started.item(idRadioGroup1Item0, 2), BM_CLICK, 0, 0);
    EXPECT_EQ(started.form->intervalIndex(), 0);
    started.form->processEvents();
    EXPECT_EQ(started.form->intervalIndex(), 2);
    EXPECT_EQ(started.form->Handlers().IntervalText(), "30");
    started.form->repaintNow();
}

TEST(QuoteWindow, MetaStockCycleTailOnTheControls) {
    QuoteForm started;
    TForm1& form = *started.form;
    form.setText(
        "Ticker,Per,Date,Time,Close\nWIG20,5,20020926,093000,1234.00\r\nWIG20,5,20020926,093500,1235.00\r\n"
        "Ticker,Per,Date,Time,Close\rFW20Z2,5,20020926,093000,1230.50\r\n");
    ApplyMetaStockRules(form, form.Config());
    ScrollToEnd(form);
    WriteMetaStockFile(form);
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")),
              "W20[VOR],5,20020926,093000,1234.00\r\nW20[VOR],5,20020926,093500,1235.00\r\n"
              "FW20[VOR],5,20020926,093000,1230.50\r\n");
    EXPECT_EQ(started.caption(idLabel3), "FW20[VOR],5,20020926,093000,1230.50");
}

// An edit waiting in the queue when the writer starts is handled at its first line.
TEST(QuoteWindow, WritersFollowTheControlWhileHandlingMessages) {
    QuoteForm started;
    TForm1& form = *started.form;
    form.setText("W20[VOR],5,1\r\nFW20[VOR],5,2\r\n");
    PostMessageW(started.editor(), EM_SETSEL, 0, -1);
    PostMessageW(started.editor(), WM_CLEAR, 0, 0);
    WriteMetaStockFile(form);
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")), "");
    EXPECT_EQ(started.caption(idLabel3), "FW20 - last");
}

}  // namespace
}  // namespace w20

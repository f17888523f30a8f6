#include "quotes/ExportWriters.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

#include "base/TextFile.h"
#include "tests/quotes/ExportWritersCases.h"

namespace w20::test {
namespace {

struct WriterCase {
    const char* name;
    Format format;
    std::string periodMode;
    std::string interval;
    std::string text;
    Files before;
    Files after;  // the whole folder
    std::string label;
    int eventPasses;
};

TEST(ExportWriters, WriteTheBarLinesOfTheTextArea) {
    const std::string longLine = "W20[VOR],5," + std::string(5000, '7');
    const std::string megaLine = "FW20[VOR],5," + std::string(1 << 20, '8');
    const std::string odd = std::string("W20[VOR],5,\0\x80\xB9\xFF\xA0", 16);
    const WriterCase cases[] = {
        {"MetaStock: both instruments, header skipped",
         Format::MetaStock,
         "",
         "5",
         Lines({Header, Index1, Index2, "", Header, Future1, Future2}),
         {},
         {{"vor5.txt", Lines({Index1, Index2, Future1, Future2})}},
         Future2,
         7 + 2},
        {"MetaStock: a bar line first is written",
         Format::MetaStock,
         "",
         "5",
         Lines({Index1, Future1}),
         {},
         {{"vor5.txt", Lines({Index1, Future1})}},
         Future1,
         2 + 1},
        {"MetaStock: empty text area",
         Format::MetaStock,
         "",
         "5",
         "",
         {},
         {{"vor5.txt", ""}},
         "FW20 - last",
         0},
        {"MetaStock: only index lines keep the label",
         Format::MetaStock,
         "",
         "15",
         Lines({Header, Index1}),
         {},
         {{"vor15.txt", Lines({Index1})}},
         "FW20 - last",
         2},
        {"MetaStock: no bar line empties the old file, others untouched",
         Format::MetaStock,
         "",
         "5",
         Lines({Header, "Brak danych"}),
         {{"vor5.txt", "old"}, {"vor15.txt", "v15"}, {"w20vor5.txt", "w"}},
         {{"vor5.txt", ""}, {"vor15.txt", "v15"}, {"w20vor5.txt", "w"}},
         "FW20 - last",
         2},
        {"MetaStock: prefixes exact and whole",
         Format::MetaStock,
         "",
         "5",
         Lines({"W20[VOR", "FW20[VOR", "w20[vor],5,1", " W20[VOR],5,1", "FW20[VOR]", "W20[VOR]"}),
         {},
         {{"vor5.txt", Lines({"FW20[VOR]", "W20[VOR]"})}},
         "FW20[VOR]",
         6 + 1},
        {"MetaStock: lines cut to 4096 bytes",
         Format::MetaStock,
         "",
         "5",
         Lines({longLine, megaLine}),
         {},
         {{"vor5.txt", Lines({longLine.substr(0, 4096), megaLine.substr(0, 4096)})}},
         megaLine.substr(0, 4096),
         3},
        {"MetaStock: bytes pass unchanged, any line end",
         Format::MetaStock,
         "",
         "5",
         odd + "\n" + Future1 + "\r" + Index1 + "\r\n",
         {},
         {{"vor5.txt", Lines({odd, Future1, Index1})}},
         Future1,
         3 + 1},
        {"MetaStock: no interval text yet",
         Format::MetaStock,
         "",
         "",
         Lines({Index1}),
         {},
         {{"vor.txt", Lines({Index1})}},
         "FW20 - last",
         1},

        {"Omega: prefix cut, first line never written",
         Format::Omega,
         "",
         "5",
         Lines({Index1, Index2, "W20[VOR],15,20020926,0940,1", Future1, Future2}),
         {},
         {{"w20vor5.txt",
           Lines({"20020926,0935,1235.00,1237.00,1234.50,1236.00,900", "W20[VOR],15,20020926,0940,1"})},
          {"fw20vor5.txt", Lines({"20020926,0930,1230.50,1231.00,1229.00,1230.00,17",
                                  "20020926,0935,1230.00,1232.00,1229.50,1231.50,4"})}},
         Future2,
         4 + 4 + 2},
        {"Omega: tickowy",
         Format::Omega,
         "tickowy",
         "5",
         Lines({Header, "W20[VOR],I,20020926,0930,1234.00", "FW20[VOR],I,20020926,0930,1234.00",
                "FW20[VOR],5,20020926,0935,1"}),
         {},
         {{"w20vor5.txt", Lines({"20020926,0930,1234.00"})},
          {"fw20vor5.txt", Lines({"20020926,0930,1234.00", "FW20[VOR],5,20020926,0935,1"})}},
         "FW20[VOR],5,20020926,0935,1",
         3 + 3 + 2},
        {"Omega: tickowy with a trailing blank keeps the minutes",
         Format::Omega,
         "tickowy ",
         "30",
         Lines({Header, "W20[VOR],30,1", "W20[VOR],I,2"}),
         {},
         {{"w20vor30.txt", Lines({"1", "W20[VOR],I,2"})}, {"fw20vor30.txt", ""}},
         "FW20 - last",
         2 + 2},
        {"Omega: every occurrence of the prefix goes",
         Format::Omega,
         "",
         "5",
         Lines({Header, "W20[VOR],5,a,W20[VOR],5,b", "FW20[VOR],5,FW20[VOR],5,c"}),
         {},
         {{"w20vor5.txt", Lines({"a,b"})}, {"fw20vor5.txt", Lines({"c"})}},
         "FW20[VOR],5,FW20[VOR],5,c",
         2 + 2 + 1},
        {"Omega: the index prefix inside a future line stays",
         Format::Omega,
         "",
         "5",
         Lines({Header, "FW20[VOR],5,W20[VOR],5,1"}),
         {},
         {{"w20vor5.txt", ""}, {"fw20vor5.txt", Lines({"W20[VOR],5,1"})}},
         "FW20[VOR],5,W20[VOR],5,1",
         1 + 1 + 1},
        {"Omega: only index lines, others untouched",
         Format::Omega,
         "",
         "5",
         Lines({Header, Index1}),
         {{"fw20vor5.txt", "old"}, {"vor5.txt", "m"}, {"w20vor15.txt", "i15"}},
         {{"w20vor5.txt", Lines({"20020926,0930,1234.00,1236.50,1230.00,1235.00,1200"})},
          {"fw20vor5.txt", ""},
          {"vor5.txt", "m"},
          {"w20vor15.txt", "i15"}},
         "FW20 - last",
         1 + 1},
        {"Omega: empty text area",
         Format::Omega,
         "",
         "5",
         "",
         {},
         {{"w20vor5.txt", ""}, {"fw20vor5.txt", ""}},
         "FW20 - last",
         0},
        {"Omega: one line only",
         Format::Omega,
         "",
         "5",
         Future1,
         {},
         {{"w20vor5.txt", ""}, {"fw20vor5.txt", ""}},
         "FW20 - last",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        test::ScopedWorkingDirectory cwd(dir.Path());
        for (const auto& [name, bytes] : c.before)
            WriteFileBytes(dir.File(name), bytes);
        FakeWindow window;
        window.intervalTextValue = c.interval;
        window.setText(c.text);
        Write(c.format, window, Mode(c.periodMode));
        EXPECT_EQ(FolderFiles(dir.Path()), c.after);
        EXPECT_EQ(window.lastFuturesLine, c.label);
        EXPECT_EQ(window.eventPasses, c.eventPasses);
    }
}

TEST(ExportWriters, ScrollShowsTheEndOfTheText) {
    const struct {
        std::string text;
        int caret;
    } cases[] = {
        {"", 20},
        {"12345", 15},
        {std::string(20, 'x'), 0},
        {std::string(25, 'x'), 5},
        {"0123456789\r\n0123456789\r\n", 4},  // line breaks count as CR LF
        {"0123456789\n0123456789\n", 4},
        {"0123456789\r0123456789\r\n", 4},
    };
    for (const auto& c : cases) {
        FakeWindow window;
        window.setText(c.text);
        ScrollToEnd(window);
        EXPECT_EQ(window.caret, c.caret) << c.text;
    }
}

// The user acts while the writers let the window process events.
struct LiveCase {
    const char* name;
    Format format;
    std::string text;
    int atPass;  // the event pass at which the user acts, from 1
    std::function<void(FakeWindow&)> act;
    Files after;
    std::string label;
};

TEST(ExportWriters, FollowTheLiveWindow) {
    const std::string text = Lines({Header, Index1, Index2, Future1, Future2});
    const LiveCase cases[] = {
        {"emptying the text area ends the file",
         Format::MetaStock,
         text,
         3,
         [](FakeWindow& w) { w.setText(""); },
         {{"vor5.txt", Lines({Index1})}},
         "FW20 - last"},
        {"emptying the text area ends the index file and skips the future",
         Format::Omega,
         text,
         2,
         [](FakeWindow& w) { w.setText(""); },
         {{"w20vor5.txt", Lines({"20020926,0930,1234.00,1236.50,1230.00,1235.00,1200"})},
          {"fw20vor5.txt", ""}},
         "FW20 - last"},
        {"a shorter text: the walk ends where it is",
         Format::MetaStock,
         text,
         4,
         [](FakeWindow& w) {
             w.setText(Lines({Header, Future1}));
         },
         {{"vor5.txt", Lines({Index1, Index2})}},
         "FW20 - last"},
        {"lines added are written",
         Format::MetaStock,
         Lines({Index1}),
         1,
         [](FakeWindow& w) {
             w.setText(Lines({Index1, Future1, Future2}));
         },
         {{"vor5.txt", Lines({Index1, Future1, Future2})}},
         Future2},
        {"an edited line is written as it reads now",
         Format::MetaStock,
         Lines({Header, Index1}),
         2,
         [](FakeWindow& w) {
             w.setText(Lines({Header, Future2}));
         },
         {{"vor5.txt", Lines({Future2})}},
         Future2},
        {"an interval change names the next file and cuts the next prefixes",
         Format::Omega,
         Lines({Header, Index1, "W20[VOR],15,1", "FW20[VOR],5,2", "FW20[VOR],15,3"}),
         2,
         [](FakeWindow& w) { w.intervalTextValue = "15"; },
         {{"w20vor5.txt", Lines({"20020926,0930,1234.00,1236.50,1230.00,1235.00,1200", "1"})},
          {"fw20vor15.txt", Lines({"FW20[VOR],5,2", "3"})}},
         "FW20[VOR],15,3"},
        {"an interval change during the MetaStock file keeps its name",
         Format::MetaStock,
         Lines({Index1}),
         1,
         [](FakeWindow& w) { w.intervalTextValue = "30"; },
         {{"vor5.txt", Lines({Index1})}},
         "FW20 - last"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        test::ScopedWorkingDirectory cwd(dir.Path());
        FakeWindow window;
        window.setText(c.text);
        window.OnProcessEvents = [&] {
            if (window.eventPasses == c.atPass)
                c.act(window);
        };
        Write(c.format, window, Mode(""));
        EXPECT_EQ(FolderFiles(dir.Path()), c.after);
        EXPECT_EQ(window.lastFuturesLine, c.label);
        EXPECT_EQ(window.readsPastEnd, 0);
    }
}

// The user keeps typing: every pass changes the text, sometimes to nothing at all.
TEST(ExportWriters, SurviveATextChangingAtEveryPass) {
    TempDir dir;
    test::ScopedWorkingDirectory cwd(dir.Path());
    for (const Format format : {Format::MetaStock, Format::Omega}) {
        FakeWindow window;
        window.setText(Lines({Header, Index1, Future1, Index2, Future2}));
        window.OnProcessEvents = [&] {
            const int pass = window.eventPasses;
            std::string text;
            for (int i = 0; i < (pass * 7) % 11; ++i)
                text += (i % 2 ? Future1 : Index1) + "\r\n";
            window.setText(text);
            if (pass > 300)
                window.setText("");
        };
        Write(format, window, Mode(""));
        EXPECT_LE(window.eventPasses, 310);
        EXPECT_EQ(window.readsPastEnd, 0);
    }
}

}  // namespace
}  // namespace w20::test

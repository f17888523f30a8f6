#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "tests/app/DemoCycles.h"
#include "tests/app/win32/StartedForm.h"
#include "tests/support/ScriptedServer.h"

// Whole download cycles through the window's own messages, as the user would run them.
namespace w20 {
namespace {

using test::StartedForm;

const std::string LastCaption = "Korvane W20/FW20 RealTime? Project - Last ";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

void SetPickerDate(StartedForm& started, int year, int month, int day) {
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    SendMessageW(started.control(idDateTimePicker1), DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(&date));
}

std::string LastLine(const std::string& file) {
    const std::size_t end = file.size() - 2;  // before the final CR LF
    return file.substr(file.rfind("\r\n", end - 1) + 2, end - file.rfind("\r\n", end - 1) - 2);
}

// The demo quote service runs beside the test, and the Linux build has written the export files
// of the same cycles for the same date into the reference folder (run-window-tests.sh).
TEST(DemoCycle, TheWindowWritesTheFilesOfTheLinuxBuild) {
    const std::string service = Environment("W20_DEMO_SERVICE");
    const std::string reference = Environment("W20_REFERENCE_FILES");
    ASSERT_FALSE(service.empty() || reference.empty()) << "run through tests/app/win32/run-window-tests.sh";
    StartedForm started(test::DemoDataFile(service));
    ASSERT_TRUE(started.desktop.boxes.empty());
    ShowWindow(started.form->Handle(), SW_SHOWNOACTIVATE);
    SetPickerDate(started, test::DemoYear, test::DemoMonth, test::DemoDay);
    ASSERT_EQ(started.form->shortDateText(), test::DemoShortDate);

    bool first = true;
    for (const test::DemoCycle& cycle : test::DemoCycles) {
        SCOPED_TRACE(std::to_string(cycle.interval) + " " + std::to_string(cycle.format));
        ASSERT_TRUE(started.Click(started.item(idRadioGroup1Item0, cycle.interval)));
        ASSERT_TRUE(started.Click(started.item(idRadioGroup2Item0, cycle.format)));
        // The first cycle from Start, the others from the timer's tick.
        if (first)
            ASSERT_TRUE(started.Click(started.control(idButton1)));
        else
            ASSERT_TRUE(started.Post(started.form->Handle(), WM_TIMER, 1));
        first = false;
        ASSERT_TRUE(started.desktop.boxes.empty()) << started.desktop.boxes[0].message;
        EXPECT_TRUE(started.form->TimerEnabled());
        EXPECT_EQ(started.caption(started.form->Handle()).substr(0, LastCaption.size()), LastCaption);
    }
    EXPECT_EQ(test::ListFolder(started.dir.Path()), test::ListFolder(reference));
    for (const char* name :
         {"vor5.txt", "w20vor15.txt", "fw20vor15.txt", "vor30.txt", "w20vor30.txt", "fw20vor30.txt"}) {
        SCOPED_TRACE(name);
        const std::string written = test::ReadFileBytes(started.dir.File(name));
        EXPECT_GT(written.size(), 30u * 20);
        EXPECT_EQ(written, test::ReadFileBytes(reference + "\\" + name));
    }
    // Label3 holds the whole last future line of the Omega export.
    EXPECT_EQ(started.caption(idLabel3),
              "FW20[VOR],30," + LastLine(test::ReadFileBytes(reference + "\\fw20vor30.txt")));
}

TEST(DemoCycle, AFailureShowsItsBoxAndStopsTheTimer) {
    std::string url;
    {
        test::ScriptedServer gone(std::vector<test::Script>{});
        url = gone.Url("/q.php");
    }
    StartedForm started(test::DemoDataFile(url));
    test::WriteFileBytes(started.dir.File("vor5.txt"), "old\r\n");
    ASSERT_TRUE(started.Click(started.control(idButton1)));
    ASSERT_EQ(started.desktop.boxes.size(), 1u);
    EXPECT_EQ(started.desktop.boxes[0].caption, "W20/FW20 by VOR");
    EXPECT_EQ(started.desktop.boxes[0].message.rfind("Socket Error # 10061\r\n", 0), 0u)
        << started.desktop.boxes[0].message;
    EXPECT_FALSE(started.form->TimerEnabled());
    EXPECT_EQ(started.caption(started.form->Handle()), "Korvane W20/FW20 Project");
    EXPECT_EQ(started.form->text(), "");
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")), "old\r\n");
}

// The user closes the window once the request has gone out: a timer's call, run while the cycle
// handles the waiting messages.
struct Closer {
    const test::ScriptedServer& server;
    TForm1& form;
    bool asked = false;
    bool heldBack = false;  // the window stayed while the cycle still ran
};
Closer* closer = nullptr;

void CALLBACK CloseOnceAsked(HWND, UINT, UINT_PTR, DWORD) {
    if (closer->asked || closer->server.Received(0).empty())
        return;
    closer->asked = true;
    const HWND form = closer->form.Handle();
    SendMessageW(form, WM_CLOSE, 0, 0);
    closer->heldBack = IsWindow(form) && closer->form.Handlers().CycleRunning();
}

// The cycle gives up its wait on the silent service at once, quietly, and the window goes once
// the cycle has unwound.
TEST(DemoCycle, ClosingDuringADownloadEndsItAndTheWindow) {
    test::ScriptedServer server({{test::WaitRequest(), test::Silent(test::Millis(5000))}},
                                {.waitBound = test::Millis(6000)});
    StartedForm started(test::DemoDataFile(server.Url("/q.php")));
    test::WriteFileBytes(started.dir.File("vor5.txt"), "old\r\n");
    const HWND form = started.form->Handle();
    ShowWindow(form, SW_SHOWNOACTIVATE);
    Closer watch{server, *started.form};
    closer = &watch;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, CloseOnceAsked);

    const auto start = std::chrono::steady_clock::now();
    PostMessageW(started.control(idButton1), BM_CLICK, 0, 0);
    while (IsWindow(form) && std::chrono::steady_clock::now() - start < std::chrono::seconds(8)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            started.form->Dispatch(message);
    }
    KillTimer(nullptr, timer);
    closer = nullptr;
    EXPECT_TRUE(watch.asked);
    EXPECT_TRUE(watch.heldBack);
    EXPECT_FALSE(IsWindow(form));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(started.desktop.boxes.empty());
    EXPECT_FALSE(started.form->TimerEnabled());
    EXPECT_EQ(started.caption(idLabel3), "");  // the controls went with the window
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")), "old\r\n");
    EXPECT_TRUE(server.WaitForFinished(0));
}

}  // namespace
}  // namespace w20

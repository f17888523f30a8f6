#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

#include "tests/app/DemoCycles.h"
#include "tests/app/win32/StartedForm.h"
#include "tests/support/FullBacklogListener.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TrustedAuthority.h"

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

// The demo quote service runs beside the test, plain and behind nginx over TLS with a certificate
// from a test authority, and the Linux build has written the export files of the same cycles for
// the same date into the reference folder (run-window-tests.sh). The scheme changes no byte, nor
// does an IPv6 address, nor a service that sends each request on by path ("Location: /...?s=1&...").
struct Service {
    const char* name;
    const char* scheme;
    const char* address;        // the variable holding its address
    const char* authority;      // the variable naming the authority to trust, or none
    const char* log = nullptr;  // the variable naming its log of "<scheme> <s>" lines, or none
};
const Service services[] = {
    {"http", "http", "W20_DEMO_SERVICE", nullptr},
    {"http_ipv6", "http", "W20_DEMO_SERVICE_IPV6", nullptr},
    {"https", "https", "W20_DEMO_SERVICE_TLS", "W20_TEST_AUTHORITY"},
    {"https_redirecting_by_path", "https", "W20_DEMO_SERVICE_TLS_REDIRECTING", "W20_TEST_AUTHORITY",
     "W20_DEMO_SERVICE_TLS_LOG"},
};

class DemoCycleOver : public ::testing::TestWithParam<Service> {};

TEST_P(DemoCycleOver, TheWindowWritesTheFilesOfTheLinuxBuild) {
    const std::string service = Environment(GetParam().address);
    const std::string reference = Environment("W20_REFERENCE_FILES");
    ASSERT_FALSE(service.empty() || reference.empty()) << "run through tests/app/win32/run-window-tests.sh";
    ASSERT_EQ(service.rfind(std::string(GetParam().scheme) + "://", 0), 0u) << service;
    // Trusted for this test only, in the current user's store of the tests' prefix.
    std::optional<test::TrustedAuthority> authority;
    if (GetParam().authority != nullptr)
        authority.emplace(Environment(GetParam().authority));
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
    // Each of the two requests of a cycle went over TLS, and so did the one it was sent on to.
    if (GetParam().log != nullptr) {
        std::string expected;
        for (std::size_t i = 0; i < 2 * std::size(test::DemoCycles); ++i)
            expected += "https -\nhttps 1\n";
        EXPECT_EQ(test::ReadFileBytes(Environment(GetParam().log)), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Services, DemoCycleOver, ::testing::ValuesIn(services),
                         [](const ::testing::TestParamInfo<Service>& info) { return info.param.name; });

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

// The user closes the window while the cycle waits: a timer's call, run while the cycle handles
// the waiting messages, once the cycle runs, its moment has come and (with a service) the request
// has gone out.
struct Closer {
    const test::ScriptedServer* server;
    TForm1& form;
    std::chrono::steady_clock::time_point due;
    std::optional<std::chrono::steady_clock::time_point> askedAt{};
    bool heldBack = false;  // the window stayed while the cycle still ran
};
Closer* closer = nullptr;

void CALLBACK CloseOnceDue(HWND, UINT, UINT_PTR, DWORD) {
    if (closer->askedAt || !closer->form.Handlers().CycleRunning() ||
        std::chrono::steady_clock::now() < closer->due ||
        (closer->server != nullptr && closer->server->Received(0).empty()))
        return;
    closer->askedAt = std::chrono::steady_clock::now();
    const HWND form = closer->form.Handle();
    SendMessageW(form, WM_CLOSE, 0, 0);
    closer->heldBack = IsWindow(form) && closer->form.Handlers().CycleRunning();
}

// The cycle gives up its wait at once, quietly, and the window goes once the cycle has unwound:
// also while the connect itself gets no answer, before any request goes out.
TEST(DemoCycle, ClosingDuringADownloadEndsItAndTheWindow) {
    struct Row {
        const char* name;
        bool fullBacklog;  // the service's port has a full listen queue; else it stays silent
        std::chrono::milliseconds closeAfter;  // from Start
    };
    const Row rows[] = {
        {"silent service", false, std::chrono::milliseconds(0)},
        {"connect unanswered", true, std::chrono::milliseconds(300)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<test::ScriptedServer> server;
        std::optional<test::FullBacklogListener> backlog;
        std::string url;
        if (row.fullBacklog) {
            backlog.emplace();
            ASSERT_TRUE(backlog->Full()) << "every connect was answered: no unanswered one to close during";
            url = "http://127.0.0.1:" + std::to_string(backlog->Port()) + "/q.php";
        } else {
            server.emplace(std::vector<test::Script>{{test::WaitRequest(), test::Silent(test::Millis(5000))}},
                           test::ScriptedServerOptions{.waitBound = test::Millis(6000)});
            url = server->Url("/q.php");
        }
        StartedForm started(test::DemoDataFile(url));
        test::WriteFileBytes(started.dir.File("vor5.txt"), "old\r\n");
        // Left hidden: without a window manager, wine spends 2 s unmapping a shown window, which
        // would hide the time the close itself takes.
        const HWND form = started.form->Handle();
        const auto start = std::chrono::steady_clock::now();
        Closer watch{server ? &*server : nullptr, *started.form, start + row.closeAfter};
        closer = &watch;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, CloseOnceDue);

        PostMessageW(started.control(idButton1), BM_CLICK, 0, 0);
        while (IsWindow(form) && std::chrono::steady_clock::now() - start < std::chrono::seconds(8)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                started.form->Dispatch(message);
        }
        const auto gone = std::chrono::steady_clock::now();
        KillTimer(nullptr, timer);
        closer = nullptr;
        ASSERT_TRUE(watch.askedAt);
        EXPECT_TRUE(watch.heldBack);
        EXPECT_FALSE(IsWindow(form));
        EXPECT_LT(gone - *watch.askedAt, std::chrono::seconds(1));
        EXPECT_TRUE(started.desktop.boxes.empty());
        EXPECT_FALSE(started.form->TimerEnabled());
        EXPECT_EQ(started.caption(idLabel3), "");  // the controls went with the window
        EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")), "old\r\n");
        if (server) {
            EXPECT_TRUE(server->WaitForFinished(0));
        }
    }
}

}  // namespace
}  // namespace w20

#include "app/Form1Handlers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/app/FakeForm1.h"
#include "tests/app/RecordingDesktop.h"
#include "tests/net/Outcome.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TempDir.h"

namespace w20 {
namespace {

using test::FakeForm1;
using test::RecordingDesktop;

// A window started in a fresh working folder whose data.txt points at the service.
struct StartedHandlers {
    explicit StartedHandlers(const std::string& serviceUrl) : cwd(dir.Path()) {
        test::WriteFileBytes(dir.File("data.txt"),
                             serviceUrl + "\r\nWIG20\r\nFW20\r\nFW20\r\nWIG20\r\nnormal\r\n");
        controls.handlers = &handlers;
        handlers.Run(&Form1Handlers::FormCreate);
    }
    void Start() { handlers.Run(&Form1Handlers::Timer1Timer); }

    test::TempDir dir;
    test::ScopedWorkingDirectory cwd;
    RecordingDesktop desktop;
    FakeForm1 controls;
    Form1Handlers handlers{controls, desktop};
};

const std::string Bars = "WIG20,5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n";

TEST(Form1Handlers, StartAfterAFailedCycleRunsACycleAndArmsTheTimer) {
    // One kept-alive connection: the 404 ends the first cycle, the second cycle asks twice.
    test::ScriptedServer server(
        {{test::WaitRequest(),
          test::Send(test::HttpResponse("HTTP/1.1 404 Not Found", {"Content-Length: 0"}, "")),
          test::WaitRequest(), test::Send(test::HttpOk(Bars)), test::WaitRequest(),
          test::Send(test::HttpOk(""))}});
    StartedHandlers started(server.Url("/q.php"));
    started.Start();
    ASSERT_EQ(started.desktop.boxes.size(), 1u);
    EXPECT_EQ(started.desktop.boxes[0].message, "HTTP/1.1 404 Not Found.");
    EXPECT_FALSE(started.controls.timerEnabled);
    EXPECT_FALSE(started.handlers.CycleRunning());

    started.Start();
    EXPECT_EQ(started.desktop.boxes.size(), 1u);
    EXPECT_TRUE(started.controls.timerEnabled);
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")),
              "W20[VOR],5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n");
}

TEST(Form1Handlers, StartDuringACycleIsIgnored) {
    test::ScriptedServer server({{test::WaitRequest(), test::Send(test::HttpOk(Bars)), test::WaitRequest(),
                                  test::Send(test::HttpOk(""))}});
    StartedHandlers started(server.Url("/q.php"));
    int nestedStarts = 0;
    started.controls.OnProcessEvents = [&] {
        ++nestedStarts;
        EXPECT_TRUE(started.handlers.CycleRunning());
        started.Start();
    };
    started.Start();
    EXPECT_GT(nestedStarts, 0);
    EXPECT_TRUE(started.desktop.boxes.empty());
    EXPECT_EQ(server.ConnectionCount(), 1u);
    EXPECT_TRUE(started.controls.timerEnabled);
}

TEST(Form1Handlers, EventsAreProcessedWhileADownloadWaits) {
    test::ScriptedServer server(
        {{test::WaitRequest(), test::Pause(test::Millis(500)), test::Send(test::HttpOk(Bars)),
          test::WaitRequest(), test::Send(test::HttpOk(""))}});
    StartedHandlers started(server.Url("/q.php"));
    int whileWaiting = 0;  // passes with the request out and no answer shown yet
    started.controls.OnProcessEvents = [&] {
        if (started.controls.text().empty() && !server.Received(0).empty()) {
            ++whileWaiting;
            started.Start();  // ignored: the cycle still runs
        }
    };
    started.Start();
    EXPECT_TRUE(started.desktop.boxes.empty());
    // Every 50 ms of the 500 ms wait.
    EXPECT_GE(whileWaiting, 5);
    EXPECT_EQ(server.ConnectionCount(), 1u);
    EXPECT_EQ(test::SplitRequests(server.Received(0)).size(), 2u);
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")),
              "W20[VOR],5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n");
    EXPECT_TRUE(started.controls.timerEnabled);
}

TEST(Form1Handlers, ACloseAskedForDuringACycleWaitsForItsEnd) {
    struct Row {
        std::string name;
        test::Script script;
        // Whether the close is asked for at this event pass.
        std::function<bool(const test::FakeWindow&, const test::ScriptedServer&)> when;
        bool filesWritten;
    };
    const std::vector<Row> rows = {
        // The download is given up: no box, no file, no timer.
        {"waiting for an answer",
         {test::WaitRequest(), test::Silent(test::Millis(5000))},
         [](const test::FakeWindow&, const test::ScriptedServer& server) {
             return server.Received(0).find("\r\n\r\n") != std::string::npos;
         },
         false},
        // The files are written to their end, and then the window closes.
        {"writing the files",
         {test::WaitRequest(), test::Send(test::HttpOk(Bars + Bars)), test::WaitRequest(),
          test::Send(test::HttpOk(""))},
         [](const test::FakeWindow& window, const test::ScriptedServer&) { return !window.text().empty(); },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedServer server({row.script}, {.waitBound = test::Millis(6000)});
        StartedHandlers started(server.Url("/q.php"));
        // Nothing holds the window while no cycle runs.
        EXPECT_TRUE(started.handlers.FormCloseQuery());
        bool asked = false;
        started.controls.OnProcessEvents = [&] {
            if (!asked && row.when(started.controls, server)) {
                asked = true;
                EXPECT_FALSE(started.handlers.FormCloseQuery());
            }
        };
        const auto start = std::chrono::steady_clock::now();
        started.Start();
        EXPECT_LT(test::MillisecondsSince(start), 1000);
        EXPECT_TRUE(asked);
        EXPECT_TRUE(started.desktop.boxes.empty());
        EXPECT_EQ(started.controls.closes, 1);
        EXPECT_FALSE(started.controls.timerEnabled);
        EXPECT_FALSE(started.handlers.CycleRunning());
        EXPECT_EQ(std::filesystem::exists(started.dir.File("vor5.txt")), row.filesWritten);
        // The abandoned download's connection is closed.
        EXPECT_TRUE(server.WaitForFinished(0));
    }
}

TEST(Desktop, AnExceptionOfAnyKindShowsInTheErrorBox) {
    RecordingDesktop desktop;
    desktop.RunHandler([] { throw std::runtime_error("Broken pipe"); });
    desktop.RunHandler([] { throw 42; });
    desktop.RunHandler([] {});
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_EQ(desktop.boxes[0].caption, "W20/FW20 by VOR");
    EXPECT_EQ(desktop.boxes[0].message, "Broken pipe.");
    EXPECT_EQ(desktop.boxes[1].message, "Unexpected error.");
}

}  // namespace
}  // namespace w20

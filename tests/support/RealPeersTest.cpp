#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackClient.h"
#include "tests/support/NginxServer.h"
#include "tests/support/PythonHttpServer.h"
#include "tests/support/TempDir.h"

namespace w20::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(NginxServer, ServesTheDocumentRootWithKeepAlive) {
    TempDir docs;
    WriteFileBytes(docs.File("a.txt"), "first file\n");
    WriteFileBytes(docs.File("b.txt"), std::string(100000, 'b'));
    NginxServer nginx(docs.Path());

    LoopbackClient client(nginx.Port());
    client.Send(
        "GET /a.txt HTTP/1.1\r\nHost: localhost\r\n\r\nGET /b.txt HTTP/1.1\r\nHost: localhost\r\n\r\n");
    auto first = client.ReadAnswer();
    auto second = client.ReadAnswer();
    ASSERT_TRUE(first && second) << nginx.ErrorLog();
    EXPECT_EQ(first->statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(first->body, "first file\n");
    EXPECT_EQ(first->Header("Content-Type"), "text/plain");
    EXPECT_EQ(second->body, std::string(100000, 'b'));
    EXPECT_FALSE(client.PeerClosed());
}

TEST(NginxServer, TakesServerSnippets) {
    TempDir docs;
    NginxServer nginx(docs.Path(),
                      "location = /moved { return 302 /elsewhere; }\n"
                      "location = /text { default_type text/plain; return 200 'from snippet'; }");
    struct Case {
        std::string target;
        int status;
        std::string location;
        std::string body;
    };
    for (const Case& c :
         {Case{"/moved", 302, "http://localhost:" + std::to_string(nginx.Port()) + "/elsewhere", ""},
          Case{"/text", 200, "", "from snippet"}, Case{"/missing.txt", 404, "", ""}}) {
        LoopbackClient client(nginx.Port());
        client.Send("GET " + c.target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
        auto answer = client.ReadAnswer();
        ASSERT_TRUE(answer) << c.target;
        EXPECT_EQ(answer->status, c.status) << c.target;
        EXPECT_EQ(answer->Header("Location").value_or(""), c.location) << c.target;
        if (!c.body.empty()) {
            EXPECT_EQ(answer->body, c.body) << c.target;
        }
    }
}

TEST(NginxServer, ABrokenConfigurationFailsClearlyAndQuickly) {
    TempDir docs;
    auto start = Clock::now();
    try {
        NginxServer nginx(docs.Path(), "no_such_directive on;");
        FAIL() << "started with a broken configuration";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("unknown directive \"no_such_directive\""),
                  std::string::npos)
            << error.what();
    }
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
}

TEST(NginxServer, StopsWithItsScope) {
    TempDir docs;
    std::uint16_t port;
    {
        NginxServer nginx(docs.Path());
        port = nginx.Port();
        EXPECT_TRUE(WaitUntilAccepting(port, milliseconds(100)));
    }
    EXPECT_THROW(LoopbackClient client(port), std::runtime_error);
}

TEST(PythonHttpServer, ServesAFolderOverHttp10AndCloses) {
    TempDir docs;
    WriteFileBytes(docs.File("quotes.txt"), "W20,5,20261207,090000,2400.00\r\n");
    PythonHttpServer python(docs.Path());

    LoopbackClient client(python.Port());
    client.Send("GET /quotes.txt HTTP/1.1\r\nHost: localhost\r\n\r\n");
    auto answer = client.ReadAnswer();
    ASSERT_TRUE(answer) << python.Log();
    EXPECT_EQ(answer->statusLine, "HTTP/1.0 200 OK");
    EXPECT_EQ(answer->body, "W20,5,20261207,090000,2400.00\r\n");
    EXPECT_EQ(client.ReceiveUntilClosed(), "");
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_NE(python.Log().find("GET /quotes.txt"), std::string::npos);
}

// Exit statuses as the child ends: on its own, by the signal, or killed after ignoring it.
struct ChildCase {
    const char* name;
    std::string command;
    bool endsAlone;  // Stop comes only after the child has ended by itself
    bool exited;
    int code;
};

void PrintTo(const ChildCase& c, std::ostream* out) {
    *out << c.name;
}

class ChildProcessEnds : public testing::TestWithParam<ChildCase> {};

TEST_P(ChildProcessEnds, StopReportsHowItEnded) {
    ChildProcess child({"/bin/sh", "-c", GetParam().command});
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), "ready");
    for (int i = 0; GetParam().endsAlone && child.Running() && i < 300; ++i)
        usleep(10000);
    auto start = Clock::now();
    int status = child.Stop(SIGTERM, milliseconds(300));
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(WIFEXITED(status), GetParam().exited);
    EXPECT_EQ(GetParam().exited ? WEXITSTATUS(status) : WTERMSIG(status), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    ChildProcess, ChildProcessEnds,
    testing::Values(ChildCase{"ExitsByItself", "echo ready; exit 3", true, true, 3},
                    ChildCase{"EndsBySignal", "echo ready; exec sleep 30", false, false, SIGTERM},
                    ChildCase{"KilledAfterIgnoring", "trap '' TERM; echo ready; while :; do sleep 0.05; done",
                              false, false, SIGKILL},
                    ChildCase{"TrapsAndExits", "trap 'exit 0' TERM; echo ready; while :; do sleep 0.05; done",
                              false, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChildProcess, OutputLinesAndItsEnd) {
    ChildProcess child({"/bin/sh", "-c", "printf 'one\\r\\ntwo\\n'; printf 'three'"});
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), "one");
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), "two");
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), std::nullopt);  // no line end before the output ends
}

TEST(ChildProcess, ReadingOutputIsBounded) {
    ChildProcess child({"/bin/sh", "-c", "exec sleep 30"});
    auto start = Clock::now();
    EXPECT_EQ(child.ReadOutputLine(milliseconds(100)), std::nullopt);
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
}

TEST(ChildProcess, AMissingProgramFailsClearly) {
    try {
        ChildProcess child({"/nonexistent/program"});
        FAIL() << "started a missing program";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "cannot start /nonexistent/program: No such file or directory");
    }
}

TEST(ChildProcess, LogFileTakesBothStreams) {
    TempDir folder;
    {
        ChildProcess child({"/bin/sh", "-c", "echo out; echo err >&2"}, folder.File("log"));
        for (int i = 0; i < 300 && child.Running(); ++i)
            usleep(10000);
    }
    EXPECT_EQ(ReadFileBytes(folder.File("log")), "out\nerr\n");
}

}  // namespace
}  // namespace w20::test

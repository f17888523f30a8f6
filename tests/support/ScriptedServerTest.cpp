#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackClient.h"
#include "tests/support/ScriptedTls.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

namespace w20::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string Sample(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
        text += static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return text;
}

// What the client sees of a script that needs no request.
struct SendCase {
    const char* name;
    Script script;
    std::string expected;
    bool reset;
};

void PrintTo(const SendCase& c, std::ostream* out) {
    *out << c.name;
}

class SendSteps : public testing::TestWithParam<SendCase> {};

TEST_P(SendSteps, ClientReceivesTheScriptedBytesAndTheEnd) {
    ScriptedServer server({GetParam().script});
    LoopbackClient client(server.Port());
    std::string received = client.ReceiveUntilClosed();
    EXPECT_EQ(received.size(), GetParam().expected.size());
    EXPECT_TRUE(received == GetParam().expected);
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_EQ(client.PeerReset(), GetParam().reset);
    EXPECT_TRUE(server.Failures().empty());
}

INSTANTIATE_TEST_SUITE_P(
    ScriptedServer, SendSteps,
    testing::Values(
        SendCase{"Whole", {Send("hello"), Close()}, "hello", false},
        SendCase{"GivenPiecesLastRepeats", {SendPieces(Sample(50), {1, 2, 7}), Close()}, Sample(50), false},
        SendCase{"PiecesLargerThanText", {SendPieces("abc", {10}), Close()}, "abc", false},
        SendCase{"RandomPieces", {SendRandomPieces(Sample(3000), 42, 5), Close()}, Sample(3000), false},
        SendCase{"RandomPiecesOfOneByte", {SendRandomPieces("xyz", 7, 1), Close()}, "xyz", false},
        SendCase{"Repeated",
                 {SendRepeated("0123456789", 100000), Close()},
                 [] {
                     std::string all;
                     for (int i = 0; i < 100000; ++i)
                         all += "0123456789";
                     return all;
                 }(),
                 false},
        SendCase{"DripOneByteAtATime", {Drip("drip", milliseconds(5)), Close()}, "drip", false},
        SendCase{"SeveralSends", {Send("a"), Pause(milliseconds(20)), Send("b"), Close()}, "ab", false},
        SendCase{"ResetAfterData", {Send("part"), Pause(milliseconds(50)), Reset()}, "part", true},
        SendCase{"ResetAtOnce", {Reset()}, "", true}, SendCase{"CloseAtOnce", {Close()}, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptedServer, RandomPiecesArriveInSeveralReads) {
    ScriptedServer server({{SendRandomPieces(Sample(400), 3, 8), Close()}});
    LoopbackClient client(server.Port());
    std::string received;
    int reads = 0;
    while (!client.PeerClosed()) {
        std::string some = client.Receive(1, milliseconds(3000));
        if (some.empty())
            break;
        received += some;
        ++reads;
    }
    EXPECT_EQ(received, Sample(400));
    EXPECT_GT(reads, 1);
}

// The answer of each script may come only once the client has sent the last piece of its request.
struct WaitCase {
    const char* name;
    ScriptStep wait;
    std::vector<std::string> pieces;
};

void PrintTo(const WaitCase& c, std::ostream* out) {
    *out << c.name;
}

class WaitSteps : public testing::TestWithParam<WaitCase> {};

TEST_P(WaitSteps, AnswerWaitsForTheLastPiece) {
    ScriptedServer server({{GetParam().wait, Send("answer"), Close()}});
    LoopbackClient client(server.Port());
    std::string request;
    for (const auto& piece : GetParam().pieces) {
        EXPECT_EQ(client.Receive(1, milliseconds(60)), "") << "answered before: " << request;
        client.Send(piece);
        request += piece;
    }
    EXPECT_EQ(client.ReceiveUntilClosed(), "answer");
    EXPECT_EQ(server.Received(0), request);
    EXPECT_FALSE(client.PeerReset());
}

INSTANTIATE_TEST_SUITE_P(
    ScriptedServer, WaitSteps,
    testing::Values(WaitCase{"Bytes", WaitBytes(6), {"abc", "de", "f"}},
                    WaitCase{"HeadWithCrLf", WaitHead(), {"GET / HTTP/1.1\r\nHost: h\r\n", "\r", "\n"}},
                    WaitCase{"HeadWithBareLf", WaitHead(), {"GET / HTTP/1.0\n", "\n"}},
                    WaitCase{"RequestWithoutBody", WaitRequest(), {"GET /x HTTP/1.1\r\n", "Host: h\r\n\r\n"}},
                    WaitCase{"RequestWithLengthBody",
                             WaitRequest(),
                             {"POST / HTTP/1.1\r\ncontent-length:  7\r\n\r\n", "abc", "defg"}},
                    WaitCase{"RequestWithChunkedBody",
                             WaitRequest(),
                             {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", "1a\r\n",
                              std::string(26, 'z') + "\r\n0\r\n", "Trailer: t\r\n", "\r\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptedServer, WaitsTakeOnlyWhatTheyNeed) {
    // Two requests in one send: the second answer must wait for nothing more.
    ScriptedServer server(
        {{WaitRequest(), Send("1"), WaitRequest(), Send("2"), WaitBytes(2), Send("3"), Close()}});
    LoopbackClient client(server.Port());
    client.Send("GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\nContent-Length: 2\r\n\r\nxy");
    EXPECT_EQ(client.Receive(2), "12");
    EXPECT_EQ(client.Receive(1, milliseconds(60)), "");
    client.Send("zz");
    EXPECT_EQ(client.ReceiveUntilClosed(), "3");
}

TEST(ScriptedServer, DiscardDropsWhatHasArrived) {
    ScriptedServer server({{Pause(milliseconds(100)), Discard(), WaitBytes(3), Send("ok"), Close()}});
    LoopbackClient client(server.Port());
    client.Send("junk");
    ASSERT_TRUE(server.WaitForBytes(0, 4));
    EXPECT_EQ(client.Receive(1, milliseconds(60)), "");
    client.Send("abc");
    EXPECT_EQ(client.ReceiveUntilClosed(), "ok");
    EXPECT_EQ(server.Received(0), "junkabc");
}

TEST(ScriptedServer, CloseTakesUnreadInputSoTheClientSeesNoReset) {
    // The pause reads nothing, so the request is still unread when the script closes.
    ScriptedServer server({{Pause(milliseconds(100)), Close()}});
    LoopbackClient client(server.Port());
    client.Send("0123456789");
    EXPECT_EQ(client.ReceiveUntilClosed(), "");
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_FALSE(client.PeerReset());
    EXPECT_EQ(server.Received(0), "0123456789");
}

TEST(ScriptedServer, PauseHoldsTheAnswerBack) {
    ScriptedServer server({{Pause(milliseconds(150)), Send("late"), Close()}});
    auto start = Clock::now();
    LoopbackClient client(server.Port());
    EXPECT_EQ(client.Receive(4), "late");
    EXPECT_GE(Clock::now() - start, milliseconds(150));
}

TEST(ScriptedServer, SilentEndsAtItsBoundAndRecords) {
    ScriptedServer server({{Silent(milliseconds(150)), Send("after"), Close()}});
    auto start = Clock::now();
    LoopbackClient client(server.Port());
    client.Send("during");
    EXPECT_EQ(client.ReceiveUntilClosed(), "after");
    EXPECT_GE(Clock::now() - start, milliseconds(150));
    EXPECT_EQ(server.Received(0), "during");
}

TEST(ScriptedServer, SilentEndsWhenTheClientCloses) {
    ScriptedServer server({{Silent(milliseconds(10000))}});
    {
        LoopbackClient client(server.Port());
        client.Send("bye");
    }
    EXPECT_TRUE(server.WaitForFinished(0, milliseconds(2000)));
    EXPECT_TRUE(server.PeerClosed(0));
    EXPECT_EQ(server.Received(0), "bye");
}

TEST(ScriptedServer, ScriptsFollowTheConnectionsAndTheLastRepeats) {
    ScriptedServer server({{WaitBytes(9), Send("first"), Close()}, {WaitBytes(9), Send("second"), Close()}});
    std::vector<std::string> answers;
    for (int i = 0; i < 4; ++i)
        answers.push_back(Exchange(server.Port(), "request " + std::to_string(i)));
    EXPECT_EQ(answers, (std::vector<std::string>{"first", "second", "second", "second"}));
    ASSERT_TRUE(server.WaitForConnections(4));
    EXPECT_EQ(server.ConnectionCount(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(server.WaitForReceived(
            i, [&](const std::string& bytes) { return bytes == "request " + std::to_string(i); }));
    }
}

TEST(ScriptedServer, WithoutRepeatLaterConnectionsAreClosed) {
    ScriptedServerOptions options;
    options.repeatLast = false;
    ScriptedServer server({{Send("only"), Close()}}, options);
    EXPECT_EQ(Exchange(server.Port(), ""), "only");
    EXPECT_EQ(Exchange(server.Port(), ""), "");
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST(ScriptedServer, RuleChoosesTheScriptByIndex) {
    ScriptedServer server([](std::size_t index) {
        return Script{Send(std::to_string(index * 10)), Close()};
    });
    EXPECT_EQ(Exchange(server.Port(), ""), "0");
    EXPECT_EQ(Exchange(server.Port(), ""), "10");
    EXPECT_EQ(Exchange(server.Port(), ""), "20");
}

TEST(ScriptedServer, AScriptWithoutCloseKeepsRecordingUntilTheClientCloses) {
    ScriptedServer server({Respond(HttpOk("x"))});
    {
        LoopbackClient client(server.Port());
        client.Send("GET / HTTP/1.1\r\n\r\n");
        auto answer = client.ReadAnswer();
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->body, "x");
        client.Send("more");
        ASSERT_TRUE(server.WaitForReceived(0, [](const std::string& b) { return b.ends_with("more"); }));
        EXPECT_FALSE(server.Finished(0));
    }
    EXPECT_TRUE(server.WaitForFinished(0));
    EXPECT_TRUE(server.Failures().empty());
}

TEST(ScriptedServer, AWaitPastItsBoundIsReportedAndEndsTheConnection) {
    ScriptedServerOptions options;
    options.waitBound = milliseconds(150);
    ScriptedServer server({{WaitHead(), Send("never")}}, options);
    LoopbackClient client(server.Port());
    client.Send("GET / HTTP/1.1\r\n");
    auto start = Clock::now();
    EXPECT_EQ(client.ReceiveUntilClosed(milliseconds(2000)), "");
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_LT(Clock::now() - start, milliseconds(1500));
    ASSERT_EQ(server.Failures().size(), 1u);
    EXPECT_EQ(
        server.Failures()[0],
        "connection 0, step 0 (wait for a request head): the bound of 150 ms passed after 16 received bytes");
}

TEST(ScriptedServer, AClientLeavingDuringAWaitIsReported) {
    ScriptedServer server({{WaitBytes(10), Send("never")}});
    {
        LoopbackClient client(server.Port());
        client.Send("abc");
    }
    ASSERT_TRUE(server.WaitForFinished(0));
    ASSERT_EQ(server.Failures().size(), 1u);
    EXPECT_NE(server.Failures()[0].find("step 0 (wait for 10 bytes): the client closed the connection"),
              std::string::npos);
}

TEST(ScriptedServer, WaitHelpersGiveUpAtTheirBound) {
    ScriptedServer server({Script{}});
    auto start = Clock::now();
    EXPECT_FALSE(server.WaitForConnections(1, milliseconds(100)));
    LoopbackClient client(server.Port());
    EXPECT_FALSE(server.WaitForBytes(0, 1, milliseconds(100)));
    EXPECT_FALSE(server.WaitForFinished(0, milliseconds(100)));
    EXPECT_FALSE(server.WaitForBytes(5, 1, milliseconds(100)));
    EXPECT_GE(Clock::now() - start, milliseconds(400));
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
}

// The destructor must end every script at once, whatever it is waiting for.
struct StopCase {
    const char* name;
    Script script;
    bool connect;
};

void PrintTo(const StopCase& c, std::ostream* out) {
    *out << c.name;
}

class StopWhileBusy : public testing::TestWithParam<StopCase> {};

TEST_P(StopWhileBusy, DestructorReturnsPromptly) {
    std::unique_ptr<LoopbackClient> client;
    auto server = std::make_unique<ScriptedServer>(std::vector<Script>{GetParam().script});
    if (GetParam().connect) {
        client = std::make_unique<LoopbackClient>(server->Port());
        ASSERT_TRUE(server->WaitForConnections(1));
    }
    auto start = Clock::now();
    server.reset();
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
}

INSTANTIATE_TEST_SUITE_P(ScriptedServer, StopWhileBusy,
                         testing::Values(StopCase{"NoClient", {Send("x")}, false},
                                         StopCase{"WaitingForARequest", {WaitRequest(), Send("x")}, true},
                                         StopCase{"Silent", {Silent(milliseconds(60000))}, true},
                                         StopCase{"Pausing", {Pause(milliseconds(60000)), Send("x")}, true},
                                         StopCase{"SendingToAClientThatDoesNotRead",
                                                  {SendRepeated(std::string(65536, 'x'), 100000)},
                                                  true},
                                         StopCase{"AfterTheScript", {Send("x")}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptedServer, UrlNamesTheLoopbackPort) {
    ScriptedServer server({Script{}});
    EXPECT_NE(server.Port(), 0);
    EXPECT_EQ(server.Url("/q.php?a=1"), "http://127.0.0.1:" + std::to_string(server.Port()) + "/q.php?a=1");
}

struct BuilderCase {
    const char* name;
    std::string built;
    std::string expected;
};

void PrintTo(const BuilderCase& c, std::ostream* out) {
    *out << c.name;
}

class ResponseBuilders : public testing::TestWithParam<BuilderCase> {};

TEST_P(ResponseBuilders, BuildExactBytes) {
    EXPECT_EQ(GetParam().built, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptedServer, ResponseBuilders,
    testing::Values(BuilderCase{"Plain", HttpResponse("HTTP/1.0 404 Not Found", {"A: 1", "B: 2"}, "gone"),
                                "HTTP/1.0 404 Not Found\r\nA: 1\r\nB: 2\r\n\r\ngone"},
                    BuilderCase{"NoHeaders", HttpResponse("HTTP/1.1 204 No Content", {}, ""),
                                "HTTP/1.1 204 No Content\r\n\r\n"},
                    BuilderCase{"Ok", HttpOk("hello", {"Set-Cookie: a=b"}),
                                "HTTP/1.1 200 OK\r\nSet-Cookie: a=b\r\nContent-Length: 5\r\n\r\nhello"},
                    BuilderCase{"OkEmpty", HttpOk(""), "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"},
                    BuilderCase{"Chunked", ChunkedBody({"abc", "", std::string(26, 'q')}),
                                "3\r\nabc\r\n1a\r\n" + std::string(26, 'q') + "\r\n0\r\n\r\n"},
                    BuilderCase{"ChunkedEmpty", ChunkedBody({}), "0\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptedServer, SplitRequestsCutsRecordedBytes) {
    struct Case {
        std::string bytes;
        std::vector<std::string> requests;
    };
    for (const Case& c : {Case{"", {}},
                          Case{"GET /a HTTP/1.1\r\nHost: h\r\n\r\nGET /b HTTP/1.1\r\n\r\n",
                               {"GET /a HTTP/1.1\r\nHost: h\r\n\r\n", "GET /b HTTP/1.1\r\n\r\n"}},
                          Case{"POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcGET / HTTP/1.1\r\n\r\n",
                               {"POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", "GET / HTTP/1.1\r\n\r\n"}},
                          Case{"GET / HTTP/1.1\r\n\r\nGET /unfinished HTTP/1.1\r\n",
                               {"GET / HTTP/1.1\r\n\r\n", "GET /unfinished HTTP/1.1\r\n"}},
                          Case{"POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc",
                               {"POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc"}},
                          Case{"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\nabc",
                               {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\nabc"}}}) {
        EXPECT_EQ(SplitRequests(c.bytes), c.requests) << c.bytes;
    }
}

TEST(ScriptedServer, PieceSizesMustBePositive) {
    EXPECT_THROW(SendPieces("abc", {}), std::invalid_argument);
    EXPECT_THROW(SendPieces("abc", {2, 0}), std::invalid_argument);
    EXPECT_THROW(SendRandomPieces("abc", 1, 0), std::invalid_argument);
}

// A TLS client of the system's library (through python) that trusts the test authority: sends the
// request, reads to the end, and prints how the connection ended on its first line, the bytes it
// got after that. With "leave" it sends its own TLS close once `size` bytes have come.
constexpr const char* TlsClient = R"(
import socket, ssl, sys
port, authority, request, mode, size = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
context = ssl.create_default_context(cafile=authority)
raw = socket.create_connection(("127.0.0.1", port), timeout=0.5)
data, end = b"", ""
try:
    tls = context.wrap_socket(raw, server_hostname="localhost", suppress_ragged_eofs=False)
except (ssl.SSLError, OSError) as error:
    end = "handshake failed: " + (getattr(error, "reason", None) or type(error).__name__)
else:
    tls.sendall(request.encode())
    try:
        while not end:
            piece = tls.recv(65536)
            data += piece
            if not piece:
                end = "TLS close"
            elif mode == "leave" and len(data) >= size:
                tls.unwrap()
                end = "left with the TLS close"
    except ssl.SSLEOFError:
        end = "closed without the TLS close"
    except ssl.SSLError as error:
        end = "TLS error: " + str(error.reason)
    except OSError as error:
        end = type(error).__name__
sys.stdout.write(end + "\n")
sys.stdout.flush()
sys.stdout.buffer.write(data)
)";

// How a TLS client sees each script, and what the server recorded.
struct TlsCase {
    const char* name;
    std::string certificate;
    Script script;
    std::string end;
    std::string received;  // by the client
    std::string failure;   // of the server's script, in part
};

void PrintTo(const TlsCase& c, std::ostream* out) {
    *out << c.name;
}

class TlsSteps : public testing::TestWithParam<TlsCase> {};

const std::string TlsRequest = "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n";
const std::string TlsAnswer = HttpOk("secret");

TEST_P(TlsSteps, ClientSeesTheScriptOverTls) {
    TempDir certificates;
    MakeTestCertificates(certificates.Path());
    ScriptedServer server({GetParam().script}, WithTls(certificates.File(GetParam().certificate + ".pem"),
                                                       certificates.File(GetParam().certificate + ".key")));
    const bool leave = GetParam().end == "left with the TLS close";
    CommandResult client = RunCommand({"python3", "-c", TlsClient, std::to_string(server.Port()),
                                       certificates.File("authority.pem"), TlsRequest,
                                       leave ? "leave" : "read", std::to_string(TlsAnswer.size())});
    const std::size_t lineEnd = client.output.find('\n');
    ASSERT_NE(lineEnd, std::string::npos) << client.output;
    EXPECT_EQ(client.output.substr(0, lineEnd), GetParam().end);
    EXPECT_EQ(client.output.substr(lineEnd + 1), GetParam().received);
    ASSERT_TRUE(server.WaitForFinished(0));
    const TlsFacts tls = server.Tls(0);
    if (GetParam().script.front().kind == ScriptStep::Kind::StartTls && GetParam().failure.empty()) {
        EXPECT_EQ(server.Received(0), TlsRequest);
        EXPECT_EQ(tls.version, "TLSv1.3");
        EXPECT_EQ(tls.serverName, "localhost");
    }
    EXPECT_EQ(tls.closeReceived, leave);
    const std::vector<std::string> failures = server.Failures();
    if (GetParam().failure.empty()) {
        EXPECT_TRUE(failures.empty()) << failures.front();
    } else {
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_NE(failures[0].find(GetParam().failure), std::string::npos) << failures[0];
    }
}

INSTANTIATE_TEST_SUITE_P(
    ScriptedServer, TlsSteps,
    testing::Values(TlsCase{"PiecesThenTheTlsClose",
                            "good",
                            {StartTls(), WaitHead(), SendPieces(TlsAnswer, {5}), CloseTls()},
                            "TLS close",
                            TlsAnswer,
                            ""},
                    TlsCase{"CloseWithoutTheTlsClose",
                            "good",
                            {StartTls(), WaitHead(), Send(TlsAnswer), Close()},
                            "closed without the TLS close",
                            TlsAnswer,
                            ""},
                    TlsCase{"RawBytesAfterTheHandshake",
                            "good",
                            {StartTls(), WaitHead(), SendRaw("garbage!"), Close()},
                            "TLS error: WRONG_VERSION_NUMBER",
                            "",
                            ""},
                    TlsCase{"ClientSendsItsTlsClose",
                            "good",
                            {StartTls(), WaitHead(), Send(TlsAnswer), Silent(milliseconds(3000))},
                            "left with the TLS close",
                            TlsAnswer,
                            ""},
                    TlsCase{"PlainAnswerToTheHandshake",
                            "good",
                            {WaitBytes(1), Send("HTTP/1.1 400 Bad Request\r\n\r\n"), Close()},
                            "handshake failed: WRONG_VERSION_NUMBER",
                            "",
                            ""},
                    TlsCase{"HandshakeNeverAnswered",
                            "good",
                            {Silent(milliseconds(3000))},
                            "handshake failed: TimeoutError",
                            "",
                            ""},
                    TlsCase{"ClientRefusesTheCertificate",
                            "self-signed",
                            {StartTls(), WaitHead(), Send(TlsAnswer)},
                            "handshake failed: CERTIFICATE_VERIFY_FAILED",
                            "",
                            "step 0 (start TLS): TLS failed: tlsv1 alert unknown ca"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptedServer, TlsStepsWithoutTlsSessionsFail) {
    ScriptedServer server({{StartTls(), Send("never")}});
    EXPECT_EQ(Exchange(server.Port(), ""), "");
    ASSERT_TRUE(server.WaitForFinished(0));
    EXPECT_EQ(server.Failures(),
              std::vector<std::string>{"connection 0, step 0 (start TLS): TLS failed: this server has no TLS "
                                       "sessions after 0 received bytes"});
}

TEST(LoopbackClient, ReadsKeptAliveAnswersOneByOne) {
    ScriptedServer server(
        {{WaitRequest(),
          SendRandomPieces(
              HttpOk("one") +
                  HttpResponse("HTTP/1.1 200 OK", {"Transfer-Encoding: chunked"}, ChunkedBody({"tw", "o"})) +
                  HttpResponse("HTTP/1.1 304 Not Modified", {}, "") +
                  HttpResponse("HTTP/1.0 200 OK", {}, "until close"),
              9, 4),
          Close()}});
    LoopbackClient client(server.Port());
    client.Send("GET / HTTP/1.1\r\n\r\n");
    std::vector<std::pair<int, std::string>> answers;
    while (auto answer = client.ReadAnswer())
        answers.emplace_back(answer->status, answer->body);
    EXPECT_EQ(answers, (std::vector<std::pair<int, std::string>>{
                           {200, "one"}, {200, "two"}, {304, ""}, {200, "until close"}}));
}

TEST(LoopbackClient, AnswerHeadersByName) {
    HttpAnswer answer;
    answer.head = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\ncontent-type:  text/plain \r\nSET-COOKIE: b=2\r\n";
    EXPECT_EQ(answer.Header("Content-Type"), "text/plain");
    EXPECT_EQ(answer.Headers("set-cookie"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_FALSE(answer.Header("Location"));
}

TEST(LoopbackClient, ConnectingToAClosedPortThrows) {
    std::uint16_t port = FreeLoopbackPort();
    EXPECT_THROW(LoopbackClient client(port), std::runtime_error);
    EXPECT_FALSE(WaitUntilAccepting(port, milliseconds(50)));
}

}  // namespace
}  // namespace w20::test

#include "net/IdTCPClient.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/IdExceptions.h"
#include "net/IdIOHandlerSocket.h"
#include "tests/net/LoopbackPeer.h"
#include "tests/net/Outcome.h"
#include "tests/net/ScopedResolver.h"
#include "tests/support/FullBacklogListener.h"
#include "tests/support/ScriptedServer.h"

namespace w20 {
namespace {

using Clock = std::chrono::steady_clock;
using test::ClosedGracefully;
using test::Millis;
using test::MillisecondsSince;
using test::NotConnected;
using test::Outcome;

const std::string Refused = "Socket Error # 10061\r\nConnection refused.";

// A client of the scripted server that logs its events.
struct Client : TIdTCPClient {
    std::vector<std::string> events;

    explicit Client(std::uint16_t port, const std::string& host = "127.0.0.1") {
        SetHost(host);
        SetPort(port);
        OnStatus = [this](TIdComponent&, TIdStatus, const std::string& text) { events.push_back(text); };
        OnConnected = [this](TIdTCPClient&) { events.push_back("connected"); };
        OnDisconnected = [this](TIdTCPConnection&) { events.push_back("disconnected"); };
    }
};

std::string Sample(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return text;
}

TEST(TCPClient, RequestInOneBatchAndAnswerInPieces) {
    const std::string body = Sample(5000);
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + body;
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        test::ScriptedServer server({{test::WaitHead(), test::SendRandomPieces(answer, seed, 700)}});
        Client client(server.Port());
        client.Connect();
        client.BeginBatch();
        client.WriteLine("GET /q HTTP/1.1");
        client.WriteLine("Host: 127.0.0.1");
        client.WriteLine();
        client.EndBatch();
        EXPECT_EQ(client.ReadLine(), "HTTP/1.1 200 OK");
        EXPECT_EQ(client.ReadLine(), "Content-Length: 5000");
        EXPECT_EQ(client.ReadLine(), "");
        TIdSimpleBuffer stream;
        client.ReadToStream(stream, 5000, false);
        EXPECT_EQ(stream.Bytes(), body);
        EXPECT_TRUE(client.Connected());
        EXPECT_EQ(server.Received(0), "GET /q HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        client.Disconnect();
    }
}

// What a reading operation gives against a peer that behaves badly.
TEST(TCPClient, BadPeers) {
    const struct {
        std::string name;
        test::Script script;
        std::int32_t recvBufferSize;
        std::function<std::string(TIdTCPClient&)> read;
        std::string outcome;
        std::string leftover;  // what TakeBuffered gives afterwards
        bool connected;
    } cases[] = {
        {"close mid-line",
         {test::SendRandomPieces("one\ntw", 3, 2), test::Close()},
         32768,
         [](TIdTCPClient& c) {
             const std::string first = c.ReadLine();
             return first + "|" + c.ReadLine();
         },
         ClosedGracefully,
         "tw",
         false},
        {"close right after connecting",
         {test::Close()},
         32768,
         [](TIdTCPClient& c) { return c.ReadLine(); },
         ClosedGracefully,
         "",
         false},
        {"close mid-count",
         {test::SendRandomPieces("0123456789", 5, 3), test::Close()},
         4,
         [](TIdTCPClient& c) {
             TIdSimpleBuffer stream;
             const std::string outcome = Outcome([&] {
                 c.ReadToStream(stream, 20, false);
                 return std::string();
             });
             return std::string(stream.Bytes()) + outcome;
         },
         "01234567" + ClosedGracefully,
         "89",
         false},
        {"until close",
         {test::SendRandomPieces(Sample(70000), 6, 9000), test::Close()},
         32768,
         [](TIdTCPClient& c) {
             TIdSimpleBuffer stream;
             c.ReadToStream(stream, -1, true);
             return std::string(stream.Bytes());
         },
         Sample(70000),
         "",
         false},
        {"reset mid-read",
         {test::Send("partial"), test::Pause(Millis(50)), test::Reset()},
         32768,
         [](TIdTCPClient& c) { return c.ReadLine(); },
         test::SocketError(10054, "Connection reset by peer."),
         "partial",
         true},
        {"longest line",
         {test::SendRandomPieces(std::string(16384, 'x') + "\n", 7, 3000)},
         32768,
         [](TIdTCPClient& c) { return std::to_string(c.ReadLine().size()); },
         "16384",
         "",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScriptedServer server({c.script});
        Client client(server.Port());
        client.SetRecvBufferSize(c.recvBufferSize);
        client.SetReadTimeout(3000);  // a bound, should the case go wrong
        client.Connect();
        EXPECT_EQ(Outcome([&] { return c.read(client); }), c.outcome);
        if (c.connected) {
            // The rest of what the peer sent is queued once it has arrived.
            for (int i = 0; i < 20 && client.InputQueue().Size() < c.leftover.size(); ++i) {
                client.FillInputQueue(false, 100, false);
            }
            EXPECT_EQ(client.InputQueue().Bytes(), c.leftover);
        } else {
            EXPECT_EQ(client.TakeBuffered(), c.leftover);
        }
        EXPECT_EQ(client.Connected(), c.connected);
    }
}

TEST(TCPClient, ReadTimeouts) {
    test::ScriptedServer server({{test::Send("ab"), test::Silent(Millis(3000))}});
    Client client(server.Port());
    client.Connect();
    Clock::time_point start = Clock::now();
    EXPECT_EQ(client.ReadLine("", 200), "");
    EXPECT_TRUE(client.LineTimedOut());
    EXPECT_GE(MillisecondsSince(start), 150);
    EXPECT_LT(MillisecondsSince(start), 2000);

    client.SetReadTimeout(300);
    start = Clock::now();
    EXPECT_EQ(Outcome([&] { return client.ReadLine(); }), test::ReadTimeout);
    EXPECT_GE(MillisecondsSince(start), 250);
    EXPECT_LT(MillisecondsSince(start), 2000);
    // Still open, with the partial line kept.
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(client.InputQueue().Bytes(), "ab");
    client.Disconnect();
}

TEST(TCPClient, EventsOfConnectAndDisconnect) {
    test::ScriptedServer server({{test::Silent(Millis(3000))}});
    Client client(server.Port(), "localhost");
    client.Connect();
    EXPECT_TRUE(client.Connected());
    EXPECT_TRUE(client.OwnsIOHandler());
    client.Disconnect();
    EXPECT_EQ(client.events, (std::vector<std::string>{"Resolving hostname localhost.",
                                                       "Connecting to 127.0.0.1.", "Connected.", "connected",
                                                       "Disconnecting.", "disconnected", "Disconnected."}));
    // The handler it made is gone with the connection.
    EXPECT_EQ(client.IOHandler(), nullptr);
    EXPECT_FALSE(client.OwnsIOHandler());
    client.Disconnect();
    client.CheckClosed(false, false);
    EXPECT_EQ(client.events.size(), 7u);
}

TEST(TCPClient, ReadsAndWritesAfterDisconnect) {
    test::ScriptedServer server({{test::Send("line\nmore"), test::Silent(Millis(3000))}});
    Client client(server.Port());
    client.Connect();
    EXPECT_EQ(client.ReadLine(), "line");
    for (int i = 0; i < 20 && client.InputQueue().Size() < 4; ++i)
        client.FillInputQueue(false, 100, false);
    client.Disconnect();
    EXPECT_EQ(Outcome([&] {
                  client.WriteLine("x");
                  return std::string();
              }),
              NotConnected);
    // The queue outlives the connection: what is in it can still be read.
    EXPECT_EQ(Outcome([&] { return client.ReadLine(); }), NotConnected);
    EXPECT_EQ(client.TakeBuffered(), "more");
}

TEST(TCPClient, ReconnectStartsWithAnEmptyQueue) {
    test::ScriptedServer server({{test::Send("first\nrest of first"), test::Silent(Millis(3000))},
                                 {test::Send("second\n"), test::Silent(Millis(3000))}});
    Client client(server.Port());
    client.Connect();
    EXPECT_EQ(Outcome([&] {
                  client.Connect();
                  return std::string();
              }),
              "!EIdAlreadyConnected: Already connected.");
    EXPECT_EQ(client.ReadLine(), "first");
    client.Disconnect();
    client.Connect();
    EXPECT_EQ(client.InputQueue().Size(), 0u);
    EXPECT_EQ(client.ReadLine(), "second");
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST(TCPClient, IdleCloseIsPickedUpByPollClosed) {
    test::ScriptedServer server({{test::Close()}});
    Client client(server.Port());
    client.Connect();
    ASSERT_TRUE(server.WaitForFinished(0));
    for (int i = 0; i < 50 && client.Connected(); ++i)
        client.PollClosed(false);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.events.back(), "disconnected");
}

TEST(TCPClient, WritesToAPeerThatReset) {
    // The reset follows the first byte, so that it cannot meet the client still inside Connect.
    test::ScriptedServer server({{test::WaitBytes(1), test::Reset()}});
    Client client(server.Port());
    client.Connect();
    client.WriteText("x");
    ASSERT_TRUE(server.WaitForFinished(0));
    std::string outcome;
    for (int i = 0; i < 50 && outcome.empty(); ++i) {
        outcome = Outcome([&] {
            client.WriteLine("after the reset");
            return std::string();
        });
    }
    // The first send meets the reset; a later one meets the closed socket.
    EXPECT_TRUE(outcome == test::SocketError(10054, "Connection reset by peer.") ||
                outcome == test::SocketError(10058, "Cannot send or receive after socket is closed."))
        << outcome;
    EXPECT_FALSE(client.Connected());
}

TEST(TCPClient, RefusedConnect) {
    const int port = test::UnusedPort();
    for (const std::int32_t timeout : {0, TimeoutDefault, 2000}) {
        SCOPED_TRACE(timeout);
        Client client(static_cast<std::uint16_t>(port));
        const Clock::time_point start = Clock::now();
        const std::string outcome = Outcome([&] {
            client.Connect(timeout);
            return std::string();
        });
        if (timeout == 2000) {
            // A connect with a limit passes the failure on under a class of its own.
            EXPECT_EQ(outcome, "!EIdConnectException: " + Refused);
            EXPECT_LT(MillisecondsSince(start), 1000);
        } else {
            EXPECT_EQ(outcome, "!EIdSocketError: " + Refused);
        }
        EXPECT_FALSE(client.Connected());
        // The handler made for the attempt stays until Disconnect.
        EXPECT_TRUE(client.OwnsIOHandler());
        EXPECT_EQ(client.events, (std::vector<std::string>{"Connecting to 127.0.0.1."}));
    }
}

// The addresses the name lookup of a test gives.
std::vector<std::string> answer;

std::int32_t Answer(const std::string&, std::vector<TIdIPAddress>& addresses) {
    addresses.clear();
    for (const std::string& text : answer) {
        addresses.emplace_back();
        EXPECT_TRUE(ParseIPAddressText(text, addresses.back())) << text;
    }
    return 0;
}

TEST(TCPClient, EveryAddressOfTheNameRaced) {
    const struct {
        std::string name;
        std::vector<std::string> addresses;
        bool serverOnIPv6;
        bool fullFirst;  // the first address's listen queue is full: its connect never answers
        std::vector<std::string> connecting;
    } rows[] = {
        // The servers listen on one loopback address; the others refuse at once.
        {"first refuses", {"127.0.0.2", "127.0.0.1"}, false, false, {"127.0.0.2", "127.0.0.1"}},
        {"IPv6 only", {"::1"}, true, false, {"::1"}},
        {"IPv6 refuses, IPv4 answers", {"::1", "127.0.0.1"}, false, false, {"::1", "127.0.0.1"}},
        // The families take turns, the first address's family first.
        {"families interleaved", {"127.0.0.2", "127.0.0.3", "::1"}, true, false, {"127.0.0.2", "::1"}},
        {"first never answers", {"127.0.0.1", "::1"}, true, true, {"127.0.0.1", "::1"}},
    };
    const test::ScopedResolver resolver(Answer);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        answer = row.addresses;
        std::optional<test::FullBacklogListener> full;
        if (row.fullFirst) {
            full.emplace();
            ASSERT_TRUE(full->Full()) << "the kernel answers every connect: no unanswered one";
        }
        test::ScriptedServerOptions options;
        options.ipv6 = row.serverOnIPv6;
        options.port = full ? full->Port() : 0;
        test::ScriptedServer server({{test::Send("hi\n"), test::Silent(Millis(3000))}}, options);
        for (const std::int32_t timeout : {0, 10000}) {
            Client client(server.Port(), "quotes.example");
            const Clock::time_point start = Clock::now();
            client.Connect(timeout);
            EXPECT_LT(MillisecondsSince(start), 1000);
            EXPECT_EQ(client.ReadLine(), "hi");
            std::vector<std::string> events = {"Resolving hostname quotes.example."};
            for (const std::string& address : row.connecting)
                events.push_back("Connecting to " + address + ".");
            events.insert(events.end(), {"Connected.", "connected"});
            EXPECT_EQ(client.events, events);
        }
    }
    // A local address binds sockets of its own family only: the IPv6 address is left out.
    answer = {"::1", "127.0.0.1"};
    test::ScriptedServer server({{test::Send("hi\n"), test::Silent(Millis(3000))}});
    Client bound(server.Port(), "quotes.example");
    bound.SetBoundIP("127.0.0.1");
    bound.Connect(2000);
    EXPECT_EQ(bound.events,
              (std::vector<std::string>{"Resolving hostname quotes.example.", "Connecting to 127.0.0.1.",
                                        "Connected.", "connected"}));
    // When every address refuses, the last refusal is the news.
    answer = {"127.0.0.2", "::1"};
    Client refused(static_cast<std::uint16_t>(test::UnusedPort()), "quotes.example");
    EXPECT_EQ(Outcome([&] {
                  refused.Connect();
                  return std::string();
              }),
              "!EIdSocketError: " + Refused);
}

TEST(TCPClient, IPv6Literal) {
    test::ScriptedServerOptions options;
    options.ipv6 = true;
    test::ScriptedServer server({{test::Send("hi\n"), test::Silent(Millis(3000))}}, options);
    Client client(server.Port(), "::1");
    client.Connect();
    EXPECT_EQ(client.ReadLine(), "hi");
    EXPECT_EQ(client.events, (std::vector<std::string>{"Connecting to ::1.", "Connected.", "connected"}));
}

TEST(TCPClient, TimedConnect) {
    test::FullBacklogListener listener;
    ASSERT_TRUE(listener.Full()) << "the kernel answers every connect: no unanswered one to time out";
    Client client(listener.Port());
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(Outcome([&] {
                  client.Connect(300);
                  return std::string();
              }),
              "!EIdConnectTimeout: Connect timed out.");
    EXPECT_GE(MillisecondsSince(start), 280);
    EXPECT_LT(MillisecondsSince(start), 2000);
    EXPECT_FALSE(client.Connected());

    // A connect that succeeds does not wait out its limit.
    test::ScriptedServer server({{test::Send("hi\n"), test::Silent(Millis(3000))}});
    Client quick(server.Port());
    const Clock::time_point again = Clock::now();
    quick.Connect(5000);
    EXPECT_LT(MillisecondsSince(again), 1000);
    EXPECT_TRUE(quick.Connected());
    EXPECT_EQ(quick.ReadLine(), "hi");
    auto* handler = dynamic_cast<TIdIOHandlerSocket*>(quick.IOHandler());
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->Binding()->RemotePort(), server.Port());
    EXPECT_EQ(handler->Binding()->IP(), "127.0.0.1");
}

TEST(TCPClient, LocalEndAndNoDelay) {
    test::ScriptedServer server({{test::Silent(Millis(3000))}});
    const int localPort = test::UnusedPort();
    Client client(server.Port());
    client.SetBoundIP("127.0.0.1");
    client.SetBoundPort(localPort);
    auto handler = std::make_unique<TIdIOHandlerSocket>();
    handler->SetUseNagle(false);
    client.SetIOHandler(handler.get());
    client.Connect();
    EXPECT_EQ(handler->Binding()->Port(), localPort);
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    ASSERT_EQ(::getsockopt(handler->Binding()->SocketId(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
    EXPECT_NE(noDelay, 0);
    // A handler from outside stays assigned and open to the next Connect.
    client.Disconnect();
    EXPECT_EQ(client.IOHandler(), handler.get());
}

struct CountingIntercept : TIdConnectionIntercept {
    int connects = 0;
    int disconnects = 0;
    void Connect(TIdTCPConnection&) override { ++connects; }
    void Disconnect() override { ++disconnects; }
};

TEST(TCPClient, InterceptSeesConnectAndDisconnect) {
    test::ScriptedServer server({{test::Silent(Millis(3000))}});
    CountingIntercept intercept;
    Client client(server.Port());
    client.SetIntercept(&intercept);
    client.Connect();
    client.Disconnect();
    EXPECT_EQ(intercept.connects, 1);
    EXPECT_EQ(intercept.disconnects, 1);
}

}  // namespace
}  // namespace w20

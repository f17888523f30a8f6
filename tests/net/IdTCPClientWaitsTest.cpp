#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/IdExceptions.h"
#include "net/IdTCPClient.h"
#include "net/SocketErrorMap.h"
#include "tests/net/Outcome.h"
#include "tests/net/ScopedResolver.h"
#include "tests/support/FullBacklogListener.h"
#include "tests/support/ScriptedServer.h"

// The long waits of a connection: the idle hook between their steps, and the deadline over all
// of them together.
namespace w20 {
namespace {

using test::Millis;
using test::MillisecondsSince;
using test::Outcome;

const std::string ConnectTimedOut = "!EIdConnectTimeout: Connect timed out.";

// A client whose deadline raises a mark of its own.
struct Client : TIdTCPClient {
    Client(const std::string& host, std::uint16_t port) {
        SetHost(host);
        SetPort(port);
    }
    [[noreturn]] void RaiseDeadlinePassed() override { throw std::runtime_error("deadline"); }
};

// A name service that answers only after seconds, as a broken one does.
std::int32_t StalledLookup(const std::string&, std::vector<TIdIPAddress>&) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    PlatformSocketFunctions().SetLastError(seHostNotFound);
    return -1;
}

// Two addresses whose connects both go unanswered (the full listener's), raced.
std::int32_t TwoUnanswered(const std::string&, std::vector<TIdIPAddress>& addresses) {
    addresses = {TIdIPAddress::V4({127, 0, 0, 1}), TIdIPAddress::V4({127, 0, 0, 1})};
    return 0;
}

enum class Far { Script, FullBacklog, StalledLookup, Race };

// The peer of a row: a connection that plays a script, a connect that goes unanswered, or a name
// whose lookup does not answer.
struct Peer {
    std::optional<test::ScriptedServer> server;
    std::optional<test::FullBacklogListener> backlog;
    std::optional<test::ScopedResolver> resolver;

    Peer(Far far, const std::optional<test::Script>& script) {
        if (far == Far::Script)
            server.emplace(std::vector<test::Script>{*script});
        if (far == Far::FullBacklog || far == Far::Race)
            backlog.emplace();
        if (far == Far::StalledLookup || far == Far::Race)
            resolver.emplace(far == Far::Race ? TwoUnanswered : StalledLookup);
    }
    bool Ready() const { return !backlog || backlog->Full(); }
    std::string Host() const { return resolver ? "quotes.stalled.example" : "127.0.0.1"; }
    std::uint16_t Port() const { return server ? server->Port() : backlog ? backlog->Port() : 80; }
};

TEST(TCPClientWaits, IdleHookRunsBetweenTheStepsOfEveryWait) {
    struct Row {
        std::string name;
        Far far;
        std::optional<test::Script> script;
        std::int32_t limit;  // the read or connect limit in ms; a read's 0: none
        int raiseOnCall;     // the hook raises on this call; 0: never
        std::string outcome;
        int minimumCalls;
        long minimumMs;
        long maximumMs;
    };
    const std::vector<Row> rows = {
        // The limit counts the time the hook takes: 400 ms, not 400 ms of waiting plus the hook's.
        {"read, to its limit", Far::Script, test::Script{test::Silent(Millis(3000))}, 400, 0,
         test::ReadTimeout, 4, 380, 700},
        {"timed connect, to its limit", Far::FullBacklog, std::nullopt, 500, 0, ConnectTimedOut, 2, 480, 800},
        {"lookup, to the connect limit", Far::StalledLookup, std::nullopt, 500, 0, ConnectTimedOut, 2, 480,
         800},
        {"read without limit, ended by the hook", Far::Script, test::Script{test::Silent(Millis(3000))}, 0, 3,
         "!runtime_error: closing", 3, 0, 1000},
        {"timed connect, ended by the hook", Far::FullBacklog, std::nullopt, 5000, 3,
         "!runtime_error: closing", 3, 0, 1000},
        {"connect without limit, ended by the hook", Far::FullBacklog, std::nullopt, 0, 3,
         "!runtime_error: closing", 3, 0, 1000},
        {"lookup without limit, ended by the hook", Far::StalledLookup, std::nullopt, 0, 3,
         "!runtime_error: closing", 3, 0, 1000},
        {"race of two addresses, to its limit", Far::Race, std::nullopt, 600, 0, ConnectTimedOut, 2, 580,
         900},
        {"race of two addresses, ended by the hook", Far::Race, std::nullopt, 0, 10,
         "!runtime_error: closing", 10, 250, 1000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Peer peer(row.far, row.script);
        ASSERT_TRUE(peer.Ready()) << "the kernel answers every connect: no unanswered one to wait for";
        Client client(peer.Host(), peer.Port());
        int calls = 0;
        client.OnIdle = [&] {
            if (++calls == row.raiseOnCall)
                throw std::runtime_error("closing");
            std::this_thread::sleep_for(Millis(20));
        };
        std::string outcome;
        const auto start = std::chrono::steady_clock::now();
        if (row.far == Far::Script) {
            client.Connect();
            client.SetReadTimeout(row.limit);
            outcome = Outcome([&] { return client.ReadLine(); });
        } else {
            outcome = Outcome([&] {
                client.Connect(row.limit);
                return std::string();
            });
        }
        const long elapsed = MillisecondsSince(start);
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_GE(calls, row.minimumCalls);
        EXPECT_GE(elapsed, row.minimumMs);
        EXPECT_LT(elapsed, row.maximumMs);
        // Ended like a time-out: a read leaves the connection open, a connect closes its socket.
        EXPECT_EQ(client.Connected(), row.far == Far::Script);
    }
}

TEST(TCPClientWaits, DeadlineEndsEveryWaitTogether) {
    struct Row {
        std::string name;
        Far far;
        std::optional<test::Script> script;
        std::int32_t connectLimit;
        long deadlineMs;
        std::function<std::string(Client&)> read;
        std::string outcome;
        long minimumMs;
        long maximumMs;
    };
    const auto readLine = [](Client& client) { return client.ReadLine(); };
    const std::vector<Row> rows = {
        // Every byte comes well within the read limit, but the line never ends.
        {"line dripping under the read limit", Far::Script,
         test::Script{test::Drip(std::string(200, 'x'), Millis(50))}, 0, 600, readLine,
         "!runtime_error: deadline", 580, 1200},
        // A peer that never lets a wait run out is stopped too.
        {"endless stream", Far::Script, test::Script{test::SendRepeated(std::string(1000, 'y'), 5000000)}, 0,
         500,
         [](Client& client) {
             while (client.Connected())
                 client.TakeBuffered();
             return std::string("closed");
         },
         "!runtime_error: deadline", 480, 1500},
        {"connect without limit", Far::FullBacklog, std::nullopt, 0, 400, nullptr, "!runtime_error: deadline",
         380, 1000},
        {"lookup without limit", Far::StalledLookup, std::nullopt, 0, 400, nullptr,
         "!runtime_error: deadline", 380, 1000},
        {"race without limit", Far::Race, std::nullopt, 0, 400, nullptr, "!runtime_error: deadline", 380,
         1000},
        // The tighter limit speaks.
        {"connect limit before the deadline", Far::FullBacklog, std::nullopt, 300, 3000, nullptr,
         ConnectTimedOut, 280, 1000},
        {"deadline already passed", Far::FullBacklog, std::nullopt, 0, -1, nullptr,
         "!runtime_error: deadline", 0, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Peer peer(row.far, row.script);
        ASSERT_TRUE(peer.Ready()) << "the kernel answers every connect: no unanswered one to wait for";
        Client client(peer.Host(), peer.Port());
        client.SetReadTimeout(300);
        const auto start = std::chrono::steady_clock::now();
        client.SetDeadline(start + Millis(row.deadlineMs));
        const std::string outcome = Outcome([&] {
            client.Connect(row.connectLimit);
            return row.read(client);
        });
        const long elapsed = MillisecondsSince(start);
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_GE(elapsed, row.minimumMs);
        EXPECT_LT(elapsed, row.maximumMs);
    }
}

}  // namespace
}  // namespace w20

#include "net/IdTCPConnection.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/IdExceptions.h"
#include "tests/net/MemoryIOHandler.h"
#include "tests/net/Outcome.h"
#include "tests/net/WorkLog.h"

namespace w20 {
namespace {

using test::Closed;
using test::ClosedGracefully;
using test::Data;
using test::Failure;
using test::LineTooLong;
using test::NotConnected;
using test::Outcome;
using test::ReadTimeout;
using test::Silence;
using test::SocketError;

// A connection on an in-memory transport, with its events logged.
struct Rig {
    test::MemoryIOHandler handler;
    TIdTCPConnection connection;
    std::vector<std::string> events;
    test::WorkLog work;

    Rig() {
        connection.SetIOHandler(&handler);
        work.Attach(connection);
        connection.OnStatus = [this](TIdComponent&, TIdStatus, const std::string& text) {
            events.push_back("status " + text);
        };
        connection.OnDisconnected = [this](TIdTCPConnection&) { events.push_back("disconnected"); };
    }

    // What the connection has not consumed: the queue and what is still to arrive.
    std::string Unread() const {
        std::string rest(const_cast<TIdTCPConnection&>(connection).InputQueue().Bytes());
        for (const test::Arrival& arrival : handler.arrivals)
            rest += arrival.bytes;
        return rest;
    }
};

// How the peer's bytes are cut into receives.
struct Cutting {
    std::string name;
    std::function<std::vector<std::string>(const std::string&)> cut;
};

std::vector<Cutting> Cuttings() {
    std::vector<Cutting> cuttings = {
        {"whole", [](const std::string& text) { return std::vector<std::string>{text}; }},
        {"bytes", [](const std::string& text) { return test::RandomPieces(text, 0, 1); }},
    };
    for (unsigned seed = 1; seed <= 4; ++seed) {
        cuttings.push_back({"small" + std::to_string(seed),
                            [seed](const std::string& text) { return test::RandomPieces(text, seed, 7); }});
        cuttings.push_back({"large" + std::to_string(seed), [seed](const std::string& text) {
                                return test::RandomPieces(text, seed, 9000);
                            }});
    }
    return cuttings;
}

TEST(ReadLine, LinesLimitsAndCloses) {
    const std::string x16384(16384, 'x');
    const struct {
        std::string name;
        std::string input;
        bool close;  // the peer closes after the input
        std::string terminator;
        std::int32_t maximum;
        TIdMaxLineAction action;
        std::vector<std::string> results;  // "split:" marks LineSplit
        std::string unread;
    } cases[] = {
        {"crlf", "abc\r\n", false, "", -1, maException, {"abc"}, ""},
        {"lf", "abc\n", false, "", -1, maException, {"abc"}, ""},
        {"bare cr stays", "a\rb\n", false, "", -1, maException, {"a\rb"}, ""},
        {"empty lines", "\n\r\nx\n", false, "", -1, maException, {"", "", "x"}, ""},
        {"only one cr dropped", "a\r\r\n", false, "", -1, maException, {"a\r"}, ""},
        {"crlf terminator", "abc\r\r\ndef\r\n", false, "\r\n", -1, maException, {"abc\r", "def"}, ""},
        {"other terminator keeps cr", "a\rXYb\r\nXY", false, "XY", -1, maException, {"a\r", "b\r\n"}, ""},
        {"long terminator", "one<END>two<END>", false, "<END>", -1, maException, {"one", "two"}, ""},
        {"long terminator cut by close",
         "one<END>two<EN",
         true,
         "<END>",
         -1,
         maException,
         {"one", ClosedGracefully},
         "two<EN"},
        {"exactly the limit", x16384 + "\n", false, "", -1, maException, {x16384}, ""},
        {"one byte over", x16384 + "x\n", false, "", -1, maException, {LineTooLong}, x16384 + "x\n"},
        {"cr counts", x16384 + "\r\n", false, "", -1, maException, {LineTooLong}, x16384 + "\r\n"},
        {"split", x16384 + "yz\nq\n", false, "", -1, maSplit, {"split:" + x16384, "yz", "q"}, ""},
        {"split before cr", x16384 + "\r\n", false, "", -1, maSplit, {"split:" + x16384, ""}, ""},
        {"trips before the terminator",
         x16384 + "yyyy",
         true,
         "",
         -1,
         maException,
         {LineTooLong},
         x16384 + "yyyy"},
        {"split before the terminator",
         x16384 + "yyyy",
         true,
         "",
         -1,
         maSplit,
         {"split:" + x16384, ClosedGracefully},
         "yyyy"},
        {"no limit",
         std::string(20000, 'z') + "\n",
         false,
         "",
         0,
         maException,
         {std::string(20000, 'z')},
         ""},
        {"own maximum", "abc\nabcd\n", false, "", 3, maException, {"abc", LineTooLong}, "abcd\n"},
        {"limit and a long terminator",
         "abc\r\nabcd\r\n",
         false,
         "\r\n",
         3,
         maException,
         {"abc", LineTooLong},
         "abcd\r\n"},
        {"close without terminator", "abc", true, "", -1, maException, {ClosedGracefully}, "abc"},
        {"close at once", "", true, "", -1, maException, {ClosedGracefully}, ""},
        {"close after a line",
         "line1\nline2",
         true,
         "",
         -1,
         maException,
         {"line1", ClosedGracefully},
         "line2"},
        {"close after complete lines", "a\nb\n", true, "", -1, maException, {"a", "b", ClosedGracefully}, ""},
    };
    for (const auto& c : cases) {
        for (const Cutting& cutting : Cuttings()) {
            SCOPED_TRACE(c.name + " / " + cutting.name);
            Rig rig;
            rig.connection.SetMaxLineAction(c.action);
            rig.handler.Add(cutting.cut(c.input));
            if (c.close)
                rig.handler.arrivals.push_back(Closed());
            std::vector<std::string> results;
            for (std::size_t i = 0; i < c.results.size(); ++i) {
                results.push_back(Outcome([&] {
                    const std::string line = rig.connection.ReadLine(c.terminator, TimeoutDefault, c.maximum);
                    return (rig.connection.LineSplit() ? "split:" : "") + line;
                }));
            }
            EXPECT_EQ(results, c.results);
            EXPECT_EQ(rig.Unread(), c.unread);
        }
    }
}

TEST(ReadLine, OverlongLineDoesNotGrowTheQueue) {
    // A peer that sends without end and never a line break: the read stops soon after the limit.
    struct Endless : test::MemoryIOHandler {
        bool Readable(std::int32_t) override { return true; }
        std::int32_t Recv(void* buffer, std::int32_t length) override {
            ++receives;
            std::memset(buffer, 'a', static_cast<std::size_t>(length));
            return length;
        }
    };
    for (const TIdMaxLineAction action : {maException, maSplit}) {
        Endless handler;
        TIdTCPConnection connection;
        connection.SetIOHandler(&handler);
        connection.SetMaxLineAction(action);
        EXPECT_EQ(Outcome([&] { return std::to_string(connection.ReadLine().size()); }),
                  action == maException ? LineTooLong : "16384");
        EXPECT_LE(connection.InputQueue().Size(), 16384u + 32768u);
        EXPECT_EQ(handler.receives, 1);
    }
}

TEST(ReadLine, TimeLimits) {
    Rig rig;
    rig.handler.arrivals = {Data("ab"), Silence()};
    EXPECT_EQ(rig.connection.ReadLine("", 100), "");
    EXPECT_TRUE(rig.connection.LineTimedOut());

    rig.handler.arrivals = {Silence()};
    rig.connection.SetReadTimeout(500);
    EXPECT_EQ(Outcome([&] { return rig.connection.ReadLine(); }), ReadTimeout);
    // Still open, and the partial line is kept.
    EXPECT_TRUE(rig.connection.Connected());
    EXPECT_EQ(rig.connection.InputQueue().Bytes(), "ab");

    rig.handler.arrivals = {Data("c\n")};
    EXPECT_EQ(rig.connection.ReadLine(), "abc");
    EXPECT_FALSE(rig.connection.LineTimedOut());
}

TEST(FillInputQueue, WaitLimitPassedToTheTransport) {
    struct WaitRecorder : test::MemoryIOHandler {
        std::vector<std::int32_t> waits;
        bool Readable(std::int32_t timeout) override {
            waits.push_back(timeout);
            return MemoryIOHandler::Readable(timeout);
        }
    };
    const struct {
        std::int32_t readTimeout;
        std::int32_t timeout;
        std::int32_t wait;
    } cases[] = {
        {0, TimeoutDefault, TimeoutInfinite},
        {500, TimeoutDefault, 500},
        {500, 100, 100},
        {500, TimeoutInfinite, TimeoutInfinite},
        {0, 0, 0},
    };
    for (const auto& c : cases) {
        WaitRecorder handler;
        TIdTCPConnection connection;
        connection.SetIOHandler(&handler);
        connection.SetReadTimeout(c.readTimeout);
        EXPECT_EQ(connection.FillInputQueue(true, c.timeout, false), -1);
        EXPECT_EQ(handler.waits, std::vector<std::int32_t>{c.wait}) << c.readTimeout << " " << c.timeout;
    }
}

// A stream that records the largest size it was asked to hold and how many bytes were copied
// into it; without memory to lend, every byte reaches it through the connection's queue.
struct RecordingStream : TIdSimpleBuffer {
    bool lends = true;
    std::size_t largestSize = 0;
    std::size_t largestReserve = 0;
    std::size_t copied = 0;
    bool Land(std::size_t count, bool grow, const LandFill& fill) override {
        return lends && TIdSimpleBuffer::Land(count, grow, [&](char* room, std::size_t n) {
                   largestSize = std::max(largestSize, Position() + n);
                   return fill(room, n);
               });
    }
    void SetSize(std::size_t size) override {
        largestSize = std::max(largestSize, size);
        TIdSimpleBuffer::SetSize(size);
    }
    void Write(const void* source, std::size_t count) override {
        TIdSimpleBuffer::Write(source, count);
        copied += count;
        largestSize = std::max(largestSize, Size());
    }
    void Reserve(std::size_t size) override {
        largestReserve = std::max(largestReserve, size);
        TIdSimpleBuffer::Reserve(size);
    }
};

TEST(ReadToStream, CountsAndCloses) {
    const std::string digits = "0123456789";
    const struct {
        std::string name;
        std::vector<test::Arrival> after;  // what follows the digits
        std::int32_t count;
        bool untilClose;
        std::int32_t block;
        std::string written;
        std::string outcome;
        std::string unread;
    } cases[] = {
        {"until close", {Closed()}, 0, true, 32768, digits, "", ""},
        {"until close in small blocks", {Closed()}, 0, true, 3, digits, "", ""},
        {"count", {}, 4, false, 32768, "0123", "", "456789"},
        {"count in blocks", {}, 7, false, 3, "0123456", "", "789"},
        {"all by count", {Closed()}, 10, false, 4, digits, "", ""},
        {"zero count", {}, 0, false, 32768, "", "", digits},
        {"count cut by close", {Closed()}, 20, false, 32768, "", ClosedGracefully, digits},
        {"only whole blocks are written", {Closed()}, 20, false, 4, "01234567", ClosedGracefully, "89"},
        {"count longer than the peer's promise",
         {Closed()},
         2147483647,
         false,
         32768,
         "",
         ClosedGracefully,
         digits},
        {"reset",
         {Failure(10054)},
         20,
         false,
         4,
         "01234567",
         SocketError(10054, "Connection reset by peer."),
         "89"},
        {"reset until close",
         {Failure(10054)},
         0,
         true,
         4,
         "01234567",
         SocketError(10054, "Connection reset by peer."),
         "89"},
        {"aborted until close", {Failure(10053)}, 0, true, 4, digits, "", ""},
        {"silent peer", {Silence()}, 20, false, 4, "01234567", ReadTimeout, "89"},
    };
    for (const auto& c : cases) {
        for (const Cutting& cutting : Cuttings()) {
            // A text lends its memory through a callback of its own, with the failures carried past it.
            for (const std::string into : {"into the stream", "through the queue", "into a text"}) {
                SCOPED_TRACE(c.name + " / " + cutting.name + " / " + into);
                const bool lends = into == "into the stream";
                Rig rig;
                rig.connection.SetRecvBufferSize(c.block);
                rig.connection.SetReadTimeout(200);
                rig.handler.Add(cutting.cut(digits));
                for (const test::Arrival& arrival : c.after)
                    rig.handler.arrivals.push_back(arrival);
                RecordingStream buffer;
                buffer.lends = lends;
                TIdStringStream text;
                TIdStream& stream = into == "into a text" ? static_cast<TIdStream&>(text) : buffer;
                EXPECT_EQ(Outcome([&] {
                              rig.connection.ReadToStream(stream, c.count, c.untilClose);
                              return std::string();
                          }),
                          c.outcome);
                EXPECT_EQ(&stream == &text ? text.Text() : std::string(buffer.Bytes()), c.written);
                EXPECT_EQ(stream.Position(), c.written.size());
                EXPECT_EQ(rig.Unread(), c.unread);
                if (&stream == &text)
                    continue;
                // The announced count never turns into memory before the bytes are there: at
                // most one block is made room for ahead of them.
                EXPECT_LE(buffer.largestSize, c.written.size() + static_cast<std::size_t>(c.block));
                EXPECT_LE(buffer.largestReserve, TIdTCPConnection::PresizeLimit);
                // Counted bytes that were not queued before the read land in the stream at once,
                // but for a last block shorter than a receive, which comes through the queue.
                if (lends && !c.untilClose) {
                    EXPECT_LE(buffer.copied, c.written.size() % static_cast<std::size_t>(c.block));
                }
            }
        }
    }
}

// A peer that sends more than the largest 32-bit count and then closes: a read up to the close
// takes every byte. The stream only counts what it is given, so nothing is kept.
TEST(ReadToStream, UntilCloseCountsBeyondThirtyTwoBits) {
    constexpr std::int64_t Total = (std::int64_t{1} << 31) + 3;
    struct Generous : test::MemoryIOHandler {
        std::int64_t left = Total;
        bool Readable(std::int32_t) override { return true; }
        std::int32_t Recv(void*, std::int32_t length) override {
            const std::int64_t n = std::min<std::int64_t>(left, length);
            left -= n;
            return static_cast<std::int32_t>(n);
        }
    };
    struct CountingStream : TIdStream {
        bool lends = true;
        std::size_t size = 0;
        std::size_t position = 0;
        std::string scratch;
        std::size_t Size() const override { return size; }
        void SetSize(std::size_t value) override {
            size = value;
            position = std::min(position, size);
        }
        std::size_t Position() const override { return position; }
        void SetPosition(std::size_t value) override { position = std::min(value, size); }
        std::size_t Read(void*, std::size_t) override { return 0; }
        void Write(const void*, std::size_t count) override {
            position += count;
            size = std::max(size, position);
        }
        bool Land(std::size_t count, bool, const LandFill& fill) override {
            if (!lends)
                return false;
            scratch.resize(std::max(scratch.size(), count));
            position += fill(scratch.data(), count);
            size = position;
            return true;
        }
    };
    for (const bool lends : {true, false}) {
        SCOPED_TRACE(lends ? "into the stream" : "through the queue");
        Generous handler;
        TIdTCPConnection connection;
        connection.SetIOHandler(&handler);
        connection.SetRecvBufferSize(1 << 20);
        std::int64_t worked = 0;
        connection.OnWork = [&worked](TIdComponent&, TWorkMode, std::int64_t count) { worked = count; };
        CountingStream stream;
        stream.lends = lends;
        connection.ReadToStream(stream, -1, true);
        EXPECT_EQ(stream.Position(), static_cast<std::size_t>(Total));
        EXPECT_EQ(stream.Size(), static_cast<std::size_t>(Total));
        EXPECT_EQ(worked, Total);
        EXPECT_EQ(handler.left, 0);
        EXPECT_FALSE(connection.Connected());
    }
}

TEST(ReadToStream, WritesAtThePositionAndCutsTheRest) {
    Rig rig;
    rig.handler.arrivals = {Data("abcd")};
    TIdSimpleBuffer stream;
    stream.Write("XXXXXXXXXXXXXXXXXXXX", 20);
    stream.SetPosition(5);
    rig.connection.ReadToStream(stream, 4, false);
    EXPECT_EQ(stream.Bytes(), "XXXXXabcd");
    EXPECT_EQ(stream.Position(), 9u);
}

TEST(ReadToStream, CountFromTheWire) {
    Rig rig;
    rig.handler.arrivals = {Data(std::string("hdr\n\0\0\0\x05", 8)), Data("helloworld")};
    EXPECT_EQ(rig.connection.ReadLine(), "hdr");
    TIdSimpleBuffer stream;
    rig.connection.ReadToStream(stream, -1, false);  // the count comes first, in network order
    EXPECT_EQ(stream.Bytes(), "hello");
    EXPECT_EQ(rig.Unread(), "world");
}

TEST(ReadToStream, WorkEventsAlsoWhenCutShort) {
    Rig rig;
    rig.connection.SetRecvBufferSize(4);
    rig.handler.arrivals = {Data("0123456789"), Closed()};
    TIdSimpleBuffer stream;
    EXPECT_THROW(rig.connection.ReadToStream(stream, 20, false), EIdConnClosedGracefully);
    EXPECT_EQ(rig.work.events, (std::vector<std::string>{"begin 0 20", "work 0 4", "work 0 8", "end 0"}));
}

TEST(ReadExact, WaitsForTheWholeCount) {
    Rig rig;
    rig.handler.Add(test::RandomPieces("abcdefgh", 3, 2));
    char bytes[6] = {};
    rig.connection.ReadExact(bytes, 6);
    EXPECT_EQ(std::string(bytes, 6), "abcdef");
    rig.connection.ReadExact(bytes, 0);
    rig.connection.ReadExact(bytes, -3);
    EXPECT_EQ(rig.Unread(), "gh");
    rig.handler.arrivals.push_back(Closed());
    EXPECT_EQ(Outcome([&] {
                  rig.connection.ReadExact(bytes, 3);
                  return std::string();
              }),
              ClosedGracefully);
    EXPECT_EQ(rig.connection.InputQueue().Bytes(), "gh");
}

TEST(ReceiveErrors, FailureAtEveryReceive) {
    // The same exchange with the n-th receive failing, for every n: each run ends in the result
    // or in the failure's exception, never in a wrong line or a hang.
    const std::string reply = "HTTP/1.1 200 OK\r\nA: b\r\n\r\n" + std::string(100, 'B');
    const std::vector<std::string> pieces = test::RandomPieces(reply, 7, 9);
    const struct {
        std::int32_t code;
        bool tolerated;  // drops the socket, raised only with an empty queue
    } codes[] = {{10054, false}, {10055, false}, {10053, true}, {10058, true}};
    for (const auto& c : codes) {
        for (std::size_t n = 0; n <= pieces.size(); ++n) {
            SCOPED_TRACE(std::to_string(c.code) + " at receive " + std::to_string(n + 1));
            Rig rig;
            rig.handler.Add(pieces);
            rig.handler.arrivals.insert(rig.handler.arrivals.begin() + static_cast<std::ptrdiff_t>(n),
                                        Failure(c.code));
            std::vector<std::string> lines;
            TIdSimpleBuffer body;
            const std::string outcome = Outcome([&] {
                for (std::string line = "-"; !line.empty();)
                    lines.push_back(line = rig.connection.ReadLine());
                rig.connection.ReadToStream(body, 100, false);
                return std::string("done");
            });
            const std::vector<std::string> all = {"HTTP/1.1 200 OK", "A: b", ""};
            EXPECT_TRUE(std::equal(lines.begin(), lines.end(), all.begin()));
            if (n == pieces.size()) {
                EXPECT_EQ(outcome, "done");
                EXPECT_EQ(body.Bytes(), std::string(100, 'B'));
                continue;
            }
            // Bytes queued with the headers go to the stream first; the rest only in whole.
            EXPECT_EQ(body.Bytes(), std::string(body.Size(), 'B'));
            EXPECT_LT(body.Size(), 100u);
            if (!c.tolerated) {
                EXPECT_EQ(outcome.rfind(SocketError(c.code, ""), 0), 0u) << outcome;
                EXPECT_TRUE(rig.connection.Connected());
            } else {
                EXPECT_TRUE(outcome.rfind(SocketError(c.code, ""), 0) == 0 || outcome == ClosedGracefully)
                    << outcome;
                EXPECT_FALSE(rig.connection.Connected());
            }
        }
    }
}

TEST(ReceiveErrors, ToleratedFailureKeepsQueuedBytesReadable) {
    Rig rig;
    rig.handler.arrivals = {Data("a\nb\nc"), Failure(10053)};
    EXPECT_EQ(rig.connection.ReadLine(), "a");
    EXPECT_EQ(rig.connection.ReadLine(), "b");
    // The failure drops the socket quietly, since bytes are queued; the close shows next.
    EXPECT_EQ(Outcome([&] { return rig.connection.ReadLine(); }), ClosedGracefully);
    EXPECT_FALSE(rig.connection.Connected());
    EXPECT_EQ(rig.connection.TakeBuffered(), "c");
}

// A close is reported once, whoever started it; later checks and disconnects fire nothing.
TEST(Close, EventsFireOnce) {
    const struct {
        std::string name;
        std::vector<test::Arrival> arrivals;
        std::function<std::string(TIdTCPConnection&)> close;
        std::string outcome;
        std::vector<std::string> events;
    } cases[] = {
        {"peer",
         {Data("x\n"), Closed()},
         [](TIdTCPConnection& c) {
             const std::string line = c.ReadLine();
             return line + "|" + Outcome([&] { return c.ReadLine(); });
         },
         "x|" + ClosedGracefully,
         {"status Disconnected.", "disconnected"}},
        {"disconnect",
         {},
         [](TIdTCPConnection& c) {
             c.Disconnect();
             return std::string();
         },
         "",
         {"status Disconnecting.", "disconnected", "status Disconnected."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.handler.arrivals = {c.arrivals.begin(), c.arrivals.end()};
        EXPECT_EQ(c.close(rig.connection), c.outcome);
        EXPECT_EQ(rig.events, c.events);
        EXPECT_FALSE(rig.handler.open);
        EXPECT_FALSE(rig.connection.Connected());
        rig.connection.CheckClosed(false, false);
        rig.connection.Disconnect();
        EXPECT_EQ(rig.events, c.events);
        // A handler that was assigned, not created, stays assigned.
        EXPECT_EQ(rig.connection.IOHandler(), &rig.handler);
        EXPECT_FALSE(rig.connection.OwnsIOHandler());
    }
}

TEST(Close, PollClosedPicksUpWhatWaits) {
    Rig rig;
    rig.handler.arrivals = {Data("abc")};
    rig.connection.PollClosed(false);
    EXPECT_EQ(rig.connection.InputQueue().Bytes(), "abc");
    EXPECT_TRUE(rig.connection.Connected());
    rig.connection.PollClosed(false);  // nothing waits: no exception
    rig.handler.arrivals = {Closed()};
    rig.connection.PollClosed(false);
    EXPECT_FALSE(rig.connection.Connected());
    EXPECT_EQ(rig.connection.TakeBuffered(), "abc");
    EXPECT_EQ(rig.events, (std::vector<std::string>{"status Disconnected.", "disconnected"}));
}

TEST(Close, ReadsAndWritesAfterTheClose) {
    const struct {
        std::string name;
        std::function<std::string(TIdTCPConnection&)> action;
        std::string outcome;
    } cases[] = {
        {"read line", [](TIdTCPConnection& c) { return c.ReadLine(); }, ClosedGracefully},
        {"write",
         [](TIdTCPConnection& c) {
             c.WriteText("x");
             return std::string();
         },
         ClosedGracefully},
        {"write line",
         [](TIdTCPConnection& c) {
             c.WriteLine();
             return std::string();
         },
         ClosedGracefully},
        {"fill", [](TIdTCPConnection& c) { return std::to_string(c.FillInputQueue(true, 1, false)); },
         NotConnected},
        {"fill quietly",
         [](TIdTCPConnection& c) { return std::to_string(c.FillInputQueue(false, 1, false)); }, "0"},
        {"take buffered", [](TIdTCPConnection& c) { return c.TakeBuffered(); }, "partial"},
        {"read all", [](TIdTCPConnection& c) { return c.ReadAll(); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The close has been seen while bytes are still queued.
        Rig rig;
        rig.handler.arrivals = {Data("partial"), Closed()};
        EXPECT_EQ(Outcome([&] { return rig.connection.ReadLine(); }), ClosedGracefully);
        EXPECT_EQ(Outcome([&] { return c.action(rig.connection); }), c.outcome);
        EXPECT_EQ(rig.handler.sends, 0);
    }
}

TEST(Close, WithoutHandlerNothingIsConnected) {
    TIdTCPConnection connection;
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(Outcome([&] { return connection.ReadLine(); }), NotConnected);
    EXPECT_EQ(Outcome([&] {
                  connection.WriteLine("x");
                  return std::string();
              }),
              NotConnected);
    EXPECT_EQ(connection.FillInputQueue(false, 1, true), 0);
    EXPECT_EQ(connection.TakeBuffered(), "");
}

TEST(ReadAll, JoinsReceives) {
    Rig rig;
    rig.handler.arrivals = {Data("ab"), Data("cd"), Closed()};
    EXPECT_EQ(rig.connection.ReadAll(), "abcd");
    EXPECT_FALSE(rig.connection.Connected());
}

TEST(ResetState, ForgetsQueueAndClose) {
    Rig rig;
    rig.handler.arrivals = {Data("abc"), Closed()};
    rig.connection.PollClosed(false);
    rig.connection.PollClosed(false);
    EXPECT_TRUE(rig.connection.PeerClosed());
    rig.connection.InputQueue().DropFront(1);
    rig.connection.ResetState();
    EXPECT_FALSE(rig.connection.PeerClosed());
    EXPECT_EQ(rig.connection.InputQueue().Size(), 0u);
    EXPECT_EQ(rig.connection.InputQueue().ConsumedCount(), 0u);
}

TEST(Write, SendsAndBatches) {
    const struct {
        std::string name;
        std::function<void(TIdTCPConnection&)> action;
        std::string sent;
        std::int32_t sends;
    } cases[] = {
        {"empty line is CR LF", [](TIdTCPConnection& c) { c.WriteLine(); }, "\r\n", 1},
        {"empty text sends nothing", [](TIdTCPConnection& c) { c.WriteText(""); }, "", 0},
        {"bytes", [](TIdTCPConnection& c) { c.WriteBytes("a\0b", 3); }, std::string("a\0b", 3), 1},
        {"no bytes", [](TIdTCPConnection& c) { c.WriteBytes("ab", 0); }, "", 0},
        {"request in one send",
         [](TIdTCPConnection& c) {
             c.BeginBatch();
             c.WriteLine("GET /q HTTP/1.1");
             c.WriteLine("Host: h");
             c.WriteLine();
             c.EndBatch();
         },
         "GET /q HTTP/1.1\r\nHost: h\r\n\r\n", 1},
        {"threshold flushes its size",
         [](TIdTCPConnection& c) {
             c.BeginBatch(10);
             c.WriteText("12345678");
             c.WriteText("9abc");  // 12 held: the first 10 go
             c.EndBatch();
         },
         "123456789abc", 2},
        {"flush of more than held sends all",
         [](TIdTCPConnection& c) {
             c.BeginBatch();
             c.WriteText("abc");
             c.FlushBatch(10);
             c.FlushBatch(10);  // empty: nothing
             c.WriteText("d");
             c.EndBatch();
         },
         "abcd", 2},
        {"flush of a part",
         [](TIdTCPConnection& c) {
             c.BeginBatch();
             c.WriteText("abcdef");
             c.FlushBatch(2);
             c.DiscardBatch();
             c.WriteText("g");
             c.EndBatch();
         },
         "abg", 2},
        {"write now passes the batch",
         [](TIdTCPConnection& c) {
             c.BeginBatch();
             c.WriteText("late");
             c.WriteBytes("now", 3, true);
             c.EndBatch();
         },
         "nowlate", 2},
        {"after the batch writes go at once",
         [](TIdTCPConnection& c) {
             c.BeginBatch();
             c.EndBatch();
             c.WriteText("x");
         },
         "x", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.action(rig.connection);
        EXPECT_EQ(rig.handler.sent, c.sent);
        EXPECT_EQ(rig.handler.sends, c.sends);
    }
}

TEST(Write, SendErrors) {
    const struct {
        std::int32_t code;
        std::string text;
        bool dropped;
    } cases[] = {
        {10054, "Connection reset by peer.", true},
        {10053, "Software caused connection abort.", true},
        {10058, "Cannot send or receive after socket is closed.", true},
        {10055, "No buffer space available.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        Rig rig;
        rig.handler.sendFailures = {{1, c.code}};
        EXPECT_EQ(Outcome([&] {
                      rig.connection.WriteLine("x");
                      return std::string();
                  }),
                  SocketError(c.code, c.text));
        EXPECT_EQ(rig.connection.Connected(), !c.dropped);
    }
}

TEST(Write, FailedEndBatchStillEndsTheBatch) {
    Rig rig;
    rig.handler.sendFailures = {{1, 10055}};
    rig.connection.BeginBatch();
    rig.connection.WriteText("lost");
    EXPECT_THROW(rig.connection.EndBatch(), EIdSocketError);
    rig.connection.WriteText("direct");
    EXPECT_EQ(rig.handler.sent, "direct");
}

TEST(WriteFromStream, BlocksCountsAndShortStreams) {
    const struct {
        std::string name;
        std::size_t position;
        bool fromStart;
        std::int32_t count;
        bool countFirst;
        std::string sent;
        std::int32_t sends;
        std::string outcome;
        std::int32_t total;  // announced to OnWorkBegin
    } cases[] = {
        {"whole stream", 7, true, 0, false, "0123456789", 3, "", 10},
        {"part from the position", 2, false, 5, false, "23456", 2, "", 5},
        {"rest from the position", 8, false, 0, false, "89", 1, "", 2},
        {"count first", 0, false, 3, true, std::string("\0\0\0\x03", 4) + "012", 2, "", 3},
        {"stream too short", 0, false, 12, false, "0123456789", 3, "!EIdNoDataToRead: No data to read.", 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.connection.SetSendBufferSize(4);
        TIdSimpleBuffer stream;
        stream.Write("0123456789", 10);
        stream.SetPosition(c.position);
        EXPECT_EQ(Outcome([&] {
                      rig.connection.WriteFromStream(stream, c.fromStart, c.count, c.countFirst);
                      return std::string();
                  }),
                  c.outcome);
        EXPECT_EQ(rig.handler.sent, c.sent);
        EXPECT_EQ(rig.handler.sends, c.sends);
        ASSERT_FALSE(rig.work.events.empty());
        EXPECT_EQ(rig.work.events.front(), "begin 1 " + std::to_string(c.total));
        EXPECT_EQ(rig.work.events.back(), "end 1");
    }
}

TEST(Write, PartialSendsContinueAndReportProgress) {
    Rig rig;
    rig.handler.sendLimit = 3;
    rig.connection.WriteText("abcdefgh");
    TIdSimpleBuffer stream;
    stream.Write("ABCDEFGH", 8);
    rig.connection.WriteFromStream(stream, true, 0, false);
    EXPECT_EQ(rig.handler.sent, "abcdefghABCDEFGH");
    EXPECT_EQ(rig.handler.sends, 6);
    EXPECT_EQ(rig.work.events,
              (std::vector<std::string>{"begin 1 8", "work 1 3", "work 1 6", "work 1 8", "end 1"}));
}

TEST(ASCIIFilter, ClearsTheHighBit) {
    Rig rig;
    rig.connection.SetASCIIFilter(true);
    rig.handler.arrivals = {
        Data("\xC1\xE2"
             "c\xFF\n")};
    EXPECT_EQ(rig.connection.ReadLine(), "Abc\x7F");
}

// Upper-cases what arrives and marks what leaves.
struct ShoutingIntercept : TIdConnectionIntercept {
    int disconnects = 0;
    void Disconnect() override { ++disconnects; }
    void Receive(TIdSimpleBuffer& block) override {
        std::string text(block.Bytes());
        for (char& ch : text)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        block.Clear();
        block.Append(text + "!");
    }
    void Send(TIdSimpleBuffer& block) override {
        const std::string text(block.Bytes());
        block.Clear();
        block.Append(">" + text);
    }
};

TEST(Intercept, SeesEveryBlock) {
    Rig rig;
    ShoutingIntercept intercept;
    rig.connection.SetIntercept(&intercept);
    rig.handler.arrivals = {Data("ab"), Data("c\n")};
    EXPECT_EQ(rig.connection.ReadLine(), "AB!C");
    EXPECT_EQ(rig.connection.InputQueue().Bytes(), "!");
    rig.connection.WriteText("out");
    EXPECT_EQ(rig.handler.sent, ">out");
    rig.connection.DropSocket();
    EXPECT_EQ(intercept.disconnects, 1);
}

TEST(Intercept, SeesTheBlocksOfABody) {
    Rig rig;
    ShoutingIntercept intercept;
    rig.connection.SetIntercept(&intercept);
    rig.handler.arrivals = {Data("ab"), Data("cd"), Closed()};
    TIdSimpleBuffer stream;
    rig.connection.ReadToStream(stream, -1, true);
    EXPECT_EQ(stream.Bytes(), "AB!CD!");
}

TEST(Intercept, SwallowedBlockIsNoClose) {
    struct Swallowing : TIdConnectionIntercept {
        void Receive(TIdSimpleBuffer& block) override {
            if (block.Bytes()[0] == '#')
                block.Clear();
        }
    };
    Rig rig;
    Swallowing intercept;
    rig.connection.SetIntercept(&intercept);
    rig.handler.arrivals = {Data("#noise"), Data("ok\n")};
    EXPECT_EQ(rig.connection.ReadLine(), "ok");
    EXPECT_FALSE(rig.connection.PeerClosed());
    EXPECT_TRUE(rig.connection.Connected());
}

TEST(Links, DestroyedHandlerAndInterceptAreForgotten) {
    TIdTCPConnection connection;
    {
        test::MemoryIOHandler handler;
        ShoutingIntercept intercept;
        connection.SetIOHandler(&handler);
        connection.SetIntercept(&intercept);
        EXPECT_TRUE(connection.Connected());
    }
    EXPECT_EQ(connection.IOHandler(), nullptr);
    EXPECT_EQ(connection.Intercept(), nullptr);
    EXPECT_FALSE(connection.Connected());
}

TEST(Links, HandlerOutlivesItsConnection) {
    test::MemoryIOHandler handler;
    {
        TIdTCPConnection connection;
        connection.SetIOHandler(&handler);
    }
    // The connection dropped the socket on its way out, without events.
    EXPECT_FALSE(handler.open);
}

TEST(Settings, Defaults) {
    TIdTCPConnection connection;
    EXPECT_FALSE(connection.ASCIIFilter());
    EXPECT_EQ(connection.MaxLineLength(), 16384);
    EXPECT_EQ(connection.MaxLineAction(), maException);
    EXPECT_EQ(connection.ReadTimeout(), 0);
    EXPECT_EQ(connection.RecvBufferSize(), 32768);
    EXPECT_EQ(connection.SendBufferSize(), 32768);
    EXPECT_EQ(connection.IOHandler(), nullptr);
    EXPECT_EQ(connection.Intercept(), nullptr);
    EXPECT_FALSE(connection.PeerClosed());
    connection.SetRecvBufferSize(0);
    EXPECT_EQ(connection.RecvBufferSize(), 1);
}

}  // namespace
}  // namespace w20

#include "net/IdStack.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "net/IdExceptions.h"
#include "net/IdStackPosix.h"
#include "net/SocketErrorMap.h"
#include "tests/net/ConnectedHandle.h"
#include "tests/net/Outcome.h"

namespace w20 {
namespace {

using Clock = std::chrono::steady_clock;
using test::MillisecondsSince;

// State of the fake entry points below; one test at a time uses them.
struct FakeState {
    int startups = 0;
    int startupResult = 0;
    int lookups = 0;
    std::string lookedUp;
    std::vector<TIdIPAddress> answer;
    std::int32_t lookupError = 0;
    int interruptsLeft = 0;
    std::vector<std::int32_t> pollTimeouts;
    TIdIPAddress reversed = {};
    int cleanups = 0;
};
FakeState fake;

TIdIPAddress Address(const std::string& text) {
    TIdIPAddress address;
    EXPECT_TRUE(ParseIPAddressText(text, address)) << text;
    return address;
}

SocketFunctions FakeFunctions() {
    fake = FakeState();
    SocketFunctions functions = test::CopyOfPlatformFunctions();
    functions.Startup = [](std::uint16_t version) {
        EXPECT_EQ(version, 0x0202);
        ++fake.startups;
        return fake.startupResult;
    };
    functions.ResolveName = [](const std::string& name,
                               std::vector<TIdIPAddress>& addresses) -> std::int32_t {
        ++fake.lookups;
        fake.lookedUp = name;
        addresses = fake.answer;
        if (fake.lookupError == 0)
            return 0;
        PlatformSocketFunctions().SetLastError(fake.lookupError);
        return -1;
    };
    functions.ResolveAddress = [](const TIdIPAddress& address, std::string& name) -> std::int32_t {
        fake.reversed = address;
        name = "quotes.example";
        if (fake.lookupError == 0)
            return 0;
        PlatformSocketFunctions().SetLastError(fake.lookupError);
        return -1;
    };
    functions.Poll = [](SocketPollEntry* entries, std::int32_t count,
                        std::int32_t timeoutMs) -> std::int32_t {
        fake.pollTimeouts.push_back(timeoutMs);
        if (fake.interruptsLeft > 0) {
            --fake.interruptsLeft;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            PlatformSocketFunctions().SetLastError(seInterrupted);
            return -1;
        }
        return PlatformSocketFunctions().Poll(entries, count, timeoutMs);
    };
    return functions;
}

// Makes SharedStack from the given library while the test runs.
class ScopedStackClass {
public:
    explicit ScopedStackClass(SocketLibrary& library) {
        EXPECT_EQ(SharedStack(), nullptr) << "a network component outlived its test";
        SetStackClass([&library] { return std::make_unique<TIdStackPosix>(library); });
    }
    ~ScopedStackClass() { SetStackClass(nullptr); }
};

TEST(SharedStack, FirstComponentCreatesLastFrees) {
    SocketLibrary library(FakeFunctions());
    ScopedStackClass stackClass(library);

    auto first = std::make_unique<TIdComponent>();
    TIdStack* stack = SharedStack();
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(fake.startups, 1);
    {
        TIdComponent second;
        EXPECT_EQ(SharedStack(), stack);
        EXPECT_EQ(SharedStackHolders(), 2);
    }
    EXPECT_EQ(SharedStack(), stack);
    first.reset();
    EXPECT_EQ(SharedStack(), nullptr);
    EXPECT_EQ(SharedStackHolders(), 0);

    // A new stack, but the library is started only once per process.
    TIdComponent again;
    EXPECT_NE(SharedStack(), nullptr);
    EXPECT_EQ(fake.startups, 1);
    EXPECT_TRUE(library.Started());
}

// A lookup thread may still be inside the resolver when the program ends and its socket library
// is shut down: the shut-down is skipped then.
std::atomic<bool> lookupHeld = false;

TEST(SharedStack, LibraryNotShutDownUnderARunningLookup) {
    SocketFunctions functions = FakeFunctions();
    functions.ResolveName = [](const std::string&, std::vector<TIdIPAddress>& addresses) -> std::int32_t {
        while (lookupHeld)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        addresses = {TIdIPAddress::V4({10, 0, 0, 1})};
        return 0;
    };
    functions.Cleanup = [] {
        ++fake.cleanups;
        return 0;
    };
    lookupHeld = true;
    std::optional<TIdHostLookup> lookup;
    {
        SocketLibrary library(functions);
        TIdStackPosix stack(library);
        lookup.emplace(stack.StartHostLookup("quotes.example"));
    }
    EXPECT_EQ(fake.cleanups, 0);
    lookupHeld = false;
    ASSERT_TRUE(lookup->WaitFinished(std::chrono::seconds(5)));
    EXPECT_EQ(lookup->Addresses(), std::vector<std::string>{"10.0.0.1"});
    // Lookups of earlier tests may still be finishing in this process.
    for (int i = 0; i < 100 && !TIdHostLookup::UnlessResolving([] {}); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    {
        SocketLibrary library(functions);
        library.Start();
    }
    EXPECT_EQ(fake.cleanups, 1);
}

TEST(SharedStack, FailedStartupRaisesAndIsTriedAgain) {
    SocketLibrary library(FakeFunctions());
    ScopedStackClass stackClass(library);
    fake.startupResult = 10091;

    try {
        TIdComponent component;
        FAIL() << "no exception";
    } catch (const EIdStackInitializationFailed& e) {
        EXPECT_EQ(e.Message(), "Winsock Initialization Error.");
    }
    EXPECT_EQ(SharedStack(), nullptr);
    EXPECT_EQ(SharedStackHolders(), 0);
    EXPECT_FALSE(library.Started());

    fake.startupResult = 0;
    TIdComponent component;
    EXPECT_NE(SharedStack(), nullptr);
    EXPECT_EQ(fake.startups, 2);
    EXPECT_TRUE(library.Started());
}

TEST(SharedStack, ComponentsOnManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> missing = 0;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&missing] {
            for (int i = 0; i < 200; ++i) {
                TIdComponent component;
                if (SharedStack() == nullptr)
                    ++missing;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(SharedStack(), nullptr);
    EXPECT_EQ(SharedStackHolders(), 0);
}

TEST(LookupHost, AddressTextsAndLocalhostNeedNoLookup) {
    SocketLibrary library(FakeFunctions());
    TIdStackPosix stack(library);
    fake.answer = {Address("2001:db8::5"), Address("10.1.2.3"), Address("10.9.9.9")};
    const struct {
        std::string host;
        std::string result;
        int lookups;
    } cases[] = {
        {"LocalHost", "127.0.0.1", 0},     {"localhost", "127.0.0.1", 0},
        {"LOCALHOST", "127.0.0.1", 0},     {"127.0.0.1", "127.0.0.1", 0},
        {"0x7f.1", "0x7f.1", 0},  // returned as written; the connect reads it again
        {" 127.0.0.1", " 127.0.0.1", 0},   {"10", "10", 0},
        {"localhost.", "10.1.2.3", 1},  // not "LOCALHOST", not an address: looked up, first IPv4 address
        {"quotes.example", "10.1.2.3", 1}, {" localhost", "10.1.2.3", 1},  // no trimming
        {"1.2.3.4 ", "10.1.2.3", 1},       {"::1", "::1", 0},
    };
    for (const auto& c : cases) {
        fake.lookups = 0;
        EXPECT_EQ(stack.LookupHost(c.host), c.result) << "'" << c.host << "'";
        EXPECT_EQ(fake.lookups, c.lookups) << "'" << c.host << "'";
        if (c.lookups > 0) {
            EXPECT_EQ(fake.lookedUp, c.host);
        }
    }
    // A zone or brackets are no part of an address text, and no name holds a colon.
    fake.lookups = 0;
    for (const std::string host : {"fe80::1%eth0", "[::1]"})
        EXPECT_THROW(stack.LookupHostAddresses(host), EIdInvalidIPAddress) << host;
    EXPECT_EQ(fake.lookups, 0);
    // Nothing is cached.
    fake.lookups = 0;
    stack.LookupHost("quotes.example");
    stack.LookupHost("quotes.example");
    EXPECT_EQ(fake.lookups, 2);
}

TEST(HostNameToAddress, FailuresRaiseTheirCodes) {
    SocketLibrary library(FakeFunctions());
    TIdStackPosix stack(library);
    const struct {
        std::int32_t code;
        std::string message;
    } cases[] = {
        {11001, "Socket Error # 11001\r\nHost not found."},
        {11002, "Socket Error # 11002\r\n"},
        {11004, "Socket Error # 11004\r\n"},
    };
    for (const auto& c : cases) {
        fake.lookupError = c.code;
        try {
            stack.HostNameToAddress("nowhere.example");
            ADD_FAILURE() << "no exception for " << c.code;
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.SocketErrorCode(), c.code);
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(stack.LastSocketErrorCode(), c.code);
    }
}

TEST(HostNameToAddress, PlatformLookup) {
    TIdStackPosix stack;
    EXPECT_EQ(stack.HostNameToAddress("localhost"), "127.0.0.1");
    const std::string unreadable[] = {std::string("localhost\0.example", 18), ""};
    for (const std::string& name : unreadable) {
        try {
            stack.HostNameToAddress(name);
            ADD_FAILURE() << "no exception";
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.SocketErrorCode(), 11001);
        }
    }
}

TEST(AddressToHostName, ReadsTheAddressLikeAConnect) {
    SocketLibrary library(FakeFunctions());
    TIdStackPosix stack(library);
    EXPECT_EQ(stack.AddressToHostName("10.1"), "quotes.example");
    EXPECT_EQ(fake.reversed, Address("10.0.0.1"));
    EXPECT_EQ(stack.AddressToHostName("2001:db8::1"), "quotes.example");
    EXPECT_EQ(fake.reversed, Address("2001:db8::1"));
    EXPECT_THROW(stack.AddressToHostName("not.an.address"), EIdInvalidIPAddress);
    fake.lookupError = 11001;
    EXPECT_THROW(stack.AddressToHostName("10.0.0.1"), EIdSocketError);
}

TEST(LocalAddresses, EveryAddressOfTheHostName) {
    SocketLibrary library(FakeFunctions());
    TIdStackPosix stack(library);
    fake.answer = {Address("192.168.1.5"), Address("fd00:0::7"), Address("10.0.0.7")};
    EXPECT_EQ(stack.LocalAddresses(), (std::vector<std::string>{"192.168.1.5", "fd00::7", "10.0.0.7"}));
    EXPECT_EQ(fake.lookedUp, stack.LocalHostName());
    fake.answer = {Address("10.0.0.8")};
    EXPECT_EQ(stack.FirstLocalAddress(), "10.0.0.8");  // looked up again
    fake.lookupError = 11001;
    EXPECT_THROW(stack.LocalAddresses(), EIdSocketError);
}

TEST(TextToAddress, ValueAndFailure) {
    TIdStackPosix stack;
    const std::uint32_t value = stack.TextToAddressValue("127.0.0.1");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    EXPECT_EQ(bytes[0], 127);
    EXPECT_EQ(bytes[3], 1);
    EXPECT_EQ(stack.NetToHostLong(value), 0x7F000001u);

    EXPECT_TRUE(stack.IsAddressText("10.1"));
    EXPECT_FALSE(stack.IsAddressText("10.1.2.3.4"));
    for (const std::string& text : {std::string(), std::string("256.0.0.1"), std::string("host")}) {
        try {
            stack.TextToAddressValue(text);
            ADD_FAILURE() << "no exception";
        } catch (const EIdInvalidIPAddress& e) {
            EXPECT_EQ(e.Message(), text + " is not a valid IP address.");
        }
    }
    TIdIPv4Bytes out = {};
    stack.TextToAddress("0x7f.1", out);
    EXPECT_EQ(stack.AddressToText(out), "127.0.0.1");
}

TEST(ServiceNameToPort, KnownNamesNumbersAndOthers) {
    TIdStackPosix stack;
    EXPECT_EQ(stack.ServiceNameToPort("8080"), 8080);
    EXPECT_EQ(stack.ServiceNameToPort("$50"), 80);
    for (const std::string& name : {std::string("no-such-service"), std::string(""), std::string("80 "),
                                    std::string("8\0"
                                                "0",
                                                3)}) {
        try {
            stack.ServiceNameToPort(name);
            ADD_FAILURE() << "no exception for '" << name << "'";
        } catch (const EIdInvalidServiceName& e) {
            EXPECT_EQ(e.Message(), name + " is not a valid service.");
        }
    }
    EXPECT_TRUE(stack.PortToServiceNames(-5).empty());
    EXPECT_TRUE(stack.PortToServiceNames(70000).empty());
}

TEST(SocketList, SixtyFourValues) {
    TIdSocketList list;
    for (int i = 0; i < 64; ++i)
        list.Add(100 + i);
    EXPECT_EQ(list.Count(), 64);
    EXPECT_THROW(list.Add(5), EIdStackSetSizeExceeded);
    EXPECT_THROW(list.Items(64), EIdStackSetSizeExceeded);
    EXPECT_THROW(list.Items(-1), EIdStackSetSizeExceeded);
    list.Remove(100);
    EXPECT_EQ(list.Count(), 63);
    EXPECT_EQ(list.Items(0), 163);  // the last value moved into the gap
    list.Remove(12345);
    EXPECT_EQ(list.Count(), 63);
}

class StackSockets : public test::ConnectedHandleTest {
protected:
    std::int32_t Select(std::vector<TSocket>* read, std::int32_t timeout) {
        return SharedStack()->SelectSockets(read, nullptr, nullptr, timeout);
    }
};

TEST_F(StackSockets, SelectTimeOutsAndReadiness) {
    std::vector<TSocket> read{handle_.SocketId()};
    EXPECT_EQ(Select(&read, 0), 0);  // a poll
    EXPECT_TRUE(read.empty());

    read = {handle_.SocketId()};
    const auto start = Clock::now();
    EXPECT_EQ(Select(&read, 300), 0);
    EXPECT_GE(MillisecondsSince(start), 290);

    test::WriteAll(peer_.Get(), "x");
    read = {handle_.SocketId(), handle_.SocketId()};  // one value counts once
    std::vector<TSocket> write{handle_.SocketId()};
    std::vector<TSocket> error{handle_.SocketId()};
    EXPECT_EQ(SharedStack()->SelectSockets(&read, &write, &error, TimeoutInfinite), 2);
    EXPECT_EQ(read, std::vector<TSocket>{handle_.SocketId()});
    EXPECT_EQ(write, std::vector<TSocket>{handle_.SocketId()});
    EXPECT_TRUE(error.empty());
}

TEST_F(StackSockets, SelectRefusesBadArguments) {
    std::vector<TSocket> big(65, handle_.SocketId());
    EXPECT_THROW(Select(&big, 0), EIdStackSetSizeExceeded);
    EXPECT_EQ(big.size(), 65u);

    const struct {
        std::vector<TSocket> sockets;
        std::int32_t timeout;
        std::int32_t code;
    } cases[] = {
        {{handle_.SocketId()}, -1, seInvalidArgument},
        {{handle_.SocketId()}, -100, seInvalidArgument},
        {{-1}, 0, seNotSocket},
        {{handle_.SocketId(), 1 << 20}, 0, seNotSocket},  // no such descriptor
    };
    for (const auto& c : cases) {
        std::vector<TSocket> read = c.sockets;
        EXPECT_EQ(Select(&read, c.timeout), -1);
        EXPECT_EQ(SharedStack()->LastSocketError(), c.code);
    }
}

// select() cannot hold a descriptor at or above 1024 in its fixed set; waiting must still work.
TEST_F(StackSockets, WaitsOnDescriptorsAbove1024) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 1400)
        GTEST_SKIP() << "descriptor limit too low";
    const rlimit saved = limit;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 1400) {
        limit.rlim_cur = 1400;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    }
    const test::Descriptor high(fcntl(handle_.SocketId(), F_DUPFD_CLOEXEC, 1300));
    ASSERT_GE(high.Get(), 1300);

    std::vector<TSocket> read{high.Get()};
    EXPECT_EQ(Select(&read, 50), 0);
    test::WriteAll(peer_.Get(), "x");
    read = {high.Get()};
    EXPECT_EQ(Select(&read, 2000), 1);
    EXPECT_EQ(read, std::vector<TSocket>{high.Get()});
    setrlimit(RLIMIT_NOFILE, &saved);
}

std::atomic<int> signalsSeen = 0;

void CountSignal(int) {
    ++signalsSeen;
}

// Installs a handler without SA_RESTART, so that a signal ends a wait with EINTR.
class ScopedSignalHandler {
public:
    ScopedSignalHandler() {
        struct sigaction action {};
        action.sa_handler = CountSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &saved_);
    }
    ~ScopedSignalHandler() { sigaction(SIGUSR1, &saved_, nullptr); }

private:
    struct sigaction saved_ {};
};

// A signal ends the platform's wait early; the wait goes on with the time left.
TEST_F(StackSockets, SignalDuringWait) {
    const struct {
        std::int32_t timeout;
        bool lateData;  // the peer writes 100 ms after the signal
        bool readable;
        long least;  // ms the wait takes at least
    } cases[] = {{400, false, false, 390}, {TimeoutInfinite, true, true, 150}};
    ScopedSignalHandler handler;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timeout);
        signalsSeen = 0;
        const pthread_t waiter = pthread_self();
        const int peer = peer_.Get();
        std::thread signaller([waiter, peer, &c] {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            pthread_kill(waiter, SIGUSR1);
            if (c.lateData) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                test::WriteAll(peer, "late");
            }
        });
        const auto start = Clock::now();
        EXPECT_EQ(handle_.WaitReadable(c.timeout), c.readable);
        const long elapsed = MillisecondsSince(start);
        signaller.join();
        EXPECT_EQ(signalsSeen, 1);
        EXPECT_GE(elapsed, c.least);
        EXPECT_LT(elapsed, 2000);
    }
    char buffer[8];
    EXPECT_EQ(handle_.ReceiveBytes(buffer, sizeof buffer), 4);
}

TEST(SelectSockets, InterruptedWaitsGetTheTimeLeft) {
    SocketLibrary library(FakeFunctions());
    TIdStackPosix stack(library);
    const test::Descriptor listener = test::BoundSocket(0, true);
    std::vector<TSocket> read{listener.Get()};

    fake.interruptsLeft = 2;
    const auto start = Clock::now();
    EXPECT_EQ(stack.SelectSockets(&read, nullptr, nullptr, 300), 0);
    EXPECT_GE(MillisecondsSince(start), 290);
    ASSERT_EQ(fake.pollTimeouts.size(), 3u);
    EXPECT_EQ(fake.pollTimeouts[0], 300);
    EXPECT_LE(fake.pollTimeouts[1], 265);  // each interrupted wait took 40 ms
    EXPECT_GT(fake.pollTimeouts[1], 0);
    EXPECT_LT(fake.pollTimeouts[2], fake.pollTimeouts[1]);

    fake.pollTimeouts.clear();
    fake.interruptsLeft = 1;
    read = {listener.Get()};
    EXPECT_EQ(stack.SelectSockets(&read, nullptr, nullptr, 0), 0);
    EXPECT_EQ(fake.pollTimeouts, (std::vector<std::int32_t>{0, 0}));
}

// A peer that has gone must give a socket error, not end the process with SIGPIPE.
TEST_F(StackSockets, SendToVanishedPeerIsAnErrorNotASignal) {
    struct sigaction saved {};
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &fallback, &saved);

    test::ResetClose(peer_);
    std::vector<TSocket> read{handle_.SocketId()};
    ASSERT_EQ(Select(&read, 2000), 1);  // the reset has arrived
    // The first failure reports the reset; the ones after it are where a signal would come.
    const std::string block(4096, 'x');
    std::vector<std::int32_t> codes;
    for (int i = 0; i < 100 && codes.size() < 3; ++i) {
        const std::int32_t result = handle_.SendBytes(block.data(), static_cast<std::int32_t>(block.size()));
        if (result == -1) {
            codes.push_back(SharedStack()->LastSocketError());
            EXPECT_TRUE(SharedStack()->CheckSocketResult(
                result, {seShutdown, seConnectionAborted, seConnectionReset}));
        }
    }
    ASSERT_EQ(codes.size(), 3u);
    for (const std::int32_t code : codes)
        EXPECT_TRUE(code == seConnectionReset || code == seShutdown) << code;

    sigaction(SIGPIPE, &saved, nullptr);
}

}  // namespace
}  // namespace w20

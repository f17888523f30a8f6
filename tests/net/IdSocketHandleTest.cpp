#include "net/IdSocketHandle.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <optional>

#include <gtest/gtest.h>

#include "net/IdExceptions.h"
#include "net/IdStackPosix.h"
#include "net/SocketErrorMap.h"
#include "tests/net/ConnectedHandle.h"
#include "tests/net/Outcome.h"

namespace w20 {
namespace {

using Clock = std::chrono::steady_clock;
using SocketHandle = test::HandleTest;
using ConnectedHandle = test::ConnectedHandleTest;
using test::MillisecondsSince;

// Three consecutive loopback ports, all held by the test.
struct HeldPorts {
    int first = 0;
    test::Descriptor held[3];
};

std::optional<HeldPorts> HoldThreePorts() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        HeldPorts ports;
        ports.held[0] = test::BoundSocket(0, false);
        ports.first = test::LocalPort(ports.held[0].Get());
        if (ports.first + 2 > 65535)
            continue;
        ports.held[1] = test::BoundSocket(ports.first + 1, false);
        ports.held[2] = test::BoundSocket(ports.first + 2, false);
        if (ports.held[1].Get() >= 0 && ports.held[2].Get() >= 0)
            return ports;
    }
    return std::nullopt;
}

template <typename E>
std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    }
    return "(no exception)";
}

TEST_F(SocketHandle, StartsEmpty) {
    EXPECT_EQ(handle_.SocketId(), -1);
    EXPECT_FALSE(handle_.HasSocket());
    EXPECT_EQ(handle_.IP(), "");
    EXPECT_EQ(handle_.Port(), 0);
    EXPECT_EQ(handle_.RemoteIP(), "");
    EXPECT_EQ(handle_.RemotePort(), 0);
    EXPECT_EQ(handle_.ClientPortMin(), 0);
    EXPECT_EQ(handle_.ClientPortMax(), 0);
}

TEST_F(SocketHandle, SingleBindAttempts) {
    std::optional<HeldPorts> ports = HoldThreePorts();
    ASSERT_TRUE(ports);
    const int held = ports->first + 1;
    ports->held[0].Reset();
    const int free = ports->first;

    const struct {
        std::string ip;
        std::int32_t port, min, max;
        std::string error;       // empty: bound
        std::int32_t boundPort;  // -1: any port the system chose
    } cases[] = {
        {"127.0.0.1", free, held, held + 1, "", free},  // a set port ignores the range
        {"127.0.0.1", held, 0, 0, "Could not bind socket. Address and port are already in use.", 0},
        {"", held, 0, 0, "Could not bind socket. Address and port are already in use.", 0},
        {"127.0.0.1", 0, 0, 2000, "", -1},  // a range needs both ends
        {"127.0.0.1", 0, 0, 0, "", -1},
        {"127.0.0.1", 0, 1000, 999, "Invalid Port Range (1000 - 999)", 0},
        {"127.0.0.1", 70000, 0, 0, "Socket Error # 10022\r\nInvalid argument.", 0},
        {"127.0.0.1", -1, 0, 0, "Socket Error # 10022\r\nInvalid argument.", 0},
        {"10.255.255.1", 0, 0, 0, "Socket Error # 10049\r\nCannot assign requested address.", 0},
        {"no.such.address", 0, 0, 0, "no.such.address is not a valid IP address.", 0},
    };
    for (const auto& c : cases) {
        TIdSocketHandle handle;
        handle.OpenSocket();
        handle.SetIP(c.ip);
        handle.SetPort(c.port);
        handle.SetClientPortMin(c.min);
        handle.SetClientPortMax(c.max);
        std::string error;
        try {
            handle.BindLocal();
        } catch (const EIdException& e) {
            error = e.Message();
        }
        EXPECT_EQ(error, c.error) << c.ip << ":" << c.port;
        EXPECT_TRUE(handle.HasSocket()) << "a failed bind keeps the socket";
        if (c.error.empty()) {
            EXPECT_EQ(handle.IP(), "127.0.0.1");
            if (c.boundPort >= 0) {
                EXPECT_EQ(handle.Port(), c.boundPort);
            } else {
                EXPECT_GT(handle.Port(), 2000);
            }
        }
    }
}

TEST_F(SocketHandle, RangeScanGoesDownward) {
    std::optional<HeldPorts> ports = HoldThreePorts();
    ASSERT_TRUE(ports);
    const int min = ports->first;
    const int max = min + 2;

    handle_.OpenSocket();
    handle_.SetIP("127.0.0.1");
    handle_.SetClientPortMin(min);
    handle_.SetClientPortMax(max);
    EXPECT_EQ(MessageOf<EIdCanNotBindPortInRange>([&] { handle_.BindLocal(); }),
              "Can not bind in port range (" + std::to_string(min) + " - " + std::to_string(max) + ")");
    EXPECT_EQ(handle_.Port(), min);

    ports->held[0].Reset();
    handle_.OpenSocket();
    handle_.SetPort(0);
    handle_.BindLocal();
    EXPECT_EQ(handle_.Port(), min);

    // Only "address in use" lets the scan go on; any other failure ends it at once.
    TIdSocketHandle other;
    other.OpenSocket();
    other.SetIP("10.255.255.1");
    other.SetClientPortMin(min);
    other.SetClientPortMax(max);
    EXPECT_EQ(MessageOf<EIdSocketError>([&] { other.BindLocal(); }),
              "Socket Error # 10049\r\nCannot assign requested address.");
    EXPECT_EQ(other.Port(), max);
}

// A failed connect leaves its code for the caller's check and keeps the socket.
TEST_F(SocketHandle, ConnectFailures) {
    const struct {
        std::string ip;
        std::int32_t port;
        std::string outcome;  // the result and the last socket error
    } cases[] = {
        {"", 80, "!EIdInvalidIPAddress:  is not a valid IP address."},
        {"127.0.0.1", 65536, "-1 10022"},
        {"127.0.0.1", test::UnusedPort(), "-1 10061"},
    };
    for (const auto& c : cases) {
        handle_.OpenSocket();
        handle_.SetRemote(c.ip, c.port);
        EXPECT_EQ(test::Outcome([&] {
                      const std::int32_t result = handle_.ConnectToRemote();
                      return std::to_string(result) + " " + std::to_string(SharedStack()->LastSocketError());
                  }),
                  c.outcome)
            << c.ip << ":" << c.port;
        EXPECT_TRUE(handle_.HasSocket());
    }
}

TEST_F(SocketHandle, ConnectRefreshesBothEnds) {
    const test::Descriptor listener = test::BoundSocket(0, true);
    const int port = test::LocalPort(listener.Get());
    handle_.OpenSocket();
    handle_.BindLocal();
    handle_.SetRemote("0x7f.1", port);
    ASSERT_EQ(handle_.ConnectToRemote(), 0);
    EXPECT_EQ(handle_.RemoteIP(), "127.0.0.1");
    EXPECT_EQ(handle_.RemotePort(), port);
    EXPECT_EQ(handle_.IP(), "127.0.0.1");
    const test::Descriptor peer = test::AcceptWithin(listener.Get(), 2000);
    ASSERT_GE(peer.Get(), 0);

    TIdSocketHandle copy;
    copy.CopyFrom(handle_);
    EXPECT_EQ(copy.IP(), handle_.IP());
    EXPECT_EQ(copy.Port(), handle_.Port());
    EXPECT_EQ(copy.RemoteIP(), "127.0.0.1");
    EXPECT_EQ(copy.RemotePort(), port);
    EXPECT_FALSE(copy.HasSocket());
    EXPECT_EQ(copy.SocketId(), -1);

    // The peer sees our end as the handle reports it.
    EXPECT_EQ(test::LocalPort(handle_.SocketId()), handle_.Port());
}

TEST_F(ConnectedHandle, WaitReadableTimesOutPollsAndWakes) {
    auto start = Clock::now();
    EXPECT_FALSE(handle_.WaitReadable(0));
    EXPECT_LT(MillisecondsSince(start), 200);

    start = Clock::now();
    EXPECT_FALSE(handle_.WaitReadable(300));
    EXPECT_GE(MillisecondsSince(start), 290);

    test::WriteAll(peer_.Get(), "hello");
    EXPECT_TRUE(handle_.WaitReadable(TimeoutInfinite));
    char buffer[16];
    EXPECT_EQ(handle_.ReceiveBytes(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");

    EXPECT_EQ(handle_.SendBytes("ping", 4), 4);
    EXPECT_EQ(test::ReadFor(peer_.Get(), 200), "ping");

    // A close by the peer is readable, and the receive then gives 0.
    peer_.Reset();
    EXPECT_TRUE(handle_.WaitReadable(2000));
    EXPECT_EQ(handle_.ReceiveBytes(buffer, sizeof buffer), 0);
}

TEST_F(ConnectedHandle, ReleaseClosesOnceAndKeepsTheEnds) {
    const std::int32_t id = handle_.SocketId();
    const std::string remoteIP = handle_.RemoteIP();
    handle_.ReleaseSocket();
    EXPECT_FALSE(handle_.HasSocket());
    EXPECT_EQ(handle_.SocketId(), id);
    EXPECT_EQ(handle_.RemoteIP(), remoteIP);
    EXPECT_EQ(test::ReadFor(peer_.Get(), 1000), "");  // the peer sees the close
    handle_.ReleaseSocket();                          // nothing the second time
    EXPECT_EQ(MessageOf<EIdConnClosedGracefully>([&] { handle_.WaitReadable(0); }),
              "Connection Closed Gracefully.");

    handle_.ClearState(false);
    EXPECT_EQ(handle_.SocketId(), -1);
    EXPECT_EQ(handle_.RemoteIP(), "");
    EXPECT_EQ(handle_.RemotePort(), 0);
    EXPECT_EQ(handle_.IP(), "127.0.0.1");  // the local end stays unless asked
    handle_.ClearState(true);
    EXPECT_EQ(handle_.IP(), "");
    EXPECT_EQ(handle_.Port(), 0);
}

// The descriptor value of a released handle is soon given to another socket: a released handle
// must not reach it.
TEST_F(ConnectedHandle, ReleasedHandleTouchesNoOtherSocket) {
    handle_.ReleaseSocket();
    TIdSocketHandle other;
    other.OpenSocket();
    other.SetRemote("127.0.0.1", test::LocalPort(listener_.Get()));
    ASSERT_EQ(other.ConnectToRemote(), 0);
    const test::Descriptor otherPeer = test::AcceptWithin(listener_.Get(), 2000);
    ASSERT_GE(otherPeer.Get(), 0);

    char buffer[8] = {};
    const struct {
        const char* what;
        std::function<std::int32_t()> call;
    } calls[] = {
        {"send", [&] { return handle_.SendBytes("stray", 5); }},
        {"receive", [&] { return handle_.ReceiveBytes(buffer, sizeof buffer); }},
        {"connect", [&] { return handle_.ConnectToRemote(); }},
    };
    for (const auto& c : calls) {
        SharedStack()->SetLastSocketError(0);
        EXPECT_EQ(c.call(), -1) << c.what;
        EXPECT_EQ(SharedStack()->LastSocketError(), seNotSocket) << c.what;
    }
    EXPECT_EQ(MessageOf<EIdSocketError>([&] { handle_.BindLocal(); }),
              "Socket Error # 10038\r\nSocket operation on non-socket.");
    const int one = 1;
    EXPECT_THROW(handle_.SetOption(IdLevelTcp, IdOptionTcpNoDelay, &one, sizeof one), EIdSocketError);
    EXPECT_THROW(handle_.RefreshRemoteEnd(), EIdSocketError);
    EXPECT_EQ(test::ReadFor(otherPeer.Get(), 100), "");
    EXPECT_TRUE(other.HasSocket());
}

TEST_F(ConnectedHandle, OpenAgainReleasesTheOldSocket) {
    handle_.OpenSocket();
    EXPECT_TRUE(handle_.HasSocket());
    EXPECT_EQ(test::ReadFor(peer_.Get(), 1000), "");  // the old connection was closed
}

TEST_F(ConnectedHandle, NoDelayOption) {
    const int one = 1;
    handle_.SetOption(IdLevelTcp, IdOptionTcpNoDelay, &one, sizeof one);
    int value = 0;
    std::int32_t length = sizeof value;
    EXPECT_EQ(SharedStack()->GetSocketOption(handle_.SocketId(), IPPROTO_TCP, TCP_NODELAY, &value, &length),
              0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(MessageOf<EIdSocketError>([&] { handle_.SetOption(IdLevelTcp, 9999, &one, sizeof one); }),
              "Socket Error # 10042\r\nBad protocol option.");
}

TEST_F(SocketHandle, AcceptFromListeningSocket) {
    handle_.OpenSocket();
    handle_.SetIP("127.0.0.1");
    handle_.BindLocal();
    ASSERT_EQ(SharedStack()->ListenSocket(handle_.SocketId(), 4), 0);
    const test::Descriptor client = test::ConnectTo(handle_.Port());

    TIdSocketHandle accepted;
    EXPECT_TRUE(accepted.AcceptFrom(handle_.SocketId()));
    EXPECT_TRUE(accepted.HasSocket());
    EXPECT_EQ(accepted.Port(), handle_.Port());
    EXPECT_EQ(accepted.RemoteIP(), "127.0.0.1");
    EXPECT_EQ(accepted.RemotePort(), test::LocalPort(client.Get()));

    // Accepting from something that is no socket is tolerated.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    TIdSocketHandle none;
    EXPECT_FALSE(none.AcceptFrom(pipeEnds[0]));
    EXPECT_FALSE(none.HasSocket());
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST_F(SocketHandle, DatagramsBothWays) {
    TIdSocketHandle receiver;
    receiver.OpenSocket(IdSocketDatagram, 0);
    receiver.SetIP("127.0.0.1");
    receiver.BindLocal();
    handle_.OpenSocket(IdSocketDatagram, 0);
    handle_.SetIP("127.0.0.1");
    handle_.BindLocal();
    EXPECT_EQ(SharedStack()->SocketSendTo(handle_.SocketId(), "dgram", 5, 0, "127.0.0.1", receiver.Port()),
              5);
    ASSERT_TRUE(receiver.WaitReadable(2000));
    char buffer[16];
    std::string fromIP;
    std::int32_t fromPort = 0;
    EXPECT_EQ(receiver.ReceiveDatagram(buffer, sizeof buffer, 0, fromIP, fromPort), 5);
    EXPECT_EQ(std::string(buffer, 5), "dgram");
    EXPECT_EQ(fromIP, "127.0.0.1");
    EXPECT_EQ(fromPort, handle_.Port());
}

TEST(SocketHandleWithoutStack, RefusesInsteadOfCrashing) {
    ASSERT_EQ(SharedStack(), nullptr);
    TIdSocketHandle handle;
    EXPECT_THROW(handle.OpenSocket(), EIdStackError);
    EXPECT_FALSE(handle.HasSocket());
}

TEST(SocketHandleWithFailingSocket, OpenRaisesInvalidSocket) {
    ASSERT_EQ(SharedStack(), nullptr);
    SocketFunctions functions = test::CopyOfPlatformFunctions();
    functions.Socket = [](std::int32_t, std::int32_t, std::int32_t) -> TSocket {
        PlatformSocketFunctions().SetLastError(10024);
        return -1;
    };
    SocketLibrary library(functions);
    SetStackClass([&library] { return std::make_unique<TIdStackPosix>(library); });
    {
        TIdComponent holder;
        TIdSocketHandle handle;
        EXPECT_EQ(MessageOf<EIdInvalidSocket>([&] { handle.OpenSocket(); }), "Cannot allocate socket.");
        EXPECT_FALSE(handle.HasSocket());
        EXPECT_EQ(handle.SocketId(), -1);
    }
    SetStackClass(nullptr);
}

}  // namespace
}  // namespace w20

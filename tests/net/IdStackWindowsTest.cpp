#include "net/IdStackWindows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/IdExceptions.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdTCPClient.h"
#include "net/SocketErrorMap.h"
#include "tests/support/ScriptedServer.h"

// The stack of Windows over the bound socket library, against the loopback test server.
namespace w20 {
namespace {

using test::ScriptedServer;

class WindowsStack : public ::testing::Test {
protected:
    TSocket Connected(std::uint16_t port) {
        const TSocket socket = stack_->CreateInetSocket(IdSocketStream, 6);
        sockets_.push_back(socket);
        stack_->CheckSocketResult(stack_->ConnectSocket(socket, IdFamilyInet, "127.0.0.1", port));
        return socket;
    }
    void TearDown() override {
        for (const TSocket socket : sockets_)
            stack_->DestroySocket(socket);
    }

    std::unique_ptr<TIdStack> stack_ = NewPlatformStack();
    std::vector<TSocket> sockets_;
};

TEST_F(WindowsStack, IsTheStackOfThePlatform) {
    EXPECT_NE(dynamic_cast<TIdStackWindows*>(stack_.get()), nullptr);
}

TEST_F(WindowsStack, SendsAndReceivesOverLoopback) {
    ScriptedServer server({{test::WaitBytes(5), test::Send("world"), test::Close()}});
    const TSocket socket = Connected(server.Port());
    EXPECT_GT(socket, 0);  // kept whole, as wide as a pointer
    EXPECT_EQ(stack_->SocketSend(socket, "hello", 5, 0), 5);
    char buffer[16] = {};
    std::vector<TSocket> read = {socket};
    ASSERT_EQ(stack_->SelectSockets(&read, nullptr, nullptr, 3000), 1);
    EXPECT_EQ(stack_->SocketReceive(socket, buffer, sizeof buffer, 0), 5);
    EXPECT_EQ(std::string(buffer, 5), "world");
    ASSERT_TRUE(server.WaitForBytes(0, 5));
    EXPECT_EQ(server.Received(0), "hello");
    // The peer's close reads as 0 bytes.
    read = {socket};
    ASSERT_EQ(stack_->SelectSockets(&read, nullptr, nullptr, 3000), 1);
    EXPECT_EQ(stack_->SocketReceive(socket, buffer, sizeof buffer, 0), 0);
}

// The ready sockets come back in each list, found in the sets select leaves, not by FD_ISSET.
TEST_F(WindowsStack, SelectTellsWhichSocketsAreReady) {
    ScriptedServer server([](std::size_t connection) {
        return connection == 1 ? test::Script{test::Send("x")} : test::Script{};
    });
    const TSocket quiet = Connected(server.Port());
    ASSERT_TRUE(server.WaitForConnections(1));
    const TSocket talking = Connected(server.Port());
    std::vector<TSocket> read = {talking};
    ASSERT_EQ(stack_->SelectSockets(&read, nullptr, nullptr, 3000), 1);  // the byte has arrived
    read = {quiet, talking};
    std::vector<TSocket> write = {quiet};
    EXPECT_EQ(stack_->SelectSockets(&read, &write, nullptr, 3000), 2);
    EXPECT_EQ(read, std::vector<TSocket>{talking});
    EXPECT_EQ(write, std::vector<TSocket>{quiet});

    read = {quiet};
    EXPECT_EQ(stack_->SelectSockets(&read, nullptr, nullptr, 50), 0);  // time-out
    EXPECT_TRUE(read.empty());

    std::vector<TSocket> tooMany(65, quiet);
    EXPECT_THROW(stack_->SelectSockets(&tooMany, nullptr, nullptr, 0), EIdStackSetSizeExceeded);
}

TEST_F(WindowsStack, FailuresCarryTheSocketErrorCodes) {
    std::uint16_t unused = 0;
    {
        ScriptedServer server(std::vector<test::Script>{});
        unused = server.Port();
    }
    const TSocket socket = stack_->CreateInetSocket(IdSocketStream, 6);
    sockets_.push_back(socket);
    EXPECT_EQ(stack_->ConnectSocket(socket, IdFamilyInet, "127.0.0.1", unused), -1);
    EXPECT_EQ(stack_->LastSocketError(), seConnectionRefused);
    try {
        stack_->HostNameToAddress("no-such-host.invalid");
        ADD_FAILURE() << "no exception";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.Message(), "Socket Error # 11001\r\nHost not found.");
    }
    std::vector<TSocket> notASocket = {socket + 4000};
    EXPECT_EQ(stack_->SelectSockets(&notASocket, nullptr, nullptr, 0), -1);
    EXPECT_EQ(stack_->LastSocketError(), seNotSocket);
    EXPECT_EQ(stack_->SocketErrorText(10093), "Socket Error # 10093\r\n");
}

// The connect of a client, through the socket library's IPv4 and IPv6 sockets alike.
TEST_F(WindowsStack, ClientConnectsOverEitherFamily) {
    for (const bool ipv6 : {false, true}) {
        test::ScriptedServerOptions options;
        options.ipv6 = ipv6;
        ScriptedServer server({{test::Send("hi\n"), test::Silent(test::Millis(3000))}}, options);
        TIdTCPClient client;
        const std::string host = ipv6 ? "::1" : "127.0.0.1";
        client.SetHost(host);
        client.SetPort(server.Port());
        client.Connect(5000);
        EXPECT_EQ(client.ReadLine(), "hi");
        auto* handler = dynamic_cast<TIdIOHandlerSocket*>(client.IOHandler());
        ASSERT_NE(handler, nullptr);
        EXPECT_EQ(handler->Binding()->RemoteIP(), host);
        EXPECT_EQ(handler->Binding()->IP(), host);
    }
}

TEST_F(WindowsStack, NamesAndServices) {
    EXPECT_EQ(stack_->HostNameToAddress("localhost"), "127.0.0.1");
    EXPECT_FALSE(stack_->LocalHostName().empty());
    EXPECT_EQ(stack_->ServiceNameToPort("http"), 80);
    EXPECT_EQ(stack_->ServiceNameToPort("8080"), 8080);
    EXPECT_EQ(stack_->HostToNetPort(0x1234), 0x3412);
    EXPECT_EQ(stack_->NetToHostPort(0x3412), 0x1234);
}

}  // namespace
}  // namespace w20

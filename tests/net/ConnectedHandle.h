#pragma once

#include <gtest/gtest.h>

#include "net/IdComponent.h"
#include "net/IdSocketHandle.h"
#include "tests/net/LoopbackPeer.h"

// Fixtures of the socket tests: a socket handle with the shared stack held, and the same handle
// connected over loopback to a plain socket of the test.
namespace w20::test {

class HandleTest : public ::testing::Test {
protected:
    TIdComponent holder_;  // keeps the shared stack
    TIdSocketHandle handle_;
};

// handle_ is connected; peer_ is the test's end of the connection.
class ConnectedHandleTest : public HandleTest {
protected:
    void SetUp() override {
        listener_ = BoundSocket(0, true);
        ASSERT_GE(listener_.Get(), 0);
        handle_.OpenSocket();
        handle_.SetRemote("127.0.0.1", LocalPort(listener_.Get()));
        ASSERT_EQ(handle_.ConnectToRemote(), 0);
        peer_ = AcceptWithin(listener_.Get(), 2000);
        ASSERT_GE(peer_.Get(), 0);
    }

    Descriptor listener_;
    Descriptor peer_;
};

}  // namespace w20::test

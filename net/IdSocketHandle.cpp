#include "net/IdSocketHandle.h"

#include <vector>

#include "net/IdExceptions.h"
#include "net/SocketErrorMap.h"

namespace w20 {

TIdSocketHandle::TIdSocketHandle() {
    ClearState(true);
}

TIdSocketHandle::~TIdSocketHandle() {
    ReleaseSocket();
}

void TIdSocketHandle::OpenSocket(std::int32_t type, std::int32_t protocol, std::int32_t family) {
    ReleaseSocket();
    socketId_ = RequireSharedStack().CreateInetSocket(type, protocol, family);
    hasSocket_ = true;
    family_ = family;
}

void TIdSocketHandle::ReleaseSocket() {
    if (!hasSocket_)
        return;
    hasSocket_ = false;
    // Without a stack there is nothing left to close through; that happens only when every
    // network component went before the handle.
    TIdStack* stack = SharedStack();
    if (stack == nullptr)
        return;
    stack->ShutdownSocket(socketId_, IdShutdownSend);
    stack->DestroySocket(socketId_);
}

std::int32_t TIdSocketHandle::Refuse() {
    RequireSharedStack().SetLastSocketError(seNotSocket);
    return -1;
}

bool TIdSocketHandle::BindOnce() {
    TIdStack& stack = RequireSharedStack();
    const std::int32_t result = hasSocket_ ? stack.BindSocket(socketId_, family_, ip_, port_) : Refuse();
    if (stack.CheckSocketResult(result, {seAddressInUse}))
        return false;
    RefreshLocalEnd();
    return true;
}

void TIdSocketHandle::BindLocal() {
    if (port_ != 0 || clientPortMin_ == 0 || clientPortMax_ == 0) {
        if (!BindOnce())
            throw EIdCouldNotBindSocket();
        return;
    }
    if (clientPortMin_ > clientPortMax_)
        throw EIdInvalidPortRange(clientPortMin_, clientPortMax_);
    for (std::int64_t port = clientPortMax_; port >= clientPortMin_; --port) {
        port_ = static_cast<std::int32_t>(port);
        if (BindOnce())
            return;
    }
    throw EIdCanNotBindPortInRange(clientPortMin_, clientPortMax_);
}

void TIdSocketHandle::SetRemote(const std::string& ip, std::int32_t port) {
    remoteIP_ = ip;
    remotePort_ = port;
}

std::int32_t TIdSocketHandle::ConnectToRemote(std::int32_t family) {
    TIdStack& stack = RequireSharedStack();
    const std::int32_t result =
        hasSocket_ ? stack.ConnectSocket(socketId_, family, remoteIP_, remotePort_) : Refuse();
    if (result != -1) {
        RefreshLocalEnd();
        RefreshRemoteEnd();
    }
    return result;
}

std::int32_t TIdSocketHandle::SendBytes(const void* buffer, std::int32_t length, std::int32_t flags) {
    if (!hasSocket_)
        return Refuse();
    return RequireSharedStack().SocketSend(socketId_, buffer, length, flags);
}

std::int32_t TIdSocketHandle::ReceiveBytes(void* buffer, std::int32_t length, std::int32_t flags) {
    if (!hasSocket_)
        return Refuse();
    return RequireSharedStack().SocketReceive(socketId_, buffer, length, flags);
}

std::int32_t TIdSocketHandle::ReceiveDatagram(void* buffer, std::int32_t length, std::int32_t flags,
                                              std::string& fromIP, std::int32_t& fromPort) {
    if (!hasSocket_)
        return Refuse();
    return RequireSharedStack().SocketReceiveFrom(socketId_, buffer, length, flags, fromIP, fromPort);
}

bool TIdSocketHandle::WaitReadable(std::int32_t timeout) {
    if (!hasSocket_)
        throw EIdConnClosedGracefully();
    std::vector<TSocket> read{socketId_};
    return RequireSharedStack().SelectSockets(&read, nullptr, nullptr, timeout) == 1;
}

bool TIdSocketHandle::WaitWritable(std::int32_t timeout) {
    if (!hasSocket_)
        throw EIdConnClosedGracefully();
    // A connect that succeeds makes the socket writable; one that fails does too on POSIX, and
    // shows in the exception set on Windows.
    std::vector<TSocket> write{socketId_};
    std::vector<TSocket> error{socketId_};
    TIdStack& stack = RequireSharedStack();
    const std::int32_t ready = stack.SelectSockets(nullptr, &write, &error, timeout);
    stack.CheckSocketResult(ready);
    return ready > 0;
}

void TIdSocketHandle::SetOption(std::int32_t level, std::int32_t option, const void* value,
                                std::int32_t length) {
    TIdStack& stack = RequireSharedStack();
    stack.CheckSocketResult(hasSocket_ ? stack.SetSocketOption(socketId_, level, option, value, length)
                                       : Refuse());
}

void TIdSocketHandle::ClearState(bool clearLocal) {
    hasSocket_ = false;
    socketId_ = -1;
    if (clearLocal) {
        ip_.clear();
        port_ = 0;
    }
    remoteIP_.clear();
    remotePort_ = 0;
}

void TIdSocketHandle::RefreshLocalEnd() {
    TIdStack& stack = RequireSharedStack();
    if (!hasSocket_)
        stack.ThrowSocketError(seNotSocket);
    std::int32_t family = 0;
    stack.LocalEndpoint(socketId_, family, ip_, port_);
}

void TIdSocketHandle::RefreshRemoteEnd() {
    TIdStack& stack = RequireSharedStack();
    if (!hasSocket_)
        stack.ThrowSocketError(seNotSocket);
    std::int32_t family = 0;
    stack.PeerEndpoint(socketId_, family, remoteIP_, remotePort_);
}

bool TIdSocketHandle::AcceptFrom(TSocket listeningSocket) {
    TIdStack& stack = RequireSharedStack();
    ClearState(true);
    std::string remoteIP;
    std::int32_t remotePort = 0;
    const TSocket socket = stack.AcceptSocket(listeningSocket, remoteIP, remotePort);
    if (stack.CheckSocketResult(socket, {seInterrupted, seNotSocket}))
        return false;
    socketId_ = socket;
    hasSocket_ = true;
    RefreshLocalEnd();
    RefreshRemoteEnd();
    return true;
}

void TIdSocketHandle::TakeOver(TIdSocketHandle& other) {
    ReleaseSocket();
    CopyFrom(other);
    socketId_ = other.socketId_;
    hasSocket_ = other.hasSocket_;
    family_ = other.family_;
    other.ClearState(true);
}

void TIdSocketHandle::CopyFrom(const TIdSocketHandle& other) {
    ip_ = other.ip_;
    port_ = other.port_;
    remoteIP_ = other.remoteIP_;
    remotePort_ = other.remotePort_;
}

}  // namespace w20

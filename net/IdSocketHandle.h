#pragma once

#include <cstdint>
#include <string>

#include "net/IdStack.h"

namespace w20 {

// One socket with its local and remote ends. Every platform call goes through SharedStack, so a
// network component must exist while a handle is used.
class TIdSocketHandle {
public:
    TIdSocketHandle();
    virtual ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    // Releases any socket held, then opens a new one of the family; raises EIdInvalidSocket when
    // none is made.
    void OpenSocket(std::int32_t type = IdSocketStream, std::int32_t protocol = 0,
                    std::int32_t family = IdFamilyInet);
    // Shuts the sending side, then closes; does nothing when no socket is held. SocketId keeps its
    // value until ClearState.
    virtual void ReleaseSocket();
    // Binds IP and Port: one attempt, or, when Port is 0 and both range ends are non-zero, the
    // ports from ClientPortMax down to ClientPortMin. On success IP and Port show what was bound.
    void BindLocal();
    void SetRemote(const std::string& ip, std::int32_t port);
    // Unchecked; on success both ends are read back from the platform.
    std::int32_t ConnectToRemote(std::int32_t family = IdFamilyInet);
    // Unchecked. Without a socket they fail with 10038 instead of touching a descriptor value that
    // may by now belong to another file.
    std::int32_t SendBytes(const void* buffer, std::int32_t length, std::int32_t flags = 0);
    std::int32_t ReceiveBytes(void* buffer, std::int32_t length, std::int32_t flags = 0);
    std::int32_t ReceiveDatagram(void* buffer, std::int32_t length, std::int32_t flags, std::string& fromIP,
                                 std::int32_t& fromPort);
    // True when data, a close or an error waits within timeout ms (TimeoutInfinite: no limit; 0: a
    // poll). Raises EIdConnClosedGracefully when no socket is held.
    bool WaitReadable(std::int32_t timeout);
    // True when a send (or a connect that went on without waiting) can go on or has failed, within
    // timeout ms. Raises EIdConnClosedGracefully when no socket is held.
    bool WaitWritable(std::int32_t timeout);
    void SetOption(std::int32_t level, std::int32_t option, const void* value, std::int32_t length);
    // Forgets the socket without closing it; clearLocal also forgets IP and Port.
    void ClearState(bool clearLocal = true);
    void RefreshLocalEnd();
    void RefreshRemoteEnd();
    // Takes the next connection of a listening socket; false for a tolerated 10004 or 10038.
    bool AcceptFrom(TSocket listeningSocket);
    // Copies the two ends, not the socket.
    void CopyFrom(const TIdSocketHandle& other);
    // Releases any socket held and takes the other's socket with both ends; the other is left
    // without one.
    void TakeOver(TIdSocketHandle& other);

    TSocket SocketId() const { return socketId_; }
    bool HasSocket() const { return hasSocket_; }
    const std::string& IP() const { return ip_; }
    void SetIP(const std::string& value) { ip_ = value; }
    std::int32_t Port() const { return port_; }
    void SetPort(std::int32_t value) { port_ = value; }
    const std::string& RemoteIP() const { return remoteIP_; }
    std::int32_t RemotePort() const { return remotePort_; }
    std::int32_t ClientPortMin() const { return clientPortMin_; }
    void SetClientPortMin(std::int32_t value) { clientPortMin_ = value; }
    std::int32_t ClientPortMax() const { return clientPortMax_; }
    void SetClientPortMax(std::int32_t value) { clientPortMax_ = value; }

private:
    // One bind of IP and Port; false when the address is in use.
    bool BindOnce();
    // -1 with the code for "not a socket", for calls on a handle without a socket.
    std::int32_t Refuse();

    TSocket socketId_ = -1;
    bool hasSocket_ = false;
    std::int32_t family_ = IdFamilyInet;
    std::string ip_;
    std::string remoteIP_;
    std::int32_t port_ = 0;
    std::int32_t remotePort_ = 0;
    std::int32_t clientPortMin_ = 0;
    std::int32_t clientPortMax_ = 0;
};

}  // namespace w20

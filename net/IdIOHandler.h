#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/IdComponent.h"

namespace w20 {

// The transport under a connection. Receive and send go through one call each, unchecked: a
// failure comes back as -1 with its code in the shared stack's last socket error.
class TIdIOHandler : public TIdComponent {
public:
    // Called between the short steps of a long wait (a connect with a limit, readable) when
    // assigned, so that the caller's thread can do other work meanwhile; it may raise to end the
    // wait. It must not free the handler. The wait's limit counts the time the hook takes.
    std::function<void()> OnIdle;

    // Makes the handler ready for a new connection.
    virtual void Open() {}
    // Closes the transport; nothing happens when none is open.
    virtual void Close() {}
    // Opens the transport to host:port from the given local end; a timeout other than
    // TimeoutDefault and 0 limits how long the connect may take.
    virtual void ConnectClient(const std::string& /*host*/, std::int32_t /*port*/,
                               const std::string& /*boundIP*/, std::int32_t /*boundPort*/,
                               std::int32_t /*boundPortMin*/, std::int32_t /*boundPortMax*/,
                               std::int32_t /*timeout*/) {}
    virtual bool Connected() { return false; }
    // True when data or a close waits within timeout ms (TimeoutInfinite: no limit).
    virtual bool Readable(std::int32_t timeout) = 0;
    virtual std::int32_t Recv(void* buffer, std::int32_t length) = 0;
    // What a receive that waited in vain gives.
    static constexpr std::int32_t RecvTimedOut = -2;
    // Receives what has arrived, waiting at most timeout ms (as Readable does) only when nothing
    // has: the bytes, 0 for the peer's close, -1 for a failure, or RecvTimedOut. Here the wait
    // comes first; a handler whose receive can return at once goes without it while bytes stream in.
    virtual std::int32_t RecvWithin(void* buffer, std::int32_t length, std::int32_t timeout) {
        return Readable(timeout) ? Recv(buffer, length) : RecvTimedOut;
    }
    virtual std::int32_t Send(const void* buffer, std::int32_t length) = 0;
};

}  // namespace w20

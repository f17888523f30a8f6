#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "net/IdIOHandlerSocket.h"
#include "net/IdTLSEngine.h"

namespace w20 {

// The transport over one TCP socket that speaks TLS: after the TCP connect it runs the handshake
// within the same limit, then Recv and Send carry the plaintext. Readable is true only while
// plaintext, the peer's TLS close or a failure waits: a record that has only partly arrived is
// not readable. With PassThrough set the handler is a plain socket handler, so that one client
// can reach both plain and secure addresses through it.
class TIdSSLIOHandlerSocket : public TIdIOHandlerSocket {
public:
    bool PassThrough() const { return passThrough_; }
    void SetPassThrough(bool value) { passThrough_ = value; }
    // True while a TLS session is open.
    bool Secure() const { return engine_ != nullptr; }
    // Bytes received from the peer over TLS so far, records not yet whole included: an answer
    // has begun once this moves.
    std::uint64_t ReceivedBytes() const { return received_; }
    // True once the peer has sent the TLS close, until the next handshake.
    bool ClosedByPeer() const { return decrypted_ == TIdTLSEngine::tdClosed; }
    // The protocol version of the open session ("TLSv1.2", "TLSv1.3"); empty when none is open.
    std::string Version() const;

    // The handshake over the open connection (a tunnel through a proxy), with the waits of a
    // connect: in steps with OnIdle, within timeout ms (TimeoutInfinite: no limit), raising
    // EIdConnectTimeout when it runs out. Raises EIdTLSError when the session is refused.
    void StartTls(const std::string& host, std::int32_t timeout);
    // Sends the TLS close when a session is open, without waiting for the peer's, then closes.
    void Close() override;
    bool Readable(std::int32_t timeout) override;
    // A connection cut without the TLS close raises EIdTLSError: what came may be cut short.
    std::int32_t Recv(void* buffer, std::int32_t length) override;
    std::int32_t Send(const void* buffer, std::int32_t length) override;
    // Readable's wait, then Recv: Readable itself receives before it waits.
    std::int32_t RecvWithin(void* buffer, std::int32_t length, std::int32_t timeout) override;

protected:
    // The handshake: a host name goes as server name indication and is checked against the
    // certificate, an address text as the address.
    void ConnectedWithin(const std::string& host, const TIdSteppedWait& wait) override;

private:
    void Handshake(const std::string& host, const TIdSteppedWait& wait);
    // Receives into the engine what has come, waiting at most timeout ms only when nothing has:
    // the count, 0 for the peer's close, -1 for a failure, or RecvTimedOut. Raises EIdTLSError
    // when the engine has no room left for the rest of a record.
    std::int32_t ReceiveRaw(std::int32_t timeout);
    // ReceiveRaw, then decrypts: true when plaintext, the peer's close or a failure is there to
    // report.
    bool ReceiveRecords(std::int32_t timeout);
    bool Ready() const;
    // Decrypts what has arrived; a failure waits in failure_ for the next Recv.
    void Decrypt();
    // Sends every byte the engine has for the peer; -1 with the socket's error on a failure.
    std::int32_t SendOutgoing();

    bool passThrough_ = false;
    std::unique_ptr<TIdTLSEngine> engine_;
    bool handshaken_ = false;
    TIdTLSEngine::TDecrypted decrypted_ = TIdTLSEngine::tdNeedInput;
    std::uint64_t received_ = 0;
    bool cut_ = false;             // the TCP connection ended without the TLS close
    std::int32_t failedCode_ = 0;  // a receive failed with this socket error
    std::exception_ptr failure_;   // a record failed to decrypt
};

}  // namespace w20

#include "net/IdSSLIOHandlerSocket.h"

#include <algorithm>
#include <cstdint>

#include "net/IdExceptions.h"
#include "net/IdSteppedWait.h"

namespace w20 {

std::string TIdSSLIOHandlerSocket::Version() const {
    return engine_ && handshaken_ ? engine_->Version() : std::string();
}

void TIdSSLIOHandlerSocket::ConnectedWithin(const std::string& host, const TIdSteppedWait& wait) {
    if (!passThrough_)
        Handshake(host, wait);
}

void TIdSSLIOHandlerSocket::StartTls(const std::string& host, std::int32_t timeout) {
    Handshake(host, TIdSteppedWait(timeout, IdleStep));
}

void TIdSSLIOHandlerSocket::Handshake(const std::string& host, const TIdSteppedWait& wait) {
    TIdStack& stack = RequireSharedStack();
    // An address goes to the check in its dotted form, as the certificate holds it.
    TIdIPAddress address;
    const bool literal = stack.IsAddressText(host);
    if (literal)
        stack.TextToAddress(host, address);
    engine_ = TIdTLSEngine::Create(literal ? stack.AddressToText(address) : host, literal);
    handshaken_ = false;
    decrypted_ = TIdTLSEngine::tdNeedInput;
    cut_ = false;
    failedCode_ = 0;
    failure_ = nullptr;
    while (!engine_->Handshake(wait.Left())) {
        stack.CheckSocketResult(SendOutgoing());
        std::int32_t n = RecvTimedOut;
        if (!WaitStepped(wait,
                         [this, &n](std::int32_t step) { return (n = ReceiveRaw(step)) != RecvTimedOut; }))
            throw EIdConnectTimeout();
        if (n == 0)
            throw EIdTLSError("The server closed the connection during the TLS handshake.");
        stack.CheckSocketResult(n);
    }
    stack.CheckSocketResult(SendOutgoing());
    handshaken_ = true;
    // Data may have come with the end of the handshake.
    Decrypt();
}

void TIdSSLIOHandlerSocket::Decrypt() {
    try {
        decrypted_ = engine_->Decrypt();
        // Reading may ask for an answer of the session's own (a new key).
        SendOutgoing();
    } catch (const EIdTLSError&) {
        decrypted_ = TIdTLSEngine::tdNeedInput;
        failure_ = std::current_exception();
    }
}

void TIdSSLIOHandlerSocket::Close() {
    if (engine_ && handshaken_ && Connected() && !cut_) {
        // The close goes out if the socket takes it at once; the peer's answer is not awaited.
        engine_->Shutdown();
        const std::string_view close = engine_->Outgoing();
        Binding()->SendBytes(close.data(), static_cast<std::int32_t>(close.size()), 0);
    }
    engine_.reset();
    TIdIOHandlerSocket::Close();
}

bool TIdSSLIOHandlerSocket::Ready() const {
    return decrypted_ != TIdTLSEngine::tdNeedInput || cut_ || failedCode_ != 0 || failure_;
}

bool TIdSSLIOHandlerSocket::Readable(std::int32_t timeout) {
    if (!engine_)
        return TIdIOHandlerSocket::Readable(timeout);
    if (Ready())
        return true;
    const TIdSteppedWait wait(timeout, IdleStep);
    return WaitStepped(wait, [this](std::int32_t step) { return ReceiveRecords(step); });
}

std::int32_t TIdSSLIOHandlerSocket::ReceiveRaw(std::int32_t timeout) {
    std::size_t room = 0;
    char* const into = engine_->InputRoom(room);
    // The engine has taken what it could and still wants more: waiting cannot help, and trying
    // again at once would spin.
    if (room == 0)
        throw EIdTLSError("A TLS record from the server does not fit the receive buffer.");
    const std::int32_t n = TIdIOHandlerSocket::RecvWithin(
        into, static_cast<std::int32_t>(std::min<std::size_t>(room, INT32_MAX)), timeout);
    if (n > 0) {
        engine_->Received(static_cast<std::size_t>(n));
        received_ += static_cast<std::uint64_t>(n);
    }
    return n;
}

bool TIdSSLIOHandlerSocket::ReceiveRecords(std::int32_t timeout) {
    std::int32_t n = RecvTimedOut;
    try {
        n = ReceiveRaw(timeout);
    } catch (const EIdTLSError&) {
        failure_ = std::current_exception();
        return true;
    }
    if (n == 0)
        cut_ = true;
    else if (n == -1)
        failedCode_ = RequireSharedStack().LastSocketError();
    else
        Decrypt();
    return Ready();
}

std::int32_t TIdSSLIOHandlerSocket::Recv(void* buffer, std::int32_t length) {
    if (!engine_)
        return TIdIOHandlerSocket::Recv(buffer, length);
    if (!Ready())
        Readable(TimeoutInfinite);
    if (decrypted_ == TIdTLSEngine::tdData) {
        const std::size_t n = engine_->Read(static_cast<char*>(buffer), static_cast<std::size_t>(length));
        // 0 would read as the peer's close: an answer cut short would pass for a whole one.
        if (n == 0 && length > 0)
            throw EIdTLSError("The secure connection gave no data where it had announced some.");
        Decrypt();
        return static_cast<std::int32_t>(n);
    }
    if (decrypted_ == TIdTLSEngine::tdClosed)
        return 0;
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
    if (failedCode_ != 0) {
        RequireSharedStack().SetLastSocketError(std::exchange(failedCode_, 0));
        return -1;
    }
    throw EIdTLSError("The server cut the connection without the TLS close: the answer may be incomplete.");
}

std::int32_t TIdSSLIOHandlerSocket::RecvWithin(void* buffer, std::int32_t length, std::int32_t timeout) {
    if (!engine_)
        return TIdIOHandlerSocket::RecvWithin(buffer, length, timeout);
    return Readable(timeout) ? Recv(buffer, length) : RecvTimedOut;
}

std::int32_t TIdSSLIOHandlerSocket::Send(const void* buffer, std::int32_t length) {
    if (!engine_)
        return TIdIOHandlerSocket::Send(buffer, length);
    const char* bytes = static_cast<const char*>(buffer);
    for (std::size_t left = static_cast<std::size_t>(length); left > 0;) {
        const bool queued = !engine_->Outgoing().empty();
        const std::size_t taken = engine_->Write(bytes, left);
        if (SendOutgoing() < 0)
            return -1;
        // Nothing taken though there was room: asking again would get the same answer.
        if (taken == 0 && !queued)
            throw EIdTLSError("The secure connection takes no more data to send.");
        bytes += taken;
        left -= taken;
    }
    return length;
}

std::int32_t TIdSSLIOHandlerSocket::SendOutgoing() {
    for (std::string_view bytes = engine_->Outgoing(); !bytes.empty(); bytes = engine_->Outgoing()) {
        const std::int32_t sent = TIdIOHandlerSocket::Send(
            bytes.data(), static_cast<std::int32_t>(std::min<std::size_t>(bytes.size(), INT32_MAX)));
        if (sent <= 0)
            return -1;
        engine_->Sent(static_cast<std::size_t>(sent));
    }
    return 0;
}

}  // namespace w20

#pragma once

#include <cstdint>
#include <string>

#include "net/IdException.h"

// The failures of the socket layer, the socket handle and the byte buffers. Classes with a fixed
// text build it in their default constructor, so that the text lives in one place.
namespace w20 {

// A checked socket call failed; the message is the stack's text for the code.
class EIdSocketError : public EIdException {
public:
    EIdSocketError(std::int32_t code, std::string message) : EIdException(std::move(message)), code_(code) {}
    std::int32_t SocketErrorCode() const { return code_; }

private:
    std::int32_t code_;
};

// The socket library could not be loaded, or one of its functions was called before that.
class EIdWS2StubError : public EIdException {
public:
    // A code of 0 gives the title alone; any other code adds ": " and the system's text for it.
    EIdWS2StubError(std::string title, std::uint32_t osErrorCode);
    std::uint32_t OSErrorCode() const { return osErrorCode_; }
    const std::string& OSErrorText() const { return osErrorText_; }
    const std::string& StubTitle() const { return title_; }

private:
    EIdWS2StubError(std::string title, std::uint32_t osErrorCode, std::string osErrorText);

    std::string title_;
    std::uint32_t osErrorCode_;
    std::string osErrorText_;
};

// A protocol reply reported an error.
class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(std::int32_t replyCode, std::string message)
        : EIdException(std::move(message)), replyCode_(replyCode) {}
    std::int32_t ReplyCode() const { return replyCode_; }

private:
    std::int32_t replyCode_;
};

class EIdStackError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdStackInitializationFailed : public EIdStackError {
public:
    EIdStackInitializationFailed() : EIdStackError("Winsock Initialization Error.") {}
};

class EIdStackSetSizeExceeded : public EIdStackError {
public:
    EIdStackSetSizeExceeded() : EIdStackError("Set Size Exceeded.") {}
};

class EIdInvalidIPAddress : public EIdStackError {
public:
    // The text is kept byte for byte, NUL bytes included.
    explicit EIdInvalidIPAddress(const std::string& text)
        : EIdStackError(text + " is not a valid IP address.") {}
};

class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdInvalidServiceName : public EIdException {
public:
    explicit EIdInvalidServiceName(const std::string& name)
        : EIdException(name + " is not a valid service.") {}
};

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdCouldNotBindSocket : public EIdSocketHandleError {
public:
    EIdCouldNotBindSocket()
        : EIdSocketHandleError("Could not bind socket. Address and port are already in use.") {}
};

class EIdInvalidPortRange : public EIdSocketHandleError {
public:
    EIdInvalidPortRange(std::int32_t min, std::int32_t max);
};

class EIdCanNotBindPortInRange : public EIdSocketHandleError {
public:
    EIdCanNotBindPortInRange(std::int32_t min, std::int32_t max);
};

// Failures that mark an expected end rather than a fault.
class EIdSilentException : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdConnClosedGracefully : public EIdSilentException {
public:
    EIdConnClosedGracefully() : EIdSilentException("Connection Closed Gracefully.") {}
};

class EIdTCPConnectionError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdNotEnoughDataInBuffer : public EIdTCPConnectionError {
public:
    EIdNotEnoughDataInBuffer() : EIdTCPConnectionError("Not enough data in buffer.") {}
};

class EIdNotConnected : public EIdTCPConnectionError {
public:
    EIdNotConnected() : EIdTCPConnectionError("Not Connected") {}
};

class EIdNoDataToRead : public EIdTCPConnectionError {
public:
    EIdNoDataToRead() : EIdTCPConnectionError("No data to read.") {}
};

class EIdReadTimeout : public EIdException {
public:
    EIdReadTimeout() : EIdException("Read Timeout") {}
};

class EIdReadLnMaxLineLengthExceeded : public EIdException {
public:
    EIdReadLnMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};

// A receive or send on an I/O handler without an open socket.
class EIdClosedSocket : public EIdException {
public:
    EIdClosedSocket() : EIdException("Disconnected.") {}
};

class EIdAlreadyConnected : public EIdException {
public:
    EIdAlreadyConnected() : EIdException("Already connected.") {}
};

class EIdConnectTimeout : public EIdException {
public:
    EIdConnectTimeout() : EIdException("Connect timed out.") {}
};

// A connect with a limit failed; the message is the text of the socket error.
class EIdConnectException : public EIdException {
public:
    using EIdException::EIdException;
};

// A secure connection failed: the handshake was refused by either side (an untrusted or wrong
// certificate, no common protocol version), a record did not decrypt, or the peer cut the
// connection without the TLS close. It carries no socket error code.
class EIdTLSError : public EIdSocketError {
public:
    explicit EIdTLSError(std::string message) : EIdSocketError(0, std::move(message)) {}
};

}  // namespace w20

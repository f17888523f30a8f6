#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace w20 {

// The client side of one TLS session, over buffers: it never touches a socket, so that the
// handler above it owns every wait and every limit. Bytes from the peer are received straight
// into InputRoom; bytes for the peer wait in Outgoing after any call. One implementation per
// platform: the system's TLS library on Linux, the system's security package on Windows.
class TIdTLSEngine {
public:
    // What the plaintext side holds after Decrypt.
    enum TDecrypted {
        tdData,       // plaintext waits for Read
        tdNeedInput,  // a record is incomplete: more bytes from the peer are needed
        tdClosed,     // the peer sent the TLS close: no more data
    };

    virtual ~TIdTLSEngine() = default;

    // A session to host, which is a host name or a dotted IPv4 address. A name goes to the server
    // as server name indication; the server's certificate chain is verified against the system's
    // trust store and the certificate against the name or the address. Raises EIdTLSError when
    // the platform cannot make a session.
    static std::unique_ptr<TIdTLSEngine> Create(const std::string& host, bool hostIsAddress);

    // Room for at most count bytes from the peer; Received then says how many arrived there.
    virtual char* InputRoom(std::size_t& count) = 0;
    virtual void Received(std::size_t count) = 0;
    // Bytes waiting to go to the peer; Sent takes the first count of them away.
    virtual std::string_view Outgoing() = 0;
    virtual void Sent(std::size_t count) = 0;

    // One step of the handshake with the bytes received so far: true once it is complete.
    // A refusal, by either side, raises EIdTLSError with what went wrong. timeLeft is what is left
    // of the connect limit in ms (negative: no limit): whatever the certificate check fetches from
    // the network must be done within it.
    virtual bool Handshake(std::int32_t timeLeft) = 0;
    // Decrypts what has been received, as far as it goes. A record that fails raises EIdTLSError.
    virtual TDecrypted Decrypt() = 0;
    // Moves up to count bytes of the waiting plaintext out; returns how many (0 when none waits).
    virtual std::size_t Read(char* destination, std::size_t count) = 0;
    // Encrypts as many of the bytes as Outgoing has room for into it; returns how many. Once
    // Outgoing has been sent, there is room again.
    virtual std::size_t Write(const char* bytes, std::size_t count) = 0;
    // Puts the TLS close into Outgoing.
    virtual void Shutdown() = 0;
    // The protocol version the handshake settled on, as "TLSv1.2" or "TLSv1.3".
    virtual std::string Version() = 0;
};

}  // namespace w20

#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestSockets.h"

namespace w20::test {

using Millis = std::chrono::milliseconds;

// One step of what a scripted connection does. Build steps with the functions below.
struct ScriptStep {
    enum class Kind {
        Send,              // bytes at once
        SendPieces,        // bytes cut at the given sizes (the last size repeats)
        SendRandomPieces,  // bytes cut at seeded random sizes from 1 to count
        SendRepeated,      // bytes, count times, without holding the whole text
        Drip,              // bytes one at a time, duration between two of them
        Pause,             // duration, neither reading nor sending
        WaitBytes,         // count more request bytes
        WaitHead,          // up to and including the blank line that ends a request head
        WaitRequest,       // a whole request: head, then a Content-Length or chunked body
        Close,             // take what has arrived, then close (under TLS: without the TLS close)
        Reset,             // SO_LINGER 0, then close: the client sees a reset
        Silent,            // record what arrives until the client closes or duration passes
        Discard,           // mark everything that has arrived as read
        StartTls,          // the server side of a TLS handshake: from then on bytes go through TLS
        CloseTls,          // take what has arrived, send the TLS close, then close
        SendRaw,           // bytes straight onto the connection, also under TLS
    };
    Kind kind = Kind::Send;
    std::string bytes;
    std::vector<std::size_t> sizes;
    std::size_t count = 0;
    std::uint32_t seed = 0;
    Millis duration{0};

    std::string Describe() const;
};

using Script = std::vector<ScriptStep>;

ScriptStep Send(std::string bytes);
ScriptStep SendPieces(std::string bytes, std::vector<std::size_t> sizes);
ScriptStep SendRandomPieces(std::string bytes, std::uint32_t seed, std::size_t maxPiece = 16);
ScriptStep SendRepeated(std::string pattern, std::size_t times);
ScriptStep Drip(std::string bytes, Millis gap);
ScriptStep Pause(Millis duration);
ScriptStep WaitBytes(std::size_t count);
ScriptStep WaitHead();
ScriptStep WaitRequest();
ScriptStep Close();
ScriptStep Reset();
ScriptStep Silent(Millis bound);
ScriptStep Discard();
// StartTls and CloseTls need a server with TLS sessions (ScriptedServerOptions::tls); elsewhere
// they fail. Steps before StartTls see the plain connection, so a script may also leave the
// handshake unanswered (Silent) or answer it with plain text (WaitBytes(1), Send(...)).
ScriptStep StartTls();
ScriptStep CloseTls();
ScriptStep SendRaw(std::string bytes);

// The common shapes: wait for a whole request, then answer it (at once or in random pieces).
Script Respond(std::string response);
Script RespondInPieces(std::string response, std::uint32_t seed, std::size_t maxPiece = 16);

// An answer exactly as given: status line, header lines, blank line, body.
std::string HttpResponse(const std::string& statusLine, const std::vector<std::string>& headers,
                         const std::string& body);
// "HTTP/1.1 200 OK" with a Content-Length header after the extra headers.
std::string HttpOk(const std::string& body, const std::vector<std::string>& extraHeaders = {});
// The pieces as chunks of a chunked body, with the closing chunk and the final blank line.
std::string ChunkedBody(const std::vector<std::string>& pieces);

// Recorded bytes cut into whole requests (head, then a Content-Length body); an unfinished rest
// comes last as it is.
std::vector<std::string> SplitRequests(const std::string& bytes);

// What a connection's TLS session settled on.
struct TlsFacts {
    std::string version;         // "TLSv1.3"; empty until a handshake has completed
    std::string serverName;      // the name the client asked for (server name indication); empty: none
    bool closeReceived = false;  // the client sent the TLS close
};

// The server side of a TLS session over one accepted connection, for the TLS steps. POSIX builds
// make them with ScriptedTls.h over the system's TLS library.
class ScriptedTlsSession {
public:
    virtual ~ScriptedTlsSession() = default;
    // Each gives the bytes moved (Handshake and SendClose: 1 once done), TryAgain (wait as
    // WantsWrite says) or Gone (the client closed or the session failed: see Failure).
    virtual std::ptrdiff_t Handshake() = 0;
    virtual std::ptrdiff_t Send(const char* bytes, std::size_t size) = 0;
    virtual std::ptrdiff_t Receive(char* buffer, std::size_t size) = 0;
    // The TLS close, without waiting for the client's.
    virtual std::ptrdiff_t SendClose() = 0;
    // After TryAgain: whether the session waits for a writable socket rather than a readable one.
    virtual bool WantsWrite() const = 0;
    // Whether received bytes wait inside the session, so that a receive needs no wait on the socket.
    virtual bool HasPending() const = 0;
    // After Gone: why, or empty when the client just closed.
    virtual std::string Failure() const = 0;
    virtual TlsFacts Facts() const = 0;
};

struct ScriptedServerOptions {
    // Bound of every wait of a script (request bytes, a writable socket, the client closing).
    Millis waitBound{3000};
    // Pause between the pieces of SendPieces and SendRandomPieces, so that each piece tends to
    // arrive on its own and the client's reads are partial.
    std::chrono::microseconds pieceGap{100};
    // After the list of scripts is used up, connections play the last script again; when false,
    // they are closed at once.
    bool repeatLast = true;
    // Makes the TLS session of a connection for StartTls; empty: the TLS steps fail.
    std::function<std::unique_ptr<ScriptedTlsSession>(TestSocket)> tls = nullptr;
    // Listens on ::1 instead of 127.0.0.1.
    bool ipv6 = false;
    // The port to listen on; 0: an ephemeral one.
    std::uint16_t port = 0;
};

// A loopback server on 127.0.0.1 with an ephemeral port. Every accepted connection plays the
// next script and records every byte the client sent (decrypted once TLS has started; the
// handshake itself is not recorded). A script that ends without Close, CloseTls or Reset
// leaves the connection open, still recording, until the client closes or the server stops.
// The destructor stops everything; no wait of the server outlives it.
class ScriptedServer {
public:
    using Rule = std::function<Script(std::size_t connection)>;

    explicit ScriptedServer(std::vector<Script> scripts, ScriptedServerOptions options = {});
    explicit ScriptedServer(Rule rule, ScriptedServerOptions options = {});
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by the target.
    std::string Url(const std::string& target = "/") const;
    // "https://<host>:<port>" followed by the target, for scripts that start TLS.
    std::string HttpsUrl(const std::string& target = "/", const std::string& host = "localhost") const;

    std::size_t ConnectionCount() const;
    // Everything connection `index` (from 0, in accept order) has sent so far.
    std::string Received(std::size_t index) const;
    // Whether the client of connection `index` has closed (or reset) its side.
    bool PeerClosed(std::size_t index) const;
    // Whether connection `index` is over: its script ended it or it saw the client leave.
    bool Finished(std::size_t index) const;
    // One text per script that could not be played to its end (a bound passed, the client left).
    std::vector<std::string> Failures() const;
    // What the TLS session of connection `index` settled on (empty while it has none).
    TlsFacts Tls(std::size_t index) const;

    // Each returns false when the bound passes first.
    bool WaitForConnections(std::size_t count, Millis bound = Millis(3000)) const;
    bool WaitForBytes(std::size_t index, std::size_t count, Millis bound = Millis(3000)) const;
    bool WaitForReceived(std::size_t index, const std::function<bool(const std::string&)>& done,
                         Millis bound = Millis(3000)) const;
    bool WaitForFinished(std::size_t index, Millis bound = Millis(3000)) const;

private:
    struct Record {
        std::string received;
        bool peerClosed = false;
        bool finished = false;
        TlsFacts tls;
    };
    friend class ScriptRunner;

    void Start();
    void AcceptLoop();
    Script ScriptFor(std::size_t index) const;
    bool WaitUntil(const std::function<bool()>& done, Millis bound) const;

    std::vector<Script> scripts_;
    Rule rule_;
    ScriptedServerOptions options_;
    TestSocket listener_ = NoTestSocket;
    std::unique_ptr<StopSignal> stop_;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;
    std::vector<std::thread> connectionThreads_;  // touched by the accept thread, then the destructor

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::unique_ptr<Record>> records_;
    std::vector<std::string> failures_;
};

}  // namespace w20::test

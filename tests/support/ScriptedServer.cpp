#include "tests/support/ScriptedServer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <utility>

namespace w20::test {

using Clock = std::chrono::steady_clock;

namespace {

ScriptStep Step(ScriptStep::Kind kind) {
    ScriptStep step;
    step.kind = kind;
    return step;
}

// The offset just past the blank line that ends a head, searching from `from`; npos when none has
// arrived yet. A bare LF ends a line as well as CR LF.
std::size_t FindHeadEnd(const std::string& bytes, std::size_t from) {
    for (std::size_t at = bytes.find('\n', from); at != std::string::npos; at = bytes.find('\n', at + 1)) {
        if (at + 1 < bytes.size() && bytes[at + 1] == '\n')
            return at + 2;
        if (at + 2 < bytes.size() && bytes[at + 1] == '\r' && bytes[at + 2] == '\n')
            return at + 3;
    }
    return std::string::npos;
}

// A sum that stops at the largest size instead of wrapping (sizes here come from request text).
std::size_t Plus(std::size_t a, unsigned long long b) {
    return b > std::numeric_limits<std::size_t>::max() - a ? std::numeric_limits<std::size_t>::max() : a + b;
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of header `name` (lower case) in a request head, without surrounding blanks.
std::optional<std::string> HeaderValue(const std::string& head, const std::string& name) {
    std::size_t lineStart = head.find('\n');  // skip the request line
    while (lineStart != std::string::npos) {
        ++lineStart;
        std::size_t lineEnd = head.find('\n', lineStart);
        std::string line =
            head.substr(lineStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos && LowerAscii(line.substr(0, colon)) == name) {
            std::string value = line.substr(colon + 1);
            std::size_t first = value.find_first_not_of(" \t\r");
            std::size_t last = value.find_last_not_of(" \t\r");
            return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
        }
        lineStart = lineEnd;
    }
    return std::nullopt;
}

}  // namespace

std::string ScriptStep::Describe() const {
    switch (kind) {
        case Kind::Send:
            return "send " + std::to_string(bytes.size()) + " bytes";
        case Kind::SendPieces:
            return "send " + std::to_string(bytes.size()) + " bytes in given pieces";
        case Kind::SendRandomPieces:
            return "send " + std::to_string(bytes.size()) + " bytes in random pieces";
        case Kind::SendRepeated:
            return "send " + std::to_string(bytes.size()) + " bytes " + std::to_string(count) + " times";
        case Kind::Drip:
            return "drip " + std::to_string(bytes.size()) + " bytes, one per " +
                   std::to_string(duration.count()) + " ms";
        case Kind::Pause:
            return "pause " + std::to_string(duration.count()) + " ms";
        case Kind::WaitBytes:
            return "wait for " + std::to_string(count) + " bytes";
        case Kind::WaitHead:
            return "wait for a request head";
        case Kind::WaitRequest:
            return "wait for a request";
        case Kind::Close:
            return "close";
        case Kind::Reset:
            return "reset";
        case Kind::Silent:
            return "stay silent";
        case Kind::Discard:
            return "discard input";
        case Kind::StartTls:
            return "start TLS";
        case Kind::CloseTls:
            return "close with the TLS close";
        case Kind::SendRaw:
            return "send " + std::to_string(bytes.size()) + " raw bytes";
    }
    return "unknown step";
}

ScriptStep Send(std::string bytes) {
    ScriptStep step = Step(ScriptStep::Kind::Send);
    step.bytes = std::move(bytes);
    return step;
}

ScriptStep SendPieces(std::string bytes, std::vector<std::size_t> sizes) {
    if (sizes.empty() || std::find(sizes.begin(), sizes.end(), 0) != sizes.end())
        throw std::invalid_argument("SendPieces needs piece sizes above 0");
    ScriptStep step = Step(ScriptStep::Kind::SendPieces);
    step.bytes = std::move(bytes);
    step.sizes = std::move(sizes);
    return step;
}

ScriptStep SendRandomPieces(std::string bytes, std::uint32_t seed, std::size_t maxPiece) {
    if (maxPiece == 0)
        throw std::invalid_argument("SendRandomPieces needs a piece size above 0");
    ScriptStep step = Step(ScriptStep::Kind::SendRandomPieces);
    step.bytes = std::move(bytes);
    step.seed = seed;
    step.count = maxPiece;
    return step;
}

ScriptStep SendRepeated(std::string pattern, std::size_t times) {
    ScriptStep step = Step(ScriptStep::Kind::SendRepeated);
    step.bytes = std::move(pattern);
    step.count = times;
    return step;
}

ScriptStep Drip(std::string bytes, Millis gap) {
    ScriptStep step = Step(ScriptStep::Kind::Drip);
    step.bytes = std::move(bytes);
    step.duration = gap;
    return step;
}

ScriptStep Pause(Millis duration) {
    ScriptStep step = Step(ScriptStep::Kind::Pause);
    step.duration = duration;
    return step;
}

ScriptStep WaitBytes(std::size_t count) {
    ScriptStep step = Step(ScriptStep::Kind::WaitBytes);
    step.count = count;
    return step;
}

ScriptStep WaitHead() {
    return Step(ScriptStep::Kind::WaitHead);
}
ScriptStep WaitRequest() {
    return Step(ScriptStep::Kind::WaitRequest);
}
ScriptStep Close() {
    return Step(ScriptStep::Kind::Close);
}
ScriptStep Reset() {
    return Step(ScriptStep::Kind::Reset);
}

ScriptStep Silent(Millis bound) {
    ScriptStep step = Step(ScriptStep::Kind::Silent);
    step.duration = bound;
    return step;
}

ScriptStep Discard() {
    return Step(ScriptStep::Kind::Discard);
}
ScriptStep StartTls() {
    return Step(ScriptStep::Kind::StartTls);
}
ScriptStep CloseTls() {
    return Step(ScriptStep::Kind::CloseTls);
}

ScriptStep SendRaw(std::string bytes) {
    ScriptStep step = Step(ScriptStep::Kind::SendRaw);
    step.bytes = std::move(bytes);
    return step;
}

Script Respond(std::string response) {
    return {WaitRequest(), Send(std::move(response))};
}

Script RespondInPieces(std::string response, std::uint32_t seed, std::size_t maxPiece) {
    return {WaitRequest(), SendRandomPieces(std::move(response), seed, maxPiece)};
}

std::string HttpResponse(const std::string& statusLine, const std::vector<std::string>& headers,
                         const std::string& body) {
    std::string bytes = statusLine + "\r\n";
    for (const auto& header : headers)
        bytes += header + "\r\n";
    return bytes + "\r\n" + body;
}

std::string HttpOk(const std::string& body, const std::vector<std::string>& extraHeaders) {
    std::vector<std::string> headers = extraHeaders;
    headers.push_back("Content-Length: " + std::to_string(body.size()));
    return HttpResponse("HTTP/1.1 200 OK", headers, body);
}

std::string ChunkedBody(const std::vector<std::string>& pieces) {
    std::string bytes;
    char size[32];
    for (const auto& piece : pieces) {
        if (piece.empty())
            continue;  // an empty chunk would end the body
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        bytes += size + piece + "\r\n";
    }
    return bytes + "0\r\n\r\n";
}

std::vector<std::string> SplitRequests(const std::string& bytes) {
    std::vector<std::string> requests;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = FindHeadEnd(bytes, start);
        if (end != std::string::npos) {
            auto length = HeaderValue(bytes.substr(start, end - start), "content-length");
            std::size_t body = length ? std::strtoull(length->c_str(), nullptr, 10) : 0;
            end += std::min(body, bytes.size() - end);
        }
        end = std::min(end, bytes.size());
        requests.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return requests;
}

// Plays one script on one accepted connection, on its own thread.
class ScriptRunner {
public:
    ScriptRunner(ScriptedServer& server, std::size_t index, TestSocket fd)
        : server_(server), index_(index), fd_(fd), buffer_(65536) {}

    void Run(const Script& script) {
        for (std::size_t number = 0; number < script.size() && fd_ != NoTestSocket; ++number) {
            Io io = Play(script[number]);
            if (io == Io::Ok)
                continue;
            if (io != Io::Stopped)
                Fail(number, script[number], io);
            CloseSocket();
        }
        if (fd_ != NoTestSocket)
            RecordUntilClosed();
        CloseSocket();
        std::lock_guard lock(server_.mutex_);
        server_.records_[index_]->finished = true;
        server_.changed_.notify_all();
    }

private:
    enum class Io { Ok, PeerClosed, TimedOut, Stopped, TlsFailed };
    using Deadline = std::optional<Clock::time_point>;

    Io Play(const ScriptStep& step) {
        const Deadline deadline = Clock::now() + server_.options_.waitBound;
        switch (step.kind) {
            case ScriptStep::Kind::Send:
                return SendAll(step.bytes.data(), step.bytes.size());
            case ScriptStep::Kind::SendPieces:
                return SendInPieces(step);
            case ScriptStep::Kind::SendRandomPieces:
                return SendInPieces(step);
            case ScriptStep::Kind::SendRepeated:
                return SendRepeatedly(step.bytes, step.count);
            case ScriptStep::Kind::Drip:
                return DripBytes(step.bytes, step.duration);
            case ScriptStep::Kind::Pause:
                return Sleep(step.duration);
            case ScriptStep::Kind::WaitBytes:
                return WaitFor(Plus(cursor_, step.count), deadline);
            case ScriptStep::Kind::WaitHead:
                return WaitForHead(deadline);
            case ScriptStep::Kind::WaitRequest:
                return WaitForRequest(deadline);
            case ScriptStep::Kind::Close:
                // Unread input at close makes the kernel send a reset instead of a close.
                TakePending();
                CloseSocket();
                return Io::Ok;
            case ScriptStep::Kind::Reset:
                ResetConnection(fd_);
                fd_ = NoTestSocket;
                DropTls();
                return Io::Ok;
            case ScriptStep::Kind::Silent: {
                Io io = Io::Ok;
                while (io == Io::Ok)
                    io = ReceiveOnce(Clock::now() + step.duration);
                return io == Io::Stopped ? io : Io::Ok;
            }
            case ScriptStep::Kind::Discard:
                TakePending();
                cursor_ = in_.size();
                return Io::Ok;
            case ScriptStep::Kind::StartTls:
                return StartSession(deadline);
            case ScriptStep::Kind::CloseTls:
                return CloseSession(deadline);
            case ScriptStep::Kind::SendRaw:
                return SendAll(step.bytes.data(), step.bytes.size(), true);
        }
        return Io::Ok;
    }

    Io StartSession(const Deadline& deadline) {
        if (tls_ || !server_.options_.tls)
            return TlsFailure(tls_ ? "TLS has started already" : "this server has no TLS sessions");
        try {
            tls_ = server_.options_.tls(fd_);
        } catch (const std::exception& error) {
            return TlsFailure(error.what());
        }
        if (Io io = Drive([this] { return tls_->Handshake(); }, deadline); io != Io::Ok)
            return io;
        NoteTls();
        return Io::Ok;
    }

    Io CloseSession(const Deadline& deadline) {
        if (!tls_)
            return TlsFailure("no TLS to close");
        TakePending();
        if (Io io = Drive([this] { return tls_->SendClose(); }, deadline); io != Io::Ok)
            return io;
        CloseSocket();
        return Io::Ok;
    }

    // Repeats a TLS call that needs no more than the socket until it completes.
    Io Drive(const std::function<std::ptrdiff_t()>& call, const Deadline& deadline) {
        for (;;) {
            const std::ptrdiff_t n = call();
            if (n > 0)
                return Io::Ok;
            if (n == Gone)
                return TlsGone();
            const int ready = WaitSocket(tls_->WantsWrite(), deadline);
            if (ready <= 0)
                return ready < 0 ? Io::Stopped : Io::TimedOut;
        }
    }

    Io TlsFailure(std::string why) {
        tlsFailure_ = std::move(why);
        return Io::TlsFailed;
    }

    // A TLS call gave Gone: a failure of the session, or the client's leave. The client's TLS close
    // is answered with the server's, as servers do; the socket stays for the script to close.
    Io TlsGone() {
        NoteTls();
        tlsEnded_ = true;
        if (std::string why = tls_->Failure(); !why.empty())
            return TlsFailure(why);
        if (tls_->Facts().closeReceived)
            tls_->SendClose();
        MarkPeerClosed();
        return Io::PeerClosed;
    }

    void NoteTls() {
        if (!tls_)
            return;
        TlsFacts facts = tls_->Facts();
        std::lock_guard lock(server_.mutex_);
        server_.records_[index_]->tls = std::move(facts);
        server_.changed_.notify_all();
    }

    void DropTls() {
        NoteTls();
        tls_.reset();
    }

    // Under TLS through the session, unless raw. After TryAgain, `forWriting` is the direction to
    // wait in: a session may need the other one than the call's own.
    std::ptrdiff_t Out(const char* data, std::size_t size, bool raw, bool& forWriting) {
        forWriting = true;
        if (!tls_ || raw)
            return SendSome(fd_, data, size);
        const std::ptrdiff_t n = tls_->Send(data, size);
        if (n == TryAgain)
            forWriting = tls_->WantsWrite();
        return n;
    }

    std::ptrdiff_t In(char* buffer, std::size_t size, bool& forWriting) {
        forWriting = false;
        if (!tls_)
            return ReceiveSome(fd_, buffer, size);
        const std::ptrdiff_t n = tls_->Receive(buffer, size);
        if (n == TryAgain)
            forWriting = tls_->WantsWrite();
        return n;
    }

    // Waits for the socket or the server's stop signal. Returns 1 when the socket is ready, -1 on
    // stop and 0 when the deadline passes.
    int WaitSocket(bool forWriting, const Deadline& deadline) {
        std::optional<std::chrono::nanoseconds> limit;
        if (deadline)
            limit = std::max(Clock::duration::zero(), *deadline - Clock::now());
        return WaitForSocket(fd_, forWriting, *server_.stop_, limit);
    }

    Io Sleep(std::chrono::nanoseconds duration) {
        return WaitForSocket(NoTestSocket, false, *server_.stop_, duration) < 0 ? Io::Stopped : Io::Ok;
    }

    Io SendAll(const char* data, std::size_t size, bool raw = false) {
        std::size_t sent = 0;
        bool forWriting = true;
        while (sent < size) {
            const int ready = WaitSocket(forWriting, Clock::now() + server_.options_.waitBound);
            if (ready < 0)
                return Io::Stopped;
            if (ready == 0)
                return Io::TimedOut;
            const std::ptrdiff_t n = Out(data + sent, size - sent, raw, forWriting);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n == Gone && tls_ && !raw) {
                return TlsGone();
            } else if (n == Gone) {
                MarkPeerClosed();
                return Io::PeerClosed;
            }
        }
        return Io::Ok;
    }

    Io SendInPieces(const ScriptStep& step) {
        std::mt19937 random(step.seed);
        std::size_t sent = 0;
        for (std::size_t piece = 0; sent < step.bytes.size(); ++piece) {
            std::size_t size = step.kind == ScriptStep::Kind::SendPieces
                                   ? step.sizes[std::min(piece, step.sizes.size() - 1)]
                                   : 1 + random() % step.count;
            size = std::min(size, step.bytes.size() - sent);
            if (piece > 0 && Sleep(server_.options_.pieceGap) == Io::Stopped)
                return Io::Stopped;
            if (Io io = SendAll(step.bytes.data() + sent, size); io != Io::Ok)
                return io;
            sent += size;
        }
        return Io::Ok;
    }

    Io DripBytes(const std::string& bytes, Millis gap) {
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            if (at > 0 && Sleep(gap) == Io::Stopped)
                return Io::Stopped;
            if (Io io = SendAll(bytes.data() + at, 1); io != Io::Ok)
                return io;
        }
        return Io::Ok;
    }

    Io SendRepeatedly(const std::string& pattern, std::size_t times) {
        if (pattern.empty())
            return Io::Ok;
        // Whole copies of the pattern in a block of about 64 KiB, so that a long stream needs few calls.
        std::size_t perBlock = std::max<std::size_t>(1, 65536 / pattern.size());
        std::string block;
        for (std::size_t i = 0; i < std::min(perBlock, times); ++i)
            block += pattern;
        while (times > 0) {
            std::size_t copies = std::min(perBlock, times);
            if (Io io = SendAll(block.data(), copies * pattern.size()); io != Io::Ok)
                return io;
            times -= copies;
        }
        return Io::Ok;
    }

    Io ReceiveOnce(const Deadline& deadline) {
        if (tlsEnded_)
            return tlsFailure_.empty() ? Io::PeerClosed : Io::TlsFailed;
        // Decrypted bytes waiting in the session need no wait; the stop signal is seen on the next.
        const int ready = tls_ && tls_->HasPending() ? 1 : WaitSocket(receiveWantsWrite_, deadline);
        if (ready < 0)
            return Io::Stopped;
        if (ready == 0)
            return Io::TimedOut;
        const std::ptrdiff_t n = In(buffer_.data(), buffer_.size(), receiveWantsWrite_);
        if (n > 0) {
            Record(static_cast<std::size_t>(n));
            return Io::Ok;
        }
        if (n == TryAgain)
            return Io::Ok;
        if (tls_)
            return TlsGone();
        MarkPeerClosed();
        return Io::PeerClosed;
    }

    // Takes in whatever has arrived, without waiting.
    void TakePending() {
        for (;;) {
            const std::ptrdiff_t n = In(buffer_.data(), buffer_.size(), receiveWantsWrite_);
            if (n <= 0)
                return;
            Record(static_cast<std::size_t>(n));
        }
    }

    Io WaitFor(std::size_t size, const Deadline& deadline) {
        while (in_.size() < size) {
            if (Io io = ReceiveOnce(deadline); io != Io::Ok)
                return io;
        }
        cursor_ = size;
        return Io::Ok;
    }

    Io WaitForHead(const Deadline& deadline) {
        std::size_t end;
        while ((end = FindHeadEnd(in_, cursor_)) == std::string::npos) {
            if (Io io = ReceiveOnce(deadline); io != Io::Ok)
                return io;
        }
        cursor_ = end;
        return Io::Ok;
    }

    // One line from the cursor, without its line end.
    Io WaitForLine(std::string& line, const Deadline& deadline) {
        std::size_t end;
        while ((end = in_.find('\n', cursor_)) == std::string::npos) {
            if (Io io = ReceiveOnce(deadline); io != Io::Ok)
                return io;
        }
        line = in_.substr(cursor_, end - cursor_);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        cursor_ = end + 1;
        return Io::Ok;
    }

    Io WaitForRequest(const Deadline& deadline) {
        std::size_t start = cursor_;
        if (Io io = WaitForHead(deadline); io != Io::Ok)
            return io;
        std::string head = in_.substr(start, cursor_ - start);
        auto coding = HeaderValue(head, "transfer-encoding");
        if (coding && LowerAscii(*coding).find("chunked") != std::string::npos)
            return WaitForChunks(deadline);
        auto length = HeaderValue(head, "content-length");
        if (!length)
            return Io::Ok;
        return WaitFor(Plus(cursor_, std::strtoull(length->c_str(), nullptr, 10)), deadline);
    }

    Io WaitForChunks(const Deadline& deadline) {
        std::string line;
        for (;;) {
            if (Io io = WaitForLine(line, deadline); io != Io::Ok)
                return io;
            std::size_t size = std::strtoull(line.c_str(), nullptr, 16);
            if (size == 0)
                break;
            if (Io io = WaitFor(Plus(cursor_, size), deadline); io != Io::Ok)
                return io;
            if (Io io = WaitForLine(line, deadline); io != Io::Ok)
                return io;
        }
        do {  // trailer lines up to the blank line
            if (Io io = WaitForLine(line, deadline); io != Io::Ok)
                return io;
        } while (!line.empty());
        return Io::Ok;
    }

    void RecordUntilClosed() {
        Io io = Io::Ok;
        while (io == Io::Ok)
            io = ReceiveOnce(std::nullopt);
    }

    void Record(std::size_t count) {
        in_.append(buffer_.data(), count);
        std::lock_guard lock(server_.mutex_);
        server_.records_[index_]->received.append(buffer_.data(), count);
        server_.changed_.notify_all();
    }

    void MarkPeerClosed() {
        std::lock_guard lock(server_.mutex_);
        server_.records_[index_]->peerClosed = true;
        server_.changed_.notify_all();
    }

    void Fail(std::size_t number, const ScriptStep& step, Io io) {
        std::string why =
            io == Io::PeerClosed ? "the client closed the connection"
            : io == Io::TlsFailed
                ? "TLS failed: " + tlsFailure_
                : "the bound of " + std::to_string(server_.options_.waitBound.count()) + " ms passed";
        std::lock_guard lock(server_.mutex_);
        server_.failures_.push_back("connection " + std::to_string(index_) + ", step " +
                                    std::to_string(number) + " (" + step.Describe() + "): " + why +
                                    " after " + std::to_string(in_.size()) + " received bytes");
    }

    // Under TLS without the TLS close: freeing the session sends nothing.
    void CloseSocket() {
        if (fd_ != NoTestSocket)
            CloseConnection(fd_);
        fd_ = NoTestSocket;
        DropTls();
    }

    ScriptedServer& server_;
    const std::size_t index_;
    TestSocket fd_;
    std::vector<char> buffer_;
    std::string in_;                           // what the client sent, as recorded
    std::size_t cursor_ = 0;                   // how much of it the waits have taken
    std::unique_ptr<ScriptedTlsSession> tls_;  // from StartTls on
    bool receiveWantsWrite_ = false;           // the last receive waits for a writable socket
    bool tlsEnded_ = false;                    // the session has given Gone
    std::string tlsFailure_;
};

ScriptedServer::ScriptedServer(std::vector<Script> scripts, ScriptedServerOptions options)
    : scripts_(std::move(scripts)), options_(options) {
    Start();
}

ScriptedServer::ScriptedServer(Rule rule, ScriptedServerOptions options)
    : rule_(std::move(rule)), options_(options) {
    Start();
}

void ScriptedServer::Start() {
    stop_ = std::make_unique<StopSignal>();
    port_ = options_.port;
    listener_ = ListenOnLoopback(port_, 64, options_.ipv6);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
    stop_->Raise();
    acceptThread_.join();
    for (auto& thread : connectionThreads_)
        thread.join();
    CloseConnection(listener_);
}

void ScriptedServer::AcceptLoop() {
    for (;;) {
        if (WaitForSocket(listener_, false, *stop_, std::nullopt) < 0)
            return;
        const TestSocket fd = AcceptConnection(listener_);
        if (fd == NoTestSocket)
            continue;
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            index = records_.size();
            records_.push_back(std::make_unique<Record>());
            changed_.notify_all();
        }
        connectionThreads_.emplace_back([this, index, fd] {
            Script script;
            try {
                script = ScriptFor(index);
            } catch (const std::exception& error) {
                std::lock_guard lock(mutex_);
                failures_.push_back("connection " + std::to_string(index) + ": no script: " + error.what());
                script = {test::Close()};
            }
            ScriptRunner(*this, index, fd).Run(script);
        });
    }
}

Script ScriptedServer::ScriptFor(std::size_t index) const {
    if (rule_)
        return rule_(index);
    if (index < scripts_.size())
        return scripts_[index];
    if (options_.repeatLast && !scripts_.empty())
        return scripts_.back();
    if (options_.repeatLast)
        return {};
    return {test::Close()};
}

std::string ScriptedServer::Url(const std::string& target) const {
    return (options_.ipv6 ? "http://[::1]:" : "http://127.0.0.1:") + std::to_string(port_) + target;
}

std::string ScriptedServer::HttpsUrl(const std::string& target, const std::string& host) const {
    return "https://" + host + ":" + std::to_string(port_) + target;
}

std::size_t ScriptedServer::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

std::string ScriptedServer::Received(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < records_.size() ? records_[index]->received : std::string();
}

bool ScriptedServer::PeerClosed(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < records_.size() && records_[index]->peerClosed;
}

bool ScriptedServer::Finished(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < records_.size() && records_[index]->finished;
}

std::vector<std::string> ScriptedServer::Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

TlsFacts ScriptedServer::Tls(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < records_.size() ? records_[index]->tls : TlsFacts{};
}

bool ScriptedServer::WaitUntil(const std::function<bool()>& done, Millis bound) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, done);
}

bool ScriptedServer::WaitForConnections(std::size_t count, Millis bound) const {
    return WaitUntil([&] { return records_.size() >= count; }, bound);
}

bool ScriptedServer::WaitForBytes(std::size_t index, std::size_t count, Millis bound) const {
    return WaitForReceived(
        index, [count](const std::string& bytes) { return bytes.size() >= count; }, bound);
}

bool ScriptedServer::WaitForReceived(std::size_t index, const std::function<bool(const std::string&)>& done,
                                     Millis bound) const {
    return WaitUntil([&] { return index < records_.size() && done(records_[index]->received); }, bound);
}

bool ScriptedServer::WaitForFinished(std::size_t index, Millis bound) const {
    return WaitUntil([&] { return index < records_.size() && records_[index]->finished; }, bound);
}

}  // namespace w20::test

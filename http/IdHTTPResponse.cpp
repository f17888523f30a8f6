#include "http/IdHTTPResponse.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

#include "base/Convert.h"
#include "base/Strings.h"
#include "http/IdHTTP.h"
#include "http/IdHTTPExceptions.h"

namespace w20 {
namespace {

// A read of a known count goes to the connection in pieces its 32-bit count can carry.
constexpr std::int64_t CountPiece = std::int64_t(1) << 30;

// The size at the start of a chunk size line: a hexadecimal number, followed by nothing, blanks or
// a chunk extension after ";". Any other line raises EIdHTTPChunkSizeInvalid: taken as the last
// chunk, it would pass a cut body off as whole. A number that does not fit raises
// EIdHTTPChunkSizeTooLarge rather than wrapping around.
std::int64_t ChunkSize(const std::string& line) {
    std::size_t digits = 0;
    while (digits < line.size() && DigitValue(line[digits], 16) >= 0)
        ++digits;
    const std::size_t rest = line.find_first_not_of(" \t", digits);
    if (digits == 0 || (rest != std::string::npos && line[rest] != ';'))
        throw EIdHTTPChunkSizeInvalid(line);
    const std::string text = line.substr(0, digits);
    std::uint64_t size = 0;
    if (!ReadDigits(text, 16, std::numeric_limits<std::int64_t>::max(), size))
        throw EIdHTTPChunkSizeTooLarge(text);
    return static_cast<std::int64_t>(size);
}

// Whether the body comes in chunks: the last transfer coding, over every "Transfer-Encoding" line
// taken as one comma-separated list, is "chunked" in any letter case.
bool Chunked(const TIdHeaderList& headers) {
    std::vector<std::string> values;
    headers.Extract("Transfer-Encoding", values);
    std::string last;
    for (const std::string& value : values) {
        for (std::size_t from = 0; from <= value.size();) {
            const std::size_t comma = std::min(value.find(',', from), value.size());
            const std::string coding = Trim(std::string_view(value).substr(from, comma - from));
            if (!coding.empty())
                last = coding;
            from = comma + 1;
        }
    }
    return SameText(last, "chunked");
}

}  // namespace

std::int32_t TIdHTTPResponse::ResponseCode() const {
    std::string rest = responseText_;
    const std::size_t blank = rest.find(' ');
    if (blank != std::string::npos)
        rest.erase(0, blank + 1);
    rest = Trim(rest);
    rest.erase(std::min(rest.find(' '), rest.size()));
    std::uint64_t code = 0;
    if (rest.size() > 9 || !ReadDigits(rest, 10, 999999999, code))
        return -1;
    return static_cast<std::int32_t>(code);
}

bool TIdHTTPResponse::KeepAlive() {
    const std::string version = Copy(responseText_, 6, 3);
    if (SameText(version, "1.0"))
        responseVersion_ = pv1_0;
    else if (SameText(version, "1.1"))
        responseVersion_ = pv1_1;
    client_.CheckClosed(false, false);
    bool keepAlive = client_.Connected();
    if (keepAlive) {
        const std::string connection = Trim(Connection());
        const std::string proxyConnection = Trim(ProxyConnection());
        if (client_.ProtocolVersion() == pv1_1) {
            keepAlive = !SameText(connection, "CLOSE") && !SameText(proxyConnection, "CLOSE");
        } else {
            keepAlive = SameText(connection, "KEEP-ALIVE") || SameText(proxyConnection, "KEEP-ALIVE");
        }
    }
    // A response framed both by length and by transfer coding may be a smuggling attempt: a
    // proxy on the way may have framed it the other way, so nothing after it can be trusted.
    if (RawHeaders().IndexOfName("Content-Length") >= 0 && RawHeaders().IndexOfName("Transfer-Encoding") >= 0)
        keepAlive = false;
    return keepAlive;
}

void TIdHTTPResponse::CountLine(std::size_t& blockSize, const std::string& line) {
    blockSize += line.size() + 2;
    if (blockSize > MaxHeaderBlock)
        throw EIdHTTPHeaderBlockTooLarge(MaxHeaderBlock);
}

void TIdHTTPResponse::ReadHeaders() {
    RawHeaders().Clear();
    std::size_t blockSize = 0;
    std::string line = client_.ReadLine();
    try {
        while (!line.empty()) {
            CountLine(blockSize, line);
            RawHeaders().Add(line);
            line = client_.ReadLine();
        }
    } catch (const EIdConnClosedGracefully&) {
        // The server ended the block by closing; what it sent counts.
        client_.Disconnect();
    }
    ParseResponseHeaders();
}

void TIdHTTPResponse::ReadBody() {
    if (contentStream_ == nullptr)
        return;
    // These statuses never carry a body: waiting for one up to the close would stall, then fail.
    const std::int32_t code = ResponseCode();
    if (code / 100 == 1 || code == 204 || code == 304)
        return;
    // Chunks win over a Content-Length, which KeepAlive then does not trust either.
    if (Chunked(RawHeaders())) {
        ReadChunked(*contentStream_);
    } else if (ContentLength() > 0) {
        ReadCounted(*contentStream_, ContentLength());
    } else if (!HasContentLength()) {
        client_.ReadToStream(*contentStream_, -1, true);
    }
}

void TIdHTTPResponse::ReadCounted(TIdStream& stream, std::int64_t count) {
    const std::size_t start = stream.Position();
    const auto received = [&stream, start] { return static_cast<std::int64_t>(stream.Position() - start); };
    try {
        while (received() < count) {
            const std::int64_t before = received();
            client_.ReadToStream(stream, static_cast<std::int32_t>(std::min(count - before, CountPiece)),
                                 false);
            // A connection closed before the read gives what was queued and then nothing.
            if (received() == before)
                break;
        }
    } catch (const EIdConnClosedGracefully&) {
        // The block that did not complete is still queued: it arrived, so it is kept.
        TIdManagedBuffer& queue = client_.InputQueue();
        const std::size_t tail = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(queue.Size()), count - received()));
        stream.Write(queue.Bytes().data(), tail);
        queue.DropFront(tail);
    }
    if (received() < count)
        throw EIdHTTPBodyIncomplete(received(), count);
}

void TIdHTTPResponse::ReadChunked(TIdStream& stream) {
    client_.ReportStatus(StatusText, "Chunk Started");
    for (std::int64_t size = ChunkSize(client_.ReadLine()); size > 0; size = ChunkSize(client_.ReadLine())) {
        for (std::int64_t remaining = size; remaining > 0;) {
            const std::int64_t piece = std::min(remaining, CountPiece);
            client_.ReadToStream(stream, static_cast<std::int32_t>(piece), false);
            remaining -= piece;
        }
        // The data ends where its size says: anything but CR LF there means the framing is lost,
        // and what follows is not the next chunk.
        char end[2];
        client_.ReadExact(end, 2);
        if (end[0] != '\r' || end[1] != '\n')
            throw EIdHTTPChunkEndInvalid(size);
    }
    // Trailer lines, if any, up to the blank line that ends the body: left unread, they would be
    // taken for the next response on this connection.
    std::size_t blockSize = 0;
    for (std::string line = client_.ReadLine(); !line.empty(); line = client_.ReadLine())
        CountLine(blockSize, line);
}

}  // namespace w20

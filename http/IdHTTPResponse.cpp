#include "http/IdHTTPResponse.h"

#include <algorithm>
#include <limits>

#include "base/Convert.h"
#include "base/Strings.h"
#include "http/IdHTTP.h"
#include "http/IdHTTPExceptions.h"

namespace w20 {
namespace {

// A read of a known count goes to the connection in pieces its 32-bit count can carry.
constexpr std::int64_t CountPiece = std::int64_t(1) << 30;

// The size at the start of a chunk size line: the text before the first blank, or before a
// chunk extension's ";", read as a hexadecimal number. Text that is not one counts as 0; a number
// that does not fit raises EIdHTTPChunkSizeTooLarge rather than wrapping around.
std::int64_t ChunkSize(const std::string& line) {
    const std::string text = line.substr(0, line.find_first_of(" \t;"));
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return DigitValue(c, 16) >= 0; }))
        return 0;
    std::uint64_t size = 0;
    if (!ReadDigits(text, 16, std::numeric_limits<std::int64_t>::max(), size))
        throw EIdHTTPChunkSizeTooLarge(text);
    return static_cast<std::int64_t>(size);
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
    if (ContentLength() > 0) {
        ReadCounted(*contentStream_, ContentLength());
    } else if (RawHeaders().Values("Transfer-Encoding").find("chunked") != std::string::npos) {
        ReadChunked(*contentStream_);
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
        client_.ReadLine();  // the line end after the data
    }
    // Trailer lines, if any, up to the blank line that ends the body: left unread, they would be
    // taken for the next response on this connection.
    std::size_t blockSize = 0;
    for (std::string line = client_.ReadLine(); !line.empty(); line = client_.ReadLine())
        CountLine(blockSize, line);
}

}  // namespace w20

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/IdHTTPTypes.h"
#include "http/IdResponseHeaderInfo.h"
#include "net/IdStream.h"

namespace w20 {

class TIdCustomHTTP;

// The response half of a client's exchange, reused for every response: the status line, the
// header fields, the keep-alive decision, and the reading of the body into ContentStream.
class TIdHTTPResponse : public TIdResponseHeaderInfo {
public:
    // Mature clients stop at a few hundred KiB; a server past this is sending lines without end.
    static constexpr std::size_t MaxHeaderBlock = 1 << 20;

    explicit TIdHTTPResponse(TIdCustomHTTP& client) : client_(client) {}

    // The status line as read, without its line end.
    const std::string& ResponseText() const { return responseText_; }
    void SetResponseText(const std::string& value) { responseText_ = value; }
    // The second word of the status line as a decimal number; -1 when it is none.
    std::int32_t ResponseCode() const;
    // Taken from the status line by KeepAlive; nothing decides on it.
    TIdHTTPProtocolVersion ResponseVersion() const { return responseVersion_; }
    // Worked out afresh on every read from the connection's state, the client's version and the
    // "Connection" and "Proxy-Connection" values; always false after a response that carried
    // both "Content-Length" and "Transfer-Encoding".
    bool KeepAlive();
    // Where the body goes; only referenced.
    TIdStream* ContentStream() const { return contentStream_; }
    void SetContentStream(TIdStream* value) { contentStream_ = value; }

    // Reads the header lines after the status line and fills the fields. A close during the
    // first line goes to the caller; a close during a later one disconnects and ends the block
    // quietly. A block larger than MaxHeaderBlock raises EIdHTTPHeaderBlockTooLarge.
    void ReadHeaders();
    // Reads the body into ContentStream: by chunks when the last transfer coding is "chunked"
    // (any Content-Length is then ignored), by Content-Length, up to the close, or nothing for a
    // length of 0 and for the statuses that have no body (1xx, 204, 304). A chunk size line that
    // is not a hexadecimal number raises EIdHTTPChunkSizeInvalid.
    void ReadBody();

private:
    // Exactly count bytes; a close before the end raises EIdHTTPBodyIncomplete, with every byte
    // that did arrive written.
    void ReadCounted(TIdStream& stream, std::int64_t count);
    void ReadChunked(TIdStream& stream);
    // Adds a received line to a header block, within MaxHeaderBlock.
    static void CountLine(std::size_t& blockSize, const std::string& line);

    TIdCustomHTTP& client_;
    std::string responseText_;
    TIdHTTPProtocolVersion responseVersion_ = pv1_1;
    TIdStream* contentStream_ = nullptr;
};

}  // namespace w20

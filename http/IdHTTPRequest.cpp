#include "http/IdHTTPRequest.h"

#include "http/IdHTTP.h"

namespace w20 {

std::string MethodWord(TIdHTTPMethod method) {
    switch (method) {
        case hmHead:
            return "HEAD";
        case hmGet:
            return "GET";
        case hmPost:
            return "POST";
        case hmOptions:
            return "OPTIONS";
        case hmTrace:
            return "TRACE";
        case hmPut:
            return "PUT";
        case hmDelete:
            return "DELETE";
        case hmConnect:
            return "CONNECT";
    }
    return "GET";
}

void SendHead(TIdTCPConnection& connection, const std::string& startLine,
              const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (HoldsLineBreak(line))
            throw EIdUnsafeRequestText("Header line refused: it holds CR, LF or NUL.");
    }
    // Nothing leaves before the whole head is gathered, so it goes out in one send loop.
    connection.BeginBatch(-1);
    try {
        connection.WriteLine(startLine);
        for (const std::string& line : lines) {
            if (!line.empty())
                connection.WriteLine(line);
        }
        connection.WriteLine();
    } catch (...) {
        connection.DiscardBatch();
        connection.EndBatch();
        throw;
    }
    connection.EndBatch();
}

void TIdHTTPRequest::SendRequest() {
    // A line break in the target would end our request line early and let the rest pass for
    // header lines or a second request.
    if (HoldsLineBreak(url_))
        throw EIdUnsafeRequestText("Request target refused: it holds CR, LF or NUL.");
    SendHead(
        client_,
        MethodWord(method_) + " " + url_ + " HTTP/" + (client_.ProtocolVersion() == pv1_0 ? "1.0" : "1.1"),
        RawHeaders().Lines());
    if (source_ != nullptr)
        client_.WriteFromStream(*source_, true, 0, false);
}

}  // namespace w20

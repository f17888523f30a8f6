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

void TIdHTTPRequest::SendRequest() {
    // A line break in the target would end our request line early and let the rest pass for
    // header lines or a second request.
    if (HoldsLineBreak(url_))
        throw EIdUnsafeRequestText("Request target refused: it holds CR, LF or NUL.");
    for (const std::string& line : RawHeaders().Lines()) {
        if (HoldsLineBreak(line))
            throw EIdUnsafeRequestText("Header line refused: it holds CR, LF or NUL.");
    }
    // Nothing leaves before the whole head is gathered, so the request goes out in one send loop.
    client_.BeginBatch(-1);
    try {
        client_.WriteLine(MethodWord(method_) + " " + url_ + " HTTP/" +
                          (client_.ProtocolVersion() == pv1_0 ? "1.0" : "1.1"));
        for (const std::string& line : RawHeaders().Lines()) {
            if (!line.empty())
                client_.WriteLine(line);
        }
        client_.WriteLine();
    } catch (...) {
        client_.DiscardBatch();
        client_.EndBatch();
        throw;
    }
    client_.EndBatch();
    if (source_ != nullptr)
        client_.WriteFromStream(*source_, true, 0, false);
}

}  // namespace w20

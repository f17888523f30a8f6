#pragma once

#include <string>
#include <vector>

#include "http/IdHTTPTypes.h"
#include "http/IdRequestHeaderInfo.h"
#include "net/IdStream.h"
#include "net/IdTCPConnection.h"

namespace w20 {

class TIdCustomHTTP;

// The word that starts the request line.
std::string MethodWord(TIdHTTPMethod method);

// Writes a request head on the connection in one batch: the start line, the non-empty header lines
// and the blank line that ends the head. A header line holding CR, LF or NUL is refused before
// anything is written: it would end our head early and let the rest pass for another request.
void SendHead(TIdTCPConnection& connection, const std::string& startLine,
              const std::vector<std::string>& lines);

// One request of a client: its header fields, target, method and body, reused for every call.
class TIdHTTPRequest : public TIdRequestHeaderInfo {
public:
    explicit TIdHTTPRequest(TIdCustomHTTP& client) : client_(client) {}

    // Writes the request line and the non-empty lines of RawHeaders, then the blank line, on the
    // client's connection in one batch. A target holding CR, LF or NUL is refused before anything
    // is written. A body source follows the head.
    void SendRequest();

    // The request target (Path + Document + Params once the client has merged it).
    const std::string& URL() const { return url_; }
    void SetURL(const std::string& value) { url_ = value; }
    TIdHTTPMethod Method() const { return method_; }
    void SetMethod(TIdHTTPMethod value) { method_ = value; }
    // The body to send; only referenced, none for a GET.
    TIdStream* Source() const { return source_; }
    void SetSource(TIdStream* value) { source_ = value; }
    TIdHTTPConnectionType UseProxy() const { return useProxy_; }
    void SetUseProxy(TIdHTTPConnectionType value) { useProxy_ = value; }

private:
    TIdCustomHTTP& client_;
    std::string url_;
    TIdHTTPMethod method_ = hmGet;
    TIdStream* source_ = nullptr;
    TIdHTTPConnectionType useProxy_ = ctNormal;
};

}  // namespace w20

#pragma once

#include <string>

#include "http/IdEntityHeaderInfo.h"
#include "http/IdHeaderList.h"

namespace w20 {

// The header fields of a response.
class TIdResponseHeaderInfo : public TIdEntityHeaderInfo {
public:
    TIdResponseHeaderInfo() { ResetHeaders(); }

    // The entity reset, ContentType "text/html", and the response's own fields emptied.
    void ResetHeaders();
    // Fills the fields from RawHeaders: Location, Server, Proxy-Connection, Content-Range (whose
    // numbers raise EConvertError when they do not read), the authenticate lists, then the
    // entity fields.
    void ParseResponseHeaders();

    const std::string& Location() const { return location_; }
    void SetLocation(const std::string& value) { location_ = value; }
    const std::string& Server() const { return server_; }
    void SetServer(const std::string& value) { server_ = value; }
    const std::string& ProxyConnection() const { return proxyConnection_; }
    void SetProxyConnection(const std::string& value) { proxyConnection_ = value; }
    // Every "WWW-Authenticate" (and "Proxy-Authenticate") value, one per line.
    TIdHeaderList& WWWAuthenticate() { return wwwAuthenticate_; }
    TIdHeaderList& ProxyAuthenticate() { return proxyAuthenticate_; }

private:
    std::string location_;
    std::string server_;
    std::string proxyConnection_;
    TIdHeaderList wwwAuthenticate_;
    TIdHeaderList proxyAuthenticate_;
};

}  // namespace w20

#pragma once

#include <memory>
#include <string>

#include "http/IdAuthentication.h"
#include "http/IdEntityHeaderInfo.h"

namespace w20 {

// The header fields of a request and the rule that turns them into header lines.
class TIdRequestHeaderInfo : public TIdEntityHeaderInfo {
public:
    TIdRequestHeaderInfo() { ResetHeaders(); }

    // Accept and UserAgent back to their defaults, AcceptCharSet and BasicAuthentication
    // cleared, then the entity reset. The other request fields stay.
    void ResetHeaders();
    // Rebuilds RawHeaders from the fields in the fixed order: entity headers, custom headers,
    // request headers, If-Modified-Since, Range, Authorization. A header a custom line already
    // names is replaced where it stands. Text holding CR, LF or NUL raises
    // EIdUnsafeRequestText.
    void BuildRequestHeaders();

    const std::string& Accept() const { return accept_; }
    void SetAccept(const std::string& value) { accept_ = value; }
    const std::string& AcceptCharSet() const { return acceptCharSet_; }
    void SetAcceptCharSet(const std::string& value) { acceptCharSet_ = value; }
    const std::string& AcceptEncoding() const { return acceptEncoding_; }
    void SetAcceptEncoding(const std::string& value) { acceptEncoding_ = value; }
    const std::string& AcceptLanguage() const { return acceptLanguage_; }
    void SetAcceptLanguage(const std::string& value) { acceptLanguage_ = value; }
    bool BasicAuthentication() const { return basicAuthentication_; }
    void SetBasicAuthentication(bool value) { basicAuthentication_ = value; }
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& value) { host_ = value; }
    const std::string& From() const { return from_; }
    void SetFrom(const std::string& value) { from_ = value; }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& value) { password_ = value; }
    const std::string& Referer() const { return referer_; }
    void SetReferer(const std::string& value) { referer_ = value; }
    const std::string& UserAgent() const { return userAgent_; }
    void SetUserAgent(const std::string& value) { userAgent_ = value; }
    const std::string& Username() const { return username_; }
    void SetUsername(const std::string& value) { username_ = value; }
    const std::string& ProxyConnection() const { return proxyConnection_; }
    void SetProxyConnection(const std::string& value) { proxyConnection_ = value; }

    // The request owns its authentication object once it is set; none by default.
    TIdAuthentication* Authentication() const { return authentication_.get(); }
    void SetAuthentication(std::unique_ptr<TIdAuthentication> value) { authentication_ = std::move(value); }

private:
    std::string accept_;
    std::string acceptCharSet_;
    std::string acceptEncoding_;
    std::string acceptLanguage_;
    bool basicAuthentication_ = false;
    std::string host_;
    std::string from_;
    std::string password_;
    std::string referer_;
    std::string userAgent_;
    std::string username_;
    std::string proxyConnection_;
    std::unique_ptr<TIdAuthentication> authentication_;
};

}  // namespace w20

#pragma once

#include <memory>
#include <string>

#include "http/IdAuthentication.h"
#include "http/IdHeaderList.h"

namespace w20 {

// Proxy settings of a client. With an empty ProxyServer they add nothing to a request.
class TIdProxyConnectionInfo {
public:
    // Writes "Proxy-Authorization" when a proxy is set and there are credentials: the
    // authentication object's value, or, with BasicAuthentication, a Basic object made from
    // ProxyUsername and ProxyPassword and kept.
    void SetHeaders(TIdHeaderList& headers);

    const std::string& ProxyServer() const { return proxyServer_; }
    void SetProxyServer(const std::string& value) { proxyServer_ = value; }
    int ProxyPort() const { return proxyPort_; }
    void SetProxyPort(int value) { proxyPort_ = value; }
    const std::string& ProxyUsername() const { return proxyUsername_; }
    void SetProxyUsername(const std::string& value) { proxyUsername_ = value; }
    const std::string& ProxyPassword() const { return proxyPassword_; }
    void SetProxyPassword(const std::string& value) { proxyPassword_ = value; }
    bool BasicAuthentication() const { return basicAuthentication_; }
    void SetBasicAuthentication(bool value) { basicAuthentication_ = value; }

    // Owned once set; none by default.
    TIdAuthentication* Authentication() const { return authentication_.get(); }
    void SetAuthentication(std::unique_ptr<TIdAuthentication> value) { authentication_ = std::move(value); }

private:
    std::string proxyServer_;
    int proxyPort_ = 0;
    std::string proxyUsername_;
    std::string proxyPassword_;
    bool basicAuthentication_ = false;
    std::unique_ptr<TIdAuthentication> authentication_;
};

}  // namespace w20

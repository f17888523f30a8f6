#include "http/IdProxyConnectionInfo.h"

#include "http/IdBasicAuthentication.h"

namespace w20 {

void TIdProxyConnectionInfo::SetHeaders(TIdHeaderList& headers) {
    if (proxyServer_.empty())
        return;
    if (!authentication_ && basicAuthentication_) {
        authentication_ = std::make_unique<TIdBasicAuthentication>();
        authentication_->SetUsername(proxyUsername_);
        authentication_->SetPassword(proxyPassword_);
    }
    if (!authentication_)
        return;
    const std::string value = authentication_->HeaderValue();
    if (!value.empty())
        headers.SetValues("Proxy-Authorization", value);
}

}  // namespace w20

#pragma once

#include <functional>
#include <memory>
#include <string>

#include "http/IdCookie.h"
#include "http/IdCookies.h"
#include "http/IdHeaderList.h"
#include "http/IdURI.h"
#include "net/IdComponent.h"

namespace w20 {

// The cookie store's front: takes "Set-cookie" and "Set-cookie2" values from responses and
// gives the "Cookie" value for requests. Cookies live in memory only. A component base, so that a
// client that refers to a store is told when it is destroyed.
class TIdCookieManager : public TIdBaseComponent {
public:
    // Bounds that keep a hostile server from flooding the store and every later request: the
    // values taken from one response, and the cookies and bytes of one "Cookie" value. What lies
    // past them is dropped as silently as any refused cookie.
    static constexpr int MaxCookiesPerResponse = 50;
    static constexpr int MaxCookiesPerRequest = 150;
    static constexpr std::size_t MaxCookieHeader = 8 * 1024;

    using TCookieCollectionEvent = std::function<void(TIdCookieManager* sender, TIdCookies& cookies)>;
    using TNewCookieEvent =
        std::function<void(TIdCookieManager* sender, TIdCookieRFC2109* cookie, bool& accept)>;

    // OnCreate is fired at the end of construction, so it is handed in here.
    explicit TIdCookieManager(TCookieCollectionEvent onCreate = nullptr);
    // Sweeps expired cookies, fires OnDestroy, then frees every cookie.
    ~TIdCookieManager() override;
    TIdCookieManager(const TIdCookieManager&) = delete;
    TIdCookieManager& operator=(const TIdCookieManager&) = delete;

    // One header value received from `host`, the host of the request's current URI. A cookie
    // that fails the domain check, or whose name or value holds CR, LF or NUL, leaves the store
    // as it was. A non-numeric "Port" entry of a "Set-cookie2" value raises EConvertError.
    void AddSetCookie(const std::string& value, const std::string& host);
    void AddSetCookie2(const std::string& value, const std::string& host);
    // The cookies of one response's headers: the "Set-cookie" values in order, then the
    // "Set-cookie2" values, the first MaxCookiesPerResponse of them.
    void AddResponseCookies(const TIdHeaderList& headers, const std::string& host);

    // The "Cookie" value for a request to `uri` (its Host and Path); empty when nothing applies.
    // Longer paths first, equal paths in the order found; at most MaxCookiesPerRequest cookies and
    // MaxCookieHeader bytes, a cookie that would not fit being left out.
    std::string BuildCookieHeader(const TIdURI& uri, bool secure);
    void RemoveExpired();

    TIdCookies& CookieCollection() { return *cookies_; }

    TCookieCollectionEvent OnCreate;
    TCookieCollectionEvent OnDestroy;
    TNewCookieEvent OnNewCookie;

private:
    void Admit(std::unique_ptr<TIdCookieRFC2109> cookie, const std::string& value, const std::string& host);

    std::unique_ptr<TIdCookies> cookies_;
};

}  // namespace w20

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "http/IdAuthentication.h"
#include "http/IdCookieManager.h"
#include "http/IdHTTPRequest.h"
#include "http/IdHTTPResponse.h"
#include "http/IdHTTPTypes.h"
#include "http/IdProxyConnectionInfo.h"
#include "http/IdURI.h"
#include "http/ProxyLookup.h"
#include "net/IdTCPClient.h"

namespace w20 {

class TIdSSLIOHandlerSocket;

// What the request cycle does after a response.
enum TIdHTTPNextStep {
    nsFollow,                // send the request again to the new target
    nsDone,                  // the exchange is over
    nsUndefined,             // a success without a connection to read its body from
    nsRetryWithCredentials,  // the same URL again, now with credentials
};

// Where the connection of a request goes. Plain http through a proxy goes to the proxy, which
// forwards it; https through a proxy goes through a tunnel the proxy opens to the server (ctSSLProxy);
// without a proxy, straight to the server (ctNormal, ctSSL). A kept-alive connection carries a
// request only when its route is the same.
struct TIdHTTPRoute {
    TIdHTTPConnectionType type = ctNormal;
    // The peer of the TCP connection: the server, or the proxy.
    std::string host;
    std::int32_t port = 0;
    // The server at the tunnel's end; empty without a tunnel.
    std::string tunnelHost;
    std::int32_t tunnelPort = 0;

    // Host names compare without regard to case.
    bool operator==(const TIdHTTPRoute& other) const;
};

// The HTTP client: GET over a TCP connection that is kept open between calls while the server
// allows it, with redirects, cookies, Basic authentication and error statuses as exceptions.
//
// The current URI carries over from call to call: a URL without "://" goes to its host and
// port, and its path is merged with the current path.
class TIdCustomHTTP : public TIdTCPClient {
public:
    // The host of a URL without "://" before any call has set one.
    static constexpr const char* PresetHost = "localhost";

    using RedirectEvent = std::function<void(TIdCustomHTTP& sender, std::string& dest, int numRedirect,
                                             bool& handled, TIdHTTPMethod& method)>;
    using SelectAuthorizationEvent = std::function<void(
        TIdCustomHTTP& sender, TIdAuthenticationClass& authClass, const TIdHeaderList& authInfo)>;
    using AuthorizationEvent =
        std::function<void(TIdCustomHTTP& sender, TIdAuthentication& authentication, bool& handled)>;
    using SelectProxyEvent = std::function<TIdProxyLookup(TIdCustomHTTP& sender, const std::string& url)>;

    TIdCustomHTTP();
    ~TIdCustomHTTP() override;

    // The body of a GET, byte for byte, chunk framing removed. Any failure raises.
    std::string Get(const std::string& url);
    // The same exchange, writing the body into the stream at its position.
    void Get(const std::string& url, TIdStream& destination);

    // Both also set the current URI's component (the port as decimal text).
    void SetHost(const std::string& value) override;
    void SetPort(std::int32_t value) override;

    // Create a cookie store on the first response when none is attached.
    bool AllowCookies() const { return allowCookies_; }
    void SetAllowCookies(bool value) { allowCookies_ = value; }
    bool HandleRedirects() const { return handleRedirects_; }
    void SetHandleRedirects(bool value) { handleRedirects_ = value; }
    // Requests per call up to which redirects are followed.
    int RedirectMaximum() const { return redirectMaximum_; }
    void SetRedirectMaximum(int value) { redirectMaximum_ = value; }
    int AuthRetries() const { return authRetries_; }
    void SetAuthRetries(int value) { authRetries_ = value; }
    // The version of the request line; it also decides the keep-alive rule.
    TIdHTTPProtocolVersion ProtocolVersion() const { return protocolVersion_; }
    void SetProtocolVersion(TIdHTTPProtocolVersion value) { protocolVersion_ = value; }
    const TIdHTTPOptions& HTTPOptions() const { return httpOptions_; }
    void SetHTTPOptions(const TIdHTTPOptions& value) { httpOptions_ = value; }
    // Handed to Connect: 0 waits as long as the platform's connect does (within RequestTimeout).
    std::int32_t ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(std::int32_t value) { connectTimeout_ = value; }
    // Limit in ms on a whole call, redirects, interim answers and error bodies included; running
    // out raises EIdHTTPRequestTimeout. 0: no limit.
    std::int32_t RequestTimeout() const { return requestTimeout_; }
    void SetRequestTimeout(std::int32_t value) { requestTimeout_ = value; }
    // A kept-alive connection idle for longer than this many ms is not used again; 0: no limit.
    std::int32_t ReuseIdleLimit() const { return reuseIdleLimit_; }
    void SetReuseIdleLimit(std::int32_t value) { reuseIdleLimit_ = value; }

    // With a ProxyServer, plain http goes to the proxy with the whole URL as its target and https
    // through a CONNECT tunnel; "Proxy-Authorization" goes to the proxy only, never to a server.
    TIdProxyConnectionInfo& ProxyParams() { return proxyParams_; }
    // The route of the open (or last) connection.
    const TIdHTTPRoute& Route() const { return route_; }
    TIdHTTPRequest& Request() { return request_; }
    TIdHTTPResponse& Response() { return response_; }
    // The current URI: the target of the last request.
    TIdURI& URL() { return uri_; }
    // Requests sent in the current call.
    int RedirectCount() const { return redirectCount_; }
    std::int32_t ResponseCode() const { return response_.ResponseCode(); }
    const std::string& ResponseText() const { return response_.ResponseText(); }

    // A store handed in is only referenced, and forgotten when it is destroyed; one the client
    // created itself is freed when another is attached or the client goes.
    TIdCookieManager* CookieManager() const { return cookieManager_; }
    void SetCookieManager(TIdCookieManager* value);

    RedirectEvent OnRedirect;
    SelectAuthorizationEvent OnSelectAuthorization;
    SelectAuthorizationEvent OnSelectProxyAuthorization;
    AuthorizationEvent OnAuthorization;
    AuthorizationEvent OnProxyAuthorization;
    // Called before each request, redirects included, with its URL (scheme, host, port, target):
    // the lookup of the proxy for it. The client waits for the answer as a step of the connect and
    // sets ProxyParams to it; without the event they stay as they are.
    SelectProxyEvent OnSelectProxy;

    // Also lets go of a finished authentication object and resets the proxy's.
    void DoOnDisconnected() override;

protected:
    void Notification(TIdBaseComponent& destroyed) override;
    [[noreturn]] void RaiseDeadlinePassed() override;

    // One request cycle: the request, redirects and credential retries, the body into the
    // destination (none: the body is not kept).
    void DoRequest(TIdHTTPMethod method, const std::string& url, TIdStream* source, TIdStream* destination);
    // Merges the request's URL into the current URI and fills the request's target and Host.
    void PrepareTarget();
    // Points the connection at the route of the current URI's scheme, host and port and the proxy
    // for it: https needs a TLS handler attached (EIdIOHandlerPropInvalid without one), which carries
    // plain http through as well. The proxy's lookup is the connect's first step, which started
    // then.
    void SelectRoute(TIdClock::time_point started);
    // Connects unless a kept-alive connection to the route can be used again; true when one is.
    // A tunnel is opened as part of the connect.
    bool ConnectWhenNeeded();
    // Asks the proxy for the tunnel to the route's server, answering a 407 through the proxy's
    // authorization step, then runs the TLS handshake with the server within what is left of the
    // connect limit (counted from started). Any failure closes the connection; an answer other
    // than 2xx raises EIdHTTPProxyRefused.
    void OpenTunnel(TIdClock::time_point started);
    // Builds the request's headers and sends it.
    void SendRequest();
    // Sends the request and reads the status line of its answer, once more on a new connection
    // when a reused one turns out to be dropped before any byte of the answer.
    void SendAndReadStatus();
    // The headers after the status line, interim 100 responses skipped, cookies taken after each
    // block.
    void ReadResponse();
    TIdHTTPNextStep DecideNext();

private:
    // What is left of the connect limit counted from started, as Connect takes it (0 or less: no
    // limit, returned as it is); EIdConnectTimeout once it is spent.
    std::int32_t ConnectTimeLeft(TIdClock::time_point started) const;
    // Waits until finished gives true for a step's length, in steps with OnIdle called between them,
    // within the connect limit counted from started and the deadline.
    void WaitWithinConnectLimit(TIdClock::time_point started,
                                const std::function<bool(std::int32_t step)>& finished);
    // True when the current URI is at the origin (scheme, host, port) the request's credentials
    // were given for: by the URL's user part, by the authorization step, or, for credentials set on
    // the request, the first request that carries them.
    bool CredentialsApply() const;
    // The attached TLS handler; none when the handler is a plain one.
    const TIdSSLIOHandlerSocket* TlsHandler() const;
    // True when the open connection speaks TLS.
    bool SecureConnection();
    // The CONNECT request for "host:port", with the proxy's credentials when there are any.
    void SendConnect(const std::string& authority);
    // Bytes the TLS handler has received so far, whole records or not; 0 without one.
    std::uint64_t TlsBytesReceived() const;
    // True when TLS bytes have come since the count `since`, other than the peer's TLS close.
    bool TlsAnswerBegun(std::uint64_t since) const;
    // A failure that a connection dropped while it lay idle gives to the next request on it.
    static bool DroppedConnection(const Exception& failure);
    void ProcessCookies();
    // Reads the body and raises EIdHTTPProtocolException with it.
    [[noreturn]] void RaiseProtocolError();
    // Reads a body that nobody wants, with a short limit; failures are ignored.
    void DropBody();
    // The authorization step for a 401 (or, for a proxy, 407): true to send the request again.
    bool Authorize(bool proxy);
    TIdHTTPNextStep Redirect();

    TIdURI uri_;
    TIdHTTPRequest request_;
    TIdHTTPResponse response_;
    TIdProxyConnectionInfo proxyParams_;
    TIdHTTPRoute route_;
    TIdCookieManager* cookieManager_ = nullptr;
    std::unique_ptr<TIdCookieManager> ownedCookieManager_;
    bool allowCookies_ = true;
    bool handleRedirects_ = false;
    int redirectMaximum_ = 15;
    int authRetries_ = 3;
    TIdHTTPProtocolVersion protocolVersion_ = pv1_1;
    TIdHTTPOptions httpOptions_{hoForceEncodeParams};
    std::int32_t connectTimeout_ = 0;
    std::int32_t requestTimeout_ = 0;
    // Servers and the routers between drop idle connections after their own time: a minute is
    // common for load balancers and proxies, and some drop them silently, which would cost the
    // read limit before a new connection is tried. Half a minute stays clear of both, and still
    // lets the requests that follow one another closely share a connection.
    std::int32_t reuseIdleLimit_ = 30000;
    std::optional<TIdClock::time_point> idleSince_;
    // The origin of the request's credentials, as Origin gives it.
    std::string credentialsOrigin_;
    int redirectCount_ = 0;
    // A request has been sent and its response is not read to the end: the connection cannot
    // carry another exchange.
    bool exchangeOpen_ = false;
};

class TIdHTTP : public TIdCustomHTTP {};

}  // namespace w20

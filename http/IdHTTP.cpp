#include "http/IdHTTP.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/Convert.h"
#include "base/Strings.h"
#include "http/IdHTTPExceptions.h"
#include "http/ProxySettings.h"
#include "net/IdBuffer.h"
#include "net/IdExceptions.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "net/IdSteppedWait.h"
#include "net/IdStream.h"

namespace w20 {
namespace {

// Unwanted bodies (redirects, credential retries) and error bodies are read with short limits, so
// that a server which neither sends a length nor closes costs at most that long.
constexpr std::int32_t DropBodyTimeout = 4000;
constexpr std::int32_t ErrorBodyTimeout = 2000;

// Sets a read limit for the life of the object.
class ScopedReadTimeout {
public:
    ScopedReadTimeout(TIdTCPConnection& connection, std::int32_t timeout)
        : connection_(connection), saved_(connection.ReadTimeout()) {
        connection_.SetReadTimeout(timeout);
    }
    ~ScopedReadTimeout() { connection_.SetReadTimeout(saved_); }
    ScopedReadTimeout(const ScopedReadTimeout&) = delete;
    ScopedReadTimeout& operator=(const ScopedReadTimeout&) = delete;

private:
    TIdTCPConnection& connection_;
    std::int32_t saved_;
};

// Points the response at another stream for the life of the object.
class ScopedContentStream {
public:
    ScopedContentStream(TIdHTTPResponse& response, TIdStream* stream)
        : response_(response), saved_(response.ContentStream()) {
        response_.SetContentStream(stream);
    }
    ~ScopedContentStream() { response_.SetContentStream(saved_); }
    ScopedContentStream(const ScopedContentStream&) = delete;
    ScopedContentStream& operator=(const ScopedContentStream&) = delete;

private:
    TIdHTTPResponse& response_;
    TIdStream* saved_;
};

// Methods whose request, sent twice, does what it does once.
bool Repeatable(TIdHTTPMethod method) {
    return method != hmPost && method != hmConnect;
}

}  // namespace

bool TIdHTTPRoute::operator==(const TIdHTTPRoute& other) const {
    return type == other.type && SameText(host, other.host) && port == other.port &&
           SameText(tunnelHost, other.tunnelHost) && tunnelPort == other.tunnelPort;
}

TIdCustomHTTP::TIdCustomHTTP() : request_(*this), response_(*this) {
    SetHost(PresetHost);
    SetPort(80);
}

TIdCustomHTTP::~TIdCustomHTTP() {
    // Unlinked first, so that freeing an owned store does not call back into a client half gone.
    SetCookieManager(nullptr);
}

void TIdCustomHTTP::SetHost(const std::string& value) {
    TIdTCPClient::SetHost(value);
    uri_.SetHost(value);
}

void TIdCustomHTTP::SetPort(std::int32_t value) {
    TIdTCPClient::SetPort(value);
    uri_.SetPort(IntToStr(value));
}

void TIdCustomHTTP::SetCookieManager(TIdCookieManager* value) {
    if (value == cookieManager_)
        return;
    if (cookieManager_ != nullptr)
        RemoveFreeNotification(*cookieManager_);
    ownedCookieManager_.reset();
    cookieManager_ = value;
    if (cookieManager_ != nullptr)
        FreeNotification(*cookieManager_);
}

void TIdCustomHTTP::Notification(TIdBaseComponent& destroyed) {
    if (&destroyed == cookieManager_)
        cookieManager_ = nullptr;
    TIdTCPClient::Notification(destroyed);
}

void TIdCustomHTTP::RaiseDeadlinePassed() {
    throw EIdHTTPRequestTimeout(requestTimeout_);
}

void TIdCustomHTTP::DoOnDisconnected() {
    // An authentication object whose steps are all done has served its purpose; Basic never
    // gets there, so it stays for the client's life.
    const TIdAuthentication* authentication = request_.Authentication();
    if (authentication != nullptr && authentication->CurrentStep() == authentication->Steps())
        request_.SetAuthentication(nullptr);
    if (proxyParams_.Authentication() != nullptr)
        proxyParams_.Authentication()->Reset();
    TIdTCPClient::DoOnDisconnected();
}

std::string TIdCustomHTTP::Get(const std::string& url) {
    // The body is received straight into the text that is returned.
    TIdStringStream body;
    DoRequest(hmGet, url, nullptr, &body);
    return body.TakeText();
}

void TIdCustomHTTP::Get(const std::string& url, TIdStream& destination) {
    DoRequest(hmGet, url, nullptr, &destination);
}

void TIdCustomHTTP::DoRequest(TIdHTTPMethod method, const std::string& url, TIdStream* source,
                              TIdStream* destination) {
    const std::size_t start = destination != nullptr ? destination->Position() : 0;
    request_.SetURL(url);
    request_.SetMethod(method);
    request_.SetSource(source);
    response_.SetContentStream(destination);
    redirectCount_ = 0;
    if (requestTimeout_ > 0)
        SetDeadline(TIdClock::now() + std::chrono::milliseconds(requestTimeout_));
    // Whatever the outcome, a connection the server will not keep, or one whose response was
    // not read to its end, is closed; the stream is the caller's and is not kept.
    const auto finish = [this] {
        SetDeadline(std::nullopt);
        if (!response_.KeepAlive() || exchangeOpen_)
            Disconnect();
        exchangeOpen_ = false;
        idleSince_ = TIdClock::now();
        redirectCount_ = 0;
        response_.SetContentStream(nullptr);
    };
    try {
        for (bool more = true; more;) {
            ++redirectCount_;
            PrepareTarget();
            SendAndReadStatus();
            ReadResponse();
            switch (DecideNext()) {
                case nsFollow:
                    // What this pass wrote is not part of the answer.
                    if (destination != nullptr) {
                        destination->SetPosition(start);
                        destination->SetSize(start);
                    }
                    break;
                case nsDone:
                    more = false;
                    break;
                case nsUndefined:
                    throw EIdException("Undefined situation");
                case nsRetryWithCredentials:
                    --redirectCount_;
                    request_.SetURL(url);
                    break;
            }
        }
    } catch (...) {
        try {
            finish();
        } catch (const Exception&) {
            // The failure that ended the cycle is the one to report.
        }
        throw;
    }
    finish();
}

void TIdCustomHTTP::PrepareTarget() {
    // A Location (or a URL) names its target relative to where the request came from: "/next" from
    // an https service stays on https at the same host and port.
    const TIdURI target(uri_.ResolveReference(request_.URL()));
    if (target.Host().empty())
        throw EIdURIException("Host field is empty");
    uri_.SetProtocol(target.Protocol().empty() ? std::string("http") : target.Protocol());
    uri_.SetHost(target.Host());
    uri_.SetPath(target.Path());
    uri_.SetDocument(target.Document());
    uri_.SetParams(target.Params());
    if (!target.Port().empty()) {
        uri_.SetPort(target.Port());
    } else if (SameText(uri_.Protocol(), "http")) {
        uri_.SetPort("80");
    } else if (SameText(uri_.Protocol(), "https")) {
        uri_.SetPort("443");
    } else if (uri_.Port().empty()) {
        throw EIdUnknownProtocol();
    }
    if (!target.Username().empty()) {
        request_.SetUsername(target.Username());
        request_.SetPassword(target.Password());
        credentialsOrigin_ = Origin(uri_);
    } else if (credentialsOrigin_.empty() &&
               (!request_.Username().empty() || request_.Authentication() != nullptr)) {
        credentialsOrigin_ = Origin(uri_);
    }
    const bool credentials = CredentialsApply();
    uri_.SetUsername(credentials ? request_.Username() : std::string());
    uri_.SetPassword(credentials ? request_.Password() : std::string());
    request_.SetURL(uri_.Path() + uri_.Document() + uri_.Params());

    const TIdHTTPMethod method = request_.Method();
    if ((method == hmOptions || method == hmTrace || method == hmPut || method == hmDelete) &&
        protocolVersion_ != pv1_1) {
        throw EIdException("This request method is supported in HTTP 1.1");
    }
    const bool withBody = (method == hmPost || method == hmPut) && request_.Source() != nullptr;
    request_.SetContentLength(withBody ? static_cast<std::int64_t>(request_.Source()->Size()) : -1);
    // The scheme's own port goes without saying.
    const std::string defaultPort = SameText(uri_.Protocol(), "https") ? "443" : "80";
    request_.SetHost(HostPort(uri_.Host(), uri_.Port() == defaultPort ? std::string() : uri_.Port()));

    // A URL from a file or a Location header may hold a bare CR or LF; sent, it would split the
    // request on the wire. Refused here, before a connection is even chosen.
    if (HoldsLineBreak(request_.URL()))
        throw EIdUnsafeRequestText("Request target refused: it holds CR, LF or NUL.");
    if (HoldsLineBreak(request_.Host()))
        throw EIdUnsafeRequestText("Header \"Host\" refused: it holds CR, LF or NUL.");
}

void TIdCustomHTTP::SelectRoute(TIdClock::time_point started) {
    // Redirects may change the scheme or the host, and with them the proxy.
    if (OnSelectProxy) {
        const TIdProxyLookup lookup = OnSelectProxy(*this, uri_.URI());
        WaitWithinConnectLimit(started, [&lookup](std::int32_t step) {
            return lookup.WaitFinished(std::chrono::milliseconds(step));
        });
        ApplyProxy(proxyParams_, lookup.Proxy());
    }
    const std::int32_t port = StrToInt(uri_.Port());
    const bool secure = SameText(uri_.Protocol(), "HTTPS");
    auto* const tls = dynamic_cast<TIdSSLIOHandlerSocket*>(IOHandler());
    if (secure && tls == nullptr)
        throw EIdIOHandlerPropInvalid();
    TIdHTTPRoute route;
    if (proxyParams_.ProxyServer().empty()) {
        route.type = secure ? ctSSL : ctNormal;
        route.host = uri_.Host();
        route.port = port;
    } else {
        route.type = secure ? ctSSLProxy : ctProxy;
        route.host = proxyParams_.ProxyServer();
        route.port = proxyParams_.ProxyPort();
        if (secure) {
            route.tunnelHost = uri_.Host();
            route.tunnelPort = port;
        }
    }
    // A kept-alive connection serves only the route it was opened for: a plain connection to a
    // proxy never carries a request meant for a tunnel, nor the other way round.
    TIdHTTPRoute current = route_;
    current.host = Host();
    current.port = Port();
    if (!(route == current) && Connected())
        Disconnect();
    route_ = route;
    TIdTCPClient::SetHost(route.host);
    TIdTCPClient::SetPort(route.port);
    // A tunnel starts plain: TLS begins once the proxy has opened it.
    if (tls != nullptr)
        tls->SetPassThrough(route.type != ctSSL);
    request_.SetUseProxy(route.type);
}

bool TIdCustomHTTP::ConnectWhenNeeded() {
    const TIdClock::time_point started = TIdClock::now();
    SelectRoute(started);
    if (request_.UseProxy() != ctProxy && protocolVersion_ == pv1_0 && request_.Connection().empty())
        request_.SetConnection("keep-alive");
    if (!response_.KeepAlive() || exchangeOpen_)
        Disconnect();
    exchangeOpen_ = false;
    if (Connected() && idleSince_ && reuseIdleLimit_ > 0 &&
        TIdClock::now() - *idleSince_ > std::chrono::milliseconds(reuseIdleLimit_)) {
        Disconnect();
    }
    try {
        PollClosed(false);
    } catch (const EIdSocketError&) {
        // Reset while it lay idle: nothing of this request has gone out, so a new connection
        // takes it.
        Disconnect();
    }
    // Bytes that arrived while the connection lay idle answer no request of ours; read as the
    // next response, they would put every later answer out of step.
    if (Connected() && InputQueue().Size() > 0)
        Disconnect();
    if (Connected())
        return true;
    Connect(ConnectTimeLeft(started));
    if (route_.type == ctSSLProxy)
        OpenTunnel(started);
    return false;
}

void TIdCustomHTTP::OpenTunnel(TIdClock::time_point started) {
    const std::string proxy = HostPort(route_.host, IntToStr(route_.port));
    const std::string authority = HostPort(route_.tunnelHost, IntToStr(route_.tunnelPort));
    try {
        for (int attempt = 0;; ++attempt) {
            exchangeOpen_ = true;
            SendConnect(authority);
            // The proxy's own answer: its cookies are not the server's, and a redirect from it
            // leads nowhere the user asked to go.
            response_.SetResponseText(ReadLine());
            response_.ReadHeaders();
            const std::int32_t code = response_.ResponseCode();
            if (code / 100 == 2) {
                // The server speaks first only after our TLS hello: bytes already here are the
                // proxy's, and read as TLS they would be taken for the server's.
                if (InputQueue().Size() > 0)
                    throw EIdHTTPProxyRefused(proxy, response_.ResponseText(), true);
                if (!Connected())
                    throw EIdConnClosedGracefully();
                exchangeOpen_ = false;
                break;
            }
            if (code != 407 || attempt >= authRetries_ || !Authorize(true))
                throw EIdHTTPProxyRefused(proxy, response_.ResponseText());
            DropBody();
            if (!response_.KeepAlive() || exchangeOpen_) {
                Disconnect();
                started = TIdClock::now();
                Connect(connectTimeout_);
            }
        }
        // The handshake has what the connect limit leaves, and the deadline's limit on top.
        std::int32_t limit = connectTimeout_ > 0 ? ConnectTimeLeft(started) : TimeoutInfinite;
        bool bounded = false;
        limit = WithinDeadline(limit, bounded);
        try {
            dynamic_cast<TIdSSLIOHandlerSocket&>(*IOHandler()).StartTls(route_.tunnelHost, limit);
        } catch (const EIdConnectTimeout&) {
            if (bounded)
                RaiseDeadlinePassed();
            throw;
        }
    } catch (...) {
        // Half a tunnel is no route to anywhere.
        try {
            Disconnect();
        } catch (const Exception&) {
            // The failure of the tunnel is the one to report.
        }
        throw;
    }
}

std::int32_t TIdCustomHTTP::ConnectTimeLeft(TIdClock::time_point started) const {
    if (connectTimeout_ <= 0)
        return connectTimeout_;
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(TIdClock::now() - started).count();
    if (spent >= connectTimeout_)
        throw EIdConnectTimeout();
    return connectTimeout_ - static_cast<std::int32_t>(spent);
}

void TIdCustomHTTP::WaitWithinConnectLimit(TIdClock::time_point started,
                                           const std::function<bool(std::int32_t step)>& finished) {
    const std::int32_t left = ConnectTimeLeft(started);
    bool bounded = false;
    const TIdSteppedWait wait(WithinDeadline(left > 0 ? left : TimeoutInfinite, bounded),
                              TIdIOHandlerSocket::IdleStep);
    if (WaitInSteps(wait, finished, OnIdle))
        return;
    if (bounded)
        RaiseDeadlinePassed();
    throw EIdConnectTimeout();
}

void TIdCustomHTTP::SendConnect(const std::string& authority) {
    std::vector<std::string> lines = {"Host: " + authority};
    if (!request_.UserAgent().empty())
        lines.push_back("User-Agent: " + request_.UserAgent());
    TIdHeaderList credentials;
    proxyParams_.SetHeaders(credentials);
    for (const std::string& line : credentials.Lines())
        lines.push_back(line);
    SendHead(*this, "CONNECT " + authority + " HTTP/1.1", lines);
}

void TIdCustomHTTP::SendRequest() {
    request_.BuildRequestHeaders();
    // Credentials are for the origin they were given for: another host, port or scheme (https
    // to http above all) never sees them.
    if (!CredentialsApply())
        request_.RawHeaders().SetValues("Authorization", "");
    // The proxy's credentials are for the proxy: a server, or a tunnel through the proxy, never
    // sees them.
    if (route_.type == ctProxy)
        proxyParams_.SetHeaders(request_.RawHeaders());
    if (cookieManager_ != nullptr) {
        // Cookies marked secure go only over TLS.
        const std::string cookie = cookieManager_->BuildCookieHeader(uri_, SecureConnection());
        if (!cookie.empty())
            request_.RawHeaders().SetValues("Cookie", cookie);
    }
    exchangeOpen_ = true;
    // A proxy needs the whole URL to know where to forward the request; the Host line stays the
    // server's.
    const std::string target = request_.URL();
    if (route_.type == ctProxy)
        request_.SetURL("http://" + HostPort(uri_.Host(), uri_.Port()) + target);
    try {
        request_.SendRequest();
    } catch (...) {
        request_.SetURL(target);
        throw;
    }
    request_.SetURL(target);
}

bool TIdCustomHTTP::CredentialsApply() const {
    return credentialsOrigin_ == Origin(uri_);
}

const TIdSSLIOHandlerSocket* TIdCustomHTTP::TlsHandler() const {
    return dynamic_cast<const TIdSSLIOHandlerSocket*>(IOHandler());
}

bool TIdCustomHTTP::SecureConnection() {
    const TIdSSLIOHandlerSocket* const tls = TlsHandler();
    return tls != nullptr && tls->Secure();
}

void TIdCustomHTTP::SendAndReadStatus() {
    const auto exchange = [this] {
        SendRequest();
        response_.SetResponseText(ReadLine());
    };
    const bool reused = ConnectWhenNeeded();
    const std::uint64_t received = TlsBytesReceived();
    try {
        exchange();
    } catch (const Exception& failure) {
        // A kept-alive connection that the server or a router between dropped while it lay idle
        // fails the request before the first byte of the answer, where a new connection would
        // serve it: the request goes once more on a new one. Never after part of an answer came
        // (a TLS record begun counts), since the server may then have acted on the request, and
        // never a request that may not be repeated.
        if (!reused || !Repeatable(request_.Method()) || InputQueue().Size() > 0 ||
            TlsAnswerBegun(received) || !DroppedConnection(failure))
            throw;
        Disconnect();
        ConnectWhenNeeded();
        exchange();
    }
}

std::uint64_t TIdCustomHTTP::TlsBytesReceived() const {
    const TIdSSLIOHandlerSocket* const tls = TlsHandler();
    return tls != nullptr ? tls->ReceivedBytes() : 0;
}

bool TIdCustomHTTP::TlsAnswerBegun(std::uint64_t since) const {
    // The peer's TLS close alone answers nothing: the server closed without taking the request up.
    const TIdSSLIOHandlerSocket* const tls = TlsHandler();
    return tls != nullptr && tls->ReceivedBytes() != since && !tls->ClosedByPeer();
}

bool TIdCustomHTTP::DroppedConnection(const Exception& failure) {
    return dynamic_cast<const EIdConnClosedGracefully*>(&failure) != nullptr ||
           dynamic_cast<const EIdSocketError*>(&failure) != nullptr ||
           dynamic_cast<const EIdNotConnected*>(&failure) != nullptr ||
           dynamic_cast<const EIdReadTimeout*>(&failure) != nullptr;
}

void TIdCustomHTTP::ReadResponse() {
    for (;;) {
        response_.ReadHeaders();
        ProcessCookies();
        if (response_.ResponseCode() != 100)
            return;
        response_.SetResponseText(ReadLine());
    }
}

void TIdCustomHTTP::ProcessCookies() {
    if (cookieManager_ == nullptr && allowCookies_) {
        auto store = std::make_unique<TIdCookieManager>();
        SetCookieManager(store.get());
        ownedCookieManager_ = std::move(store);
    }
    if (cookieManager_ == nullptr)
        return;
    cookieManager_->AddResponseCookies(response_.RawHeaders(), uri_.Host());
}

TIdHTTPNextStep TIdCustomHTTP::DecideNext() {
    const std::int32_t code = response_.ResponseCode();
    if ((code / 100 == 3 && code != 304) || !response_.Location().empty())
        return Redirect();
    bool accepted = false;
    if (code / 100 != 2) {
        if (code != 401 && code != 407)
            RaiseProtocolError();
        const bool proxy = code == 407;
        const auto authentication = [this, proxy] {
            return proxy ? proxyParams_.Authentication() : request_.Authentication();
        };
        const bool exhausted = authentication() != nullptr && authentication()->AuthRetries() >= authRetries_;
        accepted = !exhausted && Authorize(proxy);
        if (!accepted) {
            if (authentication() != nullptr)
                authentication()->Reset();
            RaiseProtocolError();
        }
    }
    if (!Connected())
        return accepted ? nsFollow : nsUndefined;
    if (accepted && httpOptions_.count(hoInProcessAuth) != 0) {
        DropBody();
        return nsRetryWithCredentials;
    }
    if (code != 204)
        response_.ReadBody();
    exchangeOpen_ = false;
    return nsDone;
}

TIdHTTPNextStep TIdCustomHTTP::Redirect() {
    std::string dest = response_.Location();
    TIdHTTPMethod method = request_.Method();
    TIdHTTPNextStep next;
    if (handleRedirects_ && redirectCount_ < redirectMaximum_) {
        bool handled = true;
        if (OnRedirect)
            OnRedirect(*this, dest, redirectCount_, handled, method);
        if (!handled)
            RaiseProtocolError();
        request_.SetURL(dest);
        request_.SetMethod(method);
        next = nsFollow;
    } else {
        bool handled = handleRedirects_;
        if (OnRedirect)
            OnRedirect(*this, dest, redirectCount_, handled, method);
        if (!handled)
            RaiseProtocolError();
        response_.SetLocation(dest);
        next = nsDone;
    }
    if (Connected())
        DropBody();
    return next;
}

void TIdCustomHTTP::DropBody() {
    TIdSimpleBuffer scratch;
    const ScopedContentStream stream(response_, &scratch);
    const ScopedReadTimeout timeout(*this, DropBodyTimeout);
    try {
        response_.ReadBody();
        exchangeOpen_ = false;
    } catch (const EIdHTTPRequestTimeout&) {
        throw;  // the limit of the whole call, not of this body
    } catch (const Exception&) {
        // The body is not wanted. What is left of it keeps the exchange open, so the connection
        // is not used again.
    }
}

void TIdCustomHTTP::RaiseProtocolError() {
    TIdStringStream errorBody;
    {
        const ScopedContentStream stream(response_, &errorBody);
        const ScopedReadTimeout timeout(*this, ErrorBodyTimeout);
        try {
            response_.ReadBody();
        } catch (const EIdHTTPBodyIncomplete&) {
            // A short error page still carries the server's status, which is the news here.
        }
        exchangeOpen_ = false;
    }
    throw EIdHTTPProtocolException(response_.ResponseCode(), response_.ResponseText(), errorBody.TakeText());
}

bool TIdCustomHTTP::Authorize(bool proxy) {
    TIdHeaderList& challenges = proxy ? response_.ProxyAuthenticate() : response_.WWWAuthenticate();
    const auto current = [this, proxy] {
        return proxy ? proxyParams_.Authentication() : request_.Authentication();
    };
    if (!proxy && !CredentialsApply()) {
        // The credentials held are another origin's: this one gets only what is given for it.
        request_.SetAuthentication(nullptr);
        request_.SetBasicAuthentication(false);
        request_.SetUsername("");
        request_.SetPassword("");
        credentialsOrigin_ = Origin(uri_);
    }
    if (current() == nullptr) {
        std::optional<TIdAuthenticationClass> found;
        for (const std::string& value : challenges.Lines()) {
            found = FindAuthenticationMethod(value.substr(0, value.find(' ')));
            if (found)
                break;
        }
        if (!found)
            return false;
        const SelectAuthorizationEvent& onSelect = proxy ? OnSelectProxyAuthorization : OnSelectAuthorization;
        if (onSelect)
            onSelect(*this, *found, challenges);
        std::unique_ptr<TIdAuthentication> created = found->Create();
        if (!created)
            return false;
        if (proxy)
            proxyParams_.SetAuthentication(std::move(created));
        else
            request_.SetAuthentication(std::move(created));
    }
    const AuthorizationEvent& onAuthorization = proxy ? OnProxyAuthorization : OnAuthorization;
    if (!onAuthorization && httpOptions_.count(hoInProcessAuth) == 0)
        return false;

    TIdAuthentication& authentication = *current();
    const auto giveCredentials = [&] {
        authentication.SetUsername(proxy ? proxyParams_.ProxyUsername() : request_.Username());
        authentication.SetPassword(proxy ? proxyParams_.ProxyPassword() : request_.Password());
    };
    giveCredentials();
    authentication.AuthValues().SetValues(proxy ? "Proxy-Authorization" : "Authorization",
                                          authentication.HeaderValue());
    authentication.Challenges().Clear();
    for (const std::string& value : challenges.Lines())
        authentication.Challenges().Add(value);
    for (;;) {
        const TIdAuthWhatsNext next = authentication.Decide();
        if (next == wnDoRequest)
            return true;
        if (next == wnFail || !onAuthorization)
            return false;
        // A handler that keeps answering without giving what the scheme needs would ask forever.
        if (authentication.AuthRetries() > authRetries_)
            return false;
        giveCredentials();
        bool handled = false;
        onAuthorization(*this, authentication, handled);
        if (!handled)
            return false;
        if (proxy) {
            proxyParams_.SetBasicAuthentication(true);
            proxyParams_.SetProxyUsername(authentication.Username());
            proxyParams_.SetProxyPassword(authentication.Password());
        } else {
            request_.SetBasicAuthentication(true);
            request_.SetUsername(authentication.Username());
            request_.SetPassword(authentication.Password());
        }
    }
}

}  // namespace w20

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "http/IdProxyConnectionInfo.h"
#include "net/IdException.h"

namespace w20 {

// A proxy the user's settings name: where it listens and the credentials to give it (empty: none).
struct TIdProxy {
    std::string host;
    std::int32_t port = 0;
    std::string username;
    std::string password;

    bool operator==(const TIdProxy&) const = default;
};

// A proxy setting the client cannot use (another scheme than http, a port that is no port). The
// message shows the setting without its credentials.
class EIdProxySetting : public EIdException {
public:
    using EIdException::EIdException;
};

// The user's proxy settings as the platform keeps them, read once: which proxy a URL goes through.
class TIdProxySettings {
public:
    virtual ~TIdProxySettings() = default;
    // The proxy for "scheme://host:port/target", or none: straight to the server.
    virtual std::optional<TIdProxy> ForUrl(const std::string& url) const = 0;
};

// The current user's settings, read now. One file per platform: the environment on POSIX, the
// system's per-user settings on Windows.
std::shared_ptr<const TIdProxySettings> SystemProxySettings();

// Sets the client's proxy parameters to the proxy (none: cleared). Credentials go to the proxy as
// Basic from the first request on; a change of proxy or credentials forgets the old authentication.
void ApplyProxy(TIdProxyConnectionInfo& params, const std::optional<TIdProxy>& proxy);

// The rules below are the platforms' own, shared so that they are tested on every build.

// A proxy URL as found in the environment: "[http://][user[:password]@]host[:port][/]" (an IPv6
// host in brackets), the
// credentials percent-decoded, the port defaulting to 1080. Empty text gives none; another scheme
// or a bad port raises EIdProxySetting.
std::optional<TIdProxy> ParseProxyUrl(std::string_view text);

// Whether a no_proxy list exempts the host: comma-separated entries, each a host suffix matched
// at a dot (a leading dot is the same), an address literal matched whole (IPv6 by value, with or
// without brackets), an address block ("10.0.0.0/8", "fd00::/8") holding an address host, or "*"
// for every host.
// Letter case and a trailing dot do not count.
bool NoProxyMatches(std::string_view list, std::string_view host);

// The environment's settings, as command-line web tools read them: http_proxy (lower case only)
// for http, https_proxy or HTTPS_PROXY for https, all_proxy or ALL_PROXY otherwise, no_proxy or
// NO_PROXY exempting hosts. The lower-case name wins when both are set; a set but empty value
// means no proxy. Every name is read once, at construction.
class TIdEnvironmentProxySettings : public TIdProxySettings {
public:
    using Lookup = std::function<std::optional<std::string>(const std::string& name)>;
    explicit TIdEnvironmentProxySettings(const Lookup& lookup);
    std::optional<TIdProxy> ForUrl(const std::string& url) const override;

private:
    std::optional<std::string> http_;
    std::optional<std::string> https_;
    std::optional<std::string> all_;
    std::string noProxy_;
};

// The proxy of a Windows proxy list for a scheme: entries separated by ";" or blanks, each
// "[scheme=][http://]host[:port]"; an entry for the scheme wins over one without a scheme, the
// port defaults to 80. None when no entry serves the scheme.
std::optional<TIdProxy> ProxyFromList(std::string_view list, std::string_view scheme);

// Whether the host is the machine itself: "localhost", an address of 127.0.0.0/8 in any text the
// connect reads as one, or ::1, bracketed or not.
bool IsLoopbackHost(std::string_view host);

// Whether a Windows bypass list exempts the host: entries separated by ";", "," or blanks, with
// "*" matching any run of characters, letter case not counting; "<local>" stands for every host
// name without a dot. The machine itself is exempt unless the list holds "<-loopback>".
bool BypassListMatches(std::string_view list, std::string_view host);

}  // namespace w20

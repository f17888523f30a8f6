#include "http/ProxySettings.h"

#include <algorithm>
#include <vector>

#include "base/Convert.h"
#include "base/Strings.h"
#include "http/IdURI.h"
#include "net/AddressText.h"

namespace w20 {
namespace {

// The pieces of a list between any of the separators, blanks around them trimmed, empty ones
// dropped.
std::vector<std::string> Entries(std::string_view list, std::string_view separators) {
    std::vector<std::string> entries;
    for (std::size_t from = 0; from <= list.size();) {
        const std::size_t end = std::min(list.find_first_of(separators, from), list.size());
        std::string entry = Trim(list.substr(from, end - from));
        if (!entry.empty())
            entries.push_back(std::move(entry));
        from = end + 1;
    }
    return entries;
}

// A host name compared as a name: letter case and one trailing dot do not count.
std::string HostKey(std::string_view host) {
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    return LowerCase(host);
}

// An IPv6 address in brackets without them; any other text as it is.
std::string_view Unbracketed(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

// "host[:port]" into the proxy, an IPv6 host in brackets; a port that is not a number from 1 to
// 65535 raises.
void SplitHostPort(std::string_view text, std::int32_t defaultPort, TIdProxy& proxy) {
    const std::size_t close = text.starts_with('[') ? text.find(']') : std::string_view::npos;
    const std::size_t colon = close == std::string_view::npos ? text.rfind(':') : text.find(':', close);
    const std::size_t hostEnd = close == std::string_view::npos ? colon : close + 1;
    proxy.host = std::string(Unbracketed(text.substr(0, hostEnd)));
    if (close != std::string_view::npos && close + 1 < text.size() && colon != close + 1)
        throw EIdProxySetting("Proxy " + std::string(text) + ": nothing may follow the address but a port.");
    proxy.port = defaultPort;
    if (colon == std::string_view::npos)
        return;
    const std::string port(text.substr(colon + 1));
    std::uint64_t value = 0;
    if (port.empty() || !ReadDigits(port, 10, 65535, value) || value == 0)
        throw EIdProxySetting("Proxy " + proxy.host + ": port \"" + port + "\" is not a port number.");
    proxy.port = static_cast<std::int32_t>(value);
}

// "*" matches any run of characters; letter case does not count.
bool WildcardMatches(std::string_view pattern, std::string_view text) {
    if (pattern.empty())
        return text.empty();
    if (pattern.front() == '*') {
        for (std::size_t skip = 0; skip <= text.size(); ++skip) {
            if (WildcardMatches(pattern.substr(1), text.substr(skip)))
                return true;
        }
        return false;
    }
    return !text.empty() && LowerCase(pattern.substr(0, 1)) == LowerCase(text.substr(0, 1)) &&
           WildcardMatches(pattern.substr(1), text.substr(1));
}

// Whether an address block "address/bits" ("10.0.0.0/8", "fd00::/8") holds the host, which must
// be an address of the same family, read as a connect reads it.
bool BlockHolds(std::string_view block, std::string_view host) {
    const std::size_t slash = block.find('/');
    TIdIPAddress network;
    TIdIPAddress address;
    std::uint64_t bits = 0;
    if (!ParseIPAddressText(Unbracketed(block.substr(0, slash)), network) ||
        !ReadDigits(block.substr(slash + 1), 10, network.ipv6 ? 128 : 32, bits) ||
        !ParseIPAddressText(host, address) || address.ipv6 != network.ipv6) {
        return false;
    }
    for (std::size_t bit = 0; bit < bits; ++bit) {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
        if ((network.bytes[bit / 8] & mask) != (address.bytes[bit / 8] & mask))
            return false;
    }
    return true;
}

}  // namespace

void ApplyProxy(TIdProxyConnectionInfo& params, const std::optional<TIdProxy>& proxy) {
    const TIdProxy wanted = proxy.value_or(TIdProxy{});
    const TIdProxy current{params.ProxyServer(), params.ProxyPort(), params.ProxyUsername(),
                           params.ProxyPassword()};
    if (wanted == current)
        return;
    params.SetProxyServer(wanted.host);
    params.SetProxyPort(wanted.port);
    params.SetProxyUsername(wanted.username);
    params.SetProxyPassword(wanted.password);
    params.SetBasicAuthentication(!wanted.username.empty());
    params.SetAuthentication(nullptr);
}

std::optional<TIdProxy> ParseProxyUrl(std::string_view text) {
    std::string_view rest = text;
    const std::size_t scheme = rest.find("://");
    if (scheme != std::string_view::npos) {
        // The credentials never reach a message: only the scheme is named.
        if (!SameText(rest.substr(0, scheme), "http"))
            throw EIdProxySetting("Proxy scheme \"" + std::string(rest.substr(0, scheme)) +
                                  "\" is not supported: only http proxies are.");
        rest.remove_prefix(scheme + 3);
    }
    // The credentials end at the last "@", so that a password holding "/" or ":" stays whole and
    // out of any message.
    TIdProxy proxy;
    const std::size_t at = rest.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view userInfo = rest.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        proxy.username = PercentDecoded(userInfo.substr(0, colon));
        if (colon != std::string_view::npos)
            proxy.password = PercentDecoded(userInfo.substr(colon + 1));
        rest.remove_prefix(at + 1);
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (Trim(rest).empty())
        return std::nullopt;
    // Port 1080 when none is given, as the command-line tools take it.
    SplitHostPort(rest, 1080, proxy);
    if (proxy.host.empty())
        return std::nullopt;
    return proxy;
}

bool NoProxyMatches(std::string_view list, std::string_view host) {
    const std::string name = HostKey(Unbracketed(host));
    // An address is no name with suffixes: "0.0.1" does not stand for 127.0.0.1.
    TIdIPv6Bytes hostIPv6;
    const bool ipv6 = ParseIPv6Text(name, hostIPv6);
    const bool address =
        ipv6 || (!name.empty() && name.find_first_not_of("0123456789.") == std::string::npos);
    for (const std::string& raw : Entries(list, ", \t")) {
        if (raw == "*")
            return true;
        if (raw.find('/') != std::string::npos) {
            if (BlockHolds(raw, name))
                return true;
            continue;
        }
        std::string_view entry = Unbracketed(raw);
        if (entry.starts_with('.'))
            entry.remove_prefix(1);
        const std::string suffix = HostKey(entry);
        if (suffix.empty())
            continue;
        // IPv6 addresses are equal by value: "::1" is "0:0::1".
        TIdIPv6Bytes entryIPv6;
        if (name == suffix || (ipv6 && ParseIPv6Text(suffix, entryIPv6) && entryIPv6 == hostIPv6))
            return true;
        // A suffix matches at a dot only: "example.net" exempts "q.example.net", not "badexample.net".
        if (!address && name.size() > suffix.size() && name.ends_with(suffix) &&
            name[name.size() - suffix.size() - 1] == '.')
            return true;
    }
    return false;
}

TIdEnvironmentProxySettings::TIdEnvironmentProxySettings(const Lookup& lookup) {
    const auto either = [&lookup](const std::string& lower, const std::string& upper) {
        std::optional<std::string> value = lookup(lower);
        return value ? value : lookup(upper);
    };
    // An upper-case HTTP_PROXY is not read: a web server's scripts get a request's "Proxy" header
    // under that name.
    http_ = lookup("http_proxy");
    https_ = either("https_proxy", "HTTPS_PROXY");
    all_ = either("all_proxy", "ALL_PROXY");
    noProxy_ = either("no_proxy", "NO_PROXY").value_or(std::string());
}

std::optional<TIdProxy> TIdEnvironmentProxySettings::ForUrl(const std::string& url) const {
    const TIdURI uri(url);
    if (NoProxyMatches(noProxy_, uri.Host()))
        return std::nullopt;
    const std::optional<std::string>* chosen = &all_;
    if (SameText(uri.Protocol(), "http") && http_)
        chosen = &http_;
    else if (SameText(uri.Protocol(), "https") && https_)
        chosen = &https_;
    return *chosen ? ParseProxyUrl(**chosen) : std::nullopt;
}

std::optional<TIdProxy> ProxyFromList(std::string_view list, std::string_view scheme) {
    std::optional<TIdProxy> general;
    for (const std::string& entry : Entries(list, "; \t")) {
        std::string_view rest = entry;
        const std::size_t equals = rest.find('=');
        const bool scoped = equals != std::string_view::npos;
        if (scoped) {
            if (!SameText(rest.substr(0, equals), scheme))
                continue;
            rest.remove_prefix(equals + 1);
        } else if (general) {
            continue;
        }
        if (StartsText("http://", rest))
            rest.remove_prefix(7);
        rest = rest.substr(0, rest.find('/'));
        TIdProxy proxy;
        SplitHostPort(rest, 80, proxy);
        if (proxy.host.empty())
            continue;
        if (scoped)
            return proxy;
        general = proxy;
    }
    return general;
}

bool IsLoopbackHost(std::string_view host) {
    const std::string name = HostKey(Unbracketed(host));
    if (name == "localhost")
        return true;
    // 127.0.0.0/8 in any form a connect reads, or ::1 in any of its forms.
    TIdIPAddress address;
    if (!ParseIPAddressText(name, address))
        return false;
    constexpr TIdIPv6Bytes ipv6Loopback = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return address.ipv6 ? address.bytes == ipv6Loopback : address.bytes[0] == 127;
}

bool BypassListMatches(std::string_view list, std::string_view host) {
    const std::string name = HostKey(host);
    // The system's own browsers never send the machine itself to a proxy unless told so.
    bool loopback = IsLoopbackHost(name);
    for (const std::string& entry : Entries(list, ";, \t")) {
        if (SameText(entry, "<local>")) {
            if (name.find('.') == std::string::npos)
                return true;
        } else if (SameText(entry, "<-loopback>")) {
            loopback = false;
        } else if (WildcardMatches(HostKey(entry), name)) {
            return true;
        }
    }
    return loopback;
}

}  // namespace w20

// A setting on the first line, a host on the second, through every proxy settings rule: no crash,
// no failure but EIdProxySetting, a proxy always with a host and a port, and "*" exempts any host.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "http/ProxySettings.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void RequireUsable(const std::optional<w20::TIdProxy>& proxy) {
    if (proxy)
        Require(!proxy->host.empty() && proxy->port > 0 && proxy->port <= 65535);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string setting = input.substr(0, split);
    const std::string host = split == std::string::npos ? std::string() : input.substr(split + 1);

    try {
        RequireUsable(w20::ParseProxyUrl(setting));
    } catch (const w20::EIdProxySetting&) {
    }
    try {
        RequireUsable(w20::ProxyFromList(setting, host));
    } catch (const w20::EIdProxySetting&) {
    }
    w20::NoProxyMatches(setting, host);
    w20::BypassListMatches(setting, host);
    w20::IsLoopbackHost(host);
    Require(w20::NoProxyMatches("*", host));
    return 0;
}

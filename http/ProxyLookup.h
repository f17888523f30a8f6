#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "http/ProxySettings.h"
#include "net/IdBackgroundCall.h"

namespace w20 {

// The proxy for a URL, looked up on a thread of its own (a TIdBackgroundCall) so that the caller can
// wait in short steps, stay responsive and give up: the platform's lookup may fetch a configuration
// script over the network.
class TIdProxyLookup {
public:
    // True once the answer is there; waits at most the given time for it.
    bool WaitFinished(std::chrono::milliseconds limit) const;
    // Once finished: the proxy, or none for straight to the server; a lookup that failed raises
    // its failure again.
    std::optional<TIdProxy> Proxy() const;

private:
    friend class TIdProxyLookups;
    // Starts asking the settings at once.
    TIdProxyLookup(std::shared_ptr<const TIdProxySettings> settings, std::string url);

    TIdBackgroundCall<std::optional<TIdProxy>> call_;
};

// The answers of the user's settings for a session, one lookup per scheme, host and port: asked
// once and kept, and while it runs, waited for again rather than started twice.
class TIdProxyLookups {
public:
    explicit TIdProxyLookups(std::shared_ptr<const TIdProxySettings> settings);
    TIdProxyLookup ForUrl(const std::string& url);

private:
    std::shared_ptr<const TIdProxySettings> settings_;
    std::map<std::string, TIdProxyLookup> lookups_;
};

}  // namespace w20

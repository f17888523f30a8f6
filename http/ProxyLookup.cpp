#include "http/ProxyLookup.h"

#include "http/IdURI.h"

namespace w20 {

TIdProxyLookup::TIdProxyLookup(std::shared_ptr<const TIdProxySettings> settings, std::string url)
    // The thread holds the settings too: a lookup that outlives the session still has them.
    : call_([settings = std::move(settings), url = std::move(url)] { return settings->ForUrl(url); }) {}

bool TIdProxyLookup::WaitFinished(std::chrono::milliseconds limit) const {
    return call_.WaitFinished(limit);
}

std::optional<TIdProxy> TIdProxyLookup::Proxy() const {
    return call_.Result();
}

TIdProxyLookups::TIdProxyLookups(std::shared_ptr<const TIdProxySettings> settings)
    : settings_(std::move(settings)) {}

TIdProxyLookup TIdProxyLookups::ForUrl(const std::string& url) {
    const std::string origin = Origin(TIdURI(url));
    const auto found = lookups_.find(origin);
    if (found != lookups_.end())
        return found->second;
    return lookups_.emplace(origin, TIdProxyLookup(settings_, url)).first->second;
}

}  // namespace w20

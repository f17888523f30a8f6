#include "http/ProxyLookup.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "base/Strings.h"
#include "http/IdURI.h"

namespace w20 {

// Shared by the caller and the looking-up thread, so that whichever lets go last frees it.
struct TIdProxyLookup::Answer {
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    std::optional<TIdProxy> proxy;
    std::exception_ptr failure;
};

TIdProxyLookup::TIdProxyLookup(std::shared_ptr<const TIdProxySettings> settings, std::string url)
    : answer_(std::make_shared<Answer>()) {
    // The thread holds the settings too: a lookup that outlives the session still has them.
    std::thread([answer = answer_, settings = std::move(settings), url = std::move(url)] {
        std::optional<TIdProxy> proxy;
        std::exception_ptr failure;
        try {
            proxy = settings->ForUrl(url);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(answer->mutex);
        answer->proxy = std::move(proxy);
        answer->failure = failure;
        answer->finished = true;
        answer->finishedChanged.notify_all();
    }).detach();
}

bool TIdProxyLookup::WaitFinished(std::chrono::milliseconds limit) const {
    std::unique_lock lock(answer_->mutex);
    return answer_->finishedChanged.wait_for(lock, limit, [this] { return answer_->finished; });
}

std::optional<TIdProxy> TIdProxyLookup::Proxy() const {
    const std::lock_guard lock(answer_->mutex);
    if (answer_->failure)
        std::rethrow_exception(answer_->failure);
    return answer_->proxy;
}

TIdProxyLookups::TIdProxyLookups(std::shared_ptr<const TIdProxySettings> settings)
    : settings_(std::move(settings)) {}

TIdProxyLookup TIdProxyLookups::ForUrl(const std::string& url) {
    const TIdURI uri(url);
    const std::string origin = LowerCase(uri.Protocol() + "://" + uri.Host() + ":" + uri.Port());
    const auto found = lookups_.find(origin);
    if (found != lookups_.end())
        return found->second;
    return lookups_.emplace(origin, TIdProxyLookup(settings_, url)).first->second;
}

}  // namespace w20

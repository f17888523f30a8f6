#include "net/IdHostLookup.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace w20 {

// Shared by the caller and the resolving thread, so that whichever lets go last frees it.
struct TIdHostLookup::Answer {
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    std::vector<std::string> addresses;
    std::int32_t error = 0;
};

namespace {

// The resolving threads still running. Never freed: detached threads may use it after the
// program's static objects are gone.
struct Resolving {
    std::mutex mutex;
    int count = 0;
};

Resolving& RunningLookups() {
    static Resolving* const resolving = new Resolving;
    return *resolving;
}

// The library was shut down under the thread (10093): an answer, not the end of the program.
constexpr std::int32_t NotInitialised = 10093;

}  // namespace

bool TIdHostLookup::UnlessResolving(const std::function<void()>& action) {
    Resolving& resolving = RunningLookups();
    const std::lock_guard lock(resolving.mutex);
    if (resolving.count > 0)
        return false;
    action();
    return true;
}

TIdHostLookup::TIdHostLookup(std::string name, Resolver resolver) : answer_(std::make_shared<Answer>()) {
    {
        Resolving& resolving = RunningLookups();
        const std::lock_guard lock(resolving.mutex);
        ++resolving.count;
    }
    std::thread([answer = answer_, name = std::move(name), resolver = std::move(resolver)] {
        std::vector<std::string> addresses;
        std::int32_t error = NotInitialised;
        try {
            error = resolver(name, addresses);
        } catch (...) {
            addresses.clear();
        }
        {
            Resolving& resolving = RunningLookups();
            const std::lock_guard lock(resolving.mutex);
            --resolving.count;
        }
        const std::lock_guard lock(answer->mutex);
        answer->addresses = std::move(addresses);
        answer->error = error;
        answer->finished = true;
        answer->finishedChanged.notify_all();
    }).detach();
}

TIdHostLookup::TIdHostLookup(std::vector<std::string> addresses) : answer_(std::make_shared<Answer>()) {
    answer_->addresses = std::move(addresses);
    answer_->finished = true;
}

bool TIdHostLookup::WaitFinished(std::chrono::milliseconds limit) {
    std::unique_lock lock(answer_->mutex);
    return answer_->finishedChanged.wait_for(lock, limit, [this] { return answer_->finished; });
}

const std::vector<std::string>& TIdHostLookup::Addresses() const {
    const std::lock_guard lock(answer_->mutex);
    return answer_->addresses;
}

std::int32_t TIdHostLookup::Error() const {
    const std::lock_guard lock(answer_->mutex);
    return answer_->error;
}

}  // namespace w20

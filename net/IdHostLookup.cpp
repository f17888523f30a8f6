#include "net/IdHostLookup.h"

#include <mutex>

namespace w20 {

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

// Counts the call as a resolving thread from now until it has returned.
template <typename Call>
auto CountedAsResolving(Call call) {
    {
        Resolving& resolving = RunningLookups();
        const std::lock_guard lock(resolving.mutex);
        ++resolving.count;
    }
    return [call = std::move(call)] {
        auto answer = call();
        Resolving& resolving = RunningLookups();
        const std::lock_guard lock(resolving.mutex);
        --resolving.count;
        return answer;
    };
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

TIdHostLookup::TIdHostLookup(std::string name, Resolver resolver)
    : call_(CountedAsResolving([name = std::move(name), resolver = std::move(resolver)] {
          Answer answer{NotInitialised, {}};
          try {
              answer.first = resolver(name, answer.second);
          } catch (...) {
              answer = {NotInitialised, {}};
          }
          return answer;
      })) {}

TIdHostLookup::TIdHostLookup(std::vector<std::string> addresses)
    : call_(TIdBackgroundCall<Answer>::Answered({0, std::move(addresses)})) {}

bool TIdHostLookup::WaitFinished(std::chrono::milliseconds limit) {
    return call_.WaitFinished(limit);
}

const std::vector<std::string>& TIdHostLookup::Addresses() const {
    return call_.Result().second;
}

std::int32_t TIdHostLookup::Error() const {
    return call_.Result().first;
}

}  // namespace w20

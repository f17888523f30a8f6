#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "net/IdBackgroundCall.h"

namespace w20 {

// The addresses of one host name, looked up on a thread of its own (a TIdBackgroundCall) so that the
// caller can wait in short steps, stay responsive and give up.
class TIdHostLookup {
public:
    // Fills the dotted addresses and returns 0, or returns the failure's socket error code.
    using Resolver =
        std::function<std::int32_t(const std::string& name, std::vector<std::string>& addresses)>;

    // Starts resolving at once.
    TIdHostLookup(std::string name, Resolver resolver);
    // A lookup answered without asking anybody: finished from the start.
    explicit TIdHostLookup(std::vector<std::string> addresses);

    // True once the answer is there; waits at most the given time for it.
    bool WaitFinished(std::chrono::milliseconds limit);
    // Runs the action only while no resolving thread runs, and starts none while it runs; false
    // when the action was skipped. A socket library's shut-down goes through here: a thread still
    // inside the resolver at program end must not find its library shut down or unloaded.
    static bool UnlessResolving(const std::function<void()>& action);

    // Once finished: every address in the resolver's order, or none and the error's code.
    const std::vector<std::string>& Addresses() const;
    std::int32_t Error() const;

private:
    // The failure's code, or 0 and every address.
    using Answer = std::pair<std::int32_t, std::vector<std::string>>;

    TIdBackgroundCall<Answer> call_;
};

}  // namespace w20

#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace w20 {

// The clock of every time limit: it never jumps when the wall clock is set.
using TIdClock = std::chrono::steady_clock;

// Whole milliseconds from now until the time, rounded up, so that a wait of that length does not
// end before it; 0 once it has come.
inline std::int64_t MillisecondsUntil(TIdClock::time_point time) {
    return std::max<std::int64_t>(
        std::chrono::ceil<std::chrono::milliseconds>(time - TIdClock::now()).count(), 0);
}

// A wait of timeout ms (negative: without limit) taken in steps. The limit runs on the clock, so
// what the caller does between the steps does not lengthen it.
class TIdSteppedWait {
public:
    TIdSteppedWait(std::int32_t timeout, std::int32_t step) : step_(step) {
        if (timeout >= 0)
            end_ = TIdClock::now() + std::chrono::milliseconds(timeout);
    }

    // A whole step, or what is left of the wait when that is less.
    std::int32_t NextStep() const {
        return end_ ? static_cast<std::int32_t>(std::min<std::int64_t>(MillisecondsUntil(*end_), step_))
                    : step_;
    }
    bool Over() const { return end_ && TIdClock::now() >= *end_; }
    // Milliseconds left of the wait, rounded up; -1 without limit.
    std::int32_t Left() const {
        return end_ ? static_cast<std::int32_t>(std::min<std::int64_t>(MillisecondsUntil(*end_), INT32_MAX))
                    : -1;
    }

private:
    std::int32_t step_;
    std::optional<TIdClock::time_point> end_;
};

// Calls ended with each step's length until it gives true, and idle (when there is one) after each
// step that gave false, so that a window stays responsive; false once the wait is over.
inline bool WaitInSteps(const TIdSteppedWait& wait, const std::function<bool(std::int32_t step)>& ended,
                        const std::function<void()>& idle) {
    for (;;) {
        if (ended(wait.NextStep()))
            return true;
        if (wait.Over())
            return false;
        if (idle)
            idle();
    }
}

}  // namespace w20

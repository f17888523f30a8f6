#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace w20 {

// A call run on a thread of its own, so that the caller can wait for it in short steps, stay
// responsive and give up. The platform calls it serves (a name lookup, a proxy script) have no way
// to be stopped: one given up on finishes in the background and its answer is thrown away.
template <typename T>
class TIdBackgroundCall {
public:
    // Starts the call at once.
    explicit TIdBackgroundCall(std::function<T()> call) : state_(std::make_shared<State>()) {
        // The thread shares the state, so that whichever lets go last frees it.
        std::thread([state = state_, call = std::move(call)] {
            std::optional<T> value;
            std::exception_ptr failure;
            try {
                value.emplace(call());
            } catch (...) {
                failure = std::current_exception();
            }
            const std::lock_guard lock(state->mutex);
            state->value = std::move(value);
            state->failure = failure;
            state->finished = true;
            state->finishedChanged.notify_all();
        }).detach();
    }

    // An answer known without asking anybody: finished from the start.
    static TIdBackgroundCall Answered(T value) {
        TIdBackgroundCall answered;
        answered.state_->value.emplace(std::move(value));
        answered.state_->finished = true;
        return answered;
    }

    // True once the answer is there; waits at most the given time for it.
    bool WaitFinished(std::chrono::milliseconds limit) const {
        std::unique_lock lock(state_->mutex);
        return state_->finishedChanged.wait_for(lock, limit, [this] { return state_->finished; });
    }

    // Once finished: the call's result; a call that raised raises its failure again.
    const T& Result() const {
        const std::lock_guard lock(state_->mutex);
        if (state_->failure)
            std::rethrow_exception(state_->failure);
        return *state_->value;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable finishedChanged;
        bool finished = false;
        std::optional<T> value;
        std::exception_ptr failure;
    };

    TIdBackgroundCall() : state_(std::make_shared<State>()) {}

    std::shared_ptr<State> state_;
};

}  // namespace w20

#include "tests/support/FullBacklogListener.h"

#include <chrono>

namespace w20::test {
namespace {

constexpr std::size_t MostFillers = 8;
constexpr std::chrono::milliseconds UnansweredAfter(200);

}  // namespace

FullBacklogListener::FullBacklogListener() {
    const StopSignal never;
    fillers_.reserve(MostFillers);
    listener_ = ListenOnLoopback(port_, 0);
    // Connects until one is left unanswered: from then on every new one is.
    while (!full_ && fillers_.size() < MostFillers) {
        const TestSocket filler = StartConnect(port_);
        if (filler == NoTestSocket)
            break;
        fillers_.push_back(filler);
        full_ = WaitForSocket(filler, true, never, UnansweredAfter) == 0;
    }
}

FullBacklogListener::~FullBacklogListener() {
    for (const TestSocket filler : fillers_)
        CloseConnection(filler);
    CloseConnection(listener_);
}

}  // namespace w20::test

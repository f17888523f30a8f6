#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/TestSockets.h"

namespace w20::test {

// A listener on 127.0.0.1 that never accepts, with a queue of one waiting connection that is
// filled at once: a further connect gets no answer and waits in the kernel, retrying, for minutes.
class FullBacklogListener {
public:
    // Throws std::runtime_error when no listener can be made.
    FullBacklogListener();
    ~FullBacklogListener();
    FullBacklogListener(const FullBacklogListener&) = delete;
    FullBacklogListener& operator=(const FullBacklogListener&) = delete;

    std::uint16_t Port() const { return port_; }
    // Whether a connect was seen going unanswered while the queue was filled; false when the
    // kernel answered every one of them.
    bool Full() const { return full_; }

private:
    TestSocket listener_ = NoTestSocket;
    std::vector<TestSocket> fillers_;
    std::uint16_t port_ = 0;
    bool full_ = false;
};

}  // namespace w20::test

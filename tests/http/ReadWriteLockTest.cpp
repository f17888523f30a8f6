#include "http/ReadWriteLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

namespace w20 {
namespace {

using namespace std::chrono_literals;

// Runs `step` on another thread; the future is ready once it has returned.
std::future<void> OnOtherThread(std::function<void()> step) {
    return std::async(std::launch::async, step);
}

// Takes the lock for reading or writing and lets it go again.
void Take(ReadWriteLock& lock, bool write) {
    if (write) {
        lock.BeginWrite();
        lock.EndWrite();
    } else {
        lock.BeginRead();
        lock.EndRead();
    }
}

TEST(ReadWriteLock, ReadersShareTheLockAndAWriterKeepsOthersOut) {
    const struct {
        const char* what;
        bool heldForWriting;
        std::vector<bool> othersWrite;
        bool othersWait;
    } cases[] = {
        {"readers share", false, {false}, false},
        {"a writer waits for readers", false, {true}, true},
        {"a writer keeps readers and writers out until it is done", true, {false, true}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReadWriteLock lock;
        c.heldForWriting ? lock.BeginWrite() : lock.BeginRead();
        std::vector<std::future<void>> others;
        for (bool write : c.othersWrite)
            others.push_back(OnOtherThread([&lock, write] { Take(lock, write); }));
        for (auto& other : others) {
            EXPECT_EQ(other.wait_for(c.othersWait ? 50ms : 5s),
                      c.othersWait ? std::future_status::timeout : std::future_status::ready);
        }
        c.heldForWriting ? lock.EndWrite() : lock.EndRead();
        for (auto& other : others)
            EXPECT_EQ(other.wait_for(5s), std::future_status::ready);
    }
}

TEST(ReadWriteLock, WritingThreadTakesItAgain) {
    ReadWriteLock lock;
    lock.BeginWrite();
    lock.BeginWrite();
    lock.BeginRead();
    lock.EndRead();
    lock.EndWrite();
    auto other = OnOtherThread([&] { Take(lock, false); });
    // Still held once.
    EXPECT_EQ(other.wait_for(50ms), std::future_status::timeout);
    lock.EndWrite();
    EXPECT_EQ(other.wait_for(5s), std::future_status::ready);
}

}  // namespace
}  // namespace w20

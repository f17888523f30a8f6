#include "http/ReadWriteLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace w20 {
namespace {

using namespace std::chrono_literals;

// Runs `step` on another thread; the future is ready once it has returned.
std::future<void> OnOtherThread(std::function<void()> step) { return std::async(std::launch::async, step); }

TEST(ReadWriteLock, ReadersShareTheLock) {
    ReadWriteLock lock;
    lock.BeginRead();
    auto other = OnOtherThread([&] {
        lock.BeginRead();
        lock.EndRead();
    });
    EXPECT_EQ(other.wait_for(5s), std::future_status::ready);
    lock.EndRead();
}

TEST(ReadWriteLock, WriterKeepsOthersOutUntilItIsDone) {
    ReadWriteLock lock;
    lock.BeginWrite();
    auto reader = OnOtherThread([&] {
        lock.BeginRead();
        lock.EndRead();
    });
    auto writer = OnOtherThread([&] {
        lock.BeginWrite();
        lock.EndWrite();
    });
    EXPECT_EQ(reader.wait_for(50ms), std::future_status::timeout);
    EXPECT_EQ(writer.wait_for(1ms), std::future_status::timeout);
    lock.EndWrite();
    EXPECT_EQ(reader.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(writer.wait_for(5s), std::future_status::ready);
}

TEST(ReadWriteLock, WriterWaitsForReaders) {
    ReadWriteLock lock;
    lock.BeginRead();
    auto writer = OnOtherThread([&] {
        lock.BeginWrite();
        lock.EndWrite();
    });
    EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout);
    lock.EndRead();
    EXPECT_EQ(writer.wait_for(5s), std::future_status::ready);
}

TEST(ReadWriteLock, WritingThreadTakesItAgain) {
    ReadWriteLock lock;
    lock.BeginWrite();
    lock.BeginWrite();
    lock.BeginRead();
    lock.EndRead();
    lock.EndWrite();
    auto other = OnOtherThread([&] {
        lock.BeginRead();
        lock.EndRead();
    });
    // Still held once.
    EXPECT_EQ(other.wait_for(50ms), std::future_status::timeout);
    lock.EndWrite();
    EXPECT_EQ(other.wait_for(5s), std::future_status::ready);
}

}  // namespace
}  // namespace w20

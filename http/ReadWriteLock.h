#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace w20 {

// Many readers or one writer. The writing thread may take the lock again, for reading or for
// writing, while it holds the write side; a reader must not ask for the write side.
// Waiting writers keep new readers out, so a steady stream of readers cannot starve them.
class ReadWriteLock {
public:
    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

private:
    bool HeldByThisWriter() const { return writeDepth_ > 0 && writer_ == std::this_thread::get_id(); }

    std::mutex mutex_;
    std::condition_variable changed_;
    int readers_ = 0;
    int waitingWriters_ = 0;
    int writeDepth_ = 0;  // nested holds of the writing thread, reads under it included
    std::thread::id writer_;
};

}  // namespace w20

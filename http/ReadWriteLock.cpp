#include "http/ReadWriteLock.h"

namespace w20 {

void ReadWriteLock::BeginRead() {
    std::unique_lock lock(mutex_);
    if (HeldByThisWriter()) {
        ++writeDepth_;
        return;
    }
    changed_.wait(lock, [this] { return writeDepth_ == 0 && waitingWriters_ == 0; });
    ++readers_;
}

void ReadWriteLock::EndRead() {
    std::unique_lock lock(mutex_);
    if (HeldByThisWriter()) {
        --writeDepth_;
    } else {
        --readers_;
    }
    if (readers_ == 0 && writeDepth_ == 0)
        changed_.notify_all();
}

void ReadWriteLock::BeginWrite() {
    std::unique_lock lock(mutex_);
    if (HeldByThisWriter()) {
        ++writeDepth_;
        return;
    }
    ++waitingWriters_;
    changed_.wait(lock, [this] { return readers_ == 0 && writeDepth_ == 0; });
    --waitingWriters_;
    writer_ = std::this_thread::get_id();
    writeDepth_ = 1;
}

void ReadWriteLock::EndWrite() {
    std::unique_lock lock(mutex_);
    if (--writeDepth_ == 0) {
        writer_ = std::thread::id();
        changed_.notify_all();
    }
}

}  // namespace w20

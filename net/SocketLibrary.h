#pragma once

#include <mutex>

#include "net/SocketFunctions.h"

namespace w20 {

// The process's hold on a socket library: its entry points and whether its start-up has
// succeeded. The start-up runs at most once successfully; the clean-up runs when the object goes,
// which for the process's library is at program end.
class SocketLibrary {
public:
    explicit SocketLibrary(const SocketFunctions& functions) : functions_(functions) {}
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;

    const SocketFunctions& Functions() const { return functions_; }
    bool Started();
    // Asks for version 2.2; a refusal raises EIdStackInitializationFailed and leaves the library
    // not started, so that the next stack tries again.
    void Start();

    // The library of this platform, shared by the whole process.
    static SocketLibrary& Process();

private:
    const SocketFunctions functions_;
    std::mutex mutex_;
    bool started_ = false;
};

}  // namespace w20

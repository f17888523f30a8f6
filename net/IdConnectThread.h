#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "net/SocketFunctions.h"

namespace w20 {

// Connects one socket on a thread of its own, so that the caller can give up after a time limit.
// It touches nothing but the socket it was given.
class TIdConnectThread {
public:
    // Starts connecting at once.
    TIdConnectThread(TSocket socket, std::string ip, std::int32_t port);
    // Waits for the thread to end.
    ~TIdConnectThread();
    TIdConnectThread(const TIdConnectThread&) = delete;
    TIdConnectThread& operator=(const TIdConnectThread&) = delete;

    // True once the connect has returned; waits at most the given time for that.
    bool WaitFinished(std::chrono::milliseconds limit);
    bool Finished();
    // Asks the thread not to start the connect if it has not yet begun.
    void Terminate();
    // The message of the failure, or empty after a success or a failure that closing the socket
    // under the connect caused. Read it once the thread has finished.
    std::string Message();

private:
    void Execute();

    const std::int32_t socket_;
    const std::string ip_;
    const std::int32_t port_;
    std::mutex mutex_;
    std::condition_variable finishedChanged_;
    bool terminated_ = false;
    bool finished_ = false;
    std::string message_;
    std::thread thread_;  // last, so that everything above exists when it starts
};

}  // namespace w20

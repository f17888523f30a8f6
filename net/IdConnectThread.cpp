#include "net/IdConnectThread.h"

#include <exception>

#include "net/IdSocketHandle.h"
#include "net/SocketErrorMap.h"

namespace w20 {

TIdConnectThread::TIdConnectThread(TSocket socket, std::string ip, std::int32_t port)
    : socket_(socket), ip_(std::move(ip)), port_(port), thread_([this] { Execute(); }) {}

TIdConnectThread::~TIdConnectThread() {
    thread_.join();
}

void TIdConnectThread::Execute() {
    std::string message;
    try {
        bool terminated;
        {
            std::lock_guard lock(mutex_);
            terminated = terminated_;
        }
        if (!terminated) {
            TIdStack& stack = RequireSharedStack();
            // Closing the socket under the connect makes these two; they are the caller's doing.
            stack.CheckSocketResult(stack.ConnectSocket(socket_, IdFamilyInet, ip_, port_),
                                    {seBadDescriptor, seNotSocket});
        }
    } catch (const std::exception& e) {
        message = e.what();
    }
    std::lock_guard lock(mutex_);
    message_ = std::move(message);
    finished_ = true;
    finishedChanged_.notify_all();
}

bool TIdConnectThread::WaitFinished(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return finishedChanged_.wait_for(lock, limit, [this] { return finished_; });
}

bool TIdConnectThread::Finished() {
    std::lock_guard lock(mutex_);
    return finished_;
}

void TIdConnectThread::Terminate() {
    std::lock_guard lock(mutex_);
    terminated_ = true;
}

std::string TIdConnectThread::Message() {
    std::lock_guard lock(mutex_);
    return message_;
}

}  // namespace w20

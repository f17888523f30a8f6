#include "tests/support/FullBacklogListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace w20::test {
namespace {

constexpr int MostFillers = 8;
constexpr int UnansweredAfterMs = 200;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

FullBacklogListener::FullBacklogListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        throw std::runtime_error("full backlog listener: no listener");
    }
    port_ = ntohs(address.sin_port);
    // Connects until one is left unanswered: from then on every new one is.
    const sockaddr_in target = Loopback(port_);
    while (!full_ && static_cast<int>(fillers_.size()) < MostFillers) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            break;
        fillers_.push_back(fd);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
            continue;
        if (errno != EINPROGRESS)
            break;
        pollfd entry{fd, POLLOUT, 0};
        full_ = ::poll(&entry, 1, UnansweredAfterMs) == 0;
    }
}

FullBacklogListener::~FullBacklogListener() {
    for (const int fd : fillers_)
        ::close(fd);
    ::close(listener_);
}

}  // namespace w20::test

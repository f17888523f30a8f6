#include "tests/support/LoopbackClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "base/Strings.h"

namespace w20::test {

using Clock = std::chrono::steady_clock;

namespace {

int ConnectLoopback(std::uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

std::optional<std::string> HttpAnswer::Header(const std::string& name) const {
    auto values = Headers(name);
    if (values.empty())
        return std::nullopt;
    return values.front();
}

std::vector<std::string> HttpAnswer::Headers(const std::string& name) const {
    std::vector<std::string> values;
    std::size_t start = head.find('\n');
    while (start != std::string::npos && start + 1 < head.size()) {
        std::size_t end = head.find('\n', start + 1);
        std::string line =
            head.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos && SameText(line.substr(0, colon), name))
            values.push_back(Trim(line.substr(colon + 1)));
        start = end;
    }
    return values;
}

LoopbackClient::LoopbackClient(std::uint16_t port) : fd_(ConnectLoopback(port)) {
    if (fd_ < 0)
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port) + ": " +
                                 std::strerror(errno));
    timeval bound{3, 0};  // a server that stops reading must not hang a test in Send
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

LoopbackClient::~LoopbackClient() {
    close(fd_);
}

void LoopbackClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error(std::string("send: ") + std::strerror(errno));
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void LoopbackClient::ShutdownWrite() {
    shutdown(fd_, SHUT_WR);
}

bool LoopbackClient::Fill(Clock::time_point deadline) {
    if (closed_)
        return false;
    for (;;) {
        auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        if (left < 0)
            return false;
        pollfd one{fd_, POLLIN, 0};
        int ready = poll(&one, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[65536];
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            in_.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        closed_ = true;
        reset_ = n < 0 && errno == ECONNRESET;
        return false;
    }
}

std::string LoopbackClient::Receive(std::size_t count, Millis bound) {
    auto deadline = Clock::now() + bound;
    while (in_.size() < count && Fill(deadline)) {
    }
    std::string taken = in_.substr(0, std::min(count, in_.size()));
    in_.erase(0, taken.size());
    return taken;
}

std::string LoopbackClient::ReceiveUntilClosed(Millis bound) {
    auto deadline = Clock::now() + bound;
    while (Fill(deadline)) {
    }
    return std::exchange(in_, std::string());
}

std::optional<HttpAnswer> LoopbackClient::ReadAnswer(Millis bound, bool toHead) {
    auto deadline = Clock::now() + bound;
    std::size_t headEnd;
    while ((headEnd = in_.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill(deadline))
            return std::nullopt;
    }
    HttpAnswer answer;
    answer.head = in_.substr(0, headEnd + 2);
    answer.statusLine = answer.head.substr(0, answer.head.find("\r\n"));
    std::size_t blank = answer.statusLine.find(' ');
    if (blank != std::string::npos)
        answer.status = std::atoi(answer.statusLine.c_str() + blank + 1);
    std::size_t at = headEnd + 4;

    bool bodiless = toHead || answer.status / 100 == 1 || answer.status == 204 || answer.status == 304;
    auto coding = answer.Header("Transfer-Encoding");
    auto length = answer.Header("Content-Length");
    if (bodiless) {
    } else if (coding && LowerCase(*coding).find("chunked") != std::string::npos) {
        for (;;) {
            std::size_t lineEnd;
            while ((lineEnd = in_.find("\r\n", at)) == std::string::npos) {
                if (!Fill(deadline))
                    return std::nullopt;
            }
            std::size_t size = std::strtoull(in_.c_str() + at, nullptr, 16);
            at = lineEnd + 2;
            if (size == 0) {
                while ((lineEnd = in_.find("\r\n", at)) != at) {  // trailers up to the blank line
                    if (lineEnd != std::string::npos) {
                        at = lineEnd + 2;
                    } else if (!Fill(deadline)) {
                        return std::nullopt;
                    }
                }
                at += 2;
                break;
            }
            while (in_.size() < at + size + 2) {
                if (!Fill(deadline))
                    return std::nullopt;
            }
            answer.body += in_.substr(at, size);
            at += size + 2;
        }
    } else if (length) {
        std::size_t size = std::strtoull(length->c_str(), nullptr, 10);
        while (in_.size() < at + size) {
            if (!Fill(deadline))
                return std::nullopt;
        }
        answer.body = in_.substr(at, size);
        at += size;
    } else {
        while (Fill(deadline)) {
        }
        if (!closed_)
            return std::nullopt;
        answer.body = in_.substr(at);
        at = in_.size();
    }
    in_.erase(0, at);
    return answer;
}

std::string Exchange(std::uint16_t port, std::string_view request, Millis bound) {
    LoopbackClient client(port);
    client.Send(request);
    return client.ReceiveUntilClosed(bound);
}

std::uint16_t FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error(std::string("cannot find a free port: ") + std::strerror(errno));
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool WaitUntilAccepting(std::uint16_t port, Millis bound) {
    auto deadline = Clock::now() + bound;
    for (;;) {
        int fd = ConnectLoopback(port);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        if (Clock::now() >= deadline)
            return false;
        usleep(10000);
    }
}

}  // namespace w20::test

// The bundled demo quote service: answers the tool's quote query on 127.0.0.1 with made-up but
// realistic bars, so that the tool can be tried and tested without the provider's service.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "tools/demo-quote-server/QuoteConnection.h"

namespace {

using Clock = std::chrono::steady_clock;
using w20::demo::QuoteConnection;

constexpr std::size_t MaxConnections = 256;
constexpr auto IdleLimit = std::chrono::seconds(60);
// After the last answer of a closing connection, how long the client may still send before the
// socket is closed; closing on unread input would reset the connection and could lose the answer.
constexpr auto LingerLimit = std::chrono::seconds(2);

int stopWrite = -1;

void OnStopSignal(int) {
    char stop = 1;
    [[maybe_unused]] ssize_t ignored = write(stopWrite, &stop, 1);
}

struct Client {
    int fd;
    QuoteConnection http;
    Clock::time_point lastActivity = Clock::now();
    bool lingering = false;   // the answers are out and our side is shut down
    bool readClosed = false;  // the client has sent all it will
};

void Usage(std::FILE* to) {
    std::fputs(
        "usage: demo-quote-server [--port N]\n"
        "Serves made-up intraday bars on 127.0.0.1 at /quotes.php; port 0 or none picks a free port.\n",
        to);
}

bool ParsePort(const char* text, int& port) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

std::string NewSessionId() {
    static unsigned long long counter =
        static_cast<unsigned long long>(Clock::now().time_since_epoch().count()) ^
        (static_cast<unsigned long long>(getpid()) << 32);
    counter = counter * 6364136223846793005ULL + 1442695040888963407ULL;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", counter);
    return text;
}

// Sends what it can without blocking; false when the client is gone.
bool Flush(Client& client) {
    std::string& output = client.http.Output();
    while (!output.empty()) {
        ssize_t sent = send(client.fd, output.data(), output.size(), MSG_NOSIGNAL);
        if (sent < 0)
            return errno == EAGAIN || errno == EINTR;
        output.erase(0, static_cast<std::size_t>(sent));
    }
    return true;
}

enum class Reading { Open, Closed, Failed };

// Reads what has arrived and answers it (a lingering connection only discards).
Reading Take(Client& client) {
    char buffer[16384];
    for (;;) {
        ssize_t received = recv(client.fd, buffer, sizeof buffer, 0);
        if (received > 0) {
            if (!client.lingering)
                client.http.Receive(std::string_view(buffer, static_cast<std::size_t>(received)));
            continue;
        }
        if (received == 0)
            return Reading::Closed;
        return errno == EAGAIN || errno == EINTR ? Reading::Open : Reading::Failed;
    }
}

// Reads the command line into the port; false (after saying why) when the program should end
// with `exitCode` instead of serving.
bool ReadArguments(int argc, char** argv, int& port, int& exitCode) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            exitCode = 0;
            return false;
        }
        if (arg == "--port" && i + 1 < argc && ParsePort(argv[i + 1], port)) {
            ++i;
        } else if (!(arg.starts_with("--port=") && ParsePort(argv[i] + 7, port))) {
            std::fprintf(stderr, "demo-quote-server: unexpected argument '%s'\n", argv[i]);
            Usage(stderr);
            exitCode = 2;
            return false;
        }
    }
    return true;
}

// The stop signals write to a pipe that the event loop watches; -1 when the pipe cannot be made.
int WatchStopSignals() {
    int stopPipe[2];
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("demo-quote-server: pipe");
        return -1;
    }
    stopWrite = stopPipe[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return stopPipe[0];
}

// A non-blocking listening socket on 127.0.0.1:port, announced on standard output with the port
// it got; -1 when it cannot be made.
int Listen(int port) {
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "demo-quote-server: cannot listen on 127.0.0.1:%d: %s\n", port,
                     std::strerror(errno));
        return -1;
    }
    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(ntohs(address.sin_port)));
    std::fflush(stdout);
    return listener;
}

// Serves until a stop signal; false when waiting for events fails.
bool Serve(int listener, int stopRead) {
    std::list<Client> clients;
    bool served = true;
    for (;;) {
        std::vector<pollfd> fds = {{stopRead, POLLIN, 0}, {listener, POLLIN, 0}};
        for (const Client& client : clients) {
            short events = client.readClosed ? 0 : POLLIN;
            if (!client.http.Output().empty())
                events |= POLLOUT;
            fds.push_back({client.fd, events, 0});
        }
        if (poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) {
            std::perror("demo-quote-server: poll");
            served = false;
            break;
        }
        if (fds[0].revents != 0)
            break;
        if (fds[1].revents != 0) {
            for (int fd; (fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
                if (clients.size() >= MaxConnections) {
                    close(fd);
                    continue;
                }
                clients.push_back(Client{fd, QuoteConnection(NewSessionId)});
            }
        }

        auto now = Clock::now();
        std::size_t index = 2;
        for (auto client = clients.begin(); client != clients.end(); ++index) {
            bool alive = true;
            // Clients accepted in this round have no entry in fds yet.
            short revents = index < fds.size() ? fds[index].revents : 0;
            if (revents != 0) {
                client->lastActivity = now;
                Reading reading = client->readClosed ? Reading::Closed : Take(*client);
                client->readClosed = reading == Reading::Closed;
                alive = reading != Reading::Failed && Flush(*client);
            }
            // A client that has sent all it will is closed once its answers are out.
            if (client->readClosed && client->http.Output().empty())
                alive = false;
            if (alive && client->http.Closing() && client->http.Output().empty() && !client->lingering) {
                shutdown(client->fd, SHUT_WR);
                client->lingering = true;
                client->lastActivity = now;
            }
            if (client->lingering && now - client->lastActivity > LingerLimit)
                alive = false;
            if (now - client->lastActivity > IdleLimit)
                alive = false;
            if (alive) {
                ++client;
            } else {
                close(client->fd);
                client = clients.erase(client);
            }
        }
    }
    for (const Client& client : clients)
        close(client.fd);
    return served;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    int exitCode = 0;
    if (!ReadArguments(argc, argv, port, exitCode))
        return exitCode;
    const int stopRead = WatchStopSignals();
    if (stopRead < 0)
        return 1;
    const int listener = Listen(port);
    if (listener < 0)
        return 1;
    const bool served = Serve(listener, stopRead);
    close(listener);
    return served ? 0 : 1;
}

#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace w20::test {

// A real forwarding proxy we did not write: Debian's tinyproxy in the foreground on 127.0.0.1 and a
// free port, taking clients from 127.0.0.1 only, with its configuration and log in a TempDir.
// Stopped in the destructor.
class TinyproxyServer {
public:
    static constexpr const char* Binary = "/usr/bin/tinyproxy";
    static bool Available();

    // Opens tunnels (CONNECT) to the given ports only. Non-empty credentials make it ask every
    // client for them (Basic). Throws std::runtime_error, with the log, when tinyproxy is missing
    // or does not accept in time.
    explicit TinyproxyServer(const std::vector<std::uint16_t>& connectPorts, const std::string& username = "",
                             const std::string& password = "",
                             std::chrono::milliseconds startBound = std::chrono::milliseconds(5000));
    ~TinyproxyServer();
    TinyproxyServer(const TinyproxyServer&) = delete;
    TinyproxyServer& operator=(const TinyproxyServer&) = delete;

    std::uint16_t Port() const { return server_.Port(); }
    // What the proxy logged: the requests it took, the tunnels it opened, its refusals.
    std::string Log() const;

private:
    TempDir dir_;
    ServerProcess server_;  // stopped before the folder is removed
};

}  // namespace w20::test

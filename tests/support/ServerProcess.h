#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace w20::test {

// A server program we did not write, running as a child that listens on 127.0.0.1 and a free port.
// Stopped in the destructor.
class ServerProcess {
public:
    // The command line for a port; it may write the files the server needs first.
    using Command = std::function<std::vector<std::string>(std::uint16_t port)>;

    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Picks a free port, runs `command` with its output appended to `outputFile`, and waits until
    // the port accepts. Throws std::runtime_error naming `name`, with `log()`, when the server ends
    // or does not accept within the bound.
    void Start(const std::string& name, const Command& command, const std::string& outputFile,
               const std::function<std::string()>& log, std::chrono::milliseconds startBound);

    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by the target.
    std::string Url(const std::string& target) const;

private:
    bool TryStart(const Command& command, const std::string& outputFile,
                  std::chrono::milliseconds startBound);

    std::uint16_t port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace w20::test

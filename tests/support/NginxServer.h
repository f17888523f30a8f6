#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace w20::test {

// A real web server we did not write, for tests and benchmarks: Debian's nginx in the foreground
// on 127.0.0.1 and a free port, with its own prefix, configuration, pid file, logs and temporary
// folders in a TempDir. Stopped in the destructor.
class NginxServer {
public:
    static constexpr const char* Binary = "/usr/sbin/nginx";
    static bool Available();

    // Serves `documentRoot` (an existing folder). `serverSnippet` holds directives and location
    // blocks for inside server { }, `httpSnippet` directives for inside http { }. Throws
    // std::runtime_error, with the error log, when nginx is missing or does not accept in time.
    explicit NginxServer(const std::string& documentRoot, const std::string& serverSnippet = "",
                         const std::string& httpSnippet = "",
                         std::chrono::milliseconds startBound = std::chrono::milliseconds(5000));
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    std::uint16_t Port() const { return server_.Port(); }
    // "http://127.0.0.1:<port>" followed by the target.
    std::string Url(const std::string& target = "/") const { return server_.Url(target); }
    std::string ErrorLog() const;
    std::string ConfigText() const;

private:
    // Writes the configuration for the port and gives the command line.
    std::vector<std::string> Configure(std::uint16_t port, const std::string& documentRoot,
                                       const std::string& serverSnippet, const std::string& httpSnippet);

    TempDir prefix_;
    ServerProcess server_;  // stopped before the prefix is removed
};

}  // namespace w20::test

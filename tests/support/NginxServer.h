#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "tests/support/ChildProcess.h"
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

    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by the target.
    std::string Url(const std::string& target = "/") const;
    std::string ErrorLog() const;
    std::string ConfigText() const;

private:
    bool TryStart(const std::string& documentRoot, const std::string& serverSnippet,
                  const std::string& httpSnippet, std::chrono::milliseconds startBound);

    TempDir prefix_;
    std::uint16_t port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace w20::test

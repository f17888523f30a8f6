#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace w20::test {

// A real web server we did not write, where nginx is not at hand: python3's http.server serving
// a folder on 127.0.0.1 and a free port. It answers HTTP/1.0 and closes after every answer.
// Stopped in the destructor.
class PythonHttpServer {
public:
    static bool Available();

    // Throws std::runtime_error, with the server's output, when python3 is missing or the server
    // does not accept within the bound.
    explicit PythonHttpServer(const std::string& directory,
                              std::chrono::milliseconds startBound = std::chrono::milliseconds(5000));
    ~PythonHttpServer();
    PythonHttpServer(const PythonHttpServer&) = delete;
    PythonHttpServer& operator=(const PythonHttpServer&) = delete;

    std::uint16_t Port() const { return server_.Port(); }
    // "http://127.0.0.1:<port>" followed by the target.
    std::string Url(const std::string& target = "/") const { return server_.Url(target); }
    // What the server wrote (its request log and any error).
    std::string Log() const;

private:
    TempDir logDir_;
    ServerProcess server_;
};

}  // namespace w20::test

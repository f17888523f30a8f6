#include "tests/support/PythonHttpServer.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "tests/support/LoopbackClient.h"

namespace w20::test {

namespace {

// The system's interpreter when there is one (it starts fastest), else the first on PATH.
std::string Interpreter() {
    if (access("/usr/bin/python3", X_OK) == 0)
        return "/usr/bin/python3";
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = (folder.empty() ? "." : folder) + "/python3";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

}  // namespace

bool PythonHttpServer::Available() {
    return !Interpreter().empty();
}

PythonHttpServer::PythonHttpServer(const std::string& directory, std::chrono::milliseconds startBound) {
    if (!Available())
        throw std::runtime_error(
            "python3 is missing: neither /usr/bin/python3 nor python3 on PATH "
            "(install the Debian package python3)");
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (TryStart(directory, startBound))
            return;
        if (Log().find("Address already in use") == std::string::npos)
            break;
    }
    std::string log = Log();
    process_.reset();
    throw std::runtime_error("python3 -m http.server did not start within " +
                             std::to_string(startBound.count()) + " ms. Output:\n" + log);
}

PythonHttpServer::~PythonHttpServer() = default;

bool PythonHttpServer::TryStart(const std::string& directory, std::chrono::milliseconds startBound) {
    process_.reset();
    port_ = FreeLoopbackPort();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{Interpreter(), "-u", "-m", "http.server", "--bind", "127.0.0.1",
                                 std::to_string(port_), "--directory", directory},
        logDir_.File("server.log"));
    auto deadline = std::chrono::steady_clock::now() + startBound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!process_->Running())
            return false;
        if (WaitUntilAccepting(port_, std::chrono::milliseconds(20)))
            return true;
    }
    return false;
}

std::string PythonHttpServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

std::string PythonHttpServer::Log() const {
    return FileExists(logDir_.File("server.log")) ? ReadFileBytes(logDir_.File("server.log")) : "";
}

}  // namespace w20::test

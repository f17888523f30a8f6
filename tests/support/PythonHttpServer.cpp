#include "tests/support/PythonHttpServer.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

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
    const auto command = [&directory](std::uint16_t port) -> std::vector<std::string> {
        return {Interpreter(),        "-u",          "-m",     "http.server", "--bind", "127.0.0.1",
                std::to_string(port), "--directory", directory};
    };
    server_.Start(
        "python3 -m http.server", command, logDir_.File("server.log"), [this] { return Log(); }, startBound);
}

PythonHttpServer::~PythonHttpServer() = default;

std::string PythonHttpServer::Log() const {
    return FileExists(logDir_.File("server.log")) ? ReadFileBytes(logDir_.File("server.log")) : "";
}

}  // namespace w20::test

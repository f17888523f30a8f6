#include "tests/support/TinyproxyServer.h"

#include <unistd.h>

#include <stdexcept>

namespace w20::test {

bool TinyproxyServer::Available() {
    return access(Binary, X_OK) == 0;
}

TinyproxyServer::TinyproxyServer(const std::vector<std::uint16_t>& connectPorts, const std::string& username,
                                 const std::string& password, std::chrono::milliseconds startBound) {
    if (!Available())
        throw std::runtime_error(std::string("tinyproxy is missing: ") + Binary +
                                 " is not there (install the Debian package tinyproxy)");
    const auto configure = [&](std::uint16_t port) -> std::vector<std::string> {
        std::string text = "Port " + std::to_string(port) +
                           "\n"
                           "Listen 127.0.0.1\n"
                           "Allow 127.0.0.1\n"
                           "Timeout 30\n"
                           "MaxClients 20\n"
                           "DisableViaHeader Yes\n"
                           "LogLevel Info\n"
                           "LogFile \"" +
                           dir_.File("tinyproxy.log") + "\"\nPidFile \"" + dir_.File("tinyproxy.pid") +
                           "\"\n";
        for (const std::uint16_t allowed : connectPorts)
            text += "ConnectPort " + std::to_string(allowed) + "\n";
        if (!username.empty())
            text += "BasicAuth " + username + " " + password + "\n";
        WriteFileBytes(dir_.File("tinyproxy.conf"), text);
        return {Binary, "-d", "-c", dir_.File("tinyproxy.conf")};
    };
    server_.Start(
        "tinyproxy", configure, dir_.File("output.log"), [this] { return Log(); }, startBound);
}

TinyproxyServer::~TinyproxyServer() = default;

std::string TinyproxyServer::Log() const {
    std::string log;
    for (const char* name : {"output.log", "tinyproxy.log"}) {
        if (FileExists(dir_.File(name)))
            log += ReadFileBytes(dir_.File(name));
    }
    return log;
}

}  // namespace w20::test

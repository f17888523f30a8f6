#include "tests/support/ServerProcess.h"

#include <stdexcept>

#include "tests/support/LoopbackClient.h"

namespace w20::test {

void ServerProcess::Start(const std::string& name, const Command& command, const std::string& outputFile,
                          const std::function<std::string()>& log, std::chrono::milliseconds startBound) {
    // The free port may be taken by someone else before the server binds it; then try another.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (TryStart(command, outputFile, startBound))
            return;
        if (log().find("Address already in use") == std::string::npos)
            break;
    }
    const std::string text = log();
    process_.reset();
    throw std::runtime_error(name + " did not start within " + std::to_string(startBound.count()) +
                             " ms. Its log:\n" + text);
}

bool ServerProcess::TryStart(const Command& command, const std::string& outputFile,
                             std::chrono::milliseconds startBound) {
    process_.reset();
    port_ = FreeLoopbackPort();
    process_ = std::make_unique<ChildProcess>(command(port_), outputFile);
    const auto deadline = std::chrono::steady_clock::now() + startBound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!process_->Running())
            return false;
        if (WaitUntilAccepting(port_, std::chrono::milliseconds(20)))
            return true;
    }
    return false;
}

std::string ServerProcess::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

}  // namespace w20::test

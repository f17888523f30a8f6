#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "tests/support/TempDir.h"

extern char** environ;

namespace w20::test {

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    Spawn(argv, nullptr);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& logFile) {
    Spawn(argv, &logFile);
}

ChildProcess::~ChildProcess() {
    Stop();
    if (output_ >= 0)
        close(output_);
}

void ChildProcess::Spawn(const std::vector<std::string>& argv, const std::string* logFile) {
    if (argv.empty())
        throw std::invalid_argument("ChildProcess needs a program");
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    int pipeEnds[2] = {-1, -1};
    if (logFile != nullptr) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile->c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    } else {
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        }
        // dup2 clears close-on-exec on the copy, so only the child's standard output stays open.
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    }
    int error = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0)
        close(pipeEnds[1]);
    output_ = pipeEnds[0];
    if (error != 0) {
        pid_ = -1;
        if (output_ >= 0)
            close(output_);
        output_ = -1;
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    }
}

bool ChildProcess::Running() {
    if (pid_ < 0 || status_)
        return false;
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_)
        status_ = status;
    return !status_;
}

std::optional<std::string> ChildProcess::ReadOutputLine(std::chrono::milliseconds bound) {
    auto deadline = Clock::now() + bound;
    std::size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        if (output_ < 0)
            return std::nullopt;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0)
            return std::nullopt;
        pollfd one{output_, POLLIN, 0};
        int ready = poll(&one, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[4096];
        ssize_t n = read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int ChildProcess::Stop(int signal, std::chrono::milliseconds bound) {
    if (!Running())
        return status_.value_or(0);
    kill(pid_, signal);
    auto deadline = Clock::now() + bound;
    while (Running() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (Running()) {
        kill(pid_, SIGKILL);
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_)
            status_ = status;
    }
    return status_.value_or(0);
}

CommandResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds bound) {
    TempDir folder;
    int status = 0;
    {
        ChildProcess child(argv, folder.File("output"));
        const auto deadline = Clock::now() + bound;
        while (child.Running() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        status = child.Stop(SIGKILL);
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            FileExists(folder.File("output")) ? ReadFileBytes(folder.File("output")) : ""};
}

}  // namespace w20::test

#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

namespace w20::test {

// A child process of a test (a real peer, or one of our own programs), stopped at scope end.
class ChildProcess {
public:
    // Starts argv[0] (a path, or a name looked up in PATH). Standard output comes through a pipe
    // (ReadOutputLine); standard error stays the test's own.
    explicit ChildProcess(const std::vector<std::string>& argv);
    // As above, with standard output and standard error appended to `logFile`.
    ChildProcess(const std::vector<std::string>& argv, const std::string& logFile);
    // Stop(): no child outlives its test.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // Whether it still runs; collects its exit status once it has ended.
    bool Running();
    // The wait status once it has ended.
    std::optional<int> WaitStatus() const { return status_; }
    // The next line of standard output without its line end; empty when the bound passes or the
    // output ends first.
    std::optional<std::string> ReadOutputLine(std::chrono::milliseconds bound);
    // Sends `signal`, waits up to `bound` for the end, then kills. Returns the wait status.
    int Stop(int signal = SIGTERM, std::chrono::milliseconds bound = std::chrono::milliseconds(3000));

private:
    void Spawn(const std::vector<std::string>& argv, const std::string* logFile);

    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    std::optional<int> status_;
};

// What a command run to its end gave.
struct CommandResult {
    int exitCode = -1;   // -1 when a signal ended it or the bound stopped it
    std::string output;  // standard output and standard error, as they came
};

// Runs a command to its end; stops it when `bound` passes first.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         std::chrono::milliseconds bound = std::chrono::milliseconds(10000));

}  // namespace w20::test

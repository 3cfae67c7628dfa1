#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mvk::test {

/// A test's helper program run as a process of its own, started as a game
/// would be: SIGPIPE at its default action and no signal blocked, whatever
/// the test runner set for itself. Its stderr goes to a file.
class ChildProcess {
  public:
    /// `stdoutFd` becomes the child's stdout; -1 sends it to /dev/null.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& stderrFile, int stdoutFd = -1);
    /// A child still running is killed and reaped, so no test leaves one behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool spawned() const { return spawned_; }
    pid_t pid() const { return pid_; }

    /// Waits for the child; the wait status (-1 when it never started).
    int wait();
    /// The wait status once the child has ended, or nothing after `timeout`.
    std::optional<int> waitFor(std::chrono::milliseconds timeout);
    void kill(int signal);

    std::string stderrText() const;

    /// "exited with N", "ended by signal NAME" or "not waited for".
    static std::string describe(int status);

  private:
    std::filesystem::path stderrFile_;
    pid_t pid_ = -1;
    bool spawned_ = false;
    std::optional<int> status_;
};

}  // namespace mvk::test

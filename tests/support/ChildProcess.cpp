#include "support/ChildProcess.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/Patience.hpp"

extern char** environ;

namespace mvk::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& stderrFile, int stdoutFd)
    : stderrFile_(stderrFile) {
    std::vector<char*> argv;
    std::string path = program;
    argv.push_back(path.data());
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    spawned_ = posix_spawn(&pid_, path.c_str(), &actions, &attributes, argv.data(), environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (spawned_ && !status_) {
        ::kill(pid_, SIGKILL);
        wait();
    }
}

int ChildProcess::wait() {
    if (!spawned_) {
        return -1;
    }
    if (!status_) {
        int status = -1;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        status_ = status;
    }
    return *status_;
}

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds timeout) {
    if (!spawned_) {
        return -1;
    }
    const auto ended = [&] {
        int status = -1;
        const pid_t waited = waitpid(pid_, &status, WNOHANG);
        if (waited == pid_) {
            status_ = status;
        } else if (waited < 0 && errno != EINTR) {
            status_ = -1;
        }
        return status_.has_value();
    };
    if (!pollUntil(ended, timeout, std::chrono::milliseconds(5))) {
        return std::nullopt;
    }
    return status_;
}

void ChildProcess::kill(int signal) {
    if (spawned_ && !status_) {
        ::kill(pid_, signal);
    }
}

std::string ChildProcess::stderrText() const {
    std::ifstream file(stderrFile_);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ChildProcess::describe(int status) {
    if (status != -1 && WIFSIGNALED(status)) {
        return std::string("ended by signal ") + strsignal(WTERMSIG(status));
    }
    if (status != -1 && WIFEXITED(status)) {
        return "exited with " + std::to_string(WEXITSTATUS(status));
    }
    return "not waited for";
}

}  // namespace mvk::test

// Each test starts the child program (tests/process/child) as a separate
// process: what is checked here (a signal at exit, SIGPIPE, the process-wide
// syslog settings) cannot be seen from inside the test process itself.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gateway/Gateway.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/ProcessExit.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"
#include "support/TempDir.hpp"

extern char** environ;

namespace mvk::test {
namespace {

/// One run of the child program, its stderr kept in a file.
class Child {
  public:
    /// `stdoutFd` becomes the child's stdout; -1 sends it to /dev/null.
    Child(const std::vector<std::string>& args, const std::filesystem::path& stderrFile,
          int stdoutFd = -1)
        : stderrFile_(stderrFile) {
        std::vector<char*> argv;
        static std::string program = MVK_PROCESS_CHILD;
        argv.push_back(program.data());
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
        // The child starts as a game would: SIGPIPE at its default action and
        // no signal blocked, whatever the test runner set for itself.
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
        spawned_ =
            posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }

    /// Waits for the child; the wait status.
    int wait() {
        int status = -1;
        if (spawned_) {
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
        return status;
    }

    pid_t pid() const { return pid_; }

    std::string stderrText() const {
        std::ifstream file(stderrFile_);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

  private:
    std::filesystem::path stderrFile_;
    pid_t pid_ = -1;
    bool spawned_ = false;
};

std::string describe(int status) {
    if (WIFSIGNALED(status)) {
        return std::string("ended by signal ") + strsignal(WTERMSIG(status));
    }
    if (WIFEXITED(status)) {
        return "exited with " + std::to_string(WEXITSTATUS(status));
    }
    return "not waited for";
}

TEST(ProcessBoundaryTest, ExitWhileTransfersAreUnderWayEndsCleanly) {
    TempDir dir;
    gateway::Gateway gateway;
    gateway::ScriptedAnswer slow = gateway::ScriptedAnswer::json(200, "{}");
    slow.delay = std::chrono::milliseconds(5);
    gateway.setDefaultAnswer(slow);
    const auto caFile = dir.path() / "ca.pem";
    std::ofstream(caFile) << gateway.caPem();

    // One child at a time: the gateway's listen backlog is short, and a
    // dropped connection attempt costs a second of retransmission.
    for (int run = 0; run < 50; ++run) {
        // Exits spread over the first 40 ms: during set-up, in the TLS
        // handshake, while waiting for an answer.
        Child child({"exit-under-transfers", gateway.baseUrl(), caFile.string(),
                     std::to_string(run * 7 % 40)},
                    dir.path() / "stderr");
        const int status = child.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "run " << run << ": " << describe(status) << "\n"
            << child.stderrText();
    }
}

TEST(ProcessBoundaryTest, ExitFromInsideALibraryQueueDoesNotWaitForItself) {
    TempDir dir;
    const auto started = std::chrono::steady_clock::now();
    Child child({"exit-from-queue"}, dir.path() / "stderr");
    const int status = child.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status);
    EXPECT_LT(std::chrono::steady_clock::now() - started, ProcessExit::longestExitWait);
}

TEST(ProcessBoundaryTest, TeardownLineToAClosedStdoutPipeDoesNotKillTheHost) {
    TempDir dir;
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    close(fds[0]);  // the reader is gone before anything is written
    Child child({"closed-stdout"}, dir.path() / "stderr", fds[1]);
    close(fds[1]);
    const int status = child.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status) << "\n"
                                                               << child.stderrText();
}

TEST(ProcessBoundaryTest, LibraryLinesLeaveTheHostsSyslogSettingsAlone) {
    TempDir dir;
    Child child({"host-syslog"}, dir.path() / "stderr");
    const int status = child.wait();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status);
    const std::string host = "mvkhost[" + std::to_string(child.pid()) + "]: ";
    const std::string text = child.stderrText();
    // The host's ident, facility and LOG_PERROR still hold after our line...
    EXPECT_NE(text.find(host + "host line\n"), std::string::npos) << text;
    // ...and our line names us and the process by itself.
    const auto ours = text.find(host + "MVKAnalytics[" + std::to_string(child.pid()) + "]: ");
    ASSERT_NE(ours, std::string::npos) << text;
    EXPECT_NE(text.find("library line", ours), std::string::npos) << text;
}

// Group commit may lose the newest events at a kill, never an older one: after
// each kill the file is sound, the library opens it, and the stored numbers
// run from 0 without a gap.
TEST(ProcessBoundaryTest, AKillLosesOnlyATailOfStoredEvents) {
    TempDir dir;
    const auto database = dir.path() / "morvanix" / "morvanix.db";
    std::mt19937 random(std::random_device{}());
    std::size_t stored = 0;
    for (int kill = 0; kill < 10; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        Child child({"store-numbered", dir.path().string()}, dir.path() / "stderr");
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(80, 400)(random)));
        ::kill(child.pid(), SIGKILL);
        const int status = child.wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << describe(status) << "\n" << child.stderrText();

        ASSERT_EQ(RawDatabase(database).single("PRAGMA integrity_check"), "ok");
        ApplicationSupportDirectory::setOverride(dir.path());
        std::vector<std::int64_t> numbers;
        {
            SQLiteProvider provider("kill", nullptr);
            ASSERT_TRUE(provider.queryRows(
                {.tableName = "events",
                 .projection = std::vector<std::string>{"eventJson"},
                 .sortOrder = "id"},
                [&](const Cursor& row) { numbers.push_back(std::stoll(row.text(0).value())); }));
        }
        ApplicationSupportDirectory::setOverride(std::nullopt);
        ASSERT_GE(numbers.size(), stored);
        for (std::size_t index = 0; index < numbers.size(); ++index) {
            ASSERT_EQ(numbers[index], static_cast<std::int64_t>(index));
        }
        stored = numbers.size();
    }
    EXPECT_GT(stored, 0u);
}

}  // namespace
}  // namespace mvk::test

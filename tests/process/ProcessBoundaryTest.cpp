// Each test starts the child program (tests/process/child) as a separate
// process: what is checked here (a signal at exit, SIGPIPE, the process-wide
// syslog settings) cannot be seen from inside the test process itself.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gateway/Gateway.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/ProcessExit.hpp"
#include "storage/DataFolderLock.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"
#include "support/ChildProcess.hpp"
#include "support/Patience.hpp"
#include "support/SanitizedBuild.hpp"
#include "support/TempDir.hpp"

namespace mvk::test {
namespace {

/// One run of the child program.
class Child : public ChildProcess {
  public:
    Child(const std::vector<std::string>& args, const std::filesystem::path& stderrFile,
          int stdoutFd = -1)
        : ChildProcess(MVK_PROCESS_CHILD, args, stderrFile, stdoutFd) {}
};

std::string describe(int status) {
    return ChildProcess::describe(status);
}

/// When the child marked `what` ("exit begins at N"), on the monotonic clock.
std::chrono::nanoseconds markOf(const ChildProcess& child, const std::string& what) {
    const std::regex line(what + R"( at (\d+))");
    const auto text = child.stderrText();
    std::smatch match;
    if (!std::regex_search(text, match, line)) {
        ADD_FAILURE() << "the child never marked \"" << what << "\":\n" << text;
        return std::chrono::steady_clock::now().time_since_epoch();
    }
    return std::chrono::nanoseconds(std::stoll(match[1]));
}

/// From the child's "exit begins" line until now, when it has been waited for.
std::chrono::nanoseconds exitDuration(const ChildProcess& child) {
    return std::chrono::steady_clock::now().time_since_epoch() - markOf(child, "exit begins");
}

/// The exit bound, and what the process's own teardown may add in this build.
std::chrono::nanoseconds exitAllowance() {
    return ProcessExit::longestExitWait + patience(std::chrono::seconds(1));
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
    Child child({"exit-from-queue"}, dir.path() / "stderr");
    const int status = child.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status);
    EXPECT_LT(exitDuration(child), exitAllowance());
}

// OpenSSL must not free its state at exit under a queue thread still using
// it, whichever of the library's uses of it came first.
TEST(ProcessBoundaryTest, ExitWhileAQueueMakesIdsEndsCleanly) {
    TempDir dir;
    for (int run = 0; run < 10; ++run) {
        Child child({"exit-making-ids"}, dir.path() / "stderr");
        const int status = child.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "run " << run << ": " << describe(status) << "\n"
            << child.stderrText();
    }
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

/// The numbers of the custom events "exit" stored in the file, loose or
/// packed into reports (where an event is text inside the packages' JSON).
std::set<int> storedNumbers(const std::filesystem::path& database) {
    RawDatabase raw(database);
    std::string stored;
    for (const auto* sql : {"SELECT eventJson FROM events", "SELECT packagesJson FROM reports"}) {
        for (const auto& row : raw.rows(sql)) {
            stored += row[0];
        }
    }
    static const std::regex number(R"(seq\\*":(\d+))");
    std::set<int> numbers;
    for (std::sregex_iterator it(stored.begin(), stored.end(), number), end; it != end; ++it) {
        numbers.insert(std::stoi((*it)[1]));
    }
    return numbers;
}

// A game that quits right after its last 300 calls keeps them all: at exit the
// queued calls are stored (with no gateway to reach) and what finished blocks
// wrote is committed, within the exit bound, whichever thread exits.
TEST(ProcessBoundaryTest, ExitKeepsTheCallsAlreadyMade) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"return", "return from main"},
        {"destroy", "destroySDK, then return from main"},
        {"exit-in-block", "exit from a block on the library's queue"},
        {"exit-before-calls", "exit from a block on the library's queue, calls queued behind it"},
        {"block-past-bound", "a block still running at the exit bound"},
    };
    std::set<int> all;
    for (int seq = 0; seq < 300; ++seq) {
        all.insert(seq);
    }
    for (const auto& [how, name] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        Child child({"keep-calls", dir.path().string(), how}, dir.path() / "stderr");
        const int status = child.wait();
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status) << "\n"
                                                                   << child.stderrText();
        // The block left running takes 10 s.
        EXPECT_LT(exitDuration(child), exitAllowance());
        EXPECT_EQ(storedNumbers(dir.path() / "morvanix" / "morvanix.db"), all);
    }
}

// A life-cycle call waits for the calls made before it, and the exit stores
// what is queued, but neither holds the game's thread past the exit bound:
// not behind 50,000 queued calls, nor while another connection keeps the
// database's write lock. A call that stops waiting says so, and so does an
// exit that leaves calls unstored, with how many.
TEST(ProcessBoundaryTest, LifeCycleCallsAndTheExitKeepTheirBound) {
    struct Case {
        std::string held;
        std::string call;
        bool cutShort;
    };
    const std::vector<Case> cases = {
        // Stored within the bound on a fast machine, past it in a slow build.
        {"backlog", "didEnterBackground", false},
        {"locked", "willResignActive", true},
        {"locked", "didEnterBackground", true},
        {"locked", "willTerminate", true},
    };
    for (const auto& [held, call, cutShort] : cases) {
        SCOPED_TRACE(held + " " + call);
        TempDir dir;
        Child child({"life-cycle", dir.path().string(), held, call}, dir.path() / "stderr");
        // A call that waits for the locked database would never return.
        const auto status = child.waitFor(patience(std::chrono::seconds(60)));
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
            << (status ? describe(*status) : "still running") << "\n"
            << child.stderrText();
        EXPECT_LT(markOf(child, "call returned") - markOf(child, "call begins"), exitAllowance());
        EXPECT_LT(exitDuration(child), exitAllowance());
        if (cutShort) {
            const auto told = child.stderrText();
            EXPECT_NE(told.find(call + " returns before the calls made ahead of it"),
                      std::string::npos)
                << told;
            // The 300 calls, less any whose write failed on the lock before the end.
            const std::regex notStored(
                R"(\[Backlog\] (\d+) calls? not stored: still queued when the process exited)");
            std::smatch match;
            ASSERT_TRUE(std::regex_search(told, match, notStored)) << told;
            EXPECT_GE(std::stoi(match[1]), 1);
            EXPECT_LE(std::stoi(match[1]), 300);
        }
    }
}

// A game's last calls come from wherever its own teardown runs: static and
// thread_local destructors and atexit handlers, before and after the
// library's teardown, and from the thread_local destructors of many
// short-lived threads. Each is handled or refused, and the process ends as
// the game asked.
TEST(ProcessBoundaryTest, CallsFromTheHostsTeardownEndCleanly) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"call-at-teardown", "started"}, "teardown of a game that started the library"},
        {{"call-at-teardown", "never"}, "teardown of a game that never started it"},
        {{"call-from-ending-threads", "1000"}, "1,000 ending threads"},
    };
    for (const auto& [args, name] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        Child child({args[0], dir.path().string(), args[1]}, dir.path() / "stderr");
        const int status = child.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status) << "\n"
                                                                   << child.stderrText();
    }
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

/// Calls `visit` with each event of `code` in `value`, at any depth, also
/// inside texts that hold JSON (a packed report keeps its events as text).
void forEachEvent(const nlohmann::json& value, const std::string& code,
                  const std::function<void(const nlohmann::json&)>& visit) {
    if (value.is_object() && value.value("code", "") == code) {
        visit(value);
    } else if (value.is_structured()) {
        for (const auto& member : value) {
            forEachEvent(member, code, visit);
        }
    } else if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (!text.empty() && (text.front() == '{' || text.front() == '[')) {
            forEachEvent(nlohmann::json::parse(text, nullptr, false), code, visit);
        }
    }
}

/// Amounts by kind and currency ("spent gold").
using Ledger = std::map<std::string, std::int64_t>;

/// The level's totals in the file, and what the records beside them add up
/// to: the accrual rows not yet reported, the "ca" events that reported the
/// others, and the "vp" events. A game that never changes level keeps the two
/// equal.
std::pair<Ledger, Ledger> levelTotalsAndTheirRecords(const std::filesystem::path& database) {
    static const char* const kinds[] = {"earned", "bought", "spent"};
    RawDatabase raw(database);
    Ledger totals;
    for (const auto& row : raw.rows("SELECT type, name, amount FROM levelResource")) {
        totals[std::string(kinds[std::stoi(row[0])]) + " " + row[1]] += std::stoll(row[2]);
    }
    Ledger records;
    for (const auto& row : raw.rows("SELECT type, name, amount FROM currencyAccrualResources")) {
        records[std::string(kinds[std::stoi(row[0])]) + " " + row[1]] += std::stoll(row[2]);
    }
    for (const auto* sql : {"SELECT eventJson FROM events", "SELECT packagesJson FROM reports"}) {
        for (const auto& row : raw.rows(sql)) {
            const nlohmann::json stored = row[0];
            forEachEvent(stored, "ca", [&](const nlohmann::json& event) {
                for (const auto* kind : {"earned", "bought"}) {
                    const auto bySource = event.value(kind, nlohmann::json::object());
                    for (const auto& [source, amounts] : bySource.items()) {
                        for (const auto& [currency, amount] : amounts.items()) {
                            records[std::string(kind) + " " + currency] +=
                                amount.get<std::int64_t>();
                        }
                    }
                }
            });
            forEachEvent(stored, "vp", [&](const nlohmann::json& event) {
                for (const auto& [currency, amount] : event.at("purchasePrice").items()) {
                    records["spent " + currency] += amount.get<std::int64_t>();
                }
            });
        }
    }
    return {totals, records};
}

// A currency's level total and the record that accounts for it (the accrual
// row, later its "ca" event; the "vp" event) are one unit: whenever a game
// earning or spending currency is killed, the totals in the file are exactly
// what those records add up to, so the next level-up reports nothing that no
// record reports.
TEST(ProcessBoundaryTest, AKillLeavesEveryLevelTotalAccountedForByItsRecords) {
    constexpr int kills = 10;
    std::mt19937 random(std::random_device{}());
    for (const std::string how : {"accrue", "pay"}) {
        SCOPED_TRACE(how);
        TempDir dir;
        // A kill that breaks the balance changes what the totals hold beyond
        // their records; the file keeps that for every later kill.
        Ledger beyondBefore;
        int broken = 0;
        bool moved = false;
        for (int kill = 0; kill < kills; ++kill) {
            SCOPED_TRACE("kill " + std::to_string(kill));
            Child child({"move-currency", dir.path().string(), how}, dir.path() / "stderr");
            const auto deadline =
                std::chrono::steady_clock::now() + patience(std::chrono::seconds(30));
            while (child.stderrText().find("moving currency at") == std::string::npos) {
                ASSERT_LT(std::chrono::steady_clock::now(), deadline) << child.stderrText();
                ASSERT_FALSE(child.waitFor(std::chrono::milliseconds(0))) << child.stderrText();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::uniform_int_distribution<int>(5, 40)(random)));
            ::kill(child.pid(), SIGKILL);
            const int status = child.wait();
            ASSERT_TRUE(WIFSIGNALED(status)) << describe(status) << "\n" << child.stderrText();

            const auto [totals, records] =
                levelTotalsAndTheirRecords(dir.path() / "morvanix" / "morvanix.db");
            moved = moved || !totals.empty();
            Ledger beyond = totals;
            for (const auto& [kind, amount] : records) {
                beyond[kind] -= amount;
            }
            std::erase_if(beyond, [](const auto& entry) { return entry.second == 0; });
            EXPECT_TRUE(beyond.empty());
            broken += beyond == beyondBefore ? 0 : 1;
            beyondBefore = beyond;
        }
        EXPECT_TRUE(moved);
        std::printf("%s: %d of %d kills left a level total its records do not account for\n",
                    how.c_str(), broken, kills);
    }
}

/// How often `text` occurs in the stored events, loose or packed into reports.
std::size_t storedOccurrences(const std::filesystem::path& database, const std::string& text) {
    RawDatabase raw(database);
    std::size_t count = 0;
    for (const auto* sql : {"SELECT eventJson FROM events", "SELECT packagesJson FROM reports"}) {
        for (const auto& row : raw.rows(sql)) {
            for (auto at = row[0].find(text); at != std::string::npos;
                 at = row[0].find(text, at + text.size())) {
                ++count;
            }
        }
    }
    return count;
}

// Instances of a game, or a launcher and the game, starting at once on one
// fresh data folder: one owns the folder, every other start fails with a line
// naming it, and the file holds the owner's start-up and events once. Once
// the others are gone, the owner's destroySDK then initialize starts again.
TEST(ProcessBoundaryTest, OfProcessesRacingOneFreshFolderExactlyOneStarts) {
    for (const std::size_t processes : {2, 2, 2, 3, 3}) {
        SCOPED_TRACE(std::to_string(processes) + " processes");
        TempDir dir;
        std::vector<std::unique_ptr<Child>> children;
        for (std::size_t index = 0; index < processes; ++index) {
            children.push_back(std::make_unique<Child>(
                std::vector<std::string>{"claim-folder", dir.path().string()},
                dir.path() / ("stderr-" + std::to_string(index))));
        }
        std::ofstream(dir.path() / "go").flush();

        // The owner holds the folder until told to go on.
        std::vector<std::optional<int>> ended(processes);
        const auto allSettled = [&] {
            std::size_t settled = 0;
            for (std::size_t index = 0; index < processes; ++index) {
                if (!ended[index]) {
                    ended[index] = children[index]->waitFor(std::chrono::milliseconds(0));
                }
                const bool started =
                    children[index]->stderrText().find("claim: started\n") != std::string::npos;
                settled += ended[index] || started ? 1 : 0;
            }
            return settled == processes;
        };
        ASSERT_TRUE(pollUntil(allSettled, patience(std::chrono::seconds(60))))
            << "a child never settled";
        std::ofstream(dir.path() / "release").flush();

        std::size_t owners = 0;
        const auto folder = dir.path() / "morvanix";
        for (std::size_t index = 0; index < processes; ++index) {
            const int status = ended[index] ? *ended[index] : children[index]->wait();
            const auto text = children[index]->stderrText();
            ASSERT_TRUE(WIFEXITED(status)) << describe(status) << "\n" << text;
            if (WEXITSTATUS(status) == 0) {
                ++owners;
                continue;
            }
            EXPECT_EQ(WEXITSTATUS(status), 3) << text;
            EXPECT_NE(text.find("[Database Module] The data folder " + folder.string() +
                                " is in use by another process"),
                      std::string::npos)
                << text;
        }
        EXPECT_EQ(owners, 1u);
        RawDatabase raw(folder / "morvanix.db");
        EXPECT_EQ(raw.single("SELECT count(*) FROM projects"), "1");
        EXPECT_EQ(raw.single("SELECT count(*) FROM users"), "1");
        EXPECT_EQ(storedOccurrences(folder / "morvanix.db", "claimed"), 10u);
    }
}

/// Until `done` holds; false at the limit.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return pollUntil(done, limit);
}

// A host forks a child without exec while its core owns the folder. The
// child does not get the folder's lock: once the host let it go (destroySDK,
// or an exit alone), the next run starts while the child still lives, and
// the child can take the folder itself once the host is gone.
TEST(ProcessBoundaryTest, AChildForkedWithoutExecLeavesTheFolderToTheNextRun) {
    for (const std::string how : {"destroy", "exit"}) {
        SCOPED_TRACE(how);
        TempDir dir;
        Child holder({"fork-holder", dir.path().string(), how}, dir.path() / "stderr-holder");
        const auto ended = holder.waitFor(patience(std::chrono::seconds(60)));
        ASSERT_TRUE(ended) << "the holder never ended:\n" << holder.stderrText();
        const int status = *ended;
        const auto text = holder.stderrText();
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status) << "\n"
                                                                   << text;
        std::smatch match;
        ASSERT_TRUE(std::regex_search(text, match, std::regex(R"(holder: forked (\d+))"))) << text;
        const pid_t forked = std::stoi(match[1]);
        EXPECT_NE(text.find("child: the folder is its parent's"), std::string::npos) << text;

        std::ofstream(dir.path() / "go").flush();
        std::ofstream(dir.path() / "release").flush();
        Child next({"claim-folder", dir.path().string()}, dir.path() / "stderr-next");
        const int nextStatus = next.wait();
        EXPECT_TRUE(WIFEXITED(nextStatus) && WEXITSTATUS(nextStatus) == 0)
            << describe(nextStatus) << "\n"
            << next.stderrText();
        EXPECT_EQ(::kill(forked, 0), 0) << "the forked child ended too early to tell";

#ifdef MVK_TEST_SANITIZED
        // The sanitizers' allocator may hang a forked child: it takes nothing.
        ::kill(forked, SIGKILL);
        continue;
#endif
        std::ofstream(dir.path() / "parent-gone").flush();
        const bool answered = waitFor(
            [&] {
                return holder.stderrText().find("child: took") != std::string::npos ||
                       holder.stderrText().find("child: was refused") != std::string::npos;
            },
            patience(std::chrono::seconds(30)));
        EXPECT_NE(holder.stderrText().find("child: took the folder"), std::string::npos)
            << holder.stderrText();
        if (!answered) {
            ::kill(forked, SIGKILL);
        }
    }
}

// A host forks while another of its threads takes and lets go a data folder:
// however the fork falls, the child can take a folder of its own.
TEST(ProcessBoundaryTest, AForkWhileAFolderIsTakenLeavesTheChildFreeToTakeOne) {
#ifdef MVK_TEST_SANITIZED
    GTEST_SKIP() << "the sanitizers' allocator may hang a child forked from a threaded process";
#endif
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "parent");
    std::filesystem::create_directories(dir.path() / "child");
    std::atomic<bool> stop{false};
    std::thread taker([&] {
        while (!stop.load()) {
            DataFolderLock held(dir.path() / "parent");
        }
    });
    int hung = 0;
    int refused = 0;
    for (int round = 0; round < 100 && hung == 0; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                DataFolderLock own(dir.path() / "child");
                ::_exit(0);
            } catch (...) {
                ::_exit(1);
            }
        }
        int status = -1;
        if (!pollUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; },
                       patience(std::chrono::seconds(10)))) {
            ++hung;
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ++refused;
        }
    }
    stop = true;
    taker.join();
    EXPECT_EQ(hung, 0);
    EXPECT_EQ(refused, 0);
}

// The game's own backup of its data folder opens and closes the lock file
// while the folder is held: a second process is refused all the same.
TEST(ProcessBoundaryTest, TheGameClosingTheLockFileLeavesTheFolderHeld) {
    TempDir dir;
    const auto folder = dir.path() / "morvanix";
    std::filesystem::create_directories(folder);
    DataFolderLock held(folder);
    ::close(::open((folder / std::string(DataFolderLock::fileName)).c_str(), O_RDONLY | O_CLOEXEC));
    std::ofstream(dir.path() / "go").flush();
    std::ofstream(dir.path() / "release").flush();
    Child second({"claim-folder", dir.path().string()}, dir.path() / "stderr-second");
    const int status = second.wait();
    const auto text = second.stderrText();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << describe(status) << "\n" << text;
    EXPECT_NE(text.find("The data folder " + folder.string() + " is in use"), std::string::npos)
        << text;
}

// A log closure that forks on the refusal's line must find the library's
// locks free, and the library must go on: the next start completes.
TEST(ProcessBoundaryTest, ALogClosureThatForksOnARefusalLeavesTheLibraryGoing) {
    TempDir dir;
    Child child({"fork-on-refusal", dir.path().string()}, dir.path() / "stderr");
    const auto ended = child.waitFor(patience(std::chrono::seconds(10)));
    ASSERT_TRUE(ended) << "the library stalled:\n" << child.stderrText();
    EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << describe(*ended) << "\n"
                                                               << child.stderrText();
    EXPECT_NE(child.stderrText().find("refusal: forked"), std::string::npos) << child.stderrText();
}

/// Answers the configuration request as a live gateway would.
void answerConfig(gateway::Gateway& gateway) {
    gateway.setAnswer(
        "/v2/analytics/config",
        gateway::ScriptedAnswer::json(200, R"({"timeForRequest":120000,"countForRequest":10,)"
                                           R"("eventParamsCount":20,"sessionTimeout":600000,)"
                                           R"("aliveTimeout":300000,"userCounting":true,)"
                                           R"("serverTime":1700000000000})"));
}

/// Makes `gateway` answer as a live one, reports only after `answerDelay`;
/// answers the file in `dir` that trusts its certificate.
std::filesystem::path answerReportsAfter(gateway::Gateway& gateway,
                                         std::chrono::milliseconds answerDelay,
                                         const std::filesystem::path& dir) {
    answerConfig(gateway);
    auto held = gateway::ScriptedAnswer::json(200, "{}");
    held.delay = answerDelay;
    gateway.setAnswer("/v2/analytics/report", held);
    const auto caFile = dir / "ca.pem";
    std::ofstream(caFile) << gateway.caPem();
    return caFile;
}

/// How often the gateway received each custom event `name`, by its parameter "n".
std::map<std::int64_t, int> arrivalsOf(gateway::Gateway& gateway, const std::string& name) {
    std::map<std::int64_t, int> arrivals;
    for (const auto& request : gateway.requests("/v2/analytics/report")) {
        const auto body = nlohmann::json::parse(request.body, nullptr, false);
        for (const auto& report : body.value("reports", nlohmann::json::array())) {
            for (const auto& package : report.value("packages", nlohmann::json::array())) {
                for (const auto& event : package.value("events", nlohmann::json::array())) {
                    if (event.value("name", "") == name) {
                        ++arrivals[event["parameters"].value("n", std::int64_t{-1})];
                    }
                }
            }
        }
    }
    return arrivals;
}

// destroySDK while the gateway holds the answer to a report, and the next run
// on the folder starts as soon as the stop has run. An answer within the
// stop's bound deletes the report before the folder is let go, so its events
// arrive once; past the bound the stop returns all the same and says the
// report may be sent again.
TEST(ProcessBoundaryTest, AReportAnsweredWhileDestroySDKRunsIsNotSentByTheNextRun) {
    struct Case {
        std::chrono::milliseconds answerDelay;
        bool withinBound;
    };
    const std::vector<Case> cases = {
        {std::chrono::milliseconds(300), true},
        {ProcessExit::longestExitWait + std::chrono::seconds(1), false}};
    for (const auto& [answerDelay, withinBound] : cases) {
        SCOPED_TRACE(std::to_string(answerDelay.count()) + " ms");
        TempDir dir;
        gateway::Gateway gateway;
        const auto caFile = answerReportsAfter(gateway, answerDelay, dir.path());
        const std::vector<std::string> args = {dir.path().string(), gateway.baseUrl(),
                                               caFile.string()};

        Child first({"report-under-way", args[0], args[1], args[2]}, dir.path() / "stderr-first");
        const auto carried = [&] {
            for (const auto& request : gateway.requests("/v2/analytics/report")) {
                if (request.body.find("handed-over") != std::string::npos) {
                    return true;
                }
            }
            return false;
        };
        ASSERT_TRUE(waitFor(carried, patience(std::chrono::seconds(30)))) << first.stderrText();
        std::ofstream(dir.path() / "destroy").flush();
        ASSERT_TRUE(
            waitFor([&] { return first.stderrText().find("stopped at") != std::string::npos; },
                    patience(std::chrono::seconds(30))))
            << first.stderrText();
        EXPECT_LT(markOf(first, "stopped") - markOf(first, "destroy begins"), exitAllowance());

        gateway.clearAnswers();
        answerConfig(gateway);
        Child next({"send-stored", args[0], args[1], args[2]}, dir.path() / "stderr-next");
        const int status = next.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status) << "\n"
                                                                   << next.stderrText();
        std::ofstream(dir.path() / "quit").flush();
        EXPECT_EQ(first.wait(), 0) << first.stderrText();

        const auto arrivals = arrivalsOf(gateway, "handed-over");
        EXPECT_EQ(arrivals.size(), 5u);
        const bool warned = first.stderrText().find("was not settled within") != std::string::npos;
        EXPECT_EQ(warned, !withinBound) << first.stderrText();
        // Past the bound the next run may send the report before its answer comes.
        for (const auto& [n, times] : arrivals) {
            EXPECT_TRUE(times == 1 || (!withinBound && times == 2))
                << "event " << n << ": " << times;
        }
    }
}

// A game quits the ordinary way (willTerminate, destroySDK, a return from
// main at once) while the report willTerminate started waits for its answer.
// An answer within the exit's bound deletes the report: quit after quit on
// one folder, then a start that sends what is left, the gateway gets each
// event once, and no quit writes an error line. A gateway that never answers
// holds no quit past the bound.
TEST(ProcessBoundaryTest, AQuitWhileAReportIsUnderWaySettlesItWithinTheBound) {
    struct Case {
        std::chrono::milliseconds answerDelay;
        int quits;
        bool answered;
    };
    const std::vector<Case> cases = {{std::chrono::milliseconds(150), 4, true},
                                     {std::chrono::milliseconds(500), 2, true},
                                     {std::chrono::minutes(10), 1, false}};
    for (const auto& [answerDelay, quits, answered] : cases) {
        SCOPED_TRACE(std::to_string(answerDelay.count()) + " ms");
        TempDir dir;
        gateway::Gateway gateway;
        const auto caFile = answerReportsAfter(gateway, answerDelay, dir.path());
        const auto arrived = dir.path() / "report-arrived";
        // Unanswered, the first report (the start's) holds the pass, and is
        // the one under way at the quit.
        gateway.setRequestObserver(
            [arrived, answered = answered](const gateway::RecordedRequest& request) {
                if (request.path == "/v2/analytics/report" &&
                    (!answered || request.body.find("quitting") != std::string::npos)) {
                    std::ofstream(arrived).flush();
                }
            });

        for (int run = 0; run < quits; ++run) {
            SCOPED_TRACE("quit " + std::to_string(run));
            std::filesystem::remove(arrived);
            Child child({"quit-sending", dir.path().string(), gateway.baseUrl(), caFile.string(),
                         std::to_string(run)},
                        dir.path() / "stderr");
            const int status = child.wait();
            const auto text = child.stderrText();
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status) << "\n"
                                                                       << text;
            EXPECT_LT(exitDuration(child), exitAllowance());
            if (answered) {
                // The child logs errors alone; its marks are the only other lines.
                EXPECT_EQ(std::regex_replace(text, std::regex(".* at \\d+\n"), ""), "") << text;
            }
        }
        if (!answered) {
            // What the gateway never took stays for the next start.
            EXPECT_EQ(storedOccurrences(dir.path() / "morvanix" / "morvanix.db", "quitting"), 10u);
            continue;
        }
        gateway.setAnswer("/v2/analytics/report", gateway::ScriptedAnswer::json(200, "{}"));
        Child next({"send-stored", dir.path().string(), gateway.baseUrl(), caFile.string()},
                   dir.path() / "stderr-next");
        const int status = next.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << describe(status) << "\n"
                                                                   << next.stderrText();
        const auto arrivals = arrivalsOf(gateway, "quitting");
        EXPECT_EQ(arrivals.size(), static_cast<std::size_t>(quits) * 10);
        for (const auto& [n, times] : arrivals) {
            EXPECT_EQ(times, 1) << "event " << n;
        }
    }
}

}  // namespace
}  // namespace mvk::test

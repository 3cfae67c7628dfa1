#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "storage/DataFolderLock.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

/// Makes a file or folder unwritable for this process as it is for a player
/// whose file lost its write bits: by its mode, or for the superuser, whom
/// modes do not stop, by the immutable attribute. Undone when it goes.
class Unwritable {
  public:
    explicit Unwritable(std::filesystem::path path) : path_(std::move(path)) {
        if (::geteuid() != 0) {
            std::error_code error;
            std::filesystem::permissions(path_, writeBits, std::filesystem::perm_options::remove,
                                         error);
            made_ = !error;
        } else {
            made_ = setImmutable(true);
        }
    }
    ~Unwritable() {
        if (made_ && ::geteuid() != 0) {
            std::error_code ignored;
            std::filesystem::permissions(path_, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        } else if (made_) {
            setImmutable(false);
        }
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;

    /// False where the file system or the process's rights do not allow it.
    bool made() const { return made_; }

  private:
    static constexpr auto writeBits = std::filesystem::perms::owner_write |
                                      std::filesystem::perms::group_write |
                                      std::filesystem::perms::others_write;

    bool setImmutable(bool on) const {
        const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (descriptor < 0) {
            return false;
        }
        int flags = 0;
        bool done = ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(descriptor);
        return done;
    }

    std::filesystem::path path_;
    bool made_ = false;
};

class DataFolder : public LogicFlow {
  protected:
    std::string fileBytes() const {
        std::ifstream file(h.databasePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    void writeFile(const std::string& bytes) const {
        std::ofstream(h.databasePath(), std::ios::binary | std::ios::trunc) << bytes;
    }

    /// The names of the custom events the gateway received.
    std::vector<std::string> sentNames() const {
        std::vector<std::string> names;
        for (const auto& event : sent("ce")) {
            names.push_back(event.value("name", ""));
        }
        return names;
    }
};

// A damaged file used to fail this start and every later one, and a file
// whose tables do not fit took every event and stored nothing. Now the next
// start (or the first query that meets the damage) moves it aside, names both
// paths, and works on a fresh file with what could still be read: what the
// game records from then on is stored and sent. A file the upgrades know, and
// tables of another program beside ours, stay.
TEST_F(DataFolder, AFileThatIsDamagedOrDoesNotFitIsMovedAsideAndReportingGoesOn) {
    std::mt19937 random(std::random_device{}());
    const auto randomBytes = [&](std::size_t count) {
        std::string bytes(count, '\0');
        for (auto& byte : bytes) {
            byte = static_cast<char>(random());
        }
        return bytes;
    };
    const auto damage = [&](std::function<std::string(const std::string&)> change) {
        return [this, change] { writeFile(change(fileBytes())); };
    };
    constexpr std::size_t page = 4096;
    constexpr std::size_t storedCount = 2000;
    // Stored events spread over many pages, the newest last in the file.
    const auto storeMany = [&] {
        // Compacted first, so that the rows lie in order at the end of the file.
        execute("VACUUM");
        execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                std::to_string(storedCount) +
                ") INSERT INTO events (code, userId, eventJson) SELECT 'ce', u.id, "
                "json_object('code', 'ce', 'timestamp', 1700000000000, 'name', 'stored', 'pad', "
                "printf('%.300c', 'x')) FROM n, (SELECT min(id) AS id FROM users) u");
    };
    const auto overwritePages = [&](double from, double to) {
        return [=, this] {
            storeMany();
            auto file = fileBytes();
            const auto pages = file.size() / page;
            const auto first = static_cast<std::size_t>(static_cast<double>(pages) * from);
            const auto last = static_cast<std::size_t>(static_cast<double>(pages) * to);
            file.replace(first * page, (last - first) * page, randomBytes((last - first) * page));
            writeFile(file);
        };
    };
    struct Case {
        const char* name;
        std::function<void()> spoil;
        /// What the line says of the file; empty when it stays.
        std::string why;
        /// Met by a query after the start, not by the start's own reads.
        bool foundLater = false;
        /// How many of the stored events are still sent: none were stored,
        /// some of them, or all.
        enum { none, some, all } storedSent = none;
    };
    const std::vector<Case> cases = {
        {"header overwritten",
         damage([&](const std::string& file) { return randomBytes(100) + file.substr(100); }),
         "is damaged"},
        {"random bytes", damage([&](const std::string& file) { return randomBytes(file.size()); }),
         "is damaged"},
        {"cut in half",
         damage([](const std::string& file) { return file.substr(0, file.size() / 2); }),
         "is damaged"},
        {"events and reports of another program",
         [&] {
             execute(
                 "DROP TABLE events; DROP TABLE reports; CREATE TABLE events (id INTEGER "
                 "PRIMARY KEY, name TEXT, payload BLOB); CREATE TABLE reports (id INTEGER "
                 "PRIMARY KEY, body TEXT NOT NULL)");
         },
         "does not fit this library (the table events has no column code)"},
        {"a later version without a column we write",
         [&] { execute("ALTER TABLE events DROP COLUMN eventJson; PRAGMA user_version = 5"); },
         "does not fit this library (the table events has no column eventJson)"},
        {"another program's file",
         [&] {
             std::filesystem::remove(h.databasePath());
             execute(
                 "CREATE TABLE scores (id INTEGER PRIMARY KEY, player TEXT NOT NULL); "
                 "INSERT INTO scores (player) VALUES ('a')");
         }},
        {"an older version",
         [&] {
             execute(
                 "DROP TABLE abTestProject; DROP TABLE abtestExperiments; DROP TABLE "
                 "abTestExperimentsState; PRAGMA user_version = 1");
         }},
        {"the newest pages overwritten", overwritePages(0.97, 1.0), "is damaged", false,
         Case::some},
        {"pages deep inside overwritten", overwritePages(0.4, 0.5), "is damaged", true, Case::some},
        {"damage that an earlier start could not deal with",
         [&] {
             storeMany();
             std::ofstream(h.databasePath().string() + ".damaged") << "seen before";
         },
         "is damaged (seen before)", false, Case::all},
    };
    answerConfiguration("");
    const auto aside = h.dir.path() / "morvanix" / "morvanix.db.corrupt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(aside);
        start();
        MVKAnalytics::customEvent("kept-before");
        settle();
        h.dropCore();
        settle();
        ASSERT_EQ(h.openDatabaseDescriptors(), 0u);
        c.spoil();
        const auto spoiled = fileBytes();

        LogCapture log(MVKLogLevel::error);
        const auto sentBefore = sentNames().size();
        restart();
        MVKAnalytics::customEvent(c.name);
        MVKAnalytics::sendBufferedEvents();
        settle();

        std::vector<std::string> names;
        std::size_t storedSent = 0;
        const auto allNames = sentNames();
        for (auto name = allNames.begin() + static_cast<std::ptrdiff_t>(sentBefore);
             name != allNames.end(); ++name) {
            storedSent += *name == "stored" ? 1 : 0;
            // The event of the process before may not have been sent yet
            // when it ended; a file whose rows are kept sends it now.
            if (*name != "stored" && *name != "kept-before") {
                names.push_back(*name);
            }
        }
        EXPECT_EQ(names, std::vector<std::string>{c.name});
        if (c.storedSent == Case::some) {
            EXPECT_GT(storedSent, 0u);
            EXPECT_LT(storedSent, storedCount);
        } else {
            EXPECT_EQ(storedSent, c.storedSent == Case::all ? storedCount : 0u);
        }
        EXPECT_TRUE(h.columnTexts("events", "eventJson").empty()) << "everything was sent";
        EXPECT_EQ(h.columnTexts("projects", "applicationKey"), std::vector<std::string>{key});
        const auto head = "[Database Module] The database " + h.databasePath().string() + " ";
        if (c.why.empty()) {
            EXPECT_FALSE(std::filesystem::exists(aside));
            EXPECT_FALSE(log.containsFragment(head));
            if (std::string(c.name) == "another program's file") {
                EXPECT_EQ(h.columnTexts("scores", "player"), std::vector<std::string>{"a"});
            }
        } else {
            std::ifstream asideFile(aside, std::ios::binary);
            const std::string asideBytes(std::istreambuf_iterator<char>(asideFile), {});
            // Met later, the file has taken this start's first writes by then.
            EXPECT_TRUE(c.foundLater ? asideBytes.size() >= spoiled.size() : asideBytes == spoiled);
            bool named = false;
            for (const auto& message : log.messages()) {
                named = named || (message.find(head + c.why) != std::string::npos &&
                                  message.find("moved to " + aside.string()) != std::string::npos);
            }
            EXPECT_TRUE(named) << "no line names both paths";
        }
        EXPECT_EQ(log.containsFragment("Error in query: database disk image is malformed"),
                  c.foundLater);
        EXPECT_FALSE(log.containsFragment("Can't init submodules"));
        h.dropCore();
        settle();
    }
}

// A file the library could read but not write sent its stored reports at
// every start, the deletion after the gateway's 200 failing each time. Such a
// start now fails with a line naming the file, and once it can be written
// again the reports are sent once. A folder it cannot write does no harm
// while the file and its log can be written.
TEST_F(DataFolder, AFileThatCannotBeWrittenSendsNothingUntilItCan) {
    const auto folder = h.dir.path() / "morvanix";
    constexpr std::size_t heldCount = 25;
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::filesystem::path unwritable;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"a read-only file", {}, h.databasePath(), true},
        {"a read-only folder, the file in rollback journal mode",
         [&] {
             execute("PRAGMA journal_mode=DELETE");
             std::filesystem::remove(h.databasePath().string() + "-wal");
             std::filesystem::remove(h.databasePath().string() + "-shm");
         },
         folder, true},
        {"a read-only folder, the file with its write-ahead log", {}, folder, false},
    };
    answerConfiguration("");
    const std::string reportPath = "/v2/analytics/report";
    const auto heldSent = [&] {
        const auto names = sentNames();
        return static_cast<std::size_t>(std::count(names.begin(), names.end(), "held"));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        h.gateway().setAnswer(reportPath, gateway::ScriptedAnswer::json(500, "{}"));
        restart();
        for (std::size_t index = 0; index < heldCount; ++index) {
            MVKAnalytics::customEvent("held");
        }
        MVKAnalytics::sendBufferedEvents();
        settle();
        h.dropCore();
        settle();
        ASSERT_FALSE(h.columnTexts("reports", "uuid").empty()) << "a report waits to be sent";
        if (c.arrange) {
            c.arrange();
        }
        h.gateway().setAnswer(reportPath, gateway::ScriptedAnswer::json(200, "{}"));
        h.gateway().clearRequests();
        {
            const Unwritable unwritable(c.unwritable);
            if (!unwritable.made()) {
                GTEST_SKIP() << "this file system does not let " << c.unwritable
                             << " be made unwritable";
            }
            for (int run = 0; run < 2; ++run) {
                LogCapture log(MVKLogLevel::error);
                restart();
                MVKAnalytics::sendBufferedEvents();
                settle();
                if (c.refused) {
                    EXPECT_EQ(requestCount(reportPath), 0u) << "run " << run;
                    const auto head =
                        "ERROR In the Initialize method an error has occurred: The database at " +
                        h.databasePath().string() + " can't be used: ";
                    const auto messages = log.messages();
                    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                                            [&](const std::string& message) {
                                                return message.starts_with(head) &&
                                                       message.ends_with(
                                                           "; nothing is stored or sent until "
                                                           "it can be");
                                            }),
                              1)
                        << ::testing::PrintToString(messages);
                } else {
                    EXPECT_EQ(heldSent(), heldCount) << "run " << run;
                    EXPECT_FALSE(log.containsFragment("Can't init submodules"));
                }
            }
        }
        restart();
        MVKAnalytics::sendBufferedEvents();
        settle();
        EXPECT_EQ(heldSent(), heldCount);
        EXPECT_TRUE(h.columnTexts("reports", "uuid").empty());
        EXPECT_FALSE(std::filesystem::exists(h.databasePath().string() + ".corrupt"));
        h.dropCore();
        settle();
    }
}

// Another program that holds the write lock past the busy wait makes the
// write fail; the line says which call of the game was not stored.
TEST_F(DataFolder, AWriteDroppedOnALockedFileNamesTheCall) {
    answerConfiguration("");
    start();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    LogCapture log(MVKLogLevel::error);

    MVKAnalytics::customEvent("blocked");
    settle();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_TRUE(log.containsFragment("database is locked (code: 5)"));
    EXPECT_TRUE(log.containsFragment("Event [ce] of customEvent was not stored"));
    EXPECT_TRUE(log.containsFragment("name: blocked"));
}

// The kernel would grant this process a second lock on a file it already
// locks: a second claim from this same process is refused all the same while
// a core lives, and destroySDK lets the folder go before the core's last
// reference, which a host thread may hold.
TEST_F(DataFolder, ACoreHoldsItsFolderAgainstThisProcessTooUntilDestroy) {
    const auto folder = h.dir.path() / "morvanix";
    start();
    auto held = Core::shared();
    {
        LogCapture log(MVKLogLevel::error);
        try {
            DataFolderLock second(folder);
            ADD_FAILURE() << "a second owner took the folder";
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code().value(), EWOULDBLOCK);
        }
        EXPECT_TRUE(log.containsFragment("The data folder " + folder.string() + " is in use"));
    }
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    settle();
    EXPECT_NO_THROW(DataFolderLock{folder});
    held.reset();
    testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace mvk::test

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <string_view>
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

    std::string randomBytes(std::size_t count) {
        std::string bytes(count, '\0');
        for (auto& byte : bytes) {
            byte = static_cast<char>(random_());
        }
        return bytes;
    }

    static constexpr std::size_t page = 4096;
    static constexpr std::size_t storedCount = 2000;

    /// Stored events spread over many pages, the newest last in the file.
    void storeMany() const {
        // Compacted first, so that the rows lie in order at the end of the file.
        execute("VACUUM");
        execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                std::to_string(storedCount) +
                ") INSERT INTO events (code, userId, eventJson) SELECT 'ce', u.id, "
                "json_object('code', 'ce', 'timestamp', 1700000000000, 'name', 'stored', "
                "'pad', printf('%.300c', 'x')) FROM n, (SELECT min(id) AS id FROM users) u");
    }

    /// Stores many events and overwrites the pages between each pair of
    /// fractions of the file; answers how many pages.
    std::size_t overwritePages(const std::vector<std::pair<double, double>>& places) {
        storeMany();
        auto file = fileBytes();
        const auto pages = file.size() / page;
        std::size_t overwritten = 0;
        for (const auto& [from, to] : places) {
            const auto first = static_cast<std::size_t>(static_cast<double>(pages) * from);
            const auto last = static_cast<std::size_t>(static_cast<double>(pages) * to);
            file.replace(first * page, (last - first) * page, randomBytes((last - first) * page));
            overwritten += last - first;
        }
        writeFile(file);
        return overwritten;
    }

    /// The names of the custom events the gateway received.
    std::vector<std::string> sentNames() const {
        std::vector<std::string> names;
        for (const auto& event : sent("ce")) {
            names.push_back(event.value("name", ""));
        }
        return names;
    }

  private:
    std::mt19937 random_{std::random_device{}()};
};

// A damaged file used to fail this start and every later one, and a file
// whose tables do not fit took every event and stored nothing. Now the next
// start (or the first query that meets the damage) moves it aside, names both
// paths, and works on a fresh file with what could still be read: what the
// game records from then on is stored and sent. A file the upgrades know, and
// tables of another program beside ours, stay.
TEST_F(DataFolder, AFileThatIsDamagedOrDoesNotFitIsMovedAsideAndReportingGoesOn) {
    const auto damage = [&](std::function<std::string(const std::string&)> change) {
        return [this, change] { writeFile(change(fileBytes())); };
    };
    // Each row takes more than 300 bytes, so a page holds at most this many.
    constexpr std::size_t rowsPerPage = page / 300;
    std::size_t overwrittenPages = 0;
    const auto overwrite = [&](std::vector<std::pair<double, double>> places) {
        return [=, &overwrittenPages, this] { overwrittenPages = overwritePages(places); };
    };
    const std::string eventColumns = "code TEXT, userId INTEGER, eventJson TEXT";
    const auto rekeyEvents = [&](const std::string& columns, const std::string& options = "") {
        return [=, this] {
            execute("DROP TABLE events; CREATE TABLE events (" + columns + ")" + options);
        };
    };
    const std::string idApart =
        "does not fit this library (the table events has a key id that is not its row id)";
    const std::string noIntegerKey =
        "does not fit this library (the table events has no integer key id)";
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
        // Only a key SQLite takes for the row id is what an insert answers:
        // rows of any other key would be stored with no id and never sent.
        {"a descending column key", rekeyEvents("id INTEGER PRIMARY KEY DESC, " + eventColumns),
         idApart},
        {"a table without row ids",
         rekeyEvents("id INTEGER PRIMARY KEY, " + eventColumns, "  wItHoUt\n  RoWiD"), idApart},
        {"an INT key", rekeyEvents("id INT PRIMARY KEY, " + eventColumns), noIntegerKey},
        {"a unique id and no key", rekeyEvents("id INTEGER UNIQUE, " + eventColumns), noIntegerKey},
        {"a key of two columns",
         rekeyEvents("id INTEGER, " + eventColumns + ", PRIMARY KEY(id, code)"), noIntegerKey},
        // Unlike the column's own DESC, a table's key of one integer column
        // stays the row id in either order.
        {"a descending table key",
         rekeyEvents("id INTEGER, " + eventColumns + ", PRIMARY KEY(id DESC)"), ""},
        // Rows are read by position.
        {"the key after the other columns", rekeyEvents(eventColumns + ", id INTEGER PRIMARY KEY"),
         "does not fit this library (the table events has the column id out of its place)"},
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
        {"the newest pages overwritten", overwrite({{0.97, 1.0}}), "is damaged", false, Case::some},
        {"pages deep inside overwritten", overwrite({{0.4, 0.5}}), "is damaged", true, Case::some},
        {"pages in two places overwritten", overwrite({{0.3, 0.33}, {0.6, 0.63}}), "is damaged",
         true, Case::some},
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
        const auto all = sent("ce");
        for (auto event = all.begin() + static_cast<std::ptrdiff_t>(sentBefore); event != all.end();
             ++event) {
            const auto name = event->value("name", "");
            storedSent += name == "stored" ? 1 : 0;
            // The event of the process before may not have been sent yet
            // when it ended; a file whose rows are kept sends it now.
            if (name != "stored" && name != "kept-before") {
                names.push_back(name);
            }
        }
        EXPECT_EQ(names, std::vector<std::string>{c.name});
        if (c.storedSent == Case::some) {
            // Only the rows on the overwritten pages are lost, however many
            // places they lie in (the events' tree has a single interior
            // page, near the start of the file).
            EXPECT_GT(storedSent, storedCount - overwrittenPages * rowsPerPage);
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

// A copy of the rows that could not finish (here SQLite may not let the fresh
// file grow past a few pages, as on a full disk) stayed behind with its
// journal and took the room the game's events needed, and the damaged file
// stayed in use, failing the game's writes; every later start copied again.
// Now the copy is removed, the damaged file goes aside whole with one line,
// and the game's events are stored and sent, in this run and the next.
TEST_F(DataFolder, ASalvageThatCannotFinishLeavesNoCopyAndTheGamesEventsAreStored) {
    static std::atomic<int> freshPageLimit = 0;
    const auto limitFresh = [](sqlite3* db, const char**, const sqlite3_api_routines*) {
        const char* name = sqlite3_db_filename(db, "main");
        if (name != nullptr && std::string_view(name).ends_with(".fresh")) {
            const auto pragma = "PRAGMA max_page_count=" + std::to_string(freshPageLimit.load());
            sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr);
        }
        return SQLITE_OK;
    };
    using EntryPoint = int (*)(sqlite3*, const char**, const sqlite3_api_routines*);
    const auto entry = reinterpret_cast<void (*)()>(static_cast<EntryPoint>(limitFresh));
    ASSERT_EQ(sqlite3_auto_extension(entry), SQLITE_OK);
    struct Cancel {
        void (*entry)();
        ~Cancel() { sqlite3_cancel_auto_extension(entry); }
    } cancel{entry};

    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"damage that an earlier start could not deal with",
         [&] {
             storeMany();
             std::ofstream(h.databasePath().string() + ".damaged") << "seen before";
         }},
        {"pages deep inside overwritten",
         [&] {
             overwritePages({{0.4, 0.5}});
         }},
    };
    answerConfiguration("");
    const auto folder = h.dir.path() / "morvanix";
    const auto head = "[Database Module] The database " + h.databasePath().string() + " is damaged";
    const auto leftCopies = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const auto name = entry.path().filename().string();
            if (name.starts_with("morvanix.db.fresh")) {
                names.push_back(name);
            }
        }
        return names;
    };
    for (const auto& [name, spoil] : cases) {
        SCOPED_TRACE(name);
        start();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(h.databasePath().c_str(), &db), SQLITE_OK);
        sqlite3_stmt* pages = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &pages, nullptr);
        sqlite3_step(pages);
        // Room for the tables, not for the stored events.
        freshPageLimit = sqlite3_column_int(pages, 0) + 8;
        sqlite3_finalize(pages);
        sqlite3_close(db);
        h.dropCore();
        settle();
        spoil();

        for (const auto* run : {"this run", "the next run"}) {
            LogCapture log(MVKLogLevel::error);
            const auto sentBefore = sentNames().size();
            restart();
            MVKAnalytics::customEvent(run);
            MVKAnalytics::sendBufferedEvents();
            settle();
            const auto names = sentNames();
            EXPECT_EQ(std::vector<std::string>(
                          names.begin() + static_cast<std::ptrdiff_t>(sentBefore), names.end()),
                      std::vector<std::string>{run});
            EXPECT_EQ(leftCopies(), std::vector<std::string>{});
            const auto lines = log.countContaining(head);
            if (std::string(run) == "this run") {
                EXPECT_EQ(lines, 1u);
                EXPECT_TRUE(
                    log.containsFragment("its rows couldn't be saved (database or disk is full "
                                         "(code: 13)); it was moved "
                                         "to " +
                                         h.databasePath().string() + ".corrupt with all of them"));
            } else {
                EXPECT_EQ(lines, 0u);
            }
        }
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

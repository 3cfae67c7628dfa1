// Writes made on a serial queue while more blocks wait there share one
// transaction. A second, plain connection shows what is committed: what a
// process kill at that moment would leave on disk.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/Clock.hpp"
#include "platform/ManualClock.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

class GroupCommitTest : public test::StorageTest {
  protected:
    GroupCommitTest() { Clock::install(clock_); }
    ~GroupCommitTest() override {
        queue_.drain();
        provider_.reset();
        Clock::install(nullptr);
    }

    void open(GroupCommit::Limits limits = {}) {
        provider_ = std::make_shared<SQLiteProvider>("app-key", &queue_, limits);
    }

    std::optional<std::int64_t> insert(SQLiteProvider& provider, std::int64_t user) {
        return provider.insert("events", {{"code", "ce"}, {"userId", user}, {"eventJson", "{}"}});
    }
    std::optional<std::int64_t> insert(std::int64_t user) { return insert(*provider_, user); }

    /// Rows of events as another connection sees them: the committed ones.
    int committed() {
        return std::stoi(test::RawDatabase(databasePath()).single("SELECT COUNT(*) FROM events"));
    }
    /// Rows of events as the provider sees them, its open group included.
    int visible() {
        int count = 0;
        EXPECT_TRUE(provider_->queryRows({.tableName = "events"}, [&](const Cursor&) { ++count; }));
        return count;
    }

    /// Runs `blocks` on the queue one right behind the other, as a burst of
    /// host calls would queue them.
    void runQueued(const std::vector<std::function<void()>>& blocks) {
        std::promise<void> gate;
        auto opened = gate.get_future().share();
        queue_.addOperation([opened] { opened.wait(); });
        for (const auto& block : blocks) {
            queue_.addOperation(block);
        }
        gate.set_value();
        ASSERT_TRUE(queue_.drain());
    }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    SerialQueue queue_{"test.groupCommit"};
    std::shared_ptr<SQLiteProvider> provider_;
};

TEST_F(GroupCommitTest, AGroupIsCommittedWhenEmptyOldOrFull) {
    struct Case {
        std::string name;
        GroupCommit::Limits limits;
        std::int64_t millisPerBlock;
        /// Committed rows each block finds before its own write.
        std::vector<int> seen;
    };
    const std::vector<Case> cases = {
        {"only when the queue runs empty", {}, 0, {0, 0, 0, 0, 0, 0, 0}},
        {"after the write limit", {.maxAgeMillis = 50, .maxWrites = 3}, 0, {0, 0, 0, 3, 3, 3, 6}},
        {"after the age limit", {.maxAgeMillis = 50, .maxWrites = 1000}, 20, {0, 0, 0, 3, 3, 3, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(c.limits);
        ASSERT_TRUE(provider_->clear("events"));
        std::vector<int> seen;
        std::vector<int> ownView;
        std::vector<std::function<void()>> blocks;
        for (std::size_t index = 0; index < c.seen.size(); ++index) {
            blocks.emplace_back([&] {
                seen.push_back(committed());
                ownView.push_back(visible());
                EXPECT_TRUE(insert(1));
                clock_->advance(c.millisPerBlock);
            });
        }
        runQueued(blocks);
        EXPECT_EQ(seen, c.seen);
        // The queue's own reads always see its earlier writes.
        EXPECT_EQ(ownView, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(committed(), 7);
        provider_.reset();
    }
}

TEST_F(GroupCommitTest, APauseCommitsBeforeTheQueueWaits) {
    open();
    int seenBeforePause = -1;
    std::promise<void> gate;
    auto opened = gate.get_future().share();
    queue_.addOperation([opened] { opened.wait(); });
    queue_.addOperation([&] { insert(1); });
    const auto paused = queue_.addOperation([&] {
        insert(1);
        seenBeforePause = committed();
        queue_.pause();
    });
    queue_.addOperation([&] { insert(1); });
    gate.set_value();
    ASSERT_TRUE(queue_.waitUntilFinished(paused));
    EXPECT_EQ(seenBeforePause, 0);
    EXPECT_EQ(committed(), 2);
    queue_.resume();
    ASSERT_TRUE(queue_.drain());
    EXPECT_EQ(committed(), 3);
}

TEST_F(GroupCommitTest, AnotherThreadsOperationCommitsTheGroupFirst) {
    open();
    struct Case {
        std::string name;
        std::function<void()> foreign;
        int committedAfter;
    };
    const std::vector<Case> cases = {
        {"a read", [&] { visible(); }, 1},
        {"a write", [&] { insert(2); }, 2},
        {"a transaction", [&] { provider_->transaction([&] { return insert(2).has_value(); }); },
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(provider_->clear("events"));
        int before = -1;
        int after = -1;
        runQueued({[&] {
                       insert(1);
                       before = committed();
                       std::thread(c.foreign).join();
                       after = committed();
                   },
                   [] {}});
        EXPECT_EQ(before, 0);
        EXPECT_EQ(after, c.committedAfter);
    }
}

TEST_F(GroupCommitTest, AFailedUnitUndoesOnlyItsOwnWrites) {
    open();
    struct Case {
        std::string name;
        std::function<bool()> unit;
    };
    const std::vector<Case> cases = {
        {"a body that answers false",
         [&] {
             return provider_->transaction([&] {
                 insert(9);
                 return false;
             });
         }},
        {"a body with a failed insert",
         [&] {
             return provider_->transaction([&] {
                 insert(9);
                 provider_->insert("missing", {{"x", 1}});
                 return true;
             });
         }},
        {"a failed nested body",
         [&] {
             return provider_->transaction([&] {
                 insert(9);
                 return provider_->transaction([] { return false; });
             });
         }},
        {"a plain insert into a missing table",
         [&] {
             return provider_->insert("missing", {{"x", 1}}).has_value();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(provider_->clear("events"));
        test::LogCapture logs;
        bool answered = true;
        bool laterUnit = false;
        int seenByLaterUnit = -1;
        runQueued({[&] { insert(1); }, [&] { answered = c.unit(); },
                   [&] {
                       seenByLaterUnit = committed();
                       laterUnit = provider_->transaction([&] { return insert(2).has_value(); });
                   }});
        // The first write was still in the open group when the unit failed.
        EXPECT_EQ(seenByLaterUnit, 0);
        EXPECT_FALSE(answered);
        EXPECT_TRUE(laterUnit);
        EXPECT_EQ(test::RawDatabase(databasePath()).rows("SELECT userId FROM events ORDER BY id"),
                  (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
    }
}

// A commit can still fail as a whole (here a deferred constraint checked only
// at COMMIT); the writes it takes along must be reported, not vanish quietly.
TEST_F(GroupCommitTest, AFailedCommitIsReportedWithWhatItLost) {
    open();
    ASSERT_TRUE(provider_->raw("PRAGMA foreign_keys=ON"));
    ASSERT_TRUE(provider_->raw(
        "CREATE TABLE parent (id INTEGER PRIMARY KEY); CREATE TABLE child (parentId INTEGER "
        "REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)"));
    const auto parents = [&] {
        return test::RawDatabase(databasePath()).single("SELECT COUNT(*) FROM parent");
    };
    test::LogCapture logs(MVKLogLevel::error);
    runQueued({[&] {
                   provider_->insert("parent", {{"id", 1}});
               },
               [&] {
                   provider_->insert("child", {{"parentId", 7}});
               }});
    EXPECT_EQ(parents(), "0");
    EXPECT_TRUE(logs.contains(MVKLogLevel::error,
                              "[Database Module] Error in group commit: 2 stored writes were "
                              "not committed and are lost: FOREIGN KEY constraint failed (code: "
                              "19)"))
        << testing::PrintToString(logs.lines());
    // The next group starts afresh.
    runQueued({[&] { provider_->insert("parent", {{"id", 2}}); }, [] {}});
    EXPECT_EQ(parents(), "1");
}

TEST_F(GroupCommitTest, ClosingTheProviderCommitsItsGroup) {
    open();
    int before = -1;
    int after = -1;
    runQueued({[&] {
                   insert(1);
                   before = committed();
                   provider_.reset();
                   after = committed();
               },
               [] {}});
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 1);
}

TEST_F(GroupCommitTest, TwoConnectionsOnOneFileTakeTurnsOnTheQueue) {
    open();
    SQLiteProvider second("app-key", &queue_);
    std::vector<bool> stored;
    const auto started = std::chrono::steady_clock::now();
    runQueued({[&] { stored.push_back(insert(1).has_value()); },
               [&] { stored.push_back(insert(second, 2).has_value()); },
               [&] { stored.push_back(insert(3).has_value()); }});
    // Waiting out the other connection's lock would take the busy timeout.
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              std::chrono::milliseconds(Connection::busyTimeoutMillis / 2));
    EXPECT_EQ(stored, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(committed(), 3);
}

TEST_F(GroupCommitTest, AFileInRollbackModeOpensWithItsRowsAndTurnsToWal) {
    open();
    insert(1);
    provider_.reset();
    {
        test::RawDatabase raw(databasePath());
        raw.exec("PRAGMA journal_mode=DELETE");
        raw.exec("INSERT INTO events (code, userId, eventJson) VALUES('ce', 2, '{}')");
        EXPECT_EQ(raw.single("PRAGMA journal_mode"), "delete");
    }
    open();
    EXPECT_EQ(visible(), 2);
    test::RawDatabase raw(databasePath());
    EXPECT_EQ(raw.single("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(raw.single("PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace mvk

// Writes made on a serial queue while more blocks wait there share one
// transaction. A second, plain connection shows what is committed: what a
// process kill at that moment would leave on disk.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

#include "events/EventRepository.hpp"
#include "foundation/Clock.hpp"
#include "foundation/ManualClock.hpp"
#include "records/Report.hpp"
#include "records/ReportsRepository.hpp"
#include "state/UserRepository.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"
#include "support/FailingVfs.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

class GroupCommitTest : public test::StorageTest {
  protected:
    GroupCommitTest() { Clock::install(clock_); }
    ~GroupCommitTest() override {
        queue_.drain(test::drainLimit());
        provider_.reset();
        Clock::install(nullptr);
    }

    void open(GroupCommit::Limits limits = {}) {
        provider_ = std::make_shared<SQLiteProvider>("app-key", &queue_, limits);
    }

    /// A grouped insert, as stored events are.
    std::optional<std::int64_t> insert(SQLiteProvider& provider, std::int64_t user) {
        return provider.insertGrouped("events",
                                      {{"code", "ce"}, {"userId", user}, {"eventJson", "{}"}});
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
        ASSERT_TRUE(queue_.drain(test::drainLimit()));
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
    ASSERT_TRUE(queue_.drain(test::drainLimit()));
    EXPECT_EQ(committed(), 3);
}

TEST_F(GroupCommitTest, AnotherThreadsOperationLeavesTheGroupCommitted) {
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
        // The unit committed the open group before it began.
        EXPECT_EQ(seenByLaterUnit, 1);
        EXPECT_FALSE(answered);
        EXPECT_TRUE(laterUnit);
        EXPECT_EQ(test::RawDatabase(databasePath()).rows("SELECT userId FROM events ORDER BY id"),
                  (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
    }
}

// A user row, a report and a transaction are answered as stored only once they
// are committed (a cache holds the first two, and an answer of the others is
// acted on); a commit of their own that fails is answered as a failure, and
// the cache then holds nothing the table lacks.
TEST_F(GroupCommitTest, AUnitAnsweredAsStoredIsCommittedWhenItAnswers) {
    test::FailingVfs vfs;
    open();
    UserRepository users(provider_);
    ReportsRepository reports(provider_);
    struct Unit {
        std::string name;
        std::function<bool()> store;
        std::string committedRows;
        /// The cached ids beside the table's, when a cache holds the rows.
        std::function<std::pair<std::vector<std::int64_t>, std::string>()> cache;
    };
    const auto ids = [](const auto& items, auto id) {
        std::vector<std::int64_t> result;
        for (const auto& item : items) {
            result.push_back(id(item));
        }
        return result;
    };
    std::string userName;
    const std::vector<Unit> units = {
        {"a user insert",
         [&] { return users.insert(std::make_shared<User>(1, userName, false)).has_value(); },
         "SELECT COUNT(*) FROM users",
         [&] {
             return std::pair{ids(*users.list(), [](const auto& user) { return user->idKey; }),
                              std::string("SELECT id FROM users")};
         }},
        {"a report insert",
         [&] {
             Report report({}, "uuid");
             report.userId = 1;
             return reports.insert(report, [] { return true; }).has_value();
         },
         "SELECT COUNT(*) FROM reports",
         [&] {
             return std::pair{ids(*reports.keys(), [](const auto& key) { return key.idKey; }),
                              std::string("SELECT id FROM reports")};
         }},
        {"a transaction",
         [&] {
             return provider_->transaction([&] {
                 return provider_
                     ->insert("levelResource", {{"userId", 1}, {"type", 0}, {"amount", 1}})
                     .has_value();
             });
         },
         "SELECT COUNT(*) FROM levelResource", nullptr},
    };
    int round = 0;
    for (const bool inGroup : {false, true}) {
        for (const bool commitFails : {false, true}) {
            userName = "user-" + std::to_string(round++);
            for (const auto& unit : units) {
                SCOPED_TRACE(unit.name + (inGroup ? ", inside a group" : ", alone") +
                             (commitFails ? ", its commit failing" : ""));
                test::RawDatabase raw(databasePath());
                const auto rowsBefore = raw.single(unit.committedRows);
                bool answered = false;
                std::string committedAtAnswer;
                // Stored events queued around it share groups.
                runQueued({[&] {
                               if (inGroup) {
                                   insert(1);
                               }
                           },
                           [&] {
                               // A disk that stays full: the write tried
                               // again once the log is folded back fails too.
                               if (commitFails) {
                                   vfs.limitLog(1);
                               }
                               answered = unit.store();
                               vfs.limitLog(0);
                               committedAtAnswer =
                                   test::RawDatabase(databasePath()).single(unit.committedRows);
                           },
                           [&] { insert(1); }});
                EXPECT_EQ(answered, !commitFails);
                EXPECT_EQ(committedAtAnswer,
                          std::to_string(std::stoi(rowsBefore) + (commitFails ? 0 : 1)));
                if (unit.cache) {
                    const auto [cached, query] = unit.cache();
                    std::vector<std::int64_t> stored;
                    for (const auto& row : raw.rows(query)) {
                        stored.push_back(std::stoll(row[0]));
                    }
                    EXPECT_EQ(cached, stored);
                }
            }
        }
    }
}

// A failed group commit takes only stored events along, all counted in one
// line; the event counts are read again, no other cache holds a lost row, no
// id is handed out twice, and the next groups commit again.
TEST_F(GroupCommitTest, AFailedCommitCostsOnlyItsGroupAndIsReportedWithWhatItLost) {
    test::FailingVfs vfs;
    open();
    UserRepository users(provider_);
    EventRepository events(provider_);
    test::LogCapture logs(MVKLogLevel::error);
    std::optional<std::int64_t> alice;
    std::optional<std::int64_t> countedBeforeLoss;
    const auto store = [&](std::int64_t user) {
        EventObject event("ce", -1, user, "{}");
        EXPECT_TRUE(events.insert(event));
    };
    runQueued({[&] { alice = users.insert(std::make_shared<User>(1, "alice", false)); },
               [&] { store(*alice); }, [&] { store(*alice); },
               [&] {
                   store(*alice);
                   countedBeforeLoss = events.count(*alice);
                   vfs.failLogWrites();
               }});
    ASSERT_TRUE(alice);
    EXPECT_EQ(vfs.failed(), 1);
    EXPECT_EQ(countedBeforeLoss, 3);
    EXPECT_TRUE(logs.contains(MVKLogLevel::error,
                              "[Database Module] Error in group commit: 3 stored writes were not "
                              "committed and are lost: database or disk is full (code: 13)"))
        << testing::PrintToString(logs.lines());
    EXPECT_EQ(provider_->lostGroups(), 1u);

    std::optional<std::int64_t> bob;
    std::optional<std::int64_t> countedAfterLoss;
    runQueued({[&] {
                   countedAfterLoss = events.count(*alice);
                   bob = users.insert(std::make_shared<User>(1, "bob", false));
               },
               [&] { store(*bob); }, [&] { store(*bob); }});
    EXPECT_EQ(countedAfterLoss, 0);
    ASSERT_TRUE(bob);
    EXPECT_NE(*bob, *alice);
    test::RawDatabase raw(databasePath());
    EXPECT_EQ(raw.rows("SELECT id, userId FROM users ORDER BY id"),
              (std::vector<std::vector<std::string>>{{std::to_string(*alice), "alice"},
                                                     {std::to_string(*bob), "bob"}}));
    EXPECT_EQ(users.list()->size(), 2u);
    EXPECT_EQ(raw.single("SELECT COUNT(*) FROM events"), "2");
    EXPECT_EQ(events.count(*bob), 2);
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

// The writes of an open group were answered as stored: damage met by a read
// inside that group must not take them away. The group is committed, the
// rows that can still be read go to the new file with it, and the read is
// answered from there.
TEST_F(GroupCommitTest, DamageMetInsideAGroupKeepsTheGroupsWritesInTheNewFile) {
    constexpr int stored = 2000;
    { SQLiteProvider schema("app-key", nullptr); }
    {
        test::RawDatabase raw(databasePath());
        raw.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                 std::to_string(stored) +
                 ") INSERT INTO events (code, userId, eventJson) SELECT 'ce', 1, "
                 "printf('%.300c', 'x') FROM n");
    }
    auto file = test::fileBytes(databasePath());
    const std::size_t page = 4096;
    const auto pages = file.size() / page;
    file.replace(pages * 4 / 10 * page, pages / 10 * page, std::string(pages / 10 * page, '\xff'));
    std::ofstream(databasePath(), std::ios::binary | std::ios::trunc) << file;
    open();
    test::LogCapture log(MVKLogLevel::error);

    std::optional<std::int64_t> first;
    std::optional<std::int64_t> second;
    std::optional<std::int64_t> count;
    runQueued({[&] { first = insert(7); }, [&] { second = insert(7); },
               [&] {
                   EXPECT_TRUE(provider_->queryRows(
                       {.tableName = "events", .projection = std::vector<std::string>{"count(*)"}},
                       [&](const Cursor& cursor) { count = cursor.integer(0); }));
               }});

    ASSERT_TRUE(first && second);
    EXPECT_TRUE(log.containsFragment("is damaged (database disk image is malformed (code: 11))"));
    EXPECT_TRUE(log.containsFragment("moved to " + databasePath().string() + ".corrupt"));
    EXPECT_EQ(provider_->lostGroups(), 1u) << "counts kept beside the rows are read again";
    test::RawDatabase raw(databasePath());
    EXPECT_EQ(raw.single("SELECT count(*) FROM events WHERE userId = 7 AND id IN (" +
                         std::to_string(*first) + ", " + std::to_string(*second) + ")"),
              "2");
    ASSERT_TRUE(count);
    EXPECT_GT(*count, 2);
    EXPECT_LT(*count, stored);
    EXPECT_EQ(raw.single("SELECT count(*) FROM events"), std::to_string(*count));
    EXPECT_EQ(raw.single("PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace mvk

// Host threads writing and reading while the queue's writes are grouped: every
// write lands exactly once, and nothing is left uncommitted at the end.
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "StorageTestSupport.hpp"
#include "storage/SQLiteProvider.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

class GroupCommitConcurrencyTest : public test::StorageTest {
  protected:
    SerialQueue queue_{"test.groupCommitConcurrency"};
    SQLiteProvider provider_{"app-key", &queue_};
};

TEST_F(GroupCommitConcurrencyTest, QueueAndHostThreadsWritesAllLandCommitted) {
    constexpr int queued = 2000;
    constexpr int threads = 4;
    constexpr int perThread = 100;
    const auto insert = [&](std::int64_t user, int n) {
        return provider_
            .insert("events", {{"code", "ce"}, {"userId", user}, {"eventJson", std::to_string(n)}})
            .has_value();
    };
    std::atomic<int> failures = 0;
    for (int n = 0; n < queued; ++n) {
        queue_.addOperation([&, n] {
            if (!insert(0, n)) {
                ++failures;
            }
        });
    }
    std::vector<std::thread> workers;
    for (int t = 1; t <= threads; ++t) {
        workers.emplace_back([&, t] {
            for (int n = 0; n < perThread; ++n) {
                if (!insert(t, n)) {
                    ++failures;
                }
                int rows = 0;
                if (!provider_.queryRows({.tableName = "events"}, [&](const Cursor&) { ++rows; })) {
                    ++failures;
                }
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    ASSERT_TRUE(queue_.drain(test::drainLimit()));
    EXPECT_EQ(failures, 0);

    test::RawDatabase raw(databasePath());
    EXPECT_EQ(raw.single("SELECT COUNT(*) FROM events"),
              std::to_string(queued + threads * perThread));
    // The queue's own events stay in the order it stored them.
    const auto order = raw.rows("SELECT eventJson FROM events WHERE userId = 0 ORDER BY id");
    ASSERT_EQ(order.size(), static_cast<std::size_t>(queued));
    for (int n = 0; n < queued; ++n) {
        ASSERT_EQ(order[static_cast<std::size_t>(n)][0], std::to_string(n));
    }
}

// A host thread waiting for a block (the end of an activity when the game goes
// to the background) may be killed the moment the wait returns: by then that
// block's writes and all before it are committed, though more blocks wait.
TEST_F(GroupCommitConcurrencyTest, AWaitReturnsOnceItsBlockAndAllBeforeAreCommitted) {
    const auto insert = [&] {
        provider_.insertGrouped("events", {{"code", "ce"}, {"userId", 1}, {"eventJson", "{}"}});
    };
    const auto committed = [&] {
        return test::RawDatabase(databasePath()).single("SELECT COUNT(*) FROM events");
    };
    const std::vector<std::pair<std::string, std::function<bool()>>> waits = {
        {"addOperationAndWait", [&] { return queue_.addOperationAndWait(insert); }},
        {"waitUntilFinished",
         [&] { return queue_.waitUntilFinished(queue_.addOperation(insert)); }},
    };
    for (const auto& [name, waitForIt] : waits) {
        SCOPED_TRACE(name);
        const auto& wait = waitForIt;
        ASSERT_TRUE(provider_.clear("events"));
        std::promise<void> entered;
        std::promise<void> gate;
        queue_.addOperation([&entered, opened = gate.get_future().share()] {
            entered.set_value();
            opened.wait();
        });
        entered.get_future().wait();
        queue_.addOperation(insert);
        queue_.addOperation(insert);
        auto waiter = std::async(std::launch::async, [&] {
            const bool waited = wait();
            return std::pair{waited, committed()};
        });
        while (queue_.operationCount() < 3) {
            std::this_thread::yield();
        }
        // Another host thread's calls queue up behind the waited-for block.
        std::promise<void> tailGate;
        queue_.addOperation([opened = tailGate.get_future().share()] { opened.wait(); });
        queue_.addOperation(insert);
        gate.set_value();
        const auto [waited, committedAtReturn] = waiter.get();
        tailGate.set_value();
        ASSERT_TRUE(queue_.drain(test::drainLimit()));
        EXPECT_TRUE(waited);
        EXPECT_EQ(committedAtReturn, "3");
    }
}

// A destroyed core's connection lives on while a host thread finishes its
// request with it; the next core's start writes through a connection of its
// own on the same queue. A group the old connection once had there is
// committed, so that thread's hold on the old connection's lock (it may be
// waiting for the file lock the start's transaction holds) must not stop the
// start until the busy timeout.
TEST_F(GroupCommitConcurrencyTest, AnOldConnectionsClosedGroupDoesNotHoldUpTheQueue) {
    SQLiteProvider next("app-key", &queue_);
    const auto insert = [](SQLiteProvider& provider, std::int64_t user) {
        return provider.insert("events", {{"code", "ce"}, {"userId", user}, {"eventJson", "{}"}})
            .has_value();
    };
    std::promise<void> gate;
    queue_.addOperation([opened = gate.get_future().share()] { opened.wait(); });
    queue_.addOperation([&] { insert(provider_, 1); });
    queue_.addOperation([] {});
    gate.set_value();
    ASSERT_TRUE(queue_.drain(test::drainLimit()));

    std::promise<void> reading;
    std::promise<void> release;
    std::thread reader([&, released = release.get_future().share()] {
        bool first = true;
        provider_.queryRows({.tableName = "events"}, [&](const Cursor&) {
            if (std::exchange(first, false)) {
                reading.set_value();
                released.wait();
            }
        });
    });
    reading.get_future().wait();
    std::promise<bool> stored;
    auto storedResult = stored.get_future();
    queue_.addOperation([&] {
        stored.set_value(next.transaction([&] { return insert(next, 2) && insert(next, 2); }));
    });
    const bool inTime =
        storedResult.wait_for(std::chrono::milliseconds(Connection::busyTimeoutMillis / 2)) ==
        std::future_status::ready;
    release.set_value();
    reader.join();
    ASSERT_TRUE(queue_.drain(test::drainLimit()));
    EXPECT_TRUE(inTime);
    EXPECT_TRUE(storedResult.get());
    EXPECT_EQ(test::RawDatabase(databasePath()).single("SELECT COUNT(*) FROM events"), "3");
}

}  // namespace
}  // namespace mvk

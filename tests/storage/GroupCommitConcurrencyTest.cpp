// Host threads writing and reading while the queue's writes are grouped: every
// write lands exactly once, and nothing is left uncommitted at the end.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "StorageTestSupport.hpp"
#include "storage/SQLiteProvider.hpp"

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
    ASSERT_TRUE(queue_.drain());
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

}  // namespace
}  // namespace mvk

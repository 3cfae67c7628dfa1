#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "StorageTestSupport.hpp"
#include "events/EventObject.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"

namespace mvk {
namespace {

class StorageConcurrencyTest : public test::StorageTest {
  protected:
    SQLiteProvider provider_{"app-key"};
};

TEST_F(StorageConcurrencyTest, EveryInsertGetsItsOwnRowId) {
    constexpr int threads = 8;
    constexpr int perThread = 100;
    std::vector<std::vector<std::optional<std::int64_t>>> ids(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int n = 0; n < perThread; ++n) {
                ids[t].push_back(provider_.insert(
                    "events",
                    {{"code", "t" + std::to_string(t)}, {"userId", n}, {"eventJson", "{}"}}));
            }
        });
    }
    // Readers at the same time must never see a half-bound or foreign row.
    for (int r = 0; r < 2; ++r) {
        workers.emplace_back([&] {
            for (int n = 0; n < 20; ++n) {
                const auto rows = query<EventObject>(provider_, {.tableName = "events"});
                ASSERT_TRUE(rows);
                for (const auto& event : *rows) {
                    EXPECT_EQ(event.json, "{}");
                }
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }

    std::map<std::int64_t, EventObject> byId;
    auto stored = query<EventObject>(provider_, {.tableName = "events"}).value();
    for (auto& event : stored) {
        byId.emplace(event.idKey, event);
    }
    ASSERT_EQ(byId.size(), static_cast<std::size_t>(threads * perThread));
    for (int t = 0; t < threads; ++t) {
        for (int n = 0; n < perThread; ++n) {
            ASSERT_TRUE(ids[t][n]);
            const auto& row = byId.at(*ids[t][n]);
            EXPECT_EQ(row.code, "t" + std::to_string(t));
            EXPECT_EQ(row.userId, n);
        }
    }
}

TEST_F(StorageConcurrencyTest, OtherThreadsWaitOutATransactionThatRollsBack) {
    std::atomic<bool> started{false};
    std::thread rolledBack([&] {
        provider_.transaction([&] {
            for (int n = 0; n < 100; ++n) {
                provider_.insert("events", {{"code", "gone"}, {"userId", n}, {"eventJson", "{}"}});
                started = true;
            }
            return false;
        });
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&] {
            while (!started) {
                std::this_thread::yield();
            }
            for (int n = 0; n < 50; ++n) {
                provider_.insert("events", {{"code", "kept"}, {"userId", n}, {"eventJson", "{}"}});
            }
        });
    }
    rolledBack.join();
    for (auto& writer : writers) {
        writer.join();
    }

    auto rows = query<EventObject>(provider_, {.tableName = "events"}).value();
    EXPECT_EQ(rows.size(), 200u);
    for (const auto& row : rows) {
        EXPECT_EQ(row.code, "kept");
    }
}

}  // namespace
}  // namespace mvk

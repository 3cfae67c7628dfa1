// Reports are stored and listed on a queue while the sending thread deletes
// the accepted ones: the listed keys always end up matching the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "StorageTestSupport.hpp"
#include "records/Report.hpp"
#include "records/ReportsRepository.hpp"
#include "storage/SQLiteProvider.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

class ReportsRepositoryConcurrencyTest : public test::StorageTest {
  protected:
    SerialQueue queue_{"test.reportsConcurrency"};
};

TEST_F(ReportsRepositoryConcurrencyTest, ListedKeysMatchTheFileWhileTheSenderDeletes) {
    auto repository =
        std::make_shared<ReportsRepository>(std::make_shared<SQLiteProvider>("app-key", &queue_));
    constexpr int reports = 400;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::int64_t> accepted;
    bool finished = false;
    std::atomic<int> failures = 0;

    // The sender deletes every other report as soon as it is stored.
    std::thread sender([&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return finished || !accepted.empty(); });
            if (accepted.empty()) {
                return;
            }
            const auto id = accepted.front();
            accepted.pop_front();
            lock.unlock();
            if (!repository->deleteItems({id})) {
                ++failures;
            }
            lock.lock();
        }
    });
    for (int n = 0; n < reports; ++n) {
        queue_.addOperation([&, n] {
            Report report({}, "uuid-" + std::to_string(n));
            report.userId = 1;
            const auto id = repository->insert(report, [] { return true; });
            if (!id) {
                ++failures;
                return;
            }
            if (n % 2 == 0) {
                std::lock_guard lock(mutex);
                accepted.push_back(*id);
                changed.notify_one();
            }
            // Listing after a clear reads the file while deletions go on.
            if (n == reports / 2 && !repository->clear()) {
                ++failures;
            }
            if (!repository->keys()) {
                ++failures;
            }
        });
    }
    ASSERT_TRUE(queue_.drain(test::drainLimit()));
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    changed.notify_one();
    sender.join();
    EXPECT_EQ(failures, 0);

    std::vector<std::string> listed;
    queue_.addOperationAndWait([&] {
        for (const auto& key : repository->keys().value_or(std::vector<ReportKey>{})) {
            listed.push_back(std::to_string(key.idKey));
        }
    });
    std::vector<std::string> stored;
    for (const auto& row :
         test::RawDatabase(databasePath()).rows("SELECT id FROM reports ORDER BY id")) {
        stored.push_back(row[0]);
    }
    EXPECT_EQ(listed, stored);
    EXPECT_EQ(stored.size(), static_cast<std::size_t>(reports / 2 / 2));
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/SerialQueue.hpp"

#include "support/Patience.hpp"

namespace mvk {
namespace {

// Producers draw a ticket and link their block in as two steps; these cases
// hold the queue to running blocks in ticket order, to waits that mean what
// they say, and to releasing every capture, whether the block ever ran.

struct IntakeCase {
    const char* name;
    int producers;
    int perProducer;
    bool pausedWhileAdding;
};

class QueueIntake : public testing::TestWithParam<IntakeCase> {};

TEST_P(QueueIntake, RunsInTicketOrderWaitsHoldAndCapturesAreReleased) {
    const auto& c = GetParam();
    SerialQueue queue("test.intake");
    const auto capture = std::make_shared<int>(0);
    std::mutex mutex;
    std::vector<std::pair<int, int>> ran;  // (producer, index) in run order
    std::vector<std::vector<SerialQueue::Ticket>> tickets(c.producers);
    std::atomic<int> waitsBeforeTheirBlock{0};

    if (c.pausedWhileAdding) {
        queue.pause();
    }
    std::vector<std::thread> threads;
    for (int p = 0; p < c.producers; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < c.perProducer; ++i) {
                auto record = [&, p, i, capture] {
                    std::lock_guard lock(mutex);
                    ran.emplace_back(p, i);
                };
                const auto ticket = queue.addOperation(record);
                tickets[p].push_back(ticket);
                if (!c.pausedWhileAdding && i % 97 == 0) {
                    EXPECT_TRUE(queue.waitUntilFinished(ticket));
                    std::lock_guard lock(mutex);
                    bool found = false;
                    for (const auto& entry : ran) {
                        found = found || entry == std::pair{p, i};
                    }
                    if (!found) {
                        ++waitsBeforeTheirBlock;
                    }
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    if (c.pausedWhileAdding) {
        EXPECT_FALSE(queue.drain(std::chrono::milliseconds(20)));
        EXPECT_EQ(queue.operationCount(),
                  static_cast<std::size_t>(c.producers) * static_cast<std::size_t>(c.perProducer));
        queue.resume();
    }
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_EQ(waitsBeforeTheirBlock.load(), 0);

    const std::size_t total = static_cast<std::size_t>(c.producers * c.perProducer);
    ASSERT_EQ(ran.size(), total);
    SerialQueue::Ticket previous = 0;
    for (std::size_t n = 0; n < ran.size(); ++n) {
        const auto [p, i] = ran[n];
        const auto ticket = tickets[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)];
        // Tickets grow by one per block, and blocks run in that order.
        EXPECT_EQ(ticket, previous + 1) << "block " << n << " of producer " << p;
        previous = ticket;
    }
    EXPECT_EQ(capture.use_count(), 1) << "a finished block still holds its captures";
}

INSTANTIATE_TEST_SUITE_P(Cases, QueueIntake,
                         testing::Values(IntakeCase{"OneProducer", 1, 3000, false},
                                         IntakeCase{"EightProducers", 8, 2000, false},
                                         IntakeCase{"EightProducersWhilePaused", 8, 1000, true}),
                         [](const testing::TestParamInfo<IntakeCase>& info) {
                             return info.param.name;
                         });

TEST(QueueIntakeRelease, AQueueGoneWhilePausedReleasesTheBlocksItNeverRan) {
    const auto capture = std::make_shared<int>(0);
    std::atomic<bool> ran{false};
    {
        SerialQueue queue("test.intake-gone");
        queue.pause();
        std::vector<std::thread> threads;
        for (int p = 0; p < 4; ++p) {
            threads.emplace_back([&] {
                for (int i = 0; i < 500; ++i) {
                    queue.addOperation([&ran, capture] { ran = true; });
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }
    EXPECT_FALSE(ran);
    EXPECT_EQ(capture.use_count(), 1);
}

}  // namespace
}  // namespace mvk

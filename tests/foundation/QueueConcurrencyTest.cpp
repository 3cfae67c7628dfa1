#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ProcessExit.hpp"
#include "platform/QueueManager.hpp"
#include "platform/SerialQueue.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

TEST(QueueConcurrencyTest, FifoPerProducerAndOneBlockAtATime) {
    SerialQueue queue("test.fifo");
    constexpr int producers = 8;
    constexpr int perProducer = 500;
    std::mutex mutex;
    std::vector<std::vector<int>> seen(producers);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};

    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < perProducer; ++i) {
                queue.addOperation([&, p, i] {
                    if (inside.fetch_add(1) != 0) {
                        overlapped = true;
                    }
                    {
                        std::lock_guard lock(mutex);
                        seen[p].push_back(i);
                    }
                    inside.fetch_sub(1);
                });
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_FALSE(overlapped);
    for (int p = 0; p < producers; ++p) {
        ASSERT_EQ(seen[p].size(), static_cast<std::size_t>(perProducer));
        for (int i = 0; i < perProducer; ++i) {
            ASSERT_EQ(seen[p][i], i) << "producer " << p;
        }
    }
}

TEST(QueueConcurrencyTest, PausedBlocksRunInOrderAfterResume) {
    SerialQueue queue("test.pause");
    std::vector<int> order;
    std::mutex mutex;
    auto record = [&](int n) {
        return [&, n] {
            std::lock_guard lock(mutex);
            order.push_back(n);
        };
    };
    queue.pause();
    EXPECT_TRUE(queue.isPaused());
    queue.addOperation(record(1));
    queue.addOperation(record(2));
    queue.addOperation(record(3));
    EXPECT_FALSE(queue.drain(std::chrono::milliseconds(50)));
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(order.empty());
    }
    queue.addOperation(record(4));
    queue.resume();
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(QueueConcurrencyTest, PauseLetsTheRunningBlockFinish) {
    SerialQueue queue("test.pause-running");
    std::promise<void> started;
    std::promise<void> release;
    std::atomic<bool> secondRan{false};
    auto ticket = queue.addOperation([&] {
        started.set_value();
        release.get_future().wait();
    });
    queue.addOperation([&] { secondRan = true; });
    started.get_future().wait();
    queue.pause();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        release.set_value();
    });
    EXPECT_TRUE(queue.waitUntilFinished(ticket));
    releaser.join();
    EXPECT_FALSE(queue.waitUntilAllOperationsAreFinished());  // paused: gives up
    EXPECT_FALSE(secondRan);
    queue.resume();
    EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished());
    EXPECT_TRUE(secondRan);
}

TEST(QueueConcurrencyTest, WaitFromOwnQueueNeverBlocks) {
    SerialQueue queue("test.self-wait");
    std::promise<std::pair<bool, bool>> result;
    queue.addOperation([&] {
        bool current = queue.isCurrent();
        bool waited = queue.waitUntilAllOperationsAreFinished();
        result.set_value({current, waited});
    });
    auto [current, waited] = result.get_future().get();
    EXPECT_TRUE(current);
    EXPECT_FALSE(waited);
    EXPECT_FALSE(queue.isCurrent());
}

// While the process exits the running block finishes, later ones are left
// unrun and a waiter on them is let go instead of hanging the exiting host.
TEST(QueueConcurrencyTest, ExitingProcessStartsNoMoreBlocksAndReleasesWaiters) {
    SerialQueue queue("test.exit");
    std::promise<void> entered;
    std::promise<void> release;
    std::atomic<bool> laterRan{false};
    queue.addOperation([&] {
        entered.set_value();
        release.get_future().wait();
    });
    const auto later = queue.addOperation([&] { laterRan = true; });
    entered.get_future().wait();

    ProcessExit::markExitingForTesting();
    auto waiter = std::async(std::launch::async, [&] { return queue.waitUntilFinished(later); });
    release.set_value();
    EXPECT_FALSE(waiter.get());
    EXPECT_FALSE(laterRan);
    EXPECT_EQ(queue.operationCount(), 1u);

    ProcessExit::resetForTesting();
    EXPECT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_TRUE(laterRan);
}

TEST(QueueConcurrencyTest, ExceptionInBlockIsLoggedAndQueueGoesOn) {
    test::LogCapture log(MVKLogLevel::error);
    SerialQueue queue("test.throwing");
    std::atomic<bool> ran{false};
    queue.addOperation([] { throw std::runtime_error("boom"); });
    queue.addOperation([] { throw 42; });
    queue.addOperation([&] { ran = true; });
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "An operation on test.throwing has failed: boom"));
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "An operation on test.throwing has failed"));
}

TEST(QueueConcurrencyTest, ProcessQueuesAreNamedAndDistinct) {
    QueueManager* all[] = {
        &QueueManager::incomeQueue(),       &QueueManager::networkSerialQueue(),
        &QueueManager::configQueue(),       &QueueManager::anticheatQueue(),
        &QueueManager::networkFlashQueue(), &QueueManager::networkMessagingQueue()};
    const char* names[] = {"com.morvanix.incomeQueue",       "com.morvanix.networkQueue",
                           "com.morvanix.configQueue",       "com.morvanix.anticheatQueue",
                           "com.morvanix.networkFlashQueue", "com.morvanix.networkMessagingQueue"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(all[i]->queue().name(), names[i]);
        EXPECT_EQ(all[i]->maxConcurrentOperationCount(), 1);
    }
    EXPECT_EQ(&QueueManager::incomeQueue(), all[0]);

    // Work posted from a network queue back to the income queue keeps order.
    std::vector<int> order;
    std::mutex mutex;
    for (int i = 0; i < 50; ++i) {
        QueueManager::configQueue().queue().addOperation([&, i] {
            QueueManager::incomeQueue().queue().addOperation([&, i] {
                std::lock_guard lock(mutex);
                order.push_back(i);
            });
        });
    }
    ASSERT_TRUE(QueueManager::configQueue().queue().drain(test::drainLimit()));
    ASSERT_TRUE(QueueManager::incomeQueue().queue().drain(test::drainLimit()));
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[i], i);
    }
}

TEST(QueueConcurrencyTest, LoggerSettingsRaceWithWriters) {
    test::LogCapture log(MVKLogLevel::debug);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            Logger::setLogLevel(i % 2 ? MVKLogLevel::debug : MVKLogLevel::error);
            Logger::setEngineLoggerMessageClosure(i % 3 ? Logger::EngineLoggerMessageClosure{}
                                                        : [](MVKLogLevel, const std::string&) {});
        }
    });
    SerialQueue queue("test.log-race");
    for (int i = 0; i < 2000; ++i) {
        queue.addOperation([] { Logger::writeLog(MVKLogLevel::debug, "tick"); });
    }
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    stop = true;
    writer.join();
    Logger::setEngineLoggerMessageClosure(nullptr);
}

}  // namespace
}  // namespace mvk

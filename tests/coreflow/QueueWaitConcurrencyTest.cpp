#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

#include "platform/SerialQueue.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

// The end of the activity blocks the host's thread until its block has run on
// the income queue; these are the rules that keep that wait from hanging.

TEST(QueueWait, WaitsForItsOwnBlockAndWhatIsQueuedBeforeIt) {
    SerialQueue queue("test.wait");
    std::vector<int> order;
    std::promise<void> release;
    auto gate = release.get_future().share();
    queue.addOperation([gate] { gate.wait(); });
    queue.addOperation([&] { order.push_back(1); });
    auto waiting = std::async(
        std::launch::async, [&] { return queue.addOperationAndWait([&] { order.push_back(2); }); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    release.set_value();
    EXPECT_TRUE(waiting.get());
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    queue.drain(test::drainLimit());
}

TEST(QueueWait, RunsInlineWhenCalledFromTheQueueItself) {
    SerialQueue queue("test.wait");
    std::vector<int> order;
    queue.addOperation([&] {
        order.push_back(1);
        EXPECT_TRUE(queue.addOperationAndWait([&] { order.push_back(2); }));
        order.push_back(3);
    });
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(QueueWait, GivesUpOnAPausedQueueAndTheBlockRunsAfterTheResume) {
    SerialQueue queue("test.wait");
    queue.pause();
    std::atomic<bool> ran{false};
    EXPECT_FALSE(queue.addOperationAndWait([&] { ran = true; }));
    EXPECT_FALSE(ran);
    queue.resume();
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_TRUE(ran);
}

TEST(QueueWait, APauseWhileWaitingEndsTheWait) {
    SerialQueue queue("test.wait");
    std::promise<void> release;
    auto gate = release.get_future().share();
    std::promise<void> started;
    queue.addOperation([&, gate] {
        started.set_value();
        gate.wait();
    });
    started.get_future().wait();
    auto waiting = std::async(std::launch::async, [&] { return queue.addOperationAndWait([] {}); });
    queue.pause();
    EXPECT_FALSE(waiting.get());
    release.set_value();
    queue.resume();
    ASSERT_TRUE(queue.drain(test::drainLimit()));
}

}  // namespace
}  // namespace mvk

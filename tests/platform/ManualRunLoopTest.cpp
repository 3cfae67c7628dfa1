#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ManualRunLoop.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;

class ManualRunLoopTest : public ::testing::Test {
  protected:
    std::int64_t elapsed() const { return clock->monotonicMillis() - start; }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::int64_t start = clock->monotonicMillis();
    ManualRunLoop loop{clock};
};

TEST_F(ManualRunLoopTest, TimerFiresFirstAfterOneIntervalThenEveryInterval) {
    std::vector<std::int64_t> fires;
    loop.scheduleRepeating(milliseconds(1000), [&] { fires.push_back(elapsed()); });
    loop.advance(milliseconds(999));
    EXPECT_TRUE(fires.empty());
    loop.advance(milliseconds(2500));
    EXPECT_EQ(fires, (std::vector<std::int64_t>{1000, 2000, 3000}));
    EXPECT_EQ(elapsed(), 3499);
}

TEST_F(ManualRunLoopTest, MissedFiresCoalesceAndKeepTheTimersGrid) {
    std::vector<std::int64_t> fires;
    loop.scheduleRepeating(milliseconds(1000), [&] { fires.push_back(elapsed()); });
    clock->advance(5500);  // the loop was busy elsewhere
    EXPECT_EQ(loop.runDueWork(), 1u);
    loop.advance(milliseconds(499));
    EXPECT_EQ(fires, (std::vector<std::int64_t>{5500}));
    loop.advance(milliseconds(1));
    EXPECT_EQ(fires, (std::vector<std::int64_t>{5500, 6000}));
}

TEST_F(ManualRunLoopTest, SlowTimerWorkCoalescesTheFiresItHides) {
    int fires = 0;
    loop.scheduleRepeating(milliseconds(100), [&] {
        if (++fires == 1) {
            clock->advance(350);  // work that takes three and a half periods
        }
    });
    loop.advance(milliseconds(100));
    EXPECT_EQ(fires, 1);
    EXPECT_EQ(elapsed(), 450);
    loop.runDueWork();
    EXPECT_EQ(fires, 2);
    loop.advance(milliseconds(49));
    EXPECT_EQ(fires, 2);
    loop.advance(milliseconds(1));
    EXPECT_EQ(fires, 3);
}

TEST_F(ManualRunLoopTest, CancelStopsFiresAlsoFromInsideTheTimer) {
    int outsideFires = 0;
    auto outside = loop.scheduleRepeating(milliseconds(10), [&] { ++outsideFires; });
    int insideFires = 0;
    std::shared_ptr<ScheduledWorkProtocol> inside;
    inside = loop.scheduleRepeating(milliseconds(10), [&] {
        if (++insideFires == 2) {
            inside->cancel();
        }
    });
    loop.advance(milliseconds(25));
    EXPECT_TRUE(outside->isScheduled());
    outside->cancel();
    outside->cancel();
    loop.advance(milliseconds(100));
    EXPECT_EQ(outsideFires, 2);
    EXPECT_EQ(insideFires, 2);
    EXPECT_FALSE(outside->isScheduled());
    EXPECT_FALSE(inside->isScheduled());
}

TEST_F(ManualRunLoopTest, ZeroIntervalDoesNotSpin) {
    int fires = 0;
    loop.scheduleRepeating(milliseconds(0), [&] { ++fires; });
    EXPECT_EQ(loop.runDueWork(), 0u);
    loop.advance(milliseconds(5));
    EXPECT_EQ(fires, 5);
}

TEST_F(ManualRunLoopTest, PostsRunInOrderOnTheDrivingThreadAndSeeTheLoopAsCurrent) {
    std::vector<int> order;
    bool current = false;
    loop.post([&] { order.push_back(1); });
    loop.post([&] {
        order.push_back(2);
        current = loop.isCurrent();
        loop.post([&] { order.push_back(3); });
    });
    EXPECT_TRUE(order.empty());
    loop.runDueWork();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(current);
    EXPECT_FALSE(loop.isCurrent());
}

TEST_F(ManualRunLoopTest, DelayedBlocksRunOnceInDueOrderUnlessCancelled) {
    std::vector<std::pair<int, std::int64_t>> runs;
    auto record = [&](int n) { return [&, n] { runs.emplace_back(n, elapsed()); }; };
    auto late = loop.schedule(milliseconds(2000), record(1));
    auto early = loop.schedule(milliseconds(500), record(2));
    auto cancelled = loop.schedule(milliseconds(1000), record(3));
    auto now = loop.schedule(milliseconds(-5), record(4));
    cancelled->cancel();
    EXPECT_TRUE(late->isScheduled());
    loop.advance(milliseconds(5000));
    EXPECT_EQ(runs, (std::vector<std::pair<int, std::int64_t>>{{4, 0}, {2, 500}, {1, 2000}}));
    EXPECT_FALSE(late->isScheduled());
}

TEST_F(ManualRunLoopTest, ThrowingWorkIsLoggedAndTheLoopGoesOn) {
    test::LogCapture log(MVKLogLevel::error);
    ManualRunLoop named(clock, "test.loop");
    int fires = 0;
    named.post([] { throw std::runtime_error("boom"); });
    named.scheduleRepeating(milliseconds(10), [&] {
        ++fires;
        throw 1;
    });
    named.advance(milliseconds(20));
    EXPECT_EQ(fires, 2);
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "An operation on test.loop has failed: boom"));
    EXPECT_EQ(log.count(MVKLogLevel::error, "An operation on test.loop has failed"), 2u);
}

TEST_F(ManualRunLoopTest, HandlesOutliveTheirLoop) {
    std::shared_ptr<ScheduledWorkProtocol> handle;
    {
        ManualRunLoop shortLived(clock);
        handle = shortLived.scheduleRepeating(milliseconds(10), [] {});
    }
    EXPECT_FALSE(handle->isScheduled());
    handle->cancel();
}

}  // namespace
}  // namespace mvk

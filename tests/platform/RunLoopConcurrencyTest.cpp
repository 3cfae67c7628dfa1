#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/RunLoop.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;

// In these tests the loop is declared after everything its work touches, so it
// is stopped before that goes away.

/// Counts fires of a timer that runs beside the one under test, so a test can
/// wait for "several more periods have passed on the loop" without sleeping.
class Witness {
  public:
    void fire() {
        {
            std::lock_guard lock(mutex_);
            ++fires_;
        }
        changed_.notify_all();
    }
    int fires() {
        std::lock_guard lock(mutex_);
        return fires_;
    }
    bool waitFor(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, test::patience(std::chrono::seconds(30)),
                                 [&] { return fires_ >= count; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int fires_ = 0;
};

/// Runs `block` on `loop` and waits until it has run.
void runOn(RunLoop& loop, std::function<void()> block) {
    std::promise<void> done;
    loop.post([&] {
        block();
        done.set_value();
    });
    done.get_future().wait();
}

TEST(RunLoopConcurrencyTest, PostedBlocksRunInOrderOnTheLoopsOwnThread) {
    std::vector<int> order;
    std::thread::id loopThread;
    bool current = false;
    RunLoop loop("test.main");
    for (int i = 0; i < 100; ++i) {
        loop.post([&order, i] { order.push_back(i); });
    }
    runOn(loop, [&] {
        loopThread = std::this_thread::get_id();
        current = loop.isCurrent();
    });
    EXPECT_NE(loopThread, std::this_thread::get_id());
    EXPECT_TRUE(current);
    EXPECT_FALSE(loop.isCurrent());
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[i], i);
    }
}

TEST(RunLoopConcurrencyTest, CancelReturnsWhileTheLoopIsBlockedAndTheTimerNeverFires) {
    std::atomic<int> fires{0};
    Witness witness;
    std::promise<void> blocked;
    std::promise<void> release;
    RunLoop loop("test.blocked");
    loop.post([&] {
        blocked.set_value();
        release.get_future().wait();
    });
    blocked.get_future().wait();

    auto timer = loop.scheduleRepeating(milliseconds(1), [&] { ++fires; });
    loop.scheduleRepeating(milliseconds(1), [&] { witness.fire(); });
    timer->cancel();  // the loop is still blocked: this must not wait for it
    EXPECT_FALSE(timer->isScheduled());
    release.set_value();

    ASSERT_TRUE(witness.waitFor(5));
    EXPECT_EQ(fires, 0);
}

TEST(RunLoopConcurrencyTest, NoFireBeginsAfterCancelReturnsEvenWithAFireUnderWay) {
    std::promise<void> entered;
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<int> fires{0};
    Witness witness;
    RunLoop loop("test.cancel");
    auto timer = loop.scheduleRepeating(milliseconds(2), [&] {
        if (++fires == 1) {
            entered.set_value();
            released.wait();
        }
    });
    loop.scheduleRepeating(milliseconds(2), [&] { witness.fire(); });

    entered.get_future().wait();
    timer->cancel();  // the first fire is still running on the loop
    release.set_value();

    ASSERT_TRUE(witness.waitFor(witness.fires() + 5));
    EXPECT_EQ(fires, 1);
}

TEST(RunLoopConcurrencyTest, TimersFireRepeatedlyUntilCancelled) {
    Witness ticks;
    RunLoop loop("test.repeat");
    auto timer = loop.scheduleRepeating(milliseconds(1), [&] { ticks.fire(); });
    ASSERT_TRUE(ticks.waitFor(3));
    timer->cancel();
    int afterCancel = ticks.fires();
    runOn(loop, [] {});
    EXPECT_EQ(ticks.fires(), afterCancel);
}

TEST(RunLoopConcurrencyTest, DelayedBlocksRunInDueOrderAndCancelledOnesNever) {
    std::mutex mutex;
    std::vector<int> order;
    std::promise<void> last;
    RunLoop scheduler("test.delayed");
    auto record = [&](int n) {
        return [&, n] {
            std::lock_guard lock(mutex);
            order.push_back(n);
        };
    };
    scheduler.schedule(milliseconds(20), record(2));
    auto cancelled = scheduler.schedule(milliseconds(10), record(3));
    scheduler.schedule(milliseconds(5), record(1));
    scheduler.schedule(milliseconds(30), [&] { last.set_value(); });
    cancelled->cancel();
    last.get_future().wait();
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(RunLoopConcurrencyTest, SchedulingAndCancellingFromManyThreads) {
    std::atomic<int> fires{0};
    RunLoop loop("test.stress");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto timer = loop.scheduleRepeating(milliseconds(1), [&] { ++fires; });
                auto delayed = loop.schedule(milliseconds(i % 3), [&] { ++fires; });
                loop.post([&] { ++fires; });
                timer->cancel();
                if (i % 2 == 0) {
                    delayed->cancel();
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    runOn(loop, [] {});
    EXPECT_GE(fires, 800);
}

TEST(RunLoopConcurrencyTest, ProcessLoopsAreTwoLiveThreads) {
    auto& main = *RunLoop::main();
    auto& delayed = *RunLoop::delayedScheduler();
    EXPECT_NE(&main, &delayed);
    EXPECT_EQ(&main, RunLoop::main().get());
    bool onMain = false;
    runOn(main, [&] { onMain = main.isCurrent() && !delayed.isCurrent(); });
    EXPECT_TRUE(onMain);
}

}  // namespace
}  // namespace mvk

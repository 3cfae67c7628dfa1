#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/AnalyticsObserver.hpp"
#include "platform/ManualRunLoop.hpp"
#include "state/ApplicationLifeCycle.hpp"

namespace mvk {
namespace {

class CountingListener final : public LifeCycleProtocol {
  public:
    void goActive() override { onActive(); }
    void goInactive() override { ++calls; }
    void goBackground() override { ++calls; }
    void goTerminate() override { ++calls; }

    std::function<void()> onActive = [] {};
    std::atomic<int> calls{0};
};

TEST(LifeCycleConcurrencyTest, ListenerWaitingForAnUnsubscribeOnAnotherThreadDoesNotDeadlock) {
    ApplicationLifeCycle lifeCycle;
    auto waiting = std::make_shared<CountingListener>();
    auto other = std::make_shared<CountingListener>();
    // The unsubscribing thread needs the list while the fan-out is inside the
    // listener; holding a lock across the call would hang here.
    waiting->onActive = [&] {
        std::thread unsubscriber([&] {
            lifeCycle.unsubscibe(waiting);
            lifeCycle.unsubscibe(other);
        });
        unsubscriber.join();
    };
    lifeCycle.subscibeLifeCycle(waiting);
    lifeCycle.subscibeLifeCycle(other);
    lifeCycle.goActive();
    lifeCycle.goBackground();
    EXPECT_EQ(waiting->calls, 0);
    EXPECT_EQ(other->calls, 0);
}

TEST(LifeCycleConcurrencyTest, FanOutsWhileListenersComeAndGo) {
    ApplicationLifeCycle lifeCycle;
    auto steady = std::make_shared<CountingListener>();
    lifeCycle.subscibeLifeCycle(steady);
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int round = 0; !stop; ++round) {
            auto passing = std::make_shared<CountingListener>();
            lifeCycle.subscibeLifeCycle(passing);
            // Some leave by going away, which keeps their entries in the list.
            if (round >= 50) {
                lifeCycle.unsubscibe(passing);
            }
        }
    });
    for (int i = 0; i < 2000; ++i) {
        lifeCycle.goInactive();
    }
    stop = true;
    churn.join();
    EXPECT_EQ(steady->calls, 2000);
}

TEST(LifeCycleConcurrencyTest, InitializationCallbackRacingTheEndOfStartUpRunsOnce) {
    auto clock = std::make_shared<ManualClock>();
    auto loop = std::make_shared<ManualRunLoop>(clock);
    SerialQueue incomeQueue("test.income");
    for (int round = 0; round < 200; ++round) {
        auto observer = std::make_shared<AnalyticsObserver>(loop, incomeQueue);
        std::atomic<int> calls{0};
        std::thread host([&] { observer->setInitializationCallBack([&] { ++calls; }); });
        std::thread startUp([&] { observer->finishInitialization(); });
        host.join();
        startUp.join();
        loop->runDueWork();
        loop->runDueWork();
        ASSERT_EQ(calls, 1) << "round " << round;
    }
}

}  // namespace
}  // namespace mvk

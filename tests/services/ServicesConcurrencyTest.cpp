#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "core/TimerService.hpp"
#include "platform/ManualRunLoop.hpp"
#include "platform/SerialQueue.hpp"
#include "services/ServiceFakes.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;

// The main loop creates timers on its thread while the income queue starts
// and stops them on another; whatever the interleaving, a stop is final.
TEST(ServicesConcurrencyTest, StopRacingQueuedTimerCreationLeavesNoTimer) {
    auto clock = std::make_shared<ManualClock>();
    auto loop = std::make_shared<ManualRunLoop>(clock);
    auto state = std::make_shared<test::FakeStateManager>();
    auto service = std::make_shared<TimerService>(state, loop);
    auto ticks = std::make_shared<std::atomic<int>>(0);
    service->setOnActivityTimerTick([ticks] { ++*ticks; });
    service->setOnRequestTimerTick([ticks] { ++*ticks; });

    std::atomic<bool> done{false};
    std::thread mainThread([&] {
        while (!done) {
            loop->runDueWork();
        }
    });
    SerialQueue income("test.income");
    for (int round = 0; round < 2'000; ++round) {
        income.addOperation([&service, round] {
            service->startTimers();
            if (round % 3 == 0) {
                service->resetRequestTimer();
            }
            service->stopTimers();
        });
    }
    ASSERT_TRUE(income.drain());
    done = true;
    mainThread.join();

    loop->advance(milliseconds(86'400'000));
    EXPECT_EQ(ticks->load(), 0);
}

}  // namespace
}  // namespace mvk

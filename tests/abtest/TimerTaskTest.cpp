#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "abtest/CustomTimerTask.hpp"
#include "abtest/TaskService.hpp"
#include "foundation/Clock.hpp"
#include "platform/ManualRunLoop.hpp"
#include "platform/SerialQueue.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;

class TimerTaskTest : public ::testing::Test {
  public:
    TimerTaskTest() { Clock::install(clock); }
    ~TimerTaskTest() override { Clock::install(nullptr); }

    /// Moves time and lets the queued expiries run.
    void advance(std::int64_t millis) {
        scheduler->advance(milliseconds(millis));
        queue.drain(test::drainLimit());
    }
    std::function<void()> counting(int& runs) {
        return [&runs] { ++runs; };
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualRunLoop> scheduler = std::make_shared<ManualRunLoop>(clock);
    SerialQueue queue{"test.income"};
};

struct Scenario {
    std::string name;
    double holdUp;
    /// Drives the task; answers what the test then expects.
    std::function<void(TimerTaskTest&, CustomTimerTask&, int& runs)> script;
    int expectedRuns;
    bool validAtEnd;
};

// Test names stay stable: the rows print as their names.
void PrintTo(const Scenario& row, std::ostream* out) {
    *out << row.name;
}

class TimerTaskScenarios : public TimerTaskTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(TimerTaskScenarios, ExpiryRunsOnlyForTheCurrentLaunch) {
    const auto& scenario = GetParam();
    CustomTimerTask task(scenario.holdUp, scheduler, queue);
    int runs = 0;
    scenario.script(*this, task, runs);
    queue.drain(test::drainLimit());
    EXPECT_EQ(runs, scenario.expectedRuns);
    EXPECT_EQ(task.isTimeoutValid(), scenario.validAtEnd);
    EXPECT_EQ(task.getHoldUpTime(), scenario.holdUp);
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, TimerTaskScenarios,
    ::testing::Values(Scenario{"ValidUntilTheHoldUpHasPassedAndExpiresOnce", 10.0,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   task.launchTask(t.counting(runs));
                                   t.advance(9'999);
                                   EXPECT_TRUE(task.isTimeoutValid());
                                   EXPECT_EQ(runs, 0);
                                   t.advance(1);
                                   EXPECT_FALSE(task.isTimeoutValid());
                                   t.advance(60'000);
                               },
                               1, false},
                      Scenario{"ZeroHoldUpIsNeverValid", 0.0,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   task.launchTask(t.counting(runs));
                                   EXPECT_FALSE(task.isTimeoutValid());
                                   t.advance(0);
                               },
                               1, false},
                      Scenario{"StopBeforeExpiry", 10.0,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   task.stopTask();  // never launched: no effect
                                   task.launchTask(t.counting(runs));
                                   t.advance(5'000);
                                   task.stopTask();
                                   t.advance(10'000);
                               },
                               0, false},
                      Scenario{"StopQueuedBeforeTheTimerFiresButRunAfterIt", 10.0,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   task.launchTask(t.counting(runs));
                                   t.queue.pause();
                                   t.queue.addOperation([&task] { task.stopTask(); });
                                   t.scheduler->advance(
                                       milliseconds(10'000));  // expiry queued behind the stop
                                   t.queue.resume();
                               },
                               0, false},
                      Scenario{"StopAfterTheTimerFiredBeforeItsExpiryRan", 10.0,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   task.launchTask(t.counting(runs));
                                   t.queue.pause();
                                   t.scheduler->advance(milliseconds(10'000));
                                   task.stopTask();
                                   t.queue.resume();
                               },
                               0, false},
                      Scenario{"RelaunchAfterTheOldTimerFiredRunsOnlyTheNewExpiry", 10.0,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   int oldRuns = 0;
                                   task.launchTask(t.counting(oldRuns));
                                   t.queue.pause();
                                   t.scheduler->advance(milliseconds(10'000));
                                   task.launchTask(t.counting(runs));
                                   t.queue.resume();
                                   t.queue.drain(test::drainLimit());
                                   EXPECT_EQ(oldRuns, 0);
                                   EXPECT_TRUE(task.isTimeoutValid());
                                   t.advance(10'000);
                               },
                               1, false},
                      Scenario{"RelaunchBeforeExpiryCancelsTheReplacedTimer", 10.0,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   task.launchTask(t.counting(runs));
                                   t.advance(5'000);
                                   task.launchTask(t.counting(runs));
                                   EXPECT_EQ(t.scheduler->pendingWorkCount(), 1u);
                                   t.advance(9'999);
                                   EXPECT_EQ(runs, 0);
                               },
                               0, true},
                      Scenario{"HugeHoldUpCountsAsACentury", 1e308,
                               [](TimerTaskTest& t, CustomTimerTask& task, int& runs) {
                                   task.launchTask(t.counting(runs));
                                   constexpr std::int64_t century =
                                       3'155'760'000'000;  // 36 525 days
                                   t.advance(century - 1);
                                   EXPECT_TRUE(task.isTimeoutValid());
                                   EXPECT_EQ(runs, 0);
                                   t.advance(1);
                               },
                               1, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(TimerTaskTest, ReleasedTasksLeaveNoScheduledWork) {
    int runs = 0;
    {
        TaskService service({.abConfigWaiting = 3.0, .abGroupWaiting = 10.0}, scheduler, queue);
        EXPECT_EQ(service.configTask()->getHoldUpTime(), 3.0);
        EXPECT_EQ(service.activationTask()->getHoldUpTime(), 10.0);
        service.configTask()->launchTask(counting(runs));
        service.activationTask()->launchTask(counting(runs));
        EXPECT_EQ(scheduler->pendingWorkCount(), 2u);
    }
    EXPECT_EQ(scheduler->pendingWorkCount(), 0u);
    advance(20'000);
    EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ManualRunLoop.hpp"
#include "services/ServiceFakes.hpp"
#include "state/TimerService.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;

class TimerServiceTest : public ::testing::Test {
  protected:
    std::int64_t elapsed() const { return clock->monotonicMillis() - start; }

    /// Records when each of the four ticks fired, in ms since the test began.
    void recordTicks() {
        service->setOnRequestTimerTick([this] { request.push_back(elapsed()); });
        service->setOnAliveTimerTick([this] { alive.push_back(elapsed()); });
        service->setOnCurrencyAccrualTimerTick([this] { currency.push_back(elapsed()); });
        service->setOnActivityTimerTick([this] { activity.push_back(elapsed()); });
    }

    Config& config() { return state->project->configuration; }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::int64_t start = clock->monotonicMillis();
    std::shared_ptr<ManualRunLoop> loop = std::make_shared<ManualRunLoop>(clock);
    std::shared_ptr<test::FakeStateManager> state = std::make_shared<test::FakeStateManager>();
    std::shared_ptr<TimerService> service = std::make_shared<TimerService>(state, loop);
    std::vector<std::int64_t> request, alive, currency, activity;
};

struct PeriodCase {
    const char* name;
    std::int64_t timeForRequest;
    std::int64_t aliveTimeout;
    std::optional<std::int64_t> currencyAggregationTimeout;
    std::int64_t expectedRequest;
    std::int64_t expectedAlive;
    std::int64_t expectedCurrency;
};

TEST_F(TimerServiceTest, PeriodsAreWholeSecondsBetweenOneSecondAndOneDay) {
    const std::int64_t day = 86'400'000;
    const PeriodCase cases[] = {
        {"defaults", 120'000, 300'000, 360'000, 120'000, 300'000, 360'000},
        {"remainder dropped", 1'500, 2'999, 4'001, 1'000, 2'000, 4'000},
        {"no currency period", 60'000, 60'000, std::nullopt, 60'000, 60'000, 360'000},
        {"zero and sub-second", 0, 999, 1, 1'000, 1'000, 1'000},
        {"negative", -5'000, INT64_MIN, -1, 1'000, 1'000, 1'000},
        {"beyond a day", 10 * day, INT64_MAX, day + 1'000, day, day, day},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        clock = std::make_shared<ManualClock>();
        start = clock->monotonicMillis();
        loop = std::make_shared<ManualRunLoop>(clock);
        service = std::make_shared<TimerService>(state, loop);
        request.clear(), alive.clear(), currency.clear(), activity.clear();
        config().timeForRequest = entry.timeForRequest;
        config().aliveTimeout = entry.aliveTimeout;
        config().currencyAggregationTimeout = entry.currencyAggregationTimeout;
        recordTicks();

        service->startTimers();
        const std::int64_t longest =
            std::max({entry.expectedRequest, entry.expectedAlive, entry.expectedCurrency});
        loop->advance(milliseconds(2 * longest));

        ASSERT_GE(request.size(), 2u);
        ASSERT_GE(alive.size(), 2u);
        ASSERT_GE(currency.size(), 2u);
        EXPECT_EQ(request[0], entry.expectedRequest);
        EXPECT_EQ(request[1] - request[0], entry.expectedRequest);
        EXPECT_EQ(alive[0], entry.expectedAlive);
        EXPECT_EQ(currency[0], entry.expectedCurrency);
        EXPECT_EQ(activity.front(), 15'000);
    }
}

TEST_F(TimerServiceTest, NothingRunsBeforeTheMainLoopCreatesTheTimers) {
    recordTicks();
    service->startTimers();
    clock->advance(1'000'000);  // the main loop was busy: the timers are not made yet
    loop->runDueWork();
    loop->advance(milliseconds(14'999));
    EXPECT_TRUE(activity.empty());
    loop->advance(milliseconds(1));
    EXPECT_EQ(activity.size(), 1u);
}

TEST_F(TimerServiceTest, SecondStartLeavesRunningTimersAlone) {
    config().timeForRequest = 10'000;
    recordTicks();
    service->startTimers();
    loop->advance(milliseconds(6'000));
    service->startTimers();
    loop->advance(milliseconds(14'000));
    EXPECT_EQ(request, (std::vector<std::int64_t>{10'000, 20'000}));
}

TEST_F(TimerServiceTest, StopCancelsRunningAndQueuedTimers) {
    recordTicks();
    service->startTimers();
    loop->advance(milliseconds(20'000));
    ASSERT_EQ(activity.size(), 1u);
    service->stopTimers();
    request.clear(), alive.clear(), currency.clear(), activity.clear();

    service->startTimers();
    service->stopTimers();  // before the main loop got to the creation
    loop->advance(milliseconds(1'000'000));
    EXPECT_TRUE(request.empty());
    EXPECT_TRUE(alive.empty());
    EXPECT_TRUE(currency.empty());
    EXPECT_TRUE(activity.empty());
}

TEST_F(TimerServiceTest, StartAfterStopWinsOverTheCancelledCreation) {
    config().timeForRequest = 10'000;
    recordTicks();
    service->startTimers();
    service->stopTimers();
    service->startTimers();
    loop->advance(milliseconds(20'000));
    EXPECT_EQ(request, (std::vector<std::int64_t>{10'000, 20'000}));
}

TEST_F(TimerServiceTest, ResetRestartsTheFullPeriodOfOneTimer) {
    config().timeForRequest = 10'000;
    config().aliveTimeout = 10'000;
    recordTicks();
    service->startTimers();
    loop->advance(milliseconds(7'000));
    service->resetRequestTimer();
    loop->advance(milliseconds(9'999));
    EXPECT_TRUE(request.empty());
    EXPECT_EQ(alive, (std::vector<std::int64_t>{10'000}));
    loop->advance(milliseconds(1));
    EXPECT_EQ(request, (std::vector<std::int64_t>{17'000}));

    service->resetAliveTimer();
    loop->advance(milliseconds(10'000));
    EXPECT_EQ(alive, (std::vector<std::int64_t>{10'000, 27'000}));
}

TEST_F(TimerServiceTest, ResetAfterStopBringsNoTimerBack) {
    recordTicks();
    service->startTimers();
    loop->advance(milliseconds(1'000));
    service->stopTimers();
    service->resetRequestTimer();
    service->resetAliveTimer();
    loop->advance(milliseconds(1'000'000));
    EXPECT_TRUE(request.empty());
    EXPECT_TRUE(alive.empty());
}

TEST_F(TimerServiceTest, TimersEndWithTheService) {
    auto ticks = std::make_shared<int>(0);
    service->setOnActivityTimerTick([ticks] { ++*ticks; });
    service->startTimers();
    loop->advance(milliseconds(15'000));
    ASSERT_EQ(*ticks, 1);
    service.reset();
    loop->advance(milliseconds(1'000'000));
    EXPECT_EQ(*ticks, 1);
}

TEST_F(TimerServiceTest, QueuedCreationOfAGoneServiceDoesNothing) {
    auto ticks = std::make_shared<int>(0);
    service->setOnActivityTimerTick([ticks] { ++*ticks; });
    service->startTimers();
    service.reset();
    loop->advance(milliseconds(1'000'000));
    EXPECT_EQ(*ticks, 0);
}

}  // namespace
}  // namespace mvk

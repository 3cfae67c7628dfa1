#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <ostream>
#include <string>

#include "coreflow/LogicFlowFixture.hpp"
#include "platform/Application.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

using namespace std::chrono_literals;

const std::string zeroLength =
    "The user engagement event was not generated, session length is zero";

struct ForegroundCase {
    std::int64_t millis;
    std::size_t engagements;
    std::int64_t length;
};

class LogicForeground : public LogicFlow, public ::testing::WithParamInterface<ForegroundCase> {};

TEST_P(LogicForeground, AnEngagementNeedsAWholeSecondAndThreeNotificationsMakeOne) {
    const auto& c = GetParam();
    start();
    LogCapture log(MVKLogLevel::debug);
    h.clock->advance(c.millis);
    h.application->willResignActive();
    h.application->didEnterBackground();
    h.application->willTerminate();
    settle();
    const auto engagements = sent("ue");
    ASSERT_EQ(engagements.size(), c.engagements);
    if (c.engagements > 0) {
        EXPECT_EQ(engagements.front()["length"].get<std::int64_t>(), c.length);
    }
    EXPECT_EQ(log.count(MVKLogLevel::debug, zeroLength), c.engagements == 0 ? 1u : 0u);
    EXPECT_EQ(log.count(MVKLogLevel::debug, "Stop activity"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LogicForeground,
                         ::testing::Values(ForegroundCase{999, 0, 0}, ForegroundCase{1000, 1, 1},
                                           ForegroundCase{61'500, 1, 61}),
                         [](const auto& info) { return std::to_string(info.param.millis) + "ms"; });

struct ReturnCase {
    std::int64_t awayMillis;
    bool newSession;
};

class LogicReturn : public LogicFlow, public ::testing::WithParamInterface<ReturnCase> {};

TEST_P(LogicReturn, TheSessionGoesOnUpToItsTimeoutInclusive) {
    start();
    const auto firstSession = sent("ss").at(0)["sessionId"].get<std::int64_t>();
    h.application->didEnterBackground();
    settle();
    h.clock->advance(GetParam().awayMillis);
    h.application->didBecomeActive();
    settle();
    const auto starts = sent("ss");
    ASSERT_EQ(starts.size(), GetParam().newSession ? 2u : 1u);
    if (GetParam().newSession) {
        EXPECT_EQ(starts.back()["sessionId"].get<std::int64_t>(), h.clock->nowMillis());
        EXPECT_EQ(starts.back()["timestamp"], starts.back()["sessionId"]);
    }
    EXPECT_EQ(h.columnTexts("users", "sessionId"),
              std::vector<std::string>{
                  std::to_string(GetParam().newSession ? h.clock->nowMillis() : firstSession)});
}

INSTANTIATE_TEST_SUITE_P(Away, LogicReturn,
                         ::testing::Values(ReturnCase{600'000, false}, ReturnCase{600'001, true}),
                         [](const auto& info) { return std::to_string(info.param.awayMillis); });

struct StartStateCase {
    const char* name;
    /// What the host reports between `initialize` and the start-up's run.
    std::function<void(Application&)> report;
    bool opened;
};

void PrintTo(const StartStateCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicStartState : public LogicFlow, public ::testing::WithParamInterface<StartStateCase> {};

TEST_P(LogicStartState, TheStartOpensTheActivityOnlyWhileTheApplicationIsActive) {
    const auto& c = GetParam();
    MVKAnalytics::initialize(key);
    c.report(*h.application);
    settle();
    h.loop->advance(300'000ms);
    settle();
    EXPECT_EQ(sent("ss").size(), c.opened ? 1u : 0u);
    EXPECT_EQ(sent("al").size(), c.opened ? 1u : 0u) << "the timers run with the activity only";
    h.application->didBecomeActive();
    settle();
    EXPECT_EQ(sent("ss").size(), 1u) << "the next activation opens it";
}

INSTANTIATE_TEST_SUITE_P(
    Reports, LogicStartState,
    ::testing::Values(
        StartStateCase{"None", [](Application&) {}, true},
        StartStateCase{"Background", [](Application& a) { a.didEnterBackground(); }, false},
        StartStateCase{"ResignActive", [](Application& a) { a.willResignActive(); }, false},
        StartStateCase{"BackgroundAndBack",
                       [](Application& a) {
                           a.didEnterBackground();
                           a.didBecomeActive();
                       },
                       true}),
    [](const auto& info) { return std::string(info.param.name); });

class LogicAlive : public LogicFlow, public ::testing::WithParamInterface<bool> {};

TEST_P(LogicAlive, AnExcludedAliveIsNeverSentWhileItsTimerRuns) {
    const bool excluded = GetParam();
    answerConfiguration(excluded ? R"(,"exclude":{"version":1,"events":{"al":[]}})" : "");
    start();
    for (int tick = 0; tick < 2; ++tick) {
        h.loop->advance(300'000ms);
        settle();
    }
    EXPECT_EQ(sent("al").size(), excluded ? 0u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Exclusion, LogicAlive, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Excluded" : "Sent"; });

struct LateAnswerCase {
    const char* name;
    std::function<void(LogicFlow&)> meanwhile;
    bool timersRun;
};

void PrintTo(const LateAnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicLateAnswer : public LogicFlow, public ::testing::WithParamInterface<LateAnswerCase> {};

TEST_P(LogicLateAnswer, AConfigurationAnswerStartsNoTimerThatWasNotRunning) {
    // The answer to the start's request waits until the player opted out or
    // left the game.
    QueueManager::configQueue().pause();
    MVKAnalytics::initialize(key);
    EXPECT_TRUE(h.drainIncome());
    GetParam().meanwhile(*this);
    EXPECT_TRUE(h.drainIncome());
    QueueManager::configQueue().resume();
    settle();
    ASSERT_EQ(requestCount("/v2/analytics/config"), 1u);
    h.gateway().clearRequests();
    // The alive and the report ask themselves whether they may leave; the
    // accrual timer does not, so its tick tells whether the timers run.
    LogCapture log(MVKLogLevel::debug);
    for (int tick = 0; tick < 3; ++tick) {
        h.loop->advance(300'000ms);
        settle();
    }
    EXPECT_EQ(log.count(MVKLogLevel::debug, "Currency accrual timer tick") > 0,
              GetParam().timersRun);
    EXPECT_EQ(requestCount("/v2/analytics/report") > 0, GetParam().timersRun)
        << "an alive and its report";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicLateAnswer,
    ::testing::Values(LateAnswerCase{"NothingMeanwhile", [](LogicFlow&) {}, true},
                      LateAnswerCase{"TrackingOff",
                                     [](LogicFlow&) {
                                         Core::shared()->analyticsProxy().enqueue(
                                             "test", heldBytes(), [](AnalyticsProtocol& l) {
                                                 l.setTrackingAvailability(false);
                                             });
                                     },
                                     false},
                      LateAnswerCase{"Background",
                                     [](LogicFlow& t) { t.h.application->didEnterBackground(); },
                                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogicFlow, AUserWithARecentBackgroundTimeButNoSessionGetsOne) {
    start();
    h.dropCore();
    settle();
    execute("UPDATE users SET sessionId = NULL, lastBackgroundTime = " +
            std::to_string(h.clock->nowMillis()));
    h.gateway().clearRequests();
    h.clock->advance(1000);
    start();
    ASSERT_EQ(sent("ss").size(), 1u);
    EXPECT_EQ(h.columnTexts("users", "sessionId"),
              std::vector<std::string>{std::to_string(h.clock->nowMillis())});
    // And the activity it started ends like any other.
    h.clock->advance(2000);
    h.application->didEnterBackground();
    settle();
    ASSERT_EQ(sent("ue").size(), 1u);
    EXPECT_EQ(sent("ue").front()["length"], 2);
}

TEST_F(LogicFlow, ABackgroundNotificationOnAPausedQueueReturnsAtOnce) {
    start();
    h.clock->advance(2000);
    LogCapture log(MVKLogLevel::debug);
    QueueManager::incomeQueue().queue().pause();
    auto notified = std::async(std::launch::async, [&] { h.application->didEnterBackground(); });
    const bool returned = notified.wait_for(10s) == std::future_status::ready;
    QueueManager::incomeQueue().queue().resume();
    ASSERT_TRUE(returned);
    settle();
    // The stop still runs once the queue resumes, and only once.
    EXPECT_EQ(log.count(MVKLogLevel::debug, "Stop activity"), 1u);
    EXPECT_EQ(h.columnTexts("users", "lastBackgroundTime"),
              std::vector<std::string>{std::to_string(h.clock->nowMillis())});
}

}  // namespace
}  // namespace mvk::test

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "analytics/Validator.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "platform/BacklogBound.hpp"
#include "platform/QueueManager.hpp"
#include "support/LogCapture.hpp"
#include "support/QuietAnalyticsLogic.hpp"

namespace mvk::test {
namespace {

/// Counts the calls that reach it, nothing more: tens of thousands come.
class CountingLogic final : public QuietAnalyticsLogic {
  public:
    void customEvent(const std::string&, const std::optional<AnyCodable::Object>&) override {
        ++reached;
    }
    void setCurrentLevel(std::int64_t) override { ++reached; }
    std::atomic<int> reached{0};
};

/// The counts the refusal lines give, in order.
std::vector<int> refusalCounts(const LogCapture& log) {
    static const std::regex line(R"(\[Backlog\] (\d+) calls? refused since the last line)");
    std::vector<int> counts;
    for (const auto& message : log.messages()) {
        std::smatch match;
        if (std::regex_search(message, match, line)) {
            counts.push_back(std::stoi(match[1]));
        }
    }
    return counts;
}

MVKCustomEventParameters twentyParameters() {
    MVKCustomEventParameters parameters;
    for (int n = 0; n < 10; ++n) {
        parameters.addInt("score_" + std::to_string(n), n * 1000);
        parameters.addString("place_" + std::to_string(n), "forest clearing");
    }
    return parameters;
}

struct BacklogCase {
    const char* name;
    std::function<void()> call;
    /// Admitted until the count is reached, not the bytes.
    bool boundByCount;
};

const std::vector<BacklogCase> backlogCases = {
    {"CustomEventsByTheirBytes",
     [] { MVKAnalytics::customEvent("level_complete", twentyParameters()); }, false},
    {"SmallCallsByTheirCount", [] { MVKAnalytics::setCurrentLevel(3); }, true},
};

class CallBacklog : public ::testing::TestWithParam<BacklogCase> {
  protected:
    void SetUp() override {
        Validator::resetSettingsForTesting();
        CoreFlowHarness::useAnalyticsLogic(logic);
        MVKAnalytics::initialize("backlog-key");
        ASSERT_TRUE(h.drainIncome());
    }
    void TearDown() override {
        QueueManager::incomeQueue().resume();
        Validator::resetSettingsForTesting();
    }

    std::shared_ptr<CountingLogic> logic = std::make_shared<CountingLogic>();
    CoreFlowHarness h;
};

// A queue that does not move (held back here, as in the background or at
// exit) holds calls up to the bound; past it each call is refused, a getter
// is answered at once with its default, a line a second counts the refused
// calls, and the calls admitted before still reach the logic.
TEST_P(CallBacklog, PastTheBoundCallsAreRefusedAndCountedALineASecond) {
    const auto& c = GetParam();
    LogCapture log(MVKLogLevel::error);
    QueueManager::incomeQueue().pause();
    int admitted = 0;
    while (refusalCounts(log).empty()) {
        ASSERT_LE(admitted, static_cast<int>(BacklogBound::mostCalls)) << "never refused";
        c.call();
        if (refusalCounts(log).empty()) {
            ++admitted;
        }
    }
    if (c.boundByCount) {
        EXPECT_EQ(admitted, static_cast<int>(BacklogBound::mostCalls));
    } else {
        EXPECT_LT(admitted, static_cast<int>(BacklogBound::mostCalls));
        EXPECT_GT(admitted, 10'000) << "a bound far below its bytes";
    }

    for (int n = 0; n < 49; ++n) {
        c.call();
    }
    // A getter is refused once even its small block finds no room.
    std::vector<std::int64_t> levels;
    MVKAnalytics::getCurrentLevel([&](std::int64_t level) { levels.push_back(level); });
    const bool getterRefused = !levels.empty();
    if (c.boundByCount) {
        EXPECT_TRUE(getterRefused);
    }
    if (getterRefused) {
        EXPECT_EQ(levels, std::vector<std::int64_t>{1}) << "its default, at once";
    }
    EXPECT_EQ(refusalCounts(log), std::vector<int>{1}) << "one line within the second";

    h.clock->advance(1000);
    c.call();
    EXPECT_EQ(refusalCounts(log), (std::vector<int>{1, getterRefused ? 51 : 50}));

    QueueManager::incomeQueue().resume();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(logic->reached.load(), admitted);
    EXPECT_EQ(levels.size(), 1u) << "answered once, refused or not";

    // Once stored, the backlog gives its room back.
    c.call();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(logic->reached.load(), admitted + 1);
    EXPECT_EQ(refusalCounts(log).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, CallBacklog, ::testing::ValuesIn(backlogCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

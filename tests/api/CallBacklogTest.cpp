#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analytics/Validator.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "platform/BacklogBound.hpp"
#include "platform/QueueManager.hpp"
#include "state/NotInitializedLine.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"
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

class RefusalsTold;

struct ToldCase {
    const char* name;
    /// Makes calls that no line has counted yet and goes on as a host would.
    std::function<void(RefusalsTold&)> play;
    /// How many calls the lines must count.
    int calls;
    /// A line that counts calls: its first group, or one call without it.
    std::string counting;
    /// At most this many lines count them.
    std::size_t mostLines;
    /// A line that must also have been written.
    std::string alsoTold = "";
};

void PrintTo(const ToldCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusalsTold : public ::testing::TestWithParam<ToldCase> {
  public:
    static constexpr int refused = 40;

    /// Holds the queue, fills the backlog with small calls (bound by their
    /// count) and makes `refused` more.
    static void refuseBeyondTheBound() {
        QueueManager::incomeQueue().pause();
        for (int n = 0; n < static_cast<int>(BacklogBound::mostCalls) + refused; ++n) {
            MVKAnalytics::setCurrentLevel(3);
        }
    }

    /// Waits, within the build's patience, until the refusal lines count `calls`.
    bool awaitRefusalsCounted(int calls) const {
        const auto giveUp = std::chrono::steady_clock::now() + patience(std::chrono::seconds(10));
        for (;;) {
            const auto counts = refusalCounts(log);
            if (std::accumulate(counts.begin(), counts.end(), 0) >= calls) {
                return true;
            }
            if (std::chrono::steady_clock::now() > giveUp) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    void start() {
        MVKAnalytics::initialize("backlog-key");
        ASSERT_TRUE(h.drainIncome());
    }

    std::shared_ptr<CountingLogic> logic = std::make_shared<CountingLogic>();
    CoreFlowHarness h;
    LogCapture log{MVKLogLevel::error};
    /// What a process of its own wrote, when the case runs one.
    std::string childLines;

  protected:
    void SetUp() override {
        Validator::resetSettingsForTesting();
        CoreFlowHarness::useAnalyticsLogic(logic);
        // Whatever an earlier test in this process left counted is not ours.
        BacklogBound::incomeQueue().tellRefused();
        NotInitializedLine::shared().tellNow();
        log.clear();
    }
    void TearDown() override {
        QueueManager::incomeQueue().resume();
        Validator::resetSettingsForTesting();
    }
};

const std::string refusalLine = R"(\[Backlog\] (\d+) calls? refused since the last line)";

const std::vector<ToldCase> toldCases = {
    // The queue moves again and nothing else is called: the second passes.
    {"BurstRefusedThenIdle",
     [](RefusalsTold& t) {
         t.start();
         RefusalsTold::refuseBeyondTheBound();
         QueueManager::incomeQueue().resume();
         EXPECT_TRUE(t.h.drainIncome());
         // Past the second of any line before, an earlier test's included;
         // the delayed scheduler sees the clock move within a real second.
         t.h.clock->advance(2 * PacedLine::lineEveryMillis);
         EXPECT_TRUE(t.awaitRefusalsCounted(RefusalsTold::refused));
     },
     RefusalsTold::refused, refusalLine, 2},
    {"BurstRefusedThenDestroySDK",
     [](RefusalsTold& t) {
         t.start();
         RefusalsTold::refuseBeyondTheBound();
         MVKEngineWrapper::destroySDK();
     },
     RefusalsTold::refused, refusalLine, 2},
    // The process's end, in a process of its own, with the queue still held:
    // what it holds is not stored, and says so.
    {"BurstRefusedThenExit",
     [](RefusalsTold& t) {
         t.start();
         GTEST_FLAG_SET(death_test_style, "threadsafe");
         EXPECT_EXIT(
             {
                 Logger::setEngineLoggerMessageClosure([](MVKLogLevel, const std::string& line) {
                     std::fprintf(stderr, "%s\n", line.c_str());
                 });
                 RefusalsTold::refuseBeyondTheBound();
                 std::exit(0);
             },
             ::testing::ExitedWithCode(0), ::testing::Truly([&t](const std::string& err) {
                 t.childLines = err;
                 return true;
             }));
     },
     RefusalsTold::refused, refusalLine, 2,
     "[Backlog] 100000 calls not stored: still queued when the process exited"},
    // Calls held back before start-up and dropped by a destroy: a few lines
    // name their method, one counts the rest.
    {"NotInitializedBurstThenDestroySDK",
     [](RefusalsTold& t) {
         QueueManager::incomeQueue().pause();
         for (int n = 0; n < 1000; ++n) {
             MVKAnalytics::setCurrentLevel(3);
         }
         MVKEngineWrapper::destroySDK();
         QueueManager::incomeQueue().resume();
         EXPECT_TRUE(t.h.drainIncome());
     },
     1000,
     R"(In (\d+) more calls? since the last line an error has occurred: The SDK is not )"
     R"(initialized yet! By method: setCurrentLevel\(_:\) \1$|In the setCurrentLevel\(_:\) )"
     R"(method an error has occurred: The SDK is not initialized yet!$)",
     NotInitializedLine::namedEachSecond + 1},
};

// Every refused or dropped call is counted in a line within about a second,
// whether or not another call comes, and at the latest at destroySDK and at
// exit; the counts add up to the calls.
TEST_P(RefusalsTold, EveryCallIsCountedInALine) {
    const auto& c = GetParam();
    c.play(*this);
    std::string told = childLines;
    for (const auto& message : log.messages()) {
        told += message + "\n";
    }
    const std::regex counting(c.counting);
    int counted = 0;
    std::size_t lines = 0;
    std::istringstream text(told);
    for (std::string line; std::getline(text, line);) {
        std::smatch match;
        if (std::regex_search(line, match, counting)) {
            counted += match[1].matched ? std::stoi(match[1]) : 1;
            ++lines;
        }
    }
    EXPECT_EQ(counted, c.calls) << told;
    EXPECT_GE(lines, 1u);
    EXPECT_LE(lines, c.mostLines) << told;
    if (!c.alsoTold.empty()) {
        EXPECT_NE(told.find(c.alsoTold), std::string::npos) << told;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusalsTold, ::testing::ValuesIn(toldCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

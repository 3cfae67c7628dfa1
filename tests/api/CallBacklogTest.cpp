#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analytics/Validator.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "mvk/MVKUserCard.hpp"
#include "mvk/UnrealBridge.hpp"
#include "people/PeopleLogicProtocol.hpp"
#include "platform/BacklogBound.hpp"
#include "platform/QueueManager.hpp"
#include "records/MessagingProtocol.hpp"
#include "state/NotInitializedLine.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"
#include "support/QuietAnalyticsLogic.hpp"

namespace mvk::test {
namespace {

/// The calls that reached any logic: tens of thousands come, so nothing more.
using Reached = std::atomic<int>;

/// A custom event whose block keeps the queue busy far past the exit's bound.
const std::string holdingEvent = "hold_the_queue";
std::atomic<bool> holdingTheQueue{false};

class CountingLogic final : public QuietAnalyticsLogic {
  public:
    explicit CountingLogic(Reached& reached) : reached(reached) {}
    void customEvent(const std::string& name, const std::optional<AnyCodable::Object>&) override {
        ++reached;
        if (name == holdingEvent) {
            holdingTheQueue = true;
            std::this_thread::sleep_for(std::chrono::seconds(30));
        }
    }
    void setCurrentLevel(std::int64_t) override { ++reached; }
    void currentBalance(const Amounts&) override { ++reached; }
    Reached& reached;
};

struct CountingCard final : PeopleLogicProtocol {
    explicit CountingCard(Reached& reached) : reached(reached) {}
    void setValue(const std::string&, const PeopleValueType&) override { ++reached; }
    void getValue(const std::string&, const ValueCompletion& completion) override {
        completion(PeopleValueType(30));
    }
    void increment(const std::string&, const PeopleValueType&) override { ++reached; }
    void unset(std::vector<std::string>) override { ++reached; }
    void clearUser() override { ++reached; }
    Reached& reached;
};

struct CountingPush final : MessagingProtocol {
    explicit CountingPush(Reached& reached) : reached(reached) {}
    void pushToken(const std::string&, bool) override { ++reached; }
    void pushOpened(std::int64_t, std::int64_t, const std::optional<std::string>&) override {
        ++reached;
    }
    void getPushCategories(CategoriesCompletion completion) override { completion({}); }
    Reached& reached;
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

const std::string& longText() {
    static const std::string text(8 * 1024, 'x');
    return text;
}

/// A started library whose logics count what reaches them.
class Backlog : public ::testing::Test {
  protected:
    void SetUp() override {
        Validator::resetSettingsForTesting();
        CoreFlowHarness::useAnalyticsLogic(std::make_shared<CountingLogic>(reached));
        Core::setCardAndPushLogicMakersForTesting(
            [this](ServiceFactoryProtocol&) { return std::make_shared<CountingCard>(reached); },
            [this](ServiceFactoryProtocol&) { return std::make_shared<CountingPush>(reached); });
        MVKAnalytics::initialize("backlog-key");
        ASSERT_TRUE(h.drainIncome());
        reached = 0;
    }
    void TearDown() override {
        QueueManager::incomeQueue().resume();
        ASSERT_TRUE(h.drainIncome());
        Validator::resetSettingsForTesting();
    }

    /// Holds the queue back and makes `call` until it is refused; the calls admitted.
    int fillUntilRefused(const std::function<void()>& call, const LogCapture& log) {
        // The line an earlier test wrote at this clock's start must not hold this one up.
        h.clock->advance(1000);
        QueueManager::incomeQueue().pause();
        int admitted = 0;
        while (refusalCounts(log).empty() &&
               admitted <= static_cast<int>(BacklogBound::mostCalls)) {
            call();
            if (refusalCounts(log).empty()) {
                ++admitted;
            }
        }
        return admitted;
    }

    Reached reached{0};
    CoreFlowHarness h;
};

struct ChargeCase {
    const char* name;
    std::function<void()> call;
    /// The bytes of text the call carries; none for a call bound by the count.
    std::size_t carried;
};

MVKCustomEventParameters longParameter() {
    MVKCustomEventParameters parameters;
    parameters.addString("story", longText());
    return parameters;
}

MVKAnalytics::Amounts largeBalance() {
    MVKAnalytics::Amounts balance;
    for (int n = 0; n < 150; ++n) {
        balance[std::string(200, 'c') + std::to_string(n)] = n;
    }
    return balance;
}

std::vector<std::string> longKeyList() {
    return std::vector<std::string>(100, std::string(100, 'k'));
}

const std::vector<ChargeCase> chargeCases = {
    {"SmallCallsByTheirCount", [] { MVKAnalytics::setCurrentLevel(3); }, 0},
    {"CustomEventWithLongText",
     [] { MVKAnalytics::customEvent("level_complete", longParameter()); }, 8 * 1024},
    {"UserCardLongText", [] { MVKUserCard::setString("biography", longText()); }, 8 * 1024},
    {"UserCardLongUnsetList", [list = longKeyList()] { MVKUserCard::unset(list); }, 100 * 100},
    {"BalanceOfManyCurrencies",
     [balance = largeBalance()] { MVKAnalytics::currentBalance(balance); }, 150 * 200},
    {"LongPushToken", [] { UnrealBridge::sendPushToken(longText(), true); }, 8 * 1024},
};

class BytesChargedPerCallKind : public Backlog, public ::testing::WithParamInterface<ChargeCase> {};

// A queue that does not move (held back here, as in the background or at
// exit) holds calls up to the bound, each charged for what it carries; past
// the bound each call is refused, a line a second counts the refused calls,
// and the calls admitted before still reach the logic.
TEST_P(BytesChargedPerCallKind, PastTheBoundCallsAreRefusedAndCountedALineASecond) {
    const auto& c = GetParam();
    LogCapture log(MVKLogLevel::error);
    const int admitted = fillUntilRefused(c.call, log);
    ASSERT_FALSE(refusalCounts(log).empty()) << "never refused";
    const auto bytes = static_cast<double>(admitted) * static_cast<double>(c.carried);
    if (c.carried == 0) {
        EXPECT_EQ(admitted, static_cast<int>(BacklogBound::mostCalls));
    } else {
        EXPECT_LE(bytes, static_cast<double>(BacklogBound::mostBytes)) << "charged below its input";
        EXPECT_GE(bytes, BacklogBound::mostBytes / 4.0) << "charged far above its input";
    }

    for (int n = 0; n < 49; ++n) {
        c.call();
    }
    EXPECT_EQ(refusalCounts(log), std::vector<int>{1}) << "one line within the second";
    h.clock->advance(1000);
    c.call();
    EXPECT_EQ(refusalCounts(log), (std::vector<int>{1, 50}));

    QueueManager::incomeQueue().resume();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(reached.load(), admitted);

    // Once stored, the backlog gives its room back.
    c.call();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(reached.load(), admitted + 1);
    EXPECT_EQ(refusalCounts(log).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, BytesChargedPerCallKind, ::testing::ValuesIn(chargeCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct GetterCase {
    const char* name;
    /// Fills the backlog up to the bound.
    std::function<void()> fill;
    /// Asks once; `answered` is the host's handler, whatever its answer.
    std::function<void(std::function<void()> answered)> ask;
};

const std::vector<GetterCase> getterCases = {
    {"AnalyticsGetterPastTheCount", [] { MVKAnalytics::setCurrentLevel(3); },
     [](auto answered) { MVKAnalytics::getCurrentLevel([=](std::int64_t) { answered(); }); }},
    {"UserCardGetterPastTheBytes", [] { MVKUserCard::setString("biography", longText()); },
     [](auto answered) { MVKUserCard::getAge([=](std::int64_t) { answered(); }); }},
    {"PushCategoriesPastTheCount", [] { MVKAnalytics::setCurrentLevel(3); },
     [](auto answered) {
         UnrealBridge::getMessagingCategories([=](const std::vector<std::string>&) { answered(); });
     }},
    {"ReceiptCheckPastTheBytes", [] { MVKUserCard::setString("biography", longText()); },
     [](auto answered) {
         MVKAntiCheat::verifyPayment(longText(), [=](const MVKVerifyResponse&) { answered(); });
     }},
};

class GettersPastTheBound : public Backlog, public ::testing::WithParamInterface<GetterCase> {};

/// What the handlers saw, in the order they ran.
struct Answers {
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::vector<int> reachedBefore;
};

// A getter made with the backlog at its bound, again and again as a game that
// polls does, is never refused: each handler runs once, on a library thread,
// after every call queued before it and in call order, so a game that asks
// while holding a lock its handler takes goes on.
TEST_P(GettersPastTheBound, AnswerOnceInOrderOffTheCallersThread) {
    const auto& c = GetParam();
    LogCapture log(MVKLogLevel::error);
    const int admitted = fillUntilRefused(c.fill, log);
    ASSERT_FALSE(refusalCounts(log).empty());

    constexpr int asks = 3;
    auto answers = std::make_shared<Answers>();
    auto gameLock = std::make_shared<std::mutex>();
    auto returned = std::make_shared<std::atomic<bool>>(false);
    std::thread::id caller;
    std::thread game([&, answers, gameLock, returned] {
        caller = std::this_thread::get_id();
        std::lock_guard held(*gameLock);
        for (int n = 0; n < asks; ++n) {
            c.ask([answers, gameLock, &reached = reached, n] {
                std::lock_guard taken(*gameLock);
                std::lock_guard lock(answers->mutex);
                answers->order.push_back(n);
                answers->threads.push_back(std::this_thread::get_id());
                answers->reachedBefore.push_back(reached.load());
            });
        }
        *returned = true;
    });
    if (!pollUntil([&] { return returned->load(); }, patience(std::chrono::seconds(5)))) {
        game.detach();  // it waits on its own lock for good
        QueueManager::incomeQueue().resume();
        FAIL() << "a handler ran on the caller's thread, under the caller's lock";
    }
    game.join();
    {
        std::lock_guard lock(answers->mutex);
        EXPECT_TRUE(answers->order.empty()) << "answered before the calls queued ahead";
    }
    h.clock->advance(1000);
    c.fill();
    EXPECT_EQ(refusalCounts(log), (std::vector<int>{1, 1})) << "no getter among the refused";

    QueueManager::incomeQueue().resume();
    ASSERT_TRUE(h.drainIncome());
    // A receipt's answer comes from the gateway, after the queue.
    pollUntil(
        [&] {
            std::lock_guard lock(answers->mutex);
            return answers->order.size() >= static_cast<std::size_t>(asks);
        },
        patience(std::chrono::seconds(10)));
    ASSERT_TRUE(h.drainIncome());
    std::lock_guard lock(answers->mutex);
    EXPECT_EQ(answers->order, (std::vector<int>{0, 1, 2})) << "once each, in call order";
    for (std::size_t n = 0; n < answers->threads.size(); ++n) {
        EXPECT_NE(answers->threads[n], caller);
        EXPECT_EQ(answers->reachedBefore[n], admitted) << "after the calls queued before it";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GettersPastTheBound, ::testing::ValuesIn(getterCases),
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
        return pollUntil(
            [&] {
                const auto counts = refusalCounts(log);
                return std::accumulate(counts.begin(), counts.end(), 0) >= calls;
            },
            patience(std::chrono::seconds(10)), std::chrono::milliseconds(5));
    }

    void start() {
        MVKAnalytics::initialize("backlog-key");
        ASSERT_TRUE(h.drainIncome());
    }

    Reached reached{0};
    std::shared_ptr<CountingLogic> logic = std::make_shared<CountingLogic>(reached);
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

/// Starts the library, then runs `play` in a process of its own that exits
/// at its end; keeps the lines that process wrote.
void playUntilExit(RefusalsTold& t, void (*play)()) {
    t.start();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Logger::setEngineLoggerMessageClosure([](MVKLogLevel, const std::string& line) {
                std::fprintf(stderr, "%s\n", line.c_str());
            });
            play();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), ::testing::Truly([&t](const std::string& err) {
            t.childLines = err;
            return true;
        }));
}

const std::string notStoredLine =
    R"(\[Backlog\] (\d+) calls? not stored: still queued when the process exited)";

/// Calls that store nothing, queued behind whatever the case holds.
void holdSendsAndGetters() {
    MVKAnalytics::sendBufferedEvents();
    MVKAnalytics::sendBufferedEvents();
    MVKAnalytics::getCurrentLevel([](std::int64_t) {});
    MVKUserCard::getAge([](std::int64_t) {});
}

const std::vector<ToldCase> toldCases = {
    // The queue moves again and nothing else is called: the second passes.
    {"BurstRefusedThenIdle",
     [](RefusalsTold& t) {
         t.start();
         RefusalsTold::refuseBeyondTheBound();
         QueueManager::incomeQueue().resume();
         EXPECT_TRUE(t.h.drainIncome());
         // Past the second of any line before, an earlier test's included.
         t.h.loop->advance(std::chrono::milliseconds(2 * PacedLine::lineEveryMillis));
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
     [](RefusalsTold& t) { playUntilExit(t, &RefusalsTold::refuseBeyondTheBound); },
     RefusalsTold::refused, refusalLine, 2,
     "[Backlog] " + std::to_string(BacklogBound::mostCalls) +
         " calls not stored: still queued when the process exited"},
    // The exit cuts a drain short: getters and receipt checks carry nothing
    // to store; the block under way, still running past the bound, may write
    // after the exit's commit or never, so it is counted with the three
    // custom events that never began.
    {"HeldCallsOfEachKindThenExit",
     [](RefusalsTold& t) {
         playUntilExit(t, [] {
             QueueManager::incomeQueue().pause();
             MVKAnalytics::customEvent(holdingEvent);
             for (int n = 0; n < 3; ++n) {
                 MVKAnalytics::customEvent("level_complete");
             }
             for (int n = 0; n < 5; ++n) {
                 MVKAnalytics::getCurrentLevel([](std::int64_t) {});
             }
             for (int n = 0; n < 2; ++n) {
                 MVKAntiCheat::verifyPayment("receipt", [](const MVKVerifyResponse&) {});
             }
             QueueManager::incomeQueue().resume();
             pollUntil([] { return holdingTheQueue.load(); }, patience(std::chrono::seconds(10)));
         });
     },
     4, notStoredLine, 1},
    // A held queue at exit: a send stores nothing of its own, nor does a getter.
    {"HeldCardEditSendsAndGettersThenExit",
     [](RefusalsTold& t) {
         playUntilExit(t, [] {
             QueueManager::incomeQueue().pause();
             MVKUserCard::setString("biography", "short");
             holdSendsAndGetters();
         });
     },
     1, notStoredLine, 1},
    {"HeldSendsAndGettersThenExit",
     [](RefusalsTold& t) {
         playUntilExit(t, [] {
             QueueManager::incomeQueue().pause();
             MVKAnalytics::sendBufferedEvents();
             MVKAnalytics::sendBufferedEvents();
             holdSendsAndGetters();
         });
     },
     0, notStoredLine, 0},
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
    // A game applying the remote config each frame before start-up: the
    // config read and the experiment start it queues are counted alike.
    {"ApplyConfigBeforeStart",
     [](RefusalsTold& t) {
         for (int n = 0; n < 300; ++n) {
             MVKRemoteConfig::applyConfig();
         }
         MVKEngineWrapper::destroySDK();
         EXPECT_TRUE(t.h.drainIncome());
     },
     600,
     R"(In (\d+) more calls? since the last line an error has occurred: The SDK is not )"
     R"(initialized yet! By method: |In the (getConfig|tryStartInvolvedExperiment)\(\) )"
     R"(method an error has occurred: The SDK is not initialized yet!$)",
     NotInitializedLine::namedEachSecond + 2},
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
    EXPECT_GE(lines, c.calls > 0 ? 1u : 0u);
    EXPECT_LE(lines, c.mostLines) << told;
    if (!c.alsoTold.empty()) {
        EXPECT_NE(told.find(c.alsoTold), std::string::npos) << told;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusalsTold, ::testing::ValuesIn(toldCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

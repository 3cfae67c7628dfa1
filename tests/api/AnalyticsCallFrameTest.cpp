#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analytics/Validator.hpp"
#include "api/RecordingAnalyticsLogic.hpp"
#include "core/Core.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "platform/QueueManager.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

/// What getter handlers were handed, in order; written on the income queue.
class Answers {
  public:
    MVKAnalytics::TextHandler text() {
        return [this](const std::string& value) { add(value); };
    }
    MVKAnalytics::FlagHandler flag() {
        return [this](bool value) { add(value ? "true" : "false"); };
    }
    MVKAnalytics::NumberHandler number() {
        return [this](std::int64_t value) { add(std::to_string(value)); };
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(values_, {});
    }

  private:
    void add(std::string value) {
        std::lock_guard lock(mutex_);
        values_.push_back(std::move(value));
    }
    std::mutex mutex_;
    std::vector<std::string> values_;
};

struct FrameCase {
    const char* name;
    std::function<void(Answers&)> call;
    /// The method text of the not-initialised line.
    std::string method;
    /// A getter's answer before start-up; none for the other calls.
    std::optional<std::string> fallback;
    /// What the recording logic gets after start-up; empty when refused.
    std::vector<std::string> reached;
    /// The getter's answer after start-up.
    std::optional<std::string> answered = std::nullopt;
    /// A line the refusal writes.
    std::string refusal = "";
};

MVKStoreTransaction transaction() {
    return {.transactionIdentifier = "tx-1",
            .originalTransactionIdentifier = std::nullopt,
            .productIdentifier = "gold.month"};
}

MVKStoreProduct product() {
    MVKStoreProduct product;
    product.productIdentifier = "gold.month";
    product.price = 4.99;
    return product;
}

std::string cancelled(const std::string& method) {
    return "Execution of the " + method + " method was canceled!";
}

const std::string longName(80, 'n');

const std::vector<FrameCase> frameCases = {
    {"DeviceId",
     [](Answers& a) { MVKAnalytics::getDeviceId(a.text()); },
     "getDeviceId(_:)",
     "",
     {"getDeviceId []"},
     "device-7"},
    {"SdkVersion",
     [](Answers& a) { MVKAnalytics::getSDKVersion(a.text()); },
     "getSDKVersion(_:)",
     "",
     {"getSDKVersion []"},
     "9.9.9"},
    {"UserId",
     [](Answers& a) { MVKAnalytics::getUserId(a.text()); },
     "getUserId(_:)",
     "",
     {"getUserId []"},
     "player"},
    {"CurrentLevel",
     [](Answers& a) { MVKAnalytics::getCurrentLevel(a.number()); },
     "getCurrentLevel(_:)",
     "1",
     {"getCurrentLevel []"},
     "7"},
    {"Tracking",
     [](Answers& a) { MVKAnalytics::getTrackingAvailability(a.flag()); },
     "getTrackingAvailability(_:)",
     "false",
     {"getTrackingAvailability []"},
     "true"},
    {"RestoreRequired",
     [](Answers& a) { MVKAnalytics::isRestoreTransactionHistoryRequired(a.flag()); },
     "isRestoreTransactionHistoryRequired(_:)",
     "false",
     {"isRestoreTransactionHistoryRequired []"},
     "true"},
    {"SetUserIdRepairsUtf8",
     [](Answers&) {
         MVKAnalytics::setUserId(
             "pl\x01"
             "ayer\xFF");
     },
     "setUserId(_:)",
     std::nullopt,
     {"setUserId [\"player\xEF\xBF\xBD\"]"}},
    {"ReplaceUserId",
     [](Answers&) { MVKAnalytics::replace("old", "new"); },
     "replaceUserId(_:_:)",
     std::nullopt,
     {R"(replaceUserId ["old","new"])"}},
    {"ReplaceUserIdEmpty",
     [](Answers&) { MVKAnalytics::replace("old", ""); },
     "replaceUserId(_:_:)",
     std::nullopt,
     {},
     std::nullopt,
     cancelled("replaceUserId")},
    {"Level0",
     [](Answers&) { MVKAnalytics::setCurrentLevel(0); },
     "setCurrentLevel(_:)",
     std::nullopt,
     {},
     std::nullopt,
     cancelled("SetCurrentLevel")},
    {"Level1",
     [](Answers&) { MVKAnalytics::setCurrentLevel(1); },
     "setCurrentLevel(_:)",
     std::nullopt,
     {"setCurrentLevel [1]"}},
    {"Level2147483646",
     [](Answers&) { MVKAnalytics::setCurrentLevel(2147483646); },
     "setCurrentLevel(_:)",
     std::nullopt,
     {"setCurrentLevel [2147483646]"}},
    {"Level2147483647",
     [](Answers&) { MVKAnalytics::setCurrentLevel(2147483647); },
     "setCurrentLevel(_:)",
     std::nullopt,
     {},
     std::nullopt,
     cancelled("SetCurrentLevel")},
    {"SetTracking",
     [](Answers&) { MVKAnalytics::setTrackingAvailability(false); },
     "setTrackingAvailability(_:)",
     std::nullopt,
     {"setTrackingAvailability [false]"}},
    {"CustomEventSnapshot",
     [](Answers&) {
         MVKCustomEventParameters parameters;
         parameters.addInt("coins", 3);
         MVKAnalytics::customEvent("boss", parameters);
         // Changes after the call belong to the next event, not this one.
         parameters.addString("late", "x");
         parameters.addInt("coins", 4);
     },
     "customEvent(_:_:)",
     std::nullopt,
     {R"(customEvent ["boss",{"coins":3}])"}},
    {"CustomEventCutsTheName",
     [](Answers&) { MVKAnalytics::customEvent(longName); },
     "customEvent(_:_:)",
     std::nullopt,
     {R"(customEvent [")" + std::string(72, 'n') + R"(",{}])"}},
    {"CustomEventEmptyName",
     [](Answers&) { MVKAnalytics::customEvent("\x02"); },
     "customEvent(_:_:)",
     std::nullopt,
     {},
     std::nullopt,
     cancelled("CustomEvent")},
    {"CurrencyAccrual",
     [](Answers&) { MVKAnalytics::currencyAccrual("gold", 5, "quest", MVKAccrualType::bought); },
     "currencyAccrual(_:_:_:_:)",
     std::nullopt,
     {R"(currencyAccrual ["gold",5,"quest",1])"}},
    {"VirtualPaymentOneCurrency",
     [](Answers&) { MVKAnalytics::virtualCurrencyPayment("sword", "weapon", 1, 100, "gold"); },
     "virtualCurrencyPayment(_:_:_:_:)",
     std::nullopt,
     {R"(virtualCurrencyPayment ["sword","weapon",1,{"gold":100}])"}},
    {"LevelUp",
     [](Answers&) {
         MVKAnalytics::levelUp(3, {{"gold", 5}});
     },
     "levelUp(_:_:)",
     std::nullopt,
     {R"(levelUp [3,{"gold":5}])"}},
    {"CurrentBalance",
     [](Answers&) {
         MVKAnalytics::currentBalance({{"gem\xFF", 2}});
     },
     "currentBalance(_:)",
     std::nullopt,
     {"currentBalance [{\"gem\xEF\xBF\xBD\":2}]"}},
    {"StartProgression",
     [](Answers&) { MVKAnalytics::startProgressionEvent("cave"); },
     "startProgressionEvent(_:_:)",
     std::nullopt,
     {R"(startProgressionEvent ["cave",null,null])"}},
    {"FinishProgression",
     [](Answers&) { MVKAnalytics::finishProgressionEvent("cave"); },
     "finishProgressionEvent(_:_:)",
     std::nullopt,
     {R"(finishProgressionEvent ["cave",false,0,{},{}])"}},
    {"RealPayment",
     [](Answers&) { MVKAnalytics::realCurrencyPayment("order-1", 1.5, "pack", "USD"); },
     "realCurrencyPayment(_:_:_:_:)",
     std::nullopt,
     {R"(realCurrencyPayment ["order-1",1.5,"pack","USD"])"}},
    {"SubscriptionHistory",
     [](Answers&) { MVKAnalytics::subscriptionHistory({transaction()}); },
     "subscriptionHistory(_:)",
     std::nullopt,
     {R"(subscriptionHistory [["gold.month"]])"}},
    {"EngineSubscriptionHistory",
     [](Answers&) {
         MVKEngineWrapper::engineSubscriptionHistory({{"gold.month", {"t1", "t2"}}});
     },
     "subscriptionHistory(_:)",
     std::nullopt,
     {R"(engineSubscriptionHistory [{"gold.month":["t1","t2"]}])"}},
    {"SubscriptionPayment",
     [](Answers&) { MVKAnalytics::subscriptionPayment(transaction(), product()); },
     "subscriptionPayment(_:_:)",
     std::nullopt,
     {R"(subscriptionPayment ["tx-1","gold.month"])"}},
    {"EngineSubscriptionPayment",
     [](Answers&) { MVKEngineWrapper::engineSubscriprtionPayment("gold.month", "tx-2"); },
     "subscriptionPayment(_:_:)",
     std::nullopt,
     {R"(engineSubscriptionPayment ["gold.month","tx-2"])"}},
    {"TutorialMinus3",
     [](Answers&) { MVKAnalytics::tutorial(-3); },
     "tutorial(_:)",
     std::nullopt,
     {},
     std::nullopt,
     cancelled("Tutorial")},
    {"TutorialMinus2",
     [](Answers&) { MVKAnalytics::tutorial(-2); },
     "tutorial(_:)",
     std::nullopt,
     {"tutorial [-2]"}},
    {"TutorialMax",
     [](Answers&) { MVKAnalytics::tutorial(2147483647); },
     "tutorial(_:)",
     std::nullopt,
     {"tutorial [2147483647]"}},
    {"SocialConnect",
     [](Answers&) { MVKAnalytics::socialNetworkConnect(MVKSocialNetwork::facebook()); },
     "socialNetworkConnect(_:)",
     std::nullopt,
     {R"(socialNetworkConnect ["fb"])"}},
    {"SocialPost",
     [](Answers&) { MVKAnalytics::socialNetworkPost(MVKSocialNetwork::twitter(), "win"); },
     "socialNetworkPost(_:_:)",
     std::nullopt,
     {R"(socialNetworkPost ["tw","win"])"}},
    {"Referrer",
     [](Answers&) {
         MVKAnalytics::referrer({{MVKReferralProperty::source(), "ads"}});
     },
     "referrer(_:)",
     std::nullopt,
     {R"(referrer [{"source":"ads"}])"}},
    {"SendBuffered",
     [](Answers&) { MVKAnalytics::sendBufferedEvents(); },
     "sendBufferedEvents()",
     std::nullopt,
     {"sendBufferedEvents []"}},
    {"AdImpression",
     [](Answers&) { MVKAnalytics::adImpression("net", 0.25, "main", std::nullopt); },
     "adImpression(_:_:_:_:)",
     std::nullopt,
     {R"(adImpression ["net",0.25,"main",null])"}},
    {"AdImpressionWithNullTexts",
     [](Answers&) { MVKAnalytics::adImpression("net", 0.25, nullptr, nullptr); },
     "adImpression(_:_:_:_:)",
     std::nullopt,
     {R"(adImpression ["net",0.25,null,null])"}},
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

std::string notInitialized(const std::string& method) {
    return "In the " + method + " method an error has occurred: The SDK is not initialized yet!";
}

class FrameFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        Validator::resetSettingsForTesting();
        CoreFlowHarness::useAnalyticsLogic(logic);
    }
    void TearDown() override { Validator::resetSettingsForTesting(); }

    void start() {
        MVKAnalytics::initialize("frame-key");
        ASSERT_TRUE(h.drainIncome());
        logic->clear();
    }

    std::shared_ptr<RecordingAnalyticsLogic> logic = std::make_shared<RecordingAnalyticsLogic>();
    Answers answers;
    CoreFlowHarness h;
};

class CallFrame : public FrameFixture, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(CallFrame, BeforeStartUpOneLineAndTheDefaultAfterItTheCleanedValues) {
    const auto& c = GetParam();
    {
        LogCapture log(MVKLogLevel::debug);
        c.call(answers);
        ASSERT_TRUE(h.drainIncome());
        EXPECT_EQ(log.count(MVKLogLevel::error, notInitialized(c.method)), 1u);
        EXPECT_EQ(log.messages().size(), 1u) << "nothing but the one line";
        EXPECT_EQ(answers.take(),
                  c.fallback ? std::vector{*c.fallback} : std::vector<std::string>{});
    }
    start();
    LogCapture log(MVKLogLevel::debug);
    c.call(answers);
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(logic->calls(), c.reached);
    EXPECT_EQ(answers.take(), c.answered ? std::vector{*c.answered} : std::vector<std::string>{});
    EXPECT_FALSE(log.containsFragment("not initialized"));
    if (!c.refusal.empty()) {
        EXPECT_EQ(log.count(MVKLogLevel::error, c.refusal), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, CallFrame, ::testing::ValuesIn(frameCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ExclusionCase {
    const char* name;
    Validator::ExcludedOptions excluded;
    std::function<void()> call;
    std::vector<std::string> reached;
    /// Lines that must not be written: the exclusion comes first.
    std::string absentFragment = "";
};

void PrintTo(const ExclusionCase& c, std::ostream* os) {
    *os << c.name;
}

class Exclusion : public FrameFixture, public ::testing::WithParamInterface<ExclusionCase> {};

TEST_P(Exclusion, ExcludedCallsNeverReachTheLogic) {
    const auto& c = GetParam();
    start();
    Validator().setExcludedOptions(c.excluded);
    LogCapture log(MVKLogLevel::debug);
    c.call();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(logic->calls(), c.reached);
    EXPECT_TRUE(log.containsFragment("is excluded by project configuration"));
    if (!c.absentFragment.empty()) {
        EXPECT_FALSE(log.containsFragment(c.absentFragment));
    }
}

const std::vector<ExclusionCase> exclusionCases = {
    {"CustomEventByTheNameAsPassed",
     {{"ce", {AnyCodable(longName)}}},
     [] {
         MVKAnalytics::customEvent(longName);
         // The name the validation would have made of it is another event.
         MVKAnalytics::customEvent(std::string(72, 'n'));
     },
     {R"(customEvent [")" + std::string(72, 'n') + R"(",{}])"}},
    {"EngineSubscriptionBeforeValidation",
     {{"sbs", {}}},
     [] { MVKEngineWrapper::engineSubscriprtionPayment("", ""); },
     {},
     "SubscriptionPayment"},
    {"TutorialStepsAsIntegers",
     {{"tr", {AnyCodable(5), AnyCodable(7.0)}}},
     [] {
         MVKAnalytics::tutorial(5);
         MVKAnalytics::tutorial(6);
         MVKAnalytics::tutorial(7);
     },
     {"tutorial [6]"}},
    {"SocialNetworkByTheCleanedName",
     {{"sc", {AnyCodable("fb")}}},
     [] {
         MVKAnalytics::socialNetworkConnect(
             MVKSocialNetwork("\x01"
                              "fb"));
         MVKAnalytics::socialNetworkConnect(MVKSocialNetwork::vkontakte());
     },
     {R"(socialNetworkConnect ["vk"])"}},
};

INSTANTIATE_TEST_SUITE_P(ByCode, Exclusion, ::testing::ValuesIn(exclusionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameFixture, CallsQueuedAfterDestroyReachTheNextCoreNotTheStoppedLogic) {
    start();
    LogCapture log(MVKLogLevel::debug);
    testing::internal::CaptureStdout();
    // Nothing runs before the calls are queued behind the old core's stop.
    QueueManager::incomeQueue().pause();
    MVKEngineWrapper::destroySDK();
    MVKAnalytics::getDeviceId(answers.text());
    MVKAnalytics::getSDKVersion(answers.text());
    MVKAnalytics::getUserId(answers.text());
    MVKAnalytics::getCurrentLevel(answers.number());
    MVKAnalytics::getTrackingAvailability(answers.flag());
    MVKAnalytics::isRestoreTransactionHistoryRequired(answers.flag());
    MVKAnalytics::setCurrentLevel(5);
    QueueManager::incomeQueue().resume();
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(answers.take(), (std::vector<std::string>{"", "", "", "1", "false", "false"}));
    EXPECT_TRUE(logic->calls().empty());
    for (const char* method : {"getDeviceId(_:)", "getSDKVersion(_:)", "getUserId(_:)",
                               "getCurrentLevel(_:)", "getTrackingAvailability(_:)",
                               "isRestoreTransactionHistoryRequired(_:)", "setCurrentLevel(_:)"}) {
        EXPECT_EQ(log.count(MVKLogLevel::error, "In the " + std::string(method) +
                                                    " method an error has occurred: The SDK "
                                                    "is not initialized yet!"),
                  1u)
            << method;
    }
}

TEST_F(FrameFixture, ParameterLimitWithoutALogicIsTheDefaultConfigurations) {
    EXPECT_EQ(Core::shared()->analyticsProxy().getCustomEventParamsCount(), 20);
    LogCapture log(MVKLogLevel::error);
    MVKCustomEventParameters parameters;
    for (int i = 0; i < 21; ++i) {
        parameters.addInt("p" + std::to_string(i), i);
    }
    EXPECT_EQ(parameters.getAllParameters().size(), 20u);
    EXPECT_EQ(log.count(MVKLogLevel::error,
                        "[CustomEventParameters] Limit of [20] is reached when adding a new "
                        "parameter"),
              1u);
}

TEST_F(FrameFixture, HandlerThatThrowsIsContained) {
    start();
    LogCapture log(MVKLogLevel::error);
    MVKAnalytics::getUserId([](const std::string&) { throw std::runtime_error("host bug"); });
    MVKAnalytics::getCurrentLevel(answers.number());
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(answers.take(), std::vector<std::string>{"7"});
    EXPECT_TRUE(log.containsFragment("host bug"));
}

/// A logic whose getters take one road to their answer ("answer" gives the
/// logic's value): the host's handler must hear exactly once on every road.
class RoadLogic final : public QuietAnalyticsLogic {
  public:
    using Road = std::function<void(const std::function<void()>& answer)>;
    explicit RoadLogic(Road road) : road_(std::move(road)) {}

    void getDeviceId(const TextCompletion& c) override {
        road_([&] { c("d"); });
    }
    void getSDKVersion(const TextCompletion& c) override {
        road_([&] { c("s"); });
    }
    void getUserId(const TextCompletion& c) override {
        road_([&] { c("u"); });
    }
    void getCurrentLevel(const NumberCompletion& c) override {
        road_([&] { c(7); });
    }
    void getTrackingAvailability(const FlagCompletion& c) override {
        road_([&] { c(true); });
    }
    void isRestoreTransactionHistoryRequired(const FlagCompletion& c) override {
        road_([&] { c(true); });
    }

  private:
    Road road_;
};

struct RoadCase {
    const char* name;
    RoadLogic::Road road;
    bool logicAnswers;
};

void PrintTo(const RoadCase& c, std::ostream* os) {
    *os << c.name;
}

class GetterRoads : public ::testing::TestWithParam<RoadCase> {
  protected:
    CoreFlowHarness h;
};

TEST_P(GetterRoads, EveryGetterIsAnsweredExactlyOnce) {
    auto logic = std::make_shared<RoadLogic>(GetParam().road);
    CoreFlowHarness::useAnalyticsLogic(logic);
    MVKAnalytics::initialize("frame-key");
    LogCapture log(MVKLogLevel::no);
    Answers answers;
    MVKAnalytics::getDeviceId(answers.text());
    MVKAnalytics::getSDKVersion(answers.text());
    MVKAnalytics::getUserId(answers.text());
    MVKAnalytics::getCurrentLevel(answers.number());
    MVKAnalytics::getTrackingAvailability(answers.flag());
    MVKAnalytics::isRestoreTransactionHistoryRequired(answers.flag());
    ASSERT_TRUE(h.drainIncome());
    const std::vector<std::string> logicValues{"d", "s", "u", "7", "true", "true"};
    const std::vector<std::string> defaults{"", "", "", "1", "false", "false"};
    EXPECT_EQ(answers.take(), GetParam().logicAnswers ? logicValues : defaults);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, GetterRoads,
    ::testing::Values(RoadCase{"ThrowsBeforeAnswering",
                               [](const auto&) { throw std::runtime_error("logic bug"); }, false},
                      RoadCase{"ThrowsAfterAnswering",
                               [](const auto& answer) {
                                   answer();
                                   throw std::runtime_error("logic bug");
                               },
                               true},
                      RoadCase{"AnswersTwice",
                               [](const auto& answer) {
                                   answer();
                                   answer();
                               },
                               true},
                      RoadCase{"NeverAnswers", [](const auto&) {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

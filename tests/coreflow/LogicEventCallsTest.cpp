#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

struct CallCase {
    const char* name;
    std::function<void(AnalyticsProtocol&)> call;
    std::string code;
    /// Fields the event must carry, compared one by one.
    nlohmann::json fields;
    bool sends;
    /// Level resources the call adds in a session.
    std::size_t levelResources = 0;
};

void PrintTo(const CallCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicCalls : public LogicFlow, public ::testing::WithParamInterface<CallCase> {
  public:
    std::vector<nlohmann::json> stored(const std::string& code) const {
        std::vector<nlohmann::json> events;
        for (const auto& json : h.columnTexts("events", "eventJson")) {
            auto event = nlohmann::json::parse(json);
            if (event.value("code", "") == code) {
                events.push_back(std::move(event));
            }
        }
        return events;
    }
};

TEST_P(LogicCalls, EachCallStoresItsEventWithTheSessionAndSendsWhereItMust) {
    const auto& c = GetParam();
    start();
    const auto sentBefore = sent(c.code).size();
    onLogic(c.call);
    const auto stored = this->stored(c.code);
    EXPECT_EQ(h.columnTexts("levelResource", "name").size(), c.levelResources);
    auto out = sent(c.code);
    out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(sentBefore));
    ASSERT_EQ(out.size() + stored.size(), 1u);
    EXPECT_EQ(out.size(), c.sends ? 1u : 0u) << "sent at once or left for the timer";
    const auto& event = out.empty() ? stored.front() : out.front();
    for (const auto& [key, value] : c.fields.items()) {
        if (value.is_null()) {
            EXPECT_FALSE(event.contains(key)) << key;
        } else {
            EXPECT_EQ(event.value(key, nlohmann::json()), value) << key;
        }
    }
    EXPECT_EQ(event["sessionId"], sent("ss").front()["sessionId"]);
}

const std::vector<CallCase> callCases = {
    {"Custom",
     [](AnalyticsProtocol& l) { l.customEvent("boss", std::nullopt); },
     "ce",
     {{"name", "boss"}, {"level", 1}},
     false},
    {"VirtualPayment",
     [](AnalyticsProtocol& l) {
         l.virtualCurrencyPayment("sword", "weapon", 2, {{"gold", 5}});
     },
     "vp",
     {{"purchaseId", "sword"}, {"purchaseType", "weapon"}, {"purchaseAmount", 2}},
     false,
     1},
    {"RealPayment",
     [](AnalyticsProtocol& l) { l.realCurrencyPayment("order-1", 0.99, "pack", "USD"); },
     "rp",
     {{"orderId", "order-1"}, {"productId", "pack"}, {"currencyCode", "USD"}},
     true},
    {"Tutorial", [](AnalyticsProtocol& l) { l.tutorial(3); }, "tr", {{"step", 3}}, false},
    {"Connect",
     [](AnalyticsProtocol& l) { l.socialNetworkConnect({.name = "vk"}); },
     "sc",
     {{"socialNetwork", "vk"}},
     false},
    {"Post",
     [](AnalyticsProtocol& l) { l.socialNetworkPost({.name = "vk"}, "win"); },
     "sp",
     {{"socialNetwork", "vk"}, {"postReason", "win"}},
     false},
    {"Referral",
     [](AnalyticsProtocol& l) {
         l.referrer(
             {{MVKReferralProperty::source(), "ads"}, {MVKReferralProperty("custom"), "ignored"}});
     },
     "rf",
     {{"source", "ads"}, {"campaign", nullptr}, {"level", nullptr}},
     true},
    {"AdImpression",
     [](AnalyticsProtocol& l) { l.adImpression("net", 0.5, "menu", "banner"); },
     "adrv",
     {{"ad_network", "net"},
      {"source", "sdk"},
      {"placement", "menu"},
      {"ad_unit", "banner"},
      {"level", nullptr}},
     false},
    {"Progression",
     [](AnalyticsProtocol& l) {
         l.startProgressionEvent("cave", {.difficulty = 2, .source = "map"});
         l.finishProgressionEvent("cave", {.successfulCompletion = true});
     },
     "pe",
     {{"name", "cave"}},
     true},
    {"Balance",
     [](AnalyticsProtocol& l) {
         l.currentBalance({{"gold", 1}});
     },
     "cb",
     {{"balance", {{"gold", 1}}}},
     false},
    {"LevelUp",
     [](AnalyticsProtocol& l) {
         l.levelUp(2, {{"gold", 3}});
     },
     "lu",
     {{"level", 2}, {"balance", {{"gold", 3}}}},
     true},
};

INSTANTIATE_TEST_SUITE_P(Calls, LogicCalls, ::testing::ValuesIn(callCases),
                         [](const auto& info) { return std::string(info.param.name); });

class LogicCallsWithoutSession : public LogicCalls {};

TEST_P(LogicCallsWithoutSession, StoreNothingAndLeaveNoMark) {
    const auto& c = GetParam();
    // A process that starts with tracking off opens no session.
    start(tracking(MVKTrackingStatus::disable));
    onLogic(c.call);
    EXPECT_TRUE(sent(c.code).empty());
    EXPECT_TRUE(stored(c.code).empty());
    EXPECT_TRUE(h.columnTexts("levelResource", "name").empty());
    // In its first session the same call goes through: no mark was taken.
    restart(tracking(MVKTrackingStatus::enable));
    onLogic(c.call);
    EXPECT_EQ(sent(c.code).size() + stored(c.code).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Calls, LogicCallsWithoutSession, ::testing::ValuesIn(callCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogicFlow, MarksHoldAcrossUsersAndRestarts) {
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId("alice");
    start(configuration);
    onLogic([](AnalyticsProtocol& l) {
        l.realCurrencyPayment("order-1", 1.0, "pack", "USD");
        l.tutorial(1);
        l.referrer({{MVKReferralProperty::source(), "ads"}});
        l.setUserId("bob");
    });
    restart(configuration);
    LogCapture log(MVKLogLevel::debug);
    onLogic([](AnalyticsProtocol& l) {
        l.realCurrencyPayment("order-1", 1.0, "pack", "USD");
        l.tutorial(1);
        l.referrer({{MVKReferralProperty::source(), "again"}});
        l.setUserId("bob");
        l.tutorial(1);
    });
    EXPECT_EQ(sent("rp").size(), 1u);
    EXPECT_EQ(sent("rf").size(), 1u);
    EXPECT_TRUE(log.contains(MVKLogLevel::warning,
                             "Real payment with orderId [order-1]  is already used!"));
    EXPECT_TRUE(log.contains(MVKLogLevel::warning, "Tutorial step [1] is already used"));
    EXPECT_TRUE(log.contains(MVKLogLevel::info, "The referrer has been sent"));
    // Tutorial steps are per user: bob's first step 1 is stored.
    std::size_t tutorials = 0;
    for (const auto& code : h.columnTexts("events", "code")) {
        tutorials += code == "tr" ? 1 : 0;
    }
    EXPECT_EQ(tutorials + sent("tr").size(), 2u);
}

struct ProgressionCase {
    const char* name;
    std::string finishName;
    std::int64_t afterMillis;
    std::int64_t givenDuration;
    std::optional<std::int64_t> duration;
    bool finished;
};

void PrintTo(const ProgressionCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicProgression : public LogicFlow, public ::testing::WithParamInterface<ProgressionCase> {};

TEST_P(LogicProgression, DurationRoundsUpAndAMismatchKeepsTheLocationOpen) {
    const auto& c = GetParam();
    start();
    onLogic([](AnalyticsProtocol& l) { l.startProgressionEvent("cave", {}); });
    h.clock->advance(c.afterMillis);
    onLogic([&](AnalyticsProtocol& l) {
        l.finishProgressionEvent(c.finishName,
                                 {.successfulCompletion = true, .duration = c.givenDuration});
    });
    ASSERT_EQ(sent("pe").size(), c.finished ? 1u : 0u);
    if (c.finished) {
        const auto parameters = sent("pe").front()["parameters"];
        EXPECT_EQ(parameters.value("duration", nlohmann::json()),
                  c.duration ? nlohmann::json(*c.duration) : nlohmann::json());
    } else {
        // Still open: the right name finishes it.
        onLogic([](AnalyticsProtocol& l) { l.finishProgressionEvent("cave", {}); });
        EXPECT_EQ(sent("pe").size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LogicProgression,
                         ::testing::Values(ProgressionCase{"OneMillisecond", "cave", 1, 0, 1, true},
                                           ProgressionCase{"OneSecond", "cave", 1000, 0, 1, true},
                                           ProgressionCase{"JustOverASecond", "cave", 1001, 0, 2,
                                                           true},
                                           ProgressionCase{"GivenDuration", "cave", 5, 7, 7, true},
                                           ProgressionCase{"OtherName", "lake", 5, 0, {}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

/// Adds "p0" up to "p<count - 1>" and then "p<repeated>" again, valued -1:
/// what is kept, the repeated key's value, and the lines their adding wrote.
struct Added {
    std::size_t kept;
    MVKCustomEventParameters::Value repeated;
    std::vector<std::string> lines;
    bool operator==(const Added&) const = default;
};

Added addParameters(int count, int repeated) {
    LogCapture log(MVKLogLevel::error);
    MVKCustomEventParameters parameters;
    for (int i = 0; i < count; ++i) {
        parameters.addInt("p" + std::to_string(i), i);
    }
    parameters.addInt("p" + std::to_string(repeated), -1);
    const auto& all = parameters.getAllParameters();
    return {all.size(), all.at(static_cast<std::size_t>(repeated)).second, log.messages()};
}

TEST_F(LogicFlow, TheParameterLimitIsTheAppliedConfigurationsUntilTheCoreIsDestroyed) {
    const auto limitLine = [](int limit) {
        return "ERROR [CustomEventParameters] Limit of [" + std::to_string(limit) +
               "] is reached when adding a new parameter";
    };
    // The configuration comes after start-up installed the logic; a limit
    // past 32 also reaches keys compared one by one.
    answerConfiguration("", true, 36);
    start();
    EXPECT_EQ(addParameters(35, 33), (Added{35, std::int64_t{-1}, {}}));
    EXPECT_EQ(addParameters(37, 34), (Added{36, std::int64_t{34}, {limitLine(36), limitLine(36)}}));

    testing::internal::CaptureStdout();
    h.dropCore();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(addParameters(21, 5), (Added{20, std::int64_t{5}, {limitLine(20), limitLine(20)}}));
}

}  // namespace
}  // namespace mvk::test

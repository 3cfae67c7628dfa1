#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

const std::string invalid = "a\xFF\xC0\x80z\xED\xA0\x80";
const std::string huge(1 << 20, 'x');
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

MVKAnalytics::Amounts many(std::size_t count) {
    MVKAnalytics::Amounts amounts;
    for (std::size_t i = 0; i < count; ++i) {
        amounts["c" + std::to_string(i)] = static_cast<std::int64_t>(i);
    }
    return amounts;
}

struct HostileCase {
    const char* name;
    std::function<void()> call;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<HostileCase> hostileCases = {
    {"InvalidUtf8Everywhere",
     [] {
         MVKCustomEventParameters parameters;
         parameters.addString(invalid, invalid);
         MVKAnalytics::customEvent(invalid, parameters);
         MVKAnalytics::setUserId(invalid);
         MVKAnalytics::currentBalance({{invalid, 1}});
         MVKAnalytics::realCurrencyPayment(invalid, 1, invalid, invalid);
         MVKAnalytics::adImpression(invalid, 1, invalid, invalid);
         MVKAnalytics::referrer({{MVKReferralProperty(invalid), invalid}});
         MVKEngineWrapper::engineSubscriptionHistory({{invalid, {invalid}}});
     }},
    {"NanAndInfinity",
     [] {
         MVKCustomEventParameters parameters;
         parameters.addDouble("nan", nan);
         parameters.addDouble("inf", inf);
         parameters.addDouble("fine", 1);
         MVKAnalytics::customEvent("doubles", parameters);
         MVKAnalytics::realCurrencyPayment("o1", nan, "p", "USD");
         MVKAnalytics::realCurrencyPayment("o2", inf, "p", "USD");
         MVKAnalytics::adImpression("net", nan, std::nullopt, std::nullopt);
         MVKAnalytics::adImpression("net", -inf, std::nullopt, std::nullopt);
     }},
    {"MegabyteTexts",
     [] {
         MVKCustomEventParameters parameters;
         parameters.addString(huge, huge);
         MVKAnalytics::customEvent(huge, parameters);
         MVKAnalytics::setUserId(huge);
         MVKAnalytics::replace(huge, huge);
         MVKAnalytics::socialNetworkPost(MVKSocialNetwork(huge), huge);
         MVKAnalytics::startProgressionEvent(huge);
     }},
    {"TenThousandEntries",
     [] {
         MVKAnalytics::levelUp(2, many(10000));
         MVKAnalytics::currentBalance(many(10000));
         MVKAnalytics::virtualCurrencyPayment("id", "type", 1, many(10000));
         MVKFinishProgressionEventParameters finish;
         finish.setSpent(many(10000));
         MVKAnalytics::finishProgressionEvent("run", finish);
     }},
    {"ExtremeIntegers",
     [] {
         constexpr auto low = std::numeric_limits<std::int64_t>::min();
         constexpr auto high = std::numeric_limits<std::int64_t>::max();
         MVKAnalytics::setCurrentLevel(low);
         MVKAnalytics::tutorial(high);
         MVKAnalytics::levelUp(high, {{"gold", low}});
         MVKAnalytics::currencyAccrual("gold", high, "src", MVKAccrualType::bought);
         MVKAnalytics::currencyAccrual("gold", low, "src", static_cast<MVKAccrualType>(77));
     }},
};

class HostileInput : public LogicFlow, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileInput, TheLibraryCarriesOnAndStoresOnlyValidJson) {
    start();
    LogCapture log(MVKLogLevel::no);
    GetParam().call();
    MVKAnalytics::customEvent("after");
    MVKAnalytics::sendBufferedEvents();
    settle();
    EXPECT_FALSE(sent("ce").empty());
    EXPECT_EQ(sent("ce").back().value("name", ""), "after") << "the queue went on";
    for (const auto& event : sentEvents()) {
        EXPECT_TRUE(event.is_object());
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileInput, ::testing::ValuesIn(hostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKUserCard.hpp"
#include "mvk/UnrealBridge.hpp"
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
    /// Part of a line that tells the developer what was wrong.
    const char* logged = "";
    /// Part of a report body the gateway must have received.
    const char* sentText = "";
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
     },
     "Execution of the RealCurrencyPayment method was canceled!"},
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
     },
     "Execution of the AdImpression method was canceled!"},
    {"MegabyteTexts",
     [] {
         MVKCustomEventParameters parameters;
         parameters.addString(huge, huge);
         MVKAnalytics::customEvent(huge, parameters);
         MVKAnalytics::setUserId(huge);
         MVKAnalytics::replace(huge, huge);
         MVKAnalytics::socialNetworkPost(MVKSocialNetwork(huge), huge);
         MVKAnalytics::startProgressionEvent(huge);
     },
     "is longer than it is permitted."},
    {"MegabyteKeys",
     [] {
         MVKAnalytics::levelUp(2, {{huge, 1}});
         MVKAnalytics::currentBalance({{huge, 1}});
         MVKAnalytics::virtualCurrencyPayment("id", "type", 1, {{huge, 1}});
         MVKUserCard::getValue(huge, [](const auto&) {});
         MVKUserCard::unset({huge});
     },
     "] key of the keys array: "},
    {"TenThousandEntries",
     [] {
         MVKAnalytics::levelUp(2, many(10000));
         MVKAnalytics::currentBalance(many(10000));
         MVKAnalytics::virtualCurrencyPayment("id", "type", 1, many(10000));
         MVKFinishProgressionEventParameters finish;
         finish.setSpent(many(10000));
         MVKAnalytics::finishProgressionEvent("run", finish);
     },
     "In the VirtualCurrencyPayment method an error has occurred",
     R"("balance":{"c0":0,"c1":1,"c10":10,"c100":100,"c1000":1000,"c1001":1001,)"},
    {"UserCardInvalidUtf8",
     [] {
         MVKUserCard::setName(invalid);
         MVKUserCard::setString(invalid, invalid);
         MVKUserCard::incrementInt(invalid, 1);
         MVKUserCard::unset({invalid, invalid});
     },
     "[User Card] In the increment method an error has occurred"},
    {"UserCardNanAndInfinity",
     [] {
         MVKUserCard::setDouble("nan", nan);
         MVKUserCard::setDouble("inf", inf);
         MVKUserCard::incrementDouble("minusInf", -inf);
     },
     "Execution of the set(key:value:) method was canceled!"},
    {"UserCardMegabyteTexts",
     [] {
         MVKUserCard::setName(huge);
         MVKUserCard::setEmail(huge);
         MVKUserCard::setString(huge, huge);
         MVKUserCard::setString("long", huge);
     },
     "In the setName(name:) method an error has occurred"},
    {"UserCardTenThousandKeys",
     [] {
         std::vector<std::string> keys;
         for (int i = 0; i < 10000; ++i) {
             keys.push_back("k" + std::to_string(i));
         }
         MVKUserCard::unset(keys);
     },
     "[User Card] Properties for key [k0,k1,",
     // Every name, in the card's order.
     R"("parameters":{"k0":null,"k1":null,"k10":null,"k100":null,"k1000":null,"k1001":null,)"},
    {"ReceiptsPushAndEngineLines",
     [] {
         MVKAntiCheat::verifyPayment(huge, [](const MVKVerifyResponse&) {});
         MVKAntiCheat::verifyPayment(invalid, [](const MVKVerifyResponse&) {});
         UnrealBridge::sendPushToken(huge, true);
         UnrealBridge::sendPushToken(invalid, true);
         UnrealBridge::sendLogMessage(2, huge);
         UnrealBridge::sendLogMessage(2, invalid);
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
     },
     "Execution of the Tutorial method was canceled!"},
};

class HostileInput : public LogicFlow, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileInput, TheLibraryCarriesOnAndStoresOnlyValidJson) {
    start();
    LogCapture log(MVKLogLevel::debug);
    GetParam().call();
    settle();
    const std::string expected = GetParam().logged;
    bool told = expected.empty();
    for (const auto& line : log.messages()) {
        told = told || line.find(expected) != std::string::npos;
        // The host's own log line is its business; ours repeat a bounded
        // head of what they complain about.
        const bool ours = line.rfind("WARNING", 0) == 0 || line.rfind("ERROR", 0) == 0;
        if (ours && line != "WARNING " + huge) {
            EXPECT_LT(line.size(), 16u * 1024u) << line.substr(0, 200);
        }
    }
    EXPECT_TRUE(told) << "no line says: " << expected;
    MVKAnalytics::customEvent("after");
    MVKAnalytics::sendBufferedEvents();
    settle();
    EXPECT_FALSE(sent("ce").empty());
    EXPECT_EQ(sent("ce").back().value("name", ""), "after") << "the queue went on";
    for (const auto& event : sentEvents()) {
        EXPECT_TRUE(event.is_object());
    }
    if (const std::string text = GetParam().sentText; !text.empty()) {
        bool found = false;
        for (const auto& request : h.gateway().requests("/v2/analytics/report")) {
            found = found || request.body.find(text) != std::string::npos;
        }
        EXPECT_TRUE(found) << "no report holds " << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileInput, ::testing::ValuesIn(hostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

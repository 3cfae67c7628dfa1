#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKApplication.hpp"
#include "support/FakeStore.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

using Transactions = std::vector<MVKStoreTransaction>;

MVKStoreTransaction bought(std::optional<std::string> own, std::optional<std::string> original,
                           std::string product = "gold.month") {
    return {std::move(own), std::move(original), std::move(product)};
}

/// The store's product at start; any other is offered in euros.
MVKStoreProduct offered(const std::string& id) {
    return id == "gold.month" ? storeProduct(id, 4.99, "en_GB", "GB", "GBP")
                              : storeProduct(id, 1.5, "de_DE", "DE", "EUR");
}

/// Calls made after the store answered "gold.month" at start.
struct SubscriptionCase {
    const char* name;
    std::vector<std::pair<MVKStoreTransaction, std::string>> payments;  // with product id
    std::optional<Transactions> history;
    std::vector<std::string> sbs;          // "orderId productId region currency" sent
    std::vector<std::string> newProducts;  // of the "sbsp" events sent after start
    std::size_t restoredEvents;
    const char* logLine;  // with its level
    MVKLogLevel logLevel;
};

void PrintTo(const SubscriptionCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicSubscriptions : public LogicFlow,
                           public ::testing::WithParamInterface<SubscriptionCase> {
  public:
    void TearDown() override {
        MVKApplication::setStore(nullptr);
        LogicFlow::TearDown();
    }
};

TEST_P(LogicSubscriptions, PaymentsAndHistoryAreStoredOnceAndSent) {
    const auto& c = GetParam();
    auto store = std::make_shared<FakeStore>();
    store->scriptProducts({offered("gold.month")}, FakeStore::Delivery::insideStart);
    MVKApplication::setStore(store);
    answerConfiguration(R"(,"sbsBundles":["gold.month"])");
    start();
    ASSERT_EQ(sent("sbsp").size(), 1u) << "the store's answer at start";
    EXPECT_EQ(sent("sbsp")[0]["products"][0]["currencyCode"], "GBP");
    h.gateway().clearRequests();

    LogCapture log(MVKLogLevel::debug);
    for (const auto& payment : c.payments) {
        onLogic([&](AnalyticsProtocol& l) {
            l.subscriptionPayment(payment.first, offered(payment.second));
        });
    }
    if (c.history) {
        onLogic([&](AnalyticsProtocol& l) { l.subscriptionHistory(*c.history); });
    }

    std::vector<std::string> payments;
    for (const auto& event : sent("sbs")) {
        payments.push_back(event.value("orderId", "") + " " + event.value("productId", "") + " " +
                           event.value("regionCode", "") + " " + event.value("currencyCode", ""));
    }
    EXPECT_EQ(payments, c.sbs);
    std::vector<std::string> products;
    for (const auto& event : sent("sbsp")) {
        products.push_back(event["products"][0]["productId"]);
    }
    EXPECT_EQ(products, c.newProducts);
    EXPECT_EQ(sent("sbsr").size(), c.restoredEvents);
    if (c.restoredEvents) {
        EXPECT_EQ(sent("sbsr")[0]["currencyCode"], "GBP");
        EXPECT_EQ(sent("sbsr")[0]["transactions"][0]["transactionIds"],
                  nlohmann::json::array({"first"}));
    }
    if (*c.logLine) {
        EXPECT_TRUE(log.contains(c.logLevel, c.logLine))
            << ::testing::PrintToString(log.messages());
    }
    if (c.history) {
        bool required = true;
        onLogic([&](AnalyticsProtocol& l) {
            l.isRestoreTransactionHistoryRequired([&](bool answer) { required = answer; });
        });
        EXPECT_FALSE(required) << "the history is asked for once";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicSubscriptions,
    ::testing::Values(SubscriptionCase{"KnownProduct",
                                       {{bought("t1", std::nullopt), "gold.month"}},
                                       {},
                                       {"t1 gold.month GB GBP"},
                                       {},
                                       0,
                                       "",
                                       MVKLogLevel::debug},
                      SubscriptionCase{"NewProductIsReportedToo",
                                       {{bought("t1", std::nullopt), "gems.week"}},
                                       {},
                                       {"t1 gems.week DE EUR"},
                                       {"gems.week"},
                                       0,
                                       "",
                                       MVKLogLevel::debug},
                      SubscriptionCase{"RenewalCountsTheOriginalOnce",
                                       {{bought("t1", std::nullopt), "gold.month"},
                                        {bought("t2", "t1"), "gold.month"}},
                                       {},
                                       {"t1 gold.month GB GBP"},
                                       {},
                                       0,
                                       "Subscription payment with orderId [t1] is renewal",
                                       MVKLogLevel::debug},
                      SubscriptionCase{"NoIdentifier",
                                       {{bought(std::nullopt, std::nullopt), "gems.week"}},
                                       {},
                                       {},
                                       {},
                                       0,
                                       "Subscription payment transactionIdentifier is nil",
                                       MVKLogLevel::error},
                      SubscriptionCase{"History",
                                       {},
                                       Transactions{bought("t9", "first"), bought("t8", "first")},
                                       {},
                                       {},
                                       1,
                                       "",
                                       MVKLogLevel::debug},
                      SubscriptionCase{"EmptyHistory",
                                       {},
                                       Transactions{},
                                       {},
                                       {},
                                       0,
                                       "subscriptionHistory transactions is empty",
                                       MVKLogLevel::debug}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

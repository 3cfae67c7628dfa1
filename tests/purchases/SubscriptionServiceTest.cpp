#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DefaultStore.hpp"
#include "platform/ManualRunLoop.hpp"
#include "platform/SerialQueue.hpp"
#include "purchases/SubscriptionRepository.hpp"
#include "purchases/SubscriptionService.hpp"
#include "services/ServiceStoreTest.hpp"
#include "support/FakeStore.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test::FakeStore;
using test::storeProduct;
using Products = std::vector<SubscriptionProduct>;

SubscriptionProduct product(std::string id, double price, std::string currency = "USD") {
    SubscriptionProduct made;
    made.productId = std::move(id);
    made.price = price;
    made.regionCode = "US";
    made.currencyCode = std::move(currency);
    return made;
}

std::vector<std::string> ids(const Products& products) {
    std::vector<std::string> result;
    for (const auto& each : products) {
        result.push_back(each.productId);
    }
    return result;
}

class SubscriptionServiceTest : public test::ServiceStoreTest {
  protected:
    void settle() { ASSERT_TRUE(income.drain(test::drainLimit())); }
    void advance(milliseconds step) {
        scheduler->advance(step);
        settle();
    }
    /// Asks for the listed products; answers go to `answers`.
    void request(std::vector<std::string> list = {"gold", "silver"}) {
        service->setProductList(std::move(list));
        service->requestUserProducts([this](auto products) { answers.push_back(*products); });
        settle();
    }
    /// The project's row as stored, read past every cache.
    std::shared_ptr<SubscriptionInfo> storedInfo() const {
        const auto rows = SubscriptionRepository(database).list().value();
        return rows.size() == 1 ? rows.front() : nullptr;
    }

    SerialQueue income{"test.income"};
    std::shared_ptr<ManualRunLoop> scheduler = std::make_shared<ManualRunLoop>(clock);
    std::shared_ptr<FakeStore> store = std::make_shared<FakeStore>();
    std::shared_ptr<SubscriptionRepository> subscriptions =
        std::make_shared<SubscriptionRepository>(database);
    std::shared_ptr<SubscriptionService> service =
        std::make_shared<SubscriptionService>(state, subscriptions, store, income, scheduler);
    std::vector<Products> answers;
};

TEST_F(SubscriptionServiceTest, OnlyListedProductsArePassedOnInAnswerOrder) {
    store->scriptProducts(
        {storeProduct("silver", 1.99), storeProduct("bronze", 0.99), storeProduct("gold", 4.99)},
        FakeStore::Delivery::insideStart);
    request({"gold", "silver"});

    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(ids(answers.front()), (std::vector<std::string>{"silver", "gold"}));
    const auto records = store->records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].identifiers, (std::set<std::string>{"gold", "silver"}));
    EXPECT_EQ(records[0].starts, 1);
    EXPECT_EQ(records[0].cancels, 1);
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "SKProductsRequest did finish"));
}

TEST_F(SubscriptionServiceTest, AnEmptyListOrTheDefaultStoreAsksNothingAndRetriesNothing) {
    request({});
    EXPECT_TRUE(store->records().empty());
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "Product list is empty"));

    service = std::make_shared<SubscriptionService>(
        state, subscriptions, std::make_shared<DefaultStore>(), income, scheduler);
    request();
    advance(seconds(3'600));
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(scheduler->pendingWorkCount(), 0u);
}

TEST_F(SubscriptionServiceTest, RegionAndCurrencyFallBackToTheLocaleName) {
    const struct {
        const char* identifier;
        std::optional<std::string> region;
        std::optional<std::string> currency;
        const char* expectedRegion;
        const char* expectedCurrency;
    } cases[] = {
        {"en_US", "US", "USD", "US", "USD"},
        {"fr_CA", "CA", std::nullopt, "CA", ""},
        {"de_AT@currency=EUR", std::nullopt, std::nullopt, "AT", "EUR"},
        {"ja_JP@calendar=japanese;currency=jpy", "", "", "JP", "JPY"},
        {"es_419", std::nullopt, std::nullopt, "419", ""},
        {"zh_Hant_TW@currency=TWD", std::nullopt, std::nullopt, "TW", "TWD"},
        {"sr_Latn_RS", std::nullopt, std::nullopt, "RS", ""},
        {"en_US_POSIX", std::nullopt, std::nullopt, "US", ""},
        {"en@currency=GBP", std::nullopt, std::nullopt, "", "GBP"},
        {"C", std::nullopt, std::nullopt, "", ""},
        {"", std::nullopt, std::nullopt, "", ""},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.identifier);
        const auto made = SubscriptionService::makeProduct(
            storeProduct("gold", 1, entry.identifier, entry.region, entry.currency));
        ASSERT_TRUE(made);
        EXPECT_EQ(made->regionCode, entry.expectedRegion);
        EXPECT_EQ(made->currencyCode, entry.expectedCurrency);
    }
}

TEST_F(SubscriptionServiceTest, OffersAndPricesOfAStoreProduct) {
    auto offered = storeProduct("gold", 4.99);
    offered.introductoryPrice = 0.99;
    offered.discounts = {{"winter", 2.49}, {std::nullopt, 1.0}};
    const auto made = SubscriptionService::makeProduct(offered);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->introductoryPrice, 0.99);
    EXPECT_EQ(made->discounts, (std::map<std::string, double>{{"winter", 2.49}}));

    offered.discounts = {{std::nullopt, 1.0}};
    EXPECT_EQ(SubscriptionService::makeProduct(offered)->discounts, std::nullopt);

    // A price that is not a number would make the stored product list
    // unwritable, so such a product is left out.
    offered.introductoryPrice = std::nan("");
    EXPECT_EQ(SubscriptionService::makeProduct(offered), std::nullopt);
    store->scriptProducts({offered, storeProduct("silver", 1.99)},
                          FakeStore::Delivery::insideStart);
    request();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(ids(answers.front()), (std::vector<std::string>{"silver"}));
}

TEST_F(SubscriptionServiceTest, EqualAnswersWithinATenThousandthAreNoChange) {
    service->setProductList({"gold", "silver"});
    log.clear();
    service->updateProducts({product("gold", 4.99)});
    EXPECT_TRUE(service->needSendProducts());
    EXPECT_TRUE(storedInfo()->productIsChanged);
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "Not found any products for list: \n\t\tsilver"));

    service->updateProducts({product("gold", 4.99009)});
    EXPECT_FALSE(service->needSendProducts());
    EXPECT_FALSE(storedInfo()->productIsChanged);
    EXPECT_EQ(storedInfo()->products, (Products{product("gold", 4.99)}));

    service->updateProducts({product("gold", 5.49), product("silver", 1.99)});
    EXPECT_TRUE(storedInfo()->productIsChanged);
    EXPECT_EQ(storedInfo()->products, (Products{product("gold", 5.49), product("silver", 1.99)}));
}

TEST_F(SubscriptionServiceTest, FailuresAreRetriedAfterGrowingDelaysCappedAtFourMinutes) {
    const std::int64_t delays[] = {60, 120, 180, 240, 240};
    for (std::size_t i = 0; i <= std::size(delays); ++i) {
        store->scriptFailure("offline", FakeStore::Delivery::insideStart);
    }
    request();
    for (std::size_t i = 0; i < std::size(delays); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(
            log.contains(MVKLogLevel::debug, "Request products failed with error: offline"));
        EXPECT_TRUE(log.contains(MVKLogLevel::debug, "Retry request products after " +
                                                         std::to_string(delays[i]) + " seconds"));
        log.clear();
        advance(seconds(delays[i]) - milliseconds(1));
        EXPECT_EQ(store->records().size(), i + 1);
        advance(milliseconds(1));
        EXPECT_EQ(store->records().size(), i + 2);
    }
    EXPECT_TRUE(answers.empty());
}

TEST_F(SubscriptionServiceTest, AnOldRequestsAnswerIsHandledButLeavesTheNewRequestAlone) {
    store->script({{FakeStore::Step::answer({storeProduct("gold", 4.99)}),
                    FakeStore::Step::finish(), FakeStore::Step::fail("late")}});
    store->scriptProducts({storeProduct("silver", 1.99)});
    request();
    request();
    EXPECT_EQ(store->records()[0].cancels, 1);

    store->deliver(0);
    settle();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(ids(answers[0]), std::vector<std::string>{"gold"});
    EXPECT_EQ(store->records()[1].cancels, 0);
    EXPECT_EQ(log.count(MVKLogLevel::debug, "Request products failed with error: late"), 1u);
    EXPECT_EQ(scheduler->pendingWorkCount(), 0u);

    store->deliver(1);
    settle();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(ids(answers[1]), std::vector<std::string>{"silver"});
    EXPECT_EQ(store->records()[1].cancels, 1);
}

TEST_F(SubscriptionServiceTest, AtMostOneRetryWaitsAndANewRequestCancelsIt) {
    store->scriptFailure("offline");
    request();
    store->deliver(0);
    store->deliver(0);
    settle();
    EXPECT_EQ(log.countContaining("Retry request products after"), 1u);
    EXPECT_EQ(scheduler->pendingWorkCount(), 1u);

    request();
    EXPECT_EQ(scheduler->pendingWorkCount(), 0u);
    advance(seconds(600));
    EXPECT_EQ(store->records().size(), 2u);
}

TEST_F(SubscriptionServiceTest, ARestoredHistoryHoldsDistinctOriginalIdsPerProduct) {
    const auto transaction = [](std::optional<std::string> original, std::string productId) {
        return MVKStoreTransaction{"t-" + original.value_or("none"), std::move(original),
                                   std::move(productId)};
    };
    const auto prepared = service->prepareTransactions({
        transaction("first", "gold"),
        transaction(std::nullopt, "bronze"),
        transaction("third", "silver"),
        transaction("second", "gold"),
        transaction("first", "gold"),
    });
    EXPECT_EQ(prepared, (SubscriptionServiceProtocol::PreparedTransactions{
                            {"gold", {"first", "second"}}, {"silver", {"third"}}}));

    EXPECT_EQ(service->getDataForSBSREvent(), std::nullopt);
    service->processTransactions(prepared);
    const std::vector<RestoredTransaction> history{{"gold", {"first", "second"}},
                                                   {"silver", {"third"}}};
    EXPECT_EQ(storedInfo()->restoredTransaction, history);
    EXPECT_EQ(service->getDataForSBSREvent(), (SBSREventData{history, std::nullopt}));

    service->updateProducts({product("gold", 4.99, "EUR"), product("silver", 1.99, "USD")});
    EXPECT_EQ(service->getDataForSBSREvent(), (SBSREventData{history, "EUR"}));
    service->clearSubscriptionHistory();
    EXPECT_TRUE(storedInfo()->restoredTransaction.empty());
}

TEST_F(SubscriptionServiceTest, APaidProductIsKeptInMemoryUntilTheNextSave) {
    EXPECT_FALSE(service->checkIfContains(product("gold", 4.99)));
    EXPECT_TRUE(service->checkIfContains(product("gold", 4.99005)));
    EXPECT_EQ(service->findLocalProduct("gold"), product("gold", 4.99));
    EXPECT_EQ(service->findLocalProduct("silver"), std::nullopt);
    EXPECT_TRUE(storedInfo()->products.empty());

    service->markAsRestoredHistory();
    EXPECT_EQ(storedInfo()->products, (Products{product("gold", 4.99)}));
}

TEST_F(SubscriptionServiceTest, FlagChangesAreStored) {
    using Change = std::function<void(SubscriptionService&)>;
    const struct {
        const char* name;
        Change change;
        bool restored, sent, changed;
    } steps[] = {
        {"products changed", [](auto& s) { s.updateProducts({product("gold", 1)}); }, false, false,
         true},
        {"products event sent", [](auto& s) { s.resetSendProductsMark(); }, false, false, false},
        {"history restored", [](auto& s) { s.markAsRestoredHistory(); }, true, false, false},
        {"history sent", [](auto& s) { s.markAsSendRestoredHistory(); }, true, true, false},
        {"history reset", [](auto& s) { s.resetHistoryMark(); }, false, false, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.change(*service);
        const auto stored = storedInfo();
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->alreadyRestored, step.restored);
        EXPECT_EQ(stored->alreadySendRestoreEvent, step.sent);
        EXPECT_EQ(stored->productIsChanged, step.changed);
        EXPECT_EQ(service->isNeedRestoreHistory(), !step.restored);
        EXPECT_EQ(service->isNeedSendRestoredHistory(), !step.sent);
    }
}

}  // namespace
}  // namespace mvk

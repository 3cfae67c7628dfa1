#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "events/EventRecord.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKUserCard.hpp"
#include "support/FakeStore.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

std::vector<std::string> keys(const std::string& prefix, std::size_t count) {
    std::vector<std::string> names;
    names.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        names.push_back(prefix + std::to_string(n));
    }
    return names;
}

MVKStoreProduct discounted(std::size_t discounts) {
    auto product = storeProduct("gold.month", 4.99, "en_GB", "GB", "GBP");
    for (std::size_t n = 0; n < discounts; ++n) {
        product.discounts.push_back({"offer" + std::to_string(n), 0.99});
    }
    return product;
}

std::size_t parameterCount(const nlohmann::json& event) {
    return event["parameters"].size();
}

/// A host's list or map, however long, reaches the gateway as events the
/// report's reader takes whole: what one call or a run of calls adds is cut
/// (with a line) or reported in steps.
struct CollectionCase {
    const char* name;
    MVKStoreProduct atStart;
    std::function<void(LogicFlow&)> calls;
    const char* code;
    /// The host's entries an event of `code` carries.
    std::function<std::size_t(const nlohmann::json&)> entries;
    /// Of all events of `code` sent, and of the largest one.
    std::size_t total;
    std::size_t largest;
    const char* line;  // empty: no cut
};

void PrintTo(const CollectionCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicHostCollections : public LogicFlow,
                             public ::testing::WithParamInterface<CollectionCase> {
  public:
    void TearDown() override {
        MVKApplication::setStore(nullptr);
        LogicFlow::TearDown();
    }
};

TEST_P(LogicHostCollections, StayReadableAndAreSent) {
    const auto& c = GetParam();
    auto store = std::make_shared<FakeStore>();
    store->scriptProducts({c.atStart}, FakeStore::Delivery::insideStart);
    MVKApplication::setStore(store);
    answerConfiguration(R"(,"sbsBundles":["gold.month"])");
    LogCapture log(MVKLogLevel::warning);
    start();
    c.calls(*this);
    settle();
    onLogic([](AnalyticsProtocol& l) { l.sendBufferedEvents(); });

    std::size_t total = 0;
    std::size_t largest = 0;
    for (const auto& event : sent(c.code)) {
        total += c.entries(event);
        largest = std::max(largest, c.entries(event));
    }
    EXPECT_EQ(total, c.total);
    EXPECT_EQ(largest, c.largest);
    EXPECT_FALSE(log.containsFragment("can't be read"));
    if (*c.line) {
        EXPECT_TRUE(log.containsFragment(c.line)) << ::testing::PrintToString(log.messages());
    } else {
        EXPECT_FALSE(log.containsFragment("Only the first"));
    }
}

constexpr auto room = EventRecord::maxHostValues;
const auto plain = discounted(0);

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicHostCollections,
    ::testing::Values(
        CollectionCase{"OneUnsetOfAHundredThousandKeys", plain,
                       [](LogicFlow&) { MVKUserCard::unset(keys("k", 100'000)); }, "pl",
                       parameterCount, room, room,
                       "The keys array holds [100000] elements, more than it is permitted"},
        // Each unset past the card's key limit reports the card at once.
        CollectionCase{"UnsetsThatAddUp", plain,
                       [](LogicFlow&) {
                           for (const auto* prefix : {"a", "b", "c"}) {
                               MVKUserCard::unset(keys(prefix, room));
                           }
                       },
                       "pl", parameterCount, 3 * room, room, ""},
        // As a set does: past the 60 custom keys of the default limit.
        CollectionCase{"IncrementsThatAddUp", plain,
                       [](LogicFlow&) {
                           for (const auto& key : keys("n", 150)) {
                               MVKUserCard::incrementInt(key, 1);
                           }
                       },
                       "pl", parameterCount, 150, 61, ""},
        CollectionCase{"RestoredHistoryOfAHundredThousand", plain,
                       [](LogicFlow& flow) {
                           std::vector<MVKStoreTransaction> history;
                           for (const auto& id : keys("t", 100'000)) {
                               history.push_back({id, id, "gold.month"});
                           }
                           flow.onLogic(
                               [&](AnalyticsProtocol& l) { l.subscriptionHistory(history); });
                       },
                       "sbsr",
                       [](const nlohmann::json& event) {
                           return event["transactions"][0]["transactionIds"].size();
                       },
                       room - 3, room - 3, "The restored transactions take [100003] values"},
        CollectionCase{
            "StoreProductWithTwentyThousandDiscounts", discounted(20'000), [](LogicFlow&) {},
            "sbsp",
            [](const nlohmann::json& event) { return event["products"][0]["discounts"].size(); },
            room - 7, room - 7, "The discounts of a product take [20007] values"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "analytics/CurrencyAccrualService.hpp"
#include "analytics/LevelResourceService.hpp"
#include "events/CurrencyAccrualResourcesRepository.hpp"
#include "events/LevelResourcesRepository.hpp"
#include "services/ServiceStoreTest.hpp"

namespace mvk {
namespace {

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t int32Min = std::numeric_limits<std::int32_t>::min();

using Accruals = CurrencyAccrualServiceProtocol::Resources;
using Totals = LevelResourceServiceProtocol::Resources;

CurrencyAccrualResource accrual(const std::string& name, std::int64_t amount,
                                const std::string& source,
                                MVKAccrualType type = MVKAccrualType::earned) {
    return {.type = type, .name = name, .amount = amount, .source = source};
}

bool nothingAlongside() {
    return true;
}

LevelResource resource(LevelResourceType type, const std::string& name, std::int64_t amount) {
    return {.type = type, .name = name, .amount = amount};
}

/// Both services over the test's database; `reopened...` reads what a new
/// connection finds in the file.
class ResourceServicesTest : public test::ServiceStoreTest {
  protected:
    std::vector<CurrencyAccrualResource> reopenedAccruals() const {
        auto file = std::make_shared<SQLiteProvider>("app-key");
        return CurrencyAccrualResourcesRepository(file).list().value();
    }
    std::vector<LevelResource> reopenedTotals() const {
        auto file = std::make_shared<SQLiteProvider>("app-key");
        return LevelResourcesRepository(file).list().value();
    }

    std::shared_ptr<CurrencyAccrualResourcesRepository> accrualRows =
        std::make_shared<CurrencyAccrualResourcesRepository>(database);
    std::shared_ptr<LevelResourcesRepository> levelRows =
        std::make_shared<LevelResourcesRepository>(database);
    CurrencyAccrualService accruals{state, accrualRows};
    LevelResourceService levels{state, levelRows};
};

TEST_F(ResourceServicesTest, AccrualsSumPerTypeCurrencyAndSourceAndPersist) {
    clock->setWallClock(1'000);
    accruals.addCurrencyAccrual(accrual("gold", 10, "shop"), nothingAlongside);
    clock->setWallClock(2'000);
    accruals.addCurrencyAccrual(accrual("gold", 10, "shop"), nothingAlongside);
    accruals.addCurrencyAccrual(accrual("gold", 5, "quest"), nothingAlongside);
    accruals.addCurrencyAccrual(accrual("gold", 7, "shop", MVKAccrualType::bought),
                                nothingAlongside);

    const auto stored = reopenedAccruals();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].amount, 20);
    EXPECT_EQ(stored[0].timestamp, 2'000);
    EXPECT_EQ(stored[0].userId, state->user->idKey);
    EXPECT_EQ(accruals.getEarnedResources(1000, nullptr),
              (Accruals{{"quest", {{"gold", 5}}}, {"shop", {{"gold", 20}}}}));
    EXPECT_EQ(accruals.getBoughtResources(1000, state->user), (Accruals{{"shop", {{"gold", 7}}}}));
    EXPECT_EQ(accruals.getLastCreatedTime(*state->user), 2'000);
    EXPECT_TRUE(log.contains(MVKLogLevel::debug,
                             "Update CA resources: \n" + stored[0].description() + " "));

    // Another user's rows are neither read nor removed with the active user's.
    const auto other = state->addUser("player-2");
    EXPECT_EQ(accruals.getEarnedResources(1000, other), std::nullopt);
    EXPECT_EQ(accruals.getLastCreatedTime(*other), std::nullopt);
    state->activateUser("player-2");
    accruals.addCurrencyAccrual(accrual("gem", 1, "shop"), nothingAlongside);
    accruals.removeResources(*state->users.front());
    ASSERT_EQ(reopenedAccruals().size(), 1u);
    EXPECT_EQ(reopenedAccruals()[0].name, "gem");

    accruals.removeAllResources();
    EXPECT_TRUE(reopenedAccruals().empty());
    EXPECT_FALSE(accruals.isContainsCurrencyAccrual());
}

TEST_F(ResourceServicesTest, AccrualGettersAndRemovalTakeTheFirstRowsOfBothTypes) {
    accruals.addCurrencyAccrual(accrual("a", 1, "s"), nothingAlongside);
    accruals.addCurrencyAccrual(accrual("b", 2, "s", MVKAccrualType::bought), nothingAlongside);
    accruals.addCurrencyAccrual(accrual("c", 3, "s"), nothingAlongside);
    accruals.addCurrencyAccrual(accrual("d", 4, "s"), nothingAlongside);

    EXPECT_EQ(accruals.getEarnedResources(3, nullptr), (Accruals{{"s", {{"a", 1}, {"c", 3}}}}));
    // A negative limit from the gateway reads and removes nothing.
    EXPECT_EQ(accruals.getEarnedResources(-1, nullptr), std::nullopt);
    accruals.removeReportedResources(-1, nullptr);
    EXPECT_EQ(reopenedAccruals().size(), 4u);

    accruals.removeReportedResources(3, nullptr);
    const auto left = reopenedAccruals();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "d");
    EXPECT_TRUE(accruals.isContainsCurrencyAccrual());
}

TEST_F(ResourceServicesTest, AmountsSaturateAtThe32BitBoundsWithAnOverflowLine) {
    const struct {
        const char* name;
        std::int64_t stored;
        std::int64_t added;
        std::int64_t expected;
        bool overflowed;
    } cases[] = {
        {"500 below the max plus 1000", int32Max - 500, 1000, int32Max, true},
        {"a damaged INT64_MAX row plus 1", int64Max, 1, int32Max, true},
        {"a damaged INT64_MIN row minus 1", int64Min, -1, int32Min, true},
        {"within the bounds", 5, 7, 12, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        accrualRows->clear();
        levelRows->clear();
        log.clear();
        auto row = accrual("gold", c.stored, "shop");
        row.userId = state->user->idKey;
        accrualRows->insert(row);
        levelRows->insert({.userId = state->user->idKey,
                           .type = LevelResourceType::spent,
                           .name = "gold",
                           .amount = c.stored});

        accruals.addCurrencyAccrual(accrual("gold", c.added, "shop"), nothingAlongside);
        levels.addLevelResources({resource(LevelResourceType::spent, "gold", c.added)});

        ASSERT_EQ(reopenedAccruals().size(), 1u);
        EXPECT_EQ(reopenedAccruals()[0].amount, c.expected);
        ASSERT_EQ(reopenedTotals().size(), 1u);
        EXPECT_EQ(reopenedTotals()[0].amount, c.expected);
        EXPECT_EQ(log.contains(MVKLogLevel::error, "CA resource: gold is overflowed"),
                  c.overflowed);
        EXPECT_EQ(log.contains(MVKLogLevel::error, "LU resource: gold is overflowed"),
                  c.overflowed);
    }
}

TEST_F(ResourceServicesTest, LevelTotalsSumPerTypeAndCurrency) {
    levels.addLevelResources({resource(LevelResourceType::spent, "gold", 5)});
    // One call sums onto a stored row and onto the row it has just stored.
    EXPECT_TRUE(levels.addLevelResources({resource(LevelResourceType::earned, "gold", 3),
                                          resource(LevelResourceType::spent, "gold", 4),
                                          resource(LevelResourceType::spent, "gem", 1),
                                          resource(LevelResourceType::spent, "gold", 3)}));

    ASSERT_EQ(reopenedTotals().size(), 3u);
    EXPECT_EQ(levels.getSpentResources(1000), (Totals{{"gem", 1}, {"gold", 12}}));
    EXPECT_EQ(levels.getSpentResources(2), (Totals{{"gold", 12}}));
    EXPECT_EQ(levels.getEarnedResources(2), (Totals{{"gold", 3}}));
    EXPECT_EQ(levels.getBoughtResources(1000), std::nullopt);
    EXPECT_EQ(levels.getSpentResources(-1), std::nullopt);

    levels.removeInactiveUserData({state->addUser("player-2")});
    EXPECT_EQ(reopenedTotals().size(), 3u);
    levels.removeResourcesForActiveUser();
    EXPECT_TRUE(reopenedTotals().empty());
    EXPECT_EQ(levels.getSpentResources(1000), std::nullopt);
}

TEST_F(ResourceServicesTest, NothingIsStoredWhileTrackingOrAggregationIsOff) {
    const struct {
        const char* name;
        bool tracking;
        bool aggregation;
        std::size_t accrualRows;
        std::size_t levelRows;
    } cases[] = {
        {"tracking off", false, true, 0, 0},
        {"aggregation off", true, false, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        accrualRows->clear();
        levelRows->clear();
        state->project->trackingAvailable = c.tracking;
        state->user->isResourceAggregationEnable = c.aggregation;

        accruals.addCurrencyAccrual(accrual("gold", 1, "shop"), nothingAlongside);
        levels.addLevelResources({resource(LevelResourceType::spent, "gold", 1)});

        EXPECT_EQ(reopenedAccruals().size(), c.accrualRows);
        EXPECT_EQ(reopenedTotals().size(), c.levelRows);
    }
}

}  // namespace
}  // namespace mvk

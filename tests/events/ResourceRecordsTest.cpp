#include <gtest/gtest.h>

#include "events/CurrencyAccrualResource.hpp"
#include "events/LevelResource.hpp"
#include "foundation/ManualClock.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"

namespace mvk {
namespace {

class ResourceRecordsTest : public test::StorageTest {
  protected:
    SQLiteProvider database_{"app-key"};
};

TEST_F(ResourceRecordsTest, LevelResourceRowsReadWithUnknownTypesAsEarnedAndBadRowsSkipped) {
    ASSERT_TRUE(database_.raw(
        "INSERT INTO levelResource (userId, type, name, amount) VALUES "
        "(3, 0, 'gold', 10), (3, 1, 'gems', 2), (3, 2, 'gold', 7), (3, 7, 'wood', 1), "
        "(3, 2, NULL, 5), (NULL, 2, 'gold', 5), (3, 2, 'gold', 'many'), (3, 'x', 'gold', 1), "
        "(4, -1, 'stone', 0)"));
    const auto rows = query<LevelResource>(database_, {.tableName = "levelResource"}).value();
    ASSERT_EQ(rows.size(), 5u);
    const std::vector<std::tuple<std::int64_t, LevelResourceType, std::string, std::int64_t>>
        expected = {{3, LevelResourceType::earned, "gold", 10},
                    {3, LevelResourceType::bought, "gems", 2},
                    {3, LevelResourceType::spent, "gold", 7},
                    {3, LevelResourceType::earned, "wood", 1},
                    {4, LevelResourceType::earned, "stone", 0}};
    for (std::size_t index = 0; index < rows.size(); ++index) {
        SCOPED_TRACE(index);
        const auto& [userId, type, name, amount] = expected[index];
        EXPECT_GT(rows[index].idKey, 0);
        EXPECT_EQ(rows[index].userId, userId);
        EXPECT_EQ(rows[index].type, type);
        EXPECT_EQ(rows[index].name, name);
        EXPECT_EQ(rows[index].amount, amount);
    }
    EXPECT_EQ(rows[2].description(),
              "\t userId: 3, \n\t type: spent, \n\t name: gold, \n\t amount: 7");
}

TEST_F(ResourceRecordsTest, AccrualRowsReadWithEveryTypeButBoughtAsEarnedAndBadRowsSkipped) {
    ASSERT_TRUE(database_.raw(
        "INSERT INTO currencyAccrualResources (userId, type, name, amount, source, timestamp) "
        "VALUES (3, 1, 'gems', 100, 'store', 1600000000000), (3, 0, 'gold', 5, 'quest', 1), "
        "(3, 2, 'gold', 6, 'chest', 2), (3, 1, 'gems', 1, NULL, 3), (3, 1, NULL, 1, 'store', 4), "
        "(3, 1, 'gems', 1, 'store', 4.5), (3, 1, 'gems', 'one', 'store', 5)"));
    const auto rows =
        query<CurrencyAccrualResource>(database_, {.tableName = "currencyAccrualResources"})
            .value();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].type, MVKAccrualType::bought);
    EXPECT_EQ(rows[0].name, "gems");
    EXPECT_EQ(rows[0].amount, 100);
    EXPECT_EQ(rows[0].source, "store");
    EXPECT_EQ(rows[0].timestamp, 1'600'000'000'000);
    EXPECT_EQ(rows[1].type, MVKAccrualType::earned);
    EXPECT_EQ(rows[2].type, MVKAccrualType::earned);
    EXPECT_EQ(rows[2].source, "chest");
    EXPECT_EQ(
        rows[0].description(),
        "\t userId: 3, \n\t type: bought, \n\t name: gems, \n\t amount: 100 \n\t source: store");
}

TEST(ResourceRecordEqualityTest, IdentityIsUserKindNameAndSource) {
    auto clock = std::make_shared<ManualClock>(1'700'000'000'000);
    Clock::install(clock);
    const CurrencyAccrualResource gold{.userId = 3,
                                       .type = MVKAccrualType::earned,
                                       .name = "gold",
                                       .amount = 5,
                                       .source = "quest"};
    EXPECT_EQ(gold.idKey, -1);
    EXPECT_EQ(gold.timestamp, 1'700'000'000'000);
    clock->advance(1000);
    auto other = CurrencyAccrualResource{.idKey = 9,
                                         .userId = 3,
                                         .type = MVKAccrualType::earned,
                                         .name = "gold",
                                         .amount = 50,
                                         .source = "quest"};
    EXPECT_EQ(gold, other);
    other.source = "chest";
    EXPECT_NE(gold, other);
    Clock::install(nullptr);

    const LevelResource spent{
        .userId = 3, .type = LevelResourceType::spent, .name = "gold", .amount = 1};
    EXPECT_EQ(spent, (LevelResource{.idKey = 4,
                                    .userId = 3,
                                    .type = LevelResourceType::spent,
                                    .name = "gold",
                                    .amount = 99}));
    EXPECT_NE(spent,
              (LevelResource{
                  .userId = 3, .type = LevelResourceType::earned, .name = "gold", .amount = 1}));
    EXPECT_NE(spent,
              (LevelResource{
                  .userId = 4, .type = LevelResourceType::spent, .name = "gold", .amount = 1}));
}

TEST(LevelResourceTypeTest, RawValuesAndNames) {
    EXPECT_EQ(levelResourceTypeFromRawValue(0), LevelResourceType::earned);
    EXPECT_EQ(levelResourceTypeFromRawValue(1), LevelResourceType::bought);
    EXPECT_EQ(levelResourceTypeFromRawValue(2), LevelResourceType::spent);
    EXPECT_FALSE(levelResourceTypeFromRawValue(3));
    EXPECT_FALSE(levelResourceTypeFromRawValue(-1));
    EXPECT_EQ(description(LevelResourceType::bought), "bought");
    EXPECT_EQ(description(LevelResourceType::spent), "spent");
}

}  // namespace
}  // namespace mvk

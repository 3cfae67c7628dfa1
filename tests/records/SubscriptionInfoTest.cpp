#include <gtest/gtest.h>

#include "foundation/JsonCoding.hpp"
#include "purchases/SubscriptionInfo.hpp"
#include "records/RecordsTestSupport.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {
namespace {

using Entry = SQLiteContracts::SubscriptionEntry;

SubscriptionInfo sampleInfo() {
    SubscriptionInfo info(3);
    info.products = {
        SubscriptionProduct{.productId = "com.game.month",
                            .price = 4.99,
                            .regionCode = "US",
                            .currencyCode = "USD",
                            .introductoryPrice = 0.99,
                            .discounts = std::map<std::string, double>{{"winter", 2.49}}},
        SubscriptionProduct{.productId = "com.game.year",
                            .price = 39.99,
                            .regionCode = "US",
                            .currencyCode = "USD"},
    };
    info.restoredTransaction = {RestoredTransaction{"com.game.month", {"1000", "1001"}}};
    info.alreadyRestored = true;
    info.productIsChanged = true;
    return info;
}

class SubscriptionInfoTest : public ::testing::Test {
  protected:
    SubscriptionInfoTest() { db_.execute(SQLiteContracts::createTableSubscriptions); }

    test::MemoryDatabase db_;
};

TEST_F(SubscriptionInfoTest, NewRecordIsEmpty) {
    SubscriptionInfo info(8);
    EXPECT_EQ(info.idKey, -1);
    EXPECT_EQ(info.projectId, 8);
    EXPECT_TRUE(info.products.empty() && info.restoredTransaction.empty());
    EXPECT_FALSE(info.alreadyRestored || info.alreadySendRestoreEvent || info.productIsChanged);
}

TEST_F(SubscriptionInfoTest, RecordSurvivesTheTable) {
    auto info = sampleInfo();
    const auto id = db_.insert(Entry::tableName, info.contentValues());
    auto read = db_.readStored<SubscriptionInfo>(Entry::tableName, id);
    ASSERT_TRUE(read);
    info.idKey = id;
    EXPECT_EQ(*read, info);
    ASSERT_EQ(read->products.size(), 2u);
    EXPECT_EQ(read->products[0].introductoryPrice, 0.99);
    EXPECT_EQ(read->products[0].regionCode, "US");
    EXPECT_FALSE(read->products[1].discounts);
    EXPECT_EQ(read->restoredTransaction[0].transactionIds,
              (std::vector<std::string>{"1000", "1001"}));
}

TEST_F(SubscriptionInfoTest, ColumnsOfOtherTypes) {
    db_.execute("INSERT INTO subscriptions VALUES (2, 3, '[{\"productId\":1}]', '{}', 0, 7, 0)");
    auto broken = db_.readRow<SubscriptionInfo>("SELECT 1, 3, 'not json', '', 2, NULL, 1");
    ASSERT_TRUE(broken);
    EXPECT_TRUE(broken->products.empty());
    EXPECT_TRUE(broken->restoredTransaction.empty());
    EXPECT_TRUE(broken->alreadyRestored);
    EXPECT_FALSE(broken->productIsChanged);
    EXPECT_TRUE(broken->alreadySendRestoreEvent);

    auto other = db_.readStored<SubscriptionInfo>(Entry::tableName, 2);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->products.empty());
    EXPECT_TRUE(other->productIsChanged);

    EXPECT_FALSE(db_.readRow<SubscriptionInfo>("SELECT 1, 3, NULL, '[]', 0, 0, 0"));
    EXPECT_FALSE(db_.readRow<SubscriptionInfo>("SELECT 1, 3, '[]', 5, 0, 0, 0"));
    EXPECT_FALSE(db_.readRow<SubscriptionInfo>("SELECT 1, 'p', '[]', '[]', 0, 0, 0"));
}

TEST_F(SubscriptionInfoTest, UpdateWritesTheListsWithTheFlags) {
    db_.execute("INSERT INTO subscriptions VALUES (1, 3, 'garbage', '[]', 0, 0, 0)");
    auto info = *db_.readStored<SubscriptionInfo>(Entry::tableName, 1);
    info.alreadySendRestoreEvent = true;
    db_.update(Entry::tableName, info.contentValues(), info.idKey);
    EXPECT_EQ(db_.text("SELECT products FROM subscriptions WHERE id = 1"), "[]");
    EXPECT_TRUE(db_.readStored<SubscriptionInfo>(Entry::tableName, 1)->alreadySendRestoreEvent);

    // A price that cannot be written leaves an empty list, never a broken text.
    info.products = {SubscriptionProduct{
        .productId = "p", .price = std::nan(""), .regionCode = "US", .currencyCode = "USD"}};
    db_.update(Entry::tableName, info.contentValues(), info.idKey);
    EXPECT_EQ(db_.text("SELECT products FROM subscriptions WHERE id = 1"), "[]");
}

TEST_F(SubscriptionInfoTest, JsonFormNeedsEveryKey) {
    auto info = sampleInfo();
    info.idKey = 4;
    auto text = toJSONData(info);
    ASSERT_TRUE(text);
    EXPECT_EQ(decodeJson<SubscriptionInfo>(*text), info);
    auto json = nlohmann::json::parse(*text);
    for (const auto& [key, value] : json.items()) {
        auto partial = json;
        partial.erase(key);
        EXPECT_FALSE(SubscriptionInfo::fromJson(partial)) << key;
    }
    json["alreadyRestored"] = 1;
    EXPECT_FALSE(SubscriptionInfo::fromJson(json));
}

}  // namespace
}  // namespace mvk

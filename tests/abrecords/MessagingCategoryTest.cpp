#include <gtest/gtest.h>

#include "foundation/JsonCoding.hpp"
#include "records/MessagingCategory.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"

namespace mvk {
namespace {

std::string category(const std::string& button) {
    return R"({"id":"shop","buttons":[)" + button + "]}";
}

TEST(MessagingCategoryTest, GatewayFormNeedsTheModeKeyButAcceptsNull) {
    auto decoded = decodeJson<MessagingCategory>(
        category(R"({"id":"buy","text":"Buy","activationMode":null},)"
                 R"({"id":"open","text":"Open","activationMode":"foreground"})"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->idKey, -1);
    EXPECT_EQ(decoded->id, "shop");
    ASSERT_EQ(decoded->buttons.size(), 2u);
    EXPECT_EQ(decoded->buttons[0].activationMode, std::nullopt);
    EXPECT_EQ(decoded->buttons[1].activationMode, "foreground");

    const std::string failures[] = {
        category(R"({"id":"buy","text":"Buy"})"),
        category(R"({"id":"buy","text":"Buy","activationMode":1})"),
        category(R"({"id":"buy","activationMode":null})"),
        R"({"id":"shop","buttons":null})",
        R"({"id":"shop","buttons":{}})",
        R"({"buttons":[]})",
    };
    for (const auto& text : failures) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(decodeJson<MessagingCategory>(text));
    }
}

TEST(MessagingCategoryTest, HostFormHasIdAndButtonsOnlyAndOmitsAbsentMode) {
    const MessagingCategory shop{
        .idKey = 8,
        .id = "shop",
        .buttons = {{.id = "buy", .text = "Buy"},
                    {.id = "open", .text = "Open", .activationMode = "bg"}}};
    EXPECT_EQ(toJSONData(shop), R"({"id":"shop","buttons":[{"id":"buy","text":"Buy"},)"
                                R"({"id":"open","text":"Open","activationMode":"bg"}]})");
}

class MessagingCategoryRowTest : public test::StorageTest {
  protected:
    std::vector<MessagingCategory> rows() {
        return query<MessagingCategory>(provider_, {.tableName = "messagingCategory"}).value();
    }

    SQLiteProvider provider_{"app-key"};
};

TEST_F(MessagingCategoryRowTest, StoredButtonsReadBackWithoutTheModeKey) {
    const std::vector<MassagingButtonInfo> buttons = {
        {.id = "buy", .text = "Buy"}, {.id = "open", .text = "Open", .activationMode = "fg"}};
    auto id = provider_.insert("messagingCategory",
                               {{"identifier", "shop"}, {"buttons", *toJSONData(buttons)}});
    ASSERT_TRUE(id);
    const MessagingCategory expected{.idKey = *id, .id = "shop", .buttons = buttons};
    EXPECT_EQ(rows(), std::vector<MessagingCategory>{expected});
}

TEST_F(MessagingCategoryRowTest, RowsThatDoNotReadAreLeftOut) {
    const SQLiteValue good = R"([{"id":"buy","text":"Buy","activationMode":null}])";
    const std::pair<SQLiteValue, SQLiteValue> rowsToStore[] = {
        {"kept", good},
        {nullptr, good},
        {"no buttons", nullptr},
        {"empty buttons", ""},
        {"object buttons", R"({"id":"buy","text":"Buy"})"},
        {"bad mode", R"([{"id":"buy","text":"Buy","activationMode":5}])"},
        {"no text", R"([{"id":"buy"}])"},
    };
    for (const auto& [identifier, buttons] : rowsToStore) {
        ASSERT_TRUE(provider_.insert("messagingCategory",
                                     {{"identifier", identifier}, {"buttons", buttons}}));
    }
    auto read = rows();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].id, "kept");
    EXPECT_EQ(read[0].buttons[0].activationMode, std::nullopt);
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include "records/PeopleCard.hpp"
#include "records/RecordsTestSupport.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {
namespace {

using Keys = std::vector<std::string>;

class PeopleCardTest : public ::testing::Test {
  protected:
    PeopleCardTest() { db_.execute(SQLiteContracts::createPeopleCardEntry); }

    std::optional<PeopleCard> roundTrip(const PeopleCard& card) {
        const auto id =
            db_.insert(SQLiteContracts::PeopleCardEntry::tableName, card.contentValues());
        return db_.readStored<PeopleCard>(SQLiteContracts::PeopleCardEntry::tableName, id);
    }

    test::MemoryDatabase db_;
};

TEST_F(PeopleCardTest, CardSurvivesTheTable) {
    PeopleCard card(4);
    card.properties = {{"name", "Ann"}, {"age", 30}, {"score", 5.0}, {"gone", nullptr}};
    card.encodeProperties();
    card.changedKeys = {"name", "score", "gone"};
    card.updated = true;

    auto read = roundTrip(card);
    ASSERT_TRUE(read);
    EXPECT_GT(read->idKey, 0);
    EXPECT_EQ(read->userId, 4);
    EXPECT_EQ(read->json, card.json);
    EXPECT_EQ(read->properties, card.properties);
    EXPECT_EQ(read->properties.at("score").kind(), PeopleValueType::Kind::floating);
    EXPECT_EQ(read->changedKeys, card.changedKeys);
    EXPECT_TRUE(read->updated);
    EXPECT_FALSE(read->cleared);
}

TEST_F(PeopleCardTest, ChangedKeysColumnForms) {
    struct Case {
        Keys keys;
        std::string column;
    };
    const Case cases[] = {
        {{}, ""},
        {{"a"}, "a"},
        {{"a", "b", "c"}, "a,b,c"},
        {{"x,y", "z"}, R"(["x,y","z"])"},
        {{"[a]"}, R"(["[a]"])"},
        {{"[\"a\"]", "b"}, R"(["[\"a\"]","b"])"},
        {{"a", "[b"}, "a,[b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PeopleCard::changedKeysText(c.keys), c.column);
        PeopleCard card(1);
        card.changedKeys = c.keys;
        auto read = roundTrip(card);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->changedKeys, c.keys) << c.column;
    }
    // Rows written before the array form still read, as do texts that only
    // look like an array.
    EXPECT_EQ(PeopleCard::parseChangedKeys("name,age"), (Keys{"name", "age"}));
    EXPECT_EQ(PeopleCard::parseChangedKeys("[oops,b"), (Keys{"[oops", "b"}));
    EXPECT_EQ(PeopleCard::parseChangedKeys("[1,2]"), (Keys{"[1", "2]"}));
    EXPECT_EQ(PeopleCard::parseChangedKeys(",a,,b,"), (Keys{"a", "b"}));
    EXPECT_EQ(PeopleCard::parseChangedKeys(R"(["","a",""])"), (Keys{"a"}));
}

TEST_F(PeopleCardTest, RowReaderColumns) {
    auto card = db_.readRow<PeopleCard>(
        R"(SELECT 1, 2, '{"a":true,"b":2,"c":2.5,"d":"x","e":null,"f":[1]}', 2, NULL, NULL)");
    ASSERT_TRUE(card);
    EXPECT_EQ(card->properties,
              (PeopleProperties{{"a", true}, {"b", 2}, {"c", 2.5}, {"d", "x"}, {"e", nullptr}}));
    EXPECT_TRUE(card->updated);
    EXPECT_FALSE(card->cleared);
    EXPECT_TRUE(card->changedKeys.empty());

    auto odd = db_.readRow<PeopleCard>("SELECT 1, 2, '', 'yes', 0, 7");
    ASSERT_TRUE(odd);
    EXPECT_TRUE(odd->properties.empty());
    EXPECT_FALSE(odd->updated);
    EXPECT_TRUE(odd->changedKeys.empty());

    EXPECT_TRUE(db_.readRow<PeopleCard>("SELECT 1, 2, 'Not a valid JSON'")->properties.empty());
    EXPECT_FALSE(db_.readRow<PeopleCard>("SELECT 1, 2, NULL, 1, 1, 'a'"));
    EXPECT_FALSE(db_.readRow<PeopleCard>("SELECT 1, '2', '{}'"));
    EXPECT_FALSE(db_.readRow<PeopleCard>("SELECT 1.5, 2, '{}'"));
}

}  // namespace
}  // namespace mvk

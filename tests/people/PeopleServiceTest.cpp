#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "people/PeopleService.hpp"
#include "records/PeopleRepository.hpp"
#include "services/ServiceStoreTest.hpp"
#include "storage/SQLiteProvider.hpp"

namespace mvk {
namespace {

using Keys = std::vector<std::string>;

class PeopleServiceTest : public test::ServiceStoreTest {
  protected:
    PeopleServiceTest() {
        service->setPeopleCardIsChanged([this] { ++changes; });
        service->setOnClearedCard([this] { ++clears; });
    }

    /// A new user, stored and active, so each case starts from no card.
    std::shared_ptr<User> switchToNewUser(const std::string& id) {
        auto user = state->addUser(id);
        user->projectId = state->project->idKey;
        users->insert(user);
        state->activateUser(id);
        return user;
    }

    /// The user's rows as stored, read past every cache.
    std::vector<std::shared_ptr<PeopleCard>> storedCards(std::int64_t userId,
                                                         std::shared_ptr<DatabaseProtocol> from) {
        std::vector<std::shared_ptr<PeopleCard>> cards;
        const auto stored = PeopleRepository(std::move(from)).list();
        for (const auto& card : stored.value()) {
            if (card->userId == userId) {
                cards.push_back(card);
            }
        }
        return cards;
    }
    std::shared_ptr<PeopleCard> storedCard(std::int64_t userId) {
        auto cards = storedCards(userId, database);
        return cards.size() == 1 ? cards.front() : nullptr;
    }

    std::shared_ptr<PeopleRepository> cards = std::make_shared<PeopleRepository>(database);
    std::shared_ptr<PeopleService> service = std::make_shared<PeopleService>(state, cards);
    int changes = 0;
    int clears = 0;
};

TEST_F(PeopleServiceTest, WritingTheCard) {
    using Call = std::function<void(PeopleService&)>;
    const std::string overflow = "[User Card] The incremented value [k] caused overflow";
    const auto mismatch = [](const std::string& stored, const std::string& value) {
        return "[User Card] In the increment method an error has occurred: \n\tValue [" + stored +
               "] type does not match the increment value [" + value + "]";
    };
    const struct Case {
        const char* name;
        std::optional<PeopleValueType> stored;
        Call call;
        std::optional<PeopleValueType> value;
        const char* json;
        bool updated;
        Keys changedKeys;
        int listenerCalls;
        std::optional<std::pair<MVKLogLevel, std::string>> line;
    } cases[] = {
        {"an equal value writes nothing",
         5,
         [](auto& s) { s.setValue("k", 5); },
         5,
         R"({"k":5})",
         false,
         {},
         0,
         std::nullopt},
        {"integer 1 over double 1.0",
         1.0,
         [](auto& s) { s.setValue("k", 1); },
         1,
         R"({"k":1})",
         true,
         {"k"},
         1,
         std::pair{MVKLogLevel::info,
                   "[User Card] Value [1] for the key [k] was set successfully"}},
        {"increment of an absent key",
         std::nullopt,
         [](auto& s) { s.increment("k", 2.5); },
         2.5,
         R"({"k":2.5})",
         true,
         {"k"},
         1,
         std::pair{MVKLogLevel::info,
                   "[User Card] Value [2.5] for the key [k] was set successfully"}},
        {"INT64_MAX + 1",
         INT64_MAX,
         [](auto& s) { s.increment("k", 1); },
         INT64_MAX,
         R"({"k":9223372036854775807})",
         true,
         {"k"},
         1,
         std::pair{MVKLogLevel::error, overflow}},
        {"INT64_MIN - 1",
         INT64_MIN,
         [](auto& s) { s.increment("k", -1); },
         INT64_MIN,
         R"({"k":-9223372036854775808})",
         true,
         {"k"},
         1,
         std::pair{MVKLogLevel::error, overflow}},
        {"integer + double",
         2,
         [](auto& s) { s.increment("k", 0.5); },
         2.5,
         R"({"k":2.5})",
         true,
         {"k"},
         1,
         std::pair{MVKLogLevel::info,
                   "[User Card] New value [2.5] for the key [k] was successfully incremented"}},
        {"DBL_MAX + DBL_MAX",
         DBL_MAX,
         [](auto& s) { s.increment("k", DBL_MAX); },
         DBL_MAX,
         R"({"k":1.7976931348623157e+308})",
         true,
         {"k"},
         1,
         std::pair{MVKLogLevel::error, overflow}},
        {"increment of a text",
         "a",
         [](auto& s) { s.increment("k", 1); },
         "a",
         R"({"k":"a"})",
         true,
         {},
         1,
         std::pair{MVKLogLevel::error, mismatch("a", "1")}},
        {"increment of a flag",
         true,
         [](auto& s) { s.increment("k", 1.5); },
         true,
         R"({"k":true})",
         true,
         {},
         1,
         std::pair{MVKLogLevel::error, mismatch("true", "1.5")}},
        {"increment of an unset key",
         PeopleValueType(),
         [](auto& s) { s.increment("k", 1); },
         PeopleValueType(),
         R"({"k":null})",
         true,
         {},
         1,
         std::pair{MVKLogLevel::error, mismatch("<null>", "1")}},
        {"unset of a never-set key",
         std::nullopt,
         [](auto& s) { s.unset({"k"}); },
         PeopleValueType(),
         R"({"k":null})",
         true,
         {"k"},
         1,
         std::pair{MVKLogLevel::info,
                   "[User Card] Properties for key [k] were successfully unset"}},
        {"removeNulls after unset",
         PeopleValueType(),
         [](auto& s) { s.removeNulls(); },
         std::nullopt,
         "{}",
         true,
         {},
         1,
         std::nullopt},
        {"clearUser",
         "x",
         [](auto& s) { s.clearUser(); },
         std::nullopt,
         "{}",
         true,
         {},
         1,
         std::pair{MVKLogLevel::info, "[User Card] All user data was successfully cleared"}},
    };

    std::vector<std::shared_ptr<User>> caseUsers;
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const auto user = switchToNewUser(entry.name);
        caseUsers.push_back(user);
        if (entry.stored) {
            entry.stored->isNull() ? service->unset({"k"}) : service->setValue("k", *entry.stored);
            service->clearChangedKeys();
            service->unmarkUpdated();
        }
        changes = 0;
        clears = 0;
        log.clear();

        entry.call(*service);

        const auto card = service->getPeopleCard();
        const auto found = card->properties.find("k");
        ASSERT_EQ(found != card->properties.end(), entry.value.has_value());
        if (entry.value) {
            EXPECT_TRUE(found->second.isEqual(*entry.value)) << found->second.description();
        }
        const auto row = storedCard(user->idKey);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->json, entry.json);
        EXPECT_EQ(row->updated, entry.updated);
        EXPECT_EQ(row->changedKeys, entry.changedKeys);
        EXPECT_EQ(changes, entry.listenerCalls);
        if (entry.line) {
            EXPECT_TRUE(log.contains(entry.line->first, entry.line->second))
                << ::testing::PrintToString(log.messages());
        } else {
            EXPECT_TRUE(log.messages().empty()) << ::testing::PrintToString(log.messages());
        }
        EXPECT_EQ(row->cleared, std::string(entry.name) == "clearUser");
        EXPECT_EQ(clears, row->cleared ? 1 : 0);
    }

    // Each value keeps its kind through the file.
    auto reopened = std::make_shared<SQLiteProvider>("app-key");
    for (std::size_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(cases[index].name);
        const auto rows = storedCards(caseUsers[index]->idKey, reopened);
        ASSERT_EQ(rows.size(), 1u);
        const auto& properties = rows.front()->properties;
        const auto found = properties.find("k");
        ASSERT_EQ(found != properties.end(), cases[index].value.has_value());
        if (cases[index].value) {
            EXPECT_TRUE(found->second.isEqual(*cases[index].value)) << found->second.description();
        }
    }
}

TEST_F(PeopleServiceTest, ClearingCustomParamsKeepsReservedKeysAndTheChangedNames) {
    service->setValue("name", "Ann");
    service->setValue("score", 10);
    service->unset({"coins"});
    service->unmarkUpdated();
    changes = 0;
    EXPECT_EQ(service->getCustomKeyParamsCount(), 2);

    service->clearCustomParams();

    EXPECT_EQ(service->getParameters(true), (PeopleProperties{{"name", "Ann"}}));
    EXPECT_EQ(service->getParameters(false), (PeopleProperties{{"name", "Ann"}}));
    EXPECT_EQ(service->getCustomKeyParamsCount(), 0);
    EXPECT_EQ(changes, 1);
    const auto row = storedCard(state->user->idKey);
    EXPECT_EQ(row->json, R"({"name":"Ann"})");
    EXPECT_FALSE(row->updated);
    EXPECT_EQ(row->changedKeys, (Keys{"name", "score", "coins"}));
}

TEST_F(PeopleServiceTest, EachUserHasOneCard) {
    const auto first = state->user;
    service->isNeedToSend();
    service->isNeedToSend();
    const auto rows = storedCards(first->idKey, database);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front()->idKey, service->getPeopleCard()->idKey);
    EXPECT_GT(rows.front()->idKey, 0);

    service->setValue("level", 3);
    const auto second = switchToNewUser("player-2");
    service->setValue("level", 9);
    std::optional<PeopleValueType> read;
    service->getValue("level", [&](auto value) { read = value; });
    EXPECT_EQ(read, PeopleValueType(9));
    EXPECT_EQ(storedCard(first->idKey)->json, R"({"level":3})");

    service->removeInactiveUserData(state->getInactiveProjectUsers().value());
    EXPECT_TRUE(storedCards(first->idKey, database).empty());
    EXPECT_EQ(storedCard(second->idKey)->json, R"({"level":9})");
}

TEST_F(PeopleServiceTest, ACardWhoseInsertFailedKeepsItsValuesUntilTheInsertSucceeds) {
    ASSERT_TRUE(
        database->raw("CREATE TRIGGER refuse BEFORE INSERT ON peopleCards "
                      "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    service->setValue("a", 1);
    service->clearUser();
    service->setValue("b", 2);
    EXPECT_TRUE(storedCards(state->user->idKey, database).empty());
    EXPECT_TRUE(service->isNeedToClear());
    EXPECT_EQ(service->getParameters(false), (PeopleProperties{{"b", 2}}));

    ASSERT_TRUE(database->raw("DROP TRIGGER refuse"));
    service->setValue("c", 3);
    service->setValue("d", 4);

    const auto rows = storedCards(state->user->idKey, database);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front()->json, R"({"b":2,"c":3,"d":4})");
    EXPECT_TRUE(rows.front()->cleared);
    EXPECT_EQ(rows.front()->changedKeys, (Keys{"a", "b", "c", "d"}));
}

// A folder made read-only or a full disk refuses the write: the player's
// change must not be logged as done, whether the card was stored before
// (update) or not yet (insert).
TEST_F(PeopleServiceTest, ACardTheFileRefusesIsNeverLoggedAsWritten) {
    const struct Case {
        const char* name;
        std::function<void(PeopleService&)> call;
        std::string line;
    } cases[] = {
        {"set", [](auto& s) { s.setValue("k", 2); }, "Value [2] for the key [k]"},
        {"increment of an absent key", [](auto& s) { s.increment("n", 3); },
         "Value [3] for the key [n]"},
        {"increment", [](auto& s) { s.increment("k", 4); }, "Value [5] for the key [k]"},
        {"unset",
         [](auto& s) {
             s.unset({"k", "j"});
         },
         "The unset of the properties for key [k,j]"},
        {"clear", [](auto& s) { s.clearUser(); }, "The clearing of all user data"},
    };
    for (const char* refused : {"UPDATE", "INSERT"}) {
        for (const auto& entry : cases) {
            SCOPED_TRACE(std::string(refused) + " refused, " + entry.name);
            switchToNewUser(std::string(refused) + entry.name);
            const auto refuse = [&] {
                ASSERT_TRUE(
                    database->raw(std::string("CREATE TRIGGER refuse BEFORE ") + refused +
                                  " ON peopleCards BEGIN SELECT RAISE(ABORT, 'full'); END"));
            };
            // An insert refused from the start leaves the card in memory only.
            if (std::string(refused) == "INSERT") {
                refuse();
            }
            service->setValue("k", 1);
            if (std::string(refused) == "UPDATE") {
                refuse();
            }
            log.clear();
            entry.call(*service);
            ASSERT_TRUE(database->raw("DROP TRIGGER refuse"));

            EXPECT_FALSE(log.containsFragment("successfully"))
                << ::testing::PrintToString(log.messages());
            EXPECT_TRUE(log.contains(MVKLogLevel::error,
                                     "[User Card] " + entry.line +
                                         " was not stored: the user card could not be written"))
                << ::testing::PrintToString(log.messages());
        }
    }
}

}  // namespace
}  // namespace mvk

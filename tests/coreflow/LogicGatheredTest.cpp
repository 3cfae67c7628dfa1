#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

MVKAnalyticsConfiguration user(const std::string& id) {
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId(id);
    return configuration;
}

TEST_F(LogicFlow, SavedAccrualsGoOutOldestSessionFirstWithTheirLatestTimes) {
    start(user("alice"));
    h.dropCore();
    settle();
    execute(
        "UPDATE users SET sessionId = 100;"
        "INSERT INTO users (projectId, level, sessionId, userId, isDefaultUser, "
        "isResourceAggregationEnable) VALUES (1, 2, 50, 'older', 0, 1);"
        "INSERT INTO users (projectId, level, userId, isDefaultUser, "
        "isResourceAggregationEnable) VALUES (1, 1, 'sessionless', 0, 1);"
        "INSERT INTO currencyAccrualResources (userId, type, name, amount, source, timestamp) "
        "VALUES (1, 0, 'gold', 5, 'quest', 1000), (1, 0, 'gems', 1, 'quest', 3000), "
        "(2, 1, 'gold', 9, 'shop', 2000), (2, 0, 'gold', 1, 'quest', 1500), "
        "(3, 0, 'gold', 4, 'quest', 1200);");
    h.gateway().clearRequests();
    h.clock->advance(700'000);
    Validator::resetSettingsForTesting();
    start(user("alice"));

    const auto accruals = sent("ca");
    ASSERT_EQ(accruals.size(), 2u);
    EXPECT_EQ(accruals[0]["sessionId"], 50);
    EXPECT_EQ(accruals[0]["timestamp"], 2000);
    EXPECT_EQ(accruals[0]["level"], 2);
    EXPECT_EQ(accruals[0]["bought"], nlohmann::json({{"shop", {{"gold", 9}}}}));
    EXPECT_EQ(accruals[1]["sessionId"], 100);
    EXPECT_EQ(accruals[1]["timestamp"], 3000);
    EXPECT_EQ(accruals[1]["earned"], nlohmann::json({{"quest", {{"gems", 1}, {"gold", 5}}}}));
    EXPECT_EQ(h.columnTexts("currencyAccrualResources", "userId"), std::vector<std::string>{"3"})
        << "a user without a session keeps its rows";
}

TEST_F(LogicFlow, AnAccrualEventRemovesOnlyTheRowsItReports) {
    answerConfiguration(R"(,"numberOfCurrencies":3)");
    start();
    onLogic([](AnalyticsProtocol& l) {
        for (const char* currency : {"gold", "gems", "wood", "iron"}) {
            l.currencyAccrual(currency, 2, "quest", MVKAccrualType::earned);
        }
        l.setCurrentLevel(5);
    });
    ASSERT_EQ(sent("ca").size(), 1u);
    EXPECT_EQ(sent("ca")[0]["earned"]["quest"].size(), 3u);
    EXPECT_EQ(h.columnTexts("currencyAccrualResources", "name"), std::vector<std::string>{"iron"});

    // Nor does the level-up's clean-up take the one still waiting.
    onLogic([](AnalyticsProtocol& l) { l.levelUp(6, {}); });
    ASSERT_EQ(sent("ca").size(), 2u);
    EXPECT_EQ(sent("ca")[1]["earned"], nlohmann::json({{"quest", {{"iron", 2}}}}));
    EXPECT_TRUE(h.columnTexts("currencyAccrualResources", "name").empty());
}

TEST_F(LogicFlow, AccrualsStayUntilAnAccrualEventHoldingThemIsStored) {
    start();
    h.dropCore();
    settle();
    execute(
        "CREATE TRIGGER full BEFORE INSERT ON events WHEN NEW.code = 'ca' "
        "BEGIN SELECT RAISE(ABORT, 'full'); END");
    Validator::resetSettingsForTesting();
    start();
    const std::string kept =
        "The currency accrual event can't be stored; its accruals stay for the next one";
    LogCapture log;
    onLogic([](AnalyticsProtocol& l) {
        l.currencyAccrual("gold", 2, "quest", MVKAccrualType::earned);
        l.setCurrentLevel(5);
    });
    EXPECT_EQ(h.columnTexts("currencyAccrualResources", "name"), std::vector<std::string>{"gold"});
    EXPECT_TRUE(log.contains(MVKLogLevel::error, kept));

    // Nor does the next session's event for the saved rows take them when it fails.
    log.clear();
    h.clock->advance(700'000);
    restart();
    EXPECT_EQ(h.columnTexts("currencyAccrualResources", "name"), std::vector<std::string>{"gold"});
    EXPECT_TRUE(log.contains(MVKLogLevel::error, kept));
    EXPECT_TRUE(sent("ca").empty());

    h.dropCore();
    settle();
    execute("DROP TRIGGER full");
    h.clock->advance(700'000);
    restart();
    const auto accruals = sent("ca");
    ASSERT_EQ(accruals.size(), 1u);
    EXPECT_EQ(accruals[0]["earned"], nlohmann::json({{"quest", {{"gold", 2}}}}));
    EXPECT_TRUE(h.columnTexts("currencyAccrualResources", "name").empty());
}

TEST_F(LogicFlow, WithoutUserCountingTheOtherUsersRowsGo) {
    start(user("alice"));
    onLogic([](AnalyticsProtocol& l) {
        l.currencyAccrual("gold", 1, "quest", MVKAccrualType::earned);
        l.setUserId("bob");
        l.customEvent("bobs", std::nullopt);
        l.currencyAccrual("gold", 1, "quest", MVKAccrualType::earned);
        l.setUserId("alice");
    });
    ASSERT_EQ(h.columnTexts("users", "userId").size(), 2u);
    answerConfiguration("", false);
    restart(user("alice"));
    EXPECT_EQ(h.columnTexts("users", "userId"), std::vector<std::string>{"alice"});
    const auto aliceId = h.columnTexts("users", "id").front();
    for (const auto& table : {"events", "reports", "currencyAccrualResources", "levelResource"}) {
        for (const auto& owner : h.columnTexts(table, "userId")) {
            EXPECT_EQ(owner, aliceId) << table;
        }
    }
}

}  // namespace
}  // namespace mvk::test

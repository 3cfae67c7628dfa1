#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "abtest/RemoteConfigStore.hpp"
#include "analytics/AnalyticsLogic.hpp"
#include "core/ServiceFactory.hpp"
#include "coreflow/ABTestFlowHarness.hpp"
#include "coreflow/LogicFlowFixture.hpp"
#include "coreflow/StuckUserFactory.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

struct UserCase {
    const char* name;
    std::optional<std::string> startUser;
    std::function<void(AnalyticsProtocol&)> call;
    std::string userAfter;
    std::string line;
    bool newSession;
};

void PrintTo(const UserCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicUsers : public LogicFlow, public ::testing::WithParamInterface<UserCase> {};

TEST_P(LogicUsers, SetAndReplaceChooseTheUserAndItsSession) {
    const auto& c = GetParam();
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId(c.startUser);
    start(configuration);
    h.clock->advance(700'000);
    LogCapture log(MVKLogLevel::debug);
    onLogic(c.call);
    std::string active;
    onLogic([&](AnalyticsProtocol& logic) {
        logic.getUserId([&](const std::string& id) { active = id; });
    });
    // The default user is named by the device identifier.
    EXPECT_EQ(active, c.userAfter == "<device>"
                          ? h.columnTexts("deviceIdentifiers", "deviceIdentifier").front()
                          : c.userAfter);
    EXPECT_TRUE(log.containsFragment(c.line)) << c.line;
    EXPECT_EQ(sent("ss").size(), c.newSession ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicUsers,
    ::testing::Values(UserCase{"SetToAnotherCountedUser", "alice",
                               [](AnalyticsProtocol& l) { l.setUserId("bob"); }, "bob",
                               "The userId [alice] changed to [bob]!", true},
                      UserCase{"SetTheSameId", "alice",
                               [](AnalyticsProtocol& l) { l.setUserId("alice"); }, "alice",
                               "The current userId is equal to the new userId [alice]!", false},
                      UserCase{"SetEmptyOnTheDefaultUser", std::nullopt,
                               [](AnalyticsProtocol& l) { l.setUserId(""); }, "<device>",
                               "The current user is already a default user!", false},
                      UserCase{"SetFromTheDefaultUserKeepsTheActivity", std::nullopt,
                               [](AnalyticsProtocol& l) { l.setUserId("carol"); }, "carol",
                               "changed to [carol]!", false},
                      UserCase{"ReplaceTheActiveUsersId", "alice",
                               [](AnalyticsProtocol& l) { l.replaceUserId("alice", "alicia"); },
                               "alicia", "UserId: [alice] renamed to [alicia]", false},
                      UserCase{"ReplaceAnUnknownId", "alice",
                               [](AnalyticsProtocol& l) { l.replaceUserId("nobody", "x"); },
                               "alice", "The userId: [nobody] not found!", false},
                      UserCase{"ReplaceOntoTheSameId", "alice",
                               [](AnalyticsProtocol& l) { l.replaceUserId("alice", "alice"); },
                               "alice", "The fromUserId is equal to the toUserId [alice]!", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogicFlow, ReplacingOntoAnotherStoredUsersIdDeletesThatUserFirst) {
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId("alice");
    start(configuration);
    onLogic([](AnalyticsProtocol& l) {
        l.setUserId("bob");
        l.customEvent("bobs", std::nullopt);
        l.setUserId("alice");
        l.replaceUserId("alice", "bob");
    });
    EXPECT_EQ(h.columnTexts("users", "userId"), std::vector<std::string>{"bob"});
    EXPECT_EQ(h.columnTexts("users", "previousUserId"), std::vector<std::string>{"alice"});
    for (const auto& json : h.columnTexts("events", "eventJson")) {
        EXPECT_EQ(json.find("bobs"), std::string::npos) << "the old bob's events went with it";
    }
}

struct SwitchCase {
    const char* name;
    /// Ends in the foreground with the user that the switch leaves.
    std::function<void(LogicFlow&)> setUp;
    std::function<void(AnalyticsProtocol&)> toStoredUser;
    /// The row left stays, so its period ends with an engagement of its own.
    bool leftRowStays;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << c.name;
}

MVKAnalyticsConfiguration asUser(const std::string& id) {
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId(id);
    return configuration;
}

// The stored row that takes the id must not go while it is still the active
// one: the player would go on under a row that no longer exists.
TEST_F(LogicFlow, ReplacingOntoTheActiveUsersIdKeepsItWhenNoOtherRowCanBeActivated) {
    Core::setAnalyticsLogicMakerForTesting(
        [](ServiceFactoryProtocol& factory,
           const std::shared_ptr<LifeCycleRepositoryProtocol>& lifeCycle)
            -> std::shared_ptr<AnalyticsProtocol> {
            StuckUserFactory stuck(factory, "alice");
            auto logic =
                AnalyticsLogic::make(stuck, dynamic_cast<ServiceFactory&>(factory).stateManager(),
                                     lifeCycle, QueueManager::incomeQueue().queue());
            logic->prepareCallBacks();
            logic->applyAnalyticsConfiguration(std::nullopt);
            logic->tryStartSDK();
            return logic;
        });
    start(asUser("alice"));
    LogCapture log(MVKLogLevel::error);
    onLogic([](AnalyticsProtocol& l) {
        l.setUserId("bob");
        l.customEvent("bobs", std::nullopt);
        l.replaceUserId("alice", "bob");
    });
    EXPECT_TRUE(
        log.contains(MVKLogLevel::error,
                     "The userId: [alice] could not be activated!\t\nReplace not possible!"));
    EXPECT_EQ(h.columnTexts("users", "userId"), (std::vector<std::string>{"alice", "bob"}));
    onLogic([](AnalyticsProtocol& l) { l.sendBufferedEvents(); });
    EXPECT_EQ(sent("ce").size(), 1u) << "bob's event stays his";
}

class LogicSwitch : public LogicFlow, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(LogicSwitch, TheStoredUserPlaysInASessionOfItsOwn) {
    const auto& c = GetParam();
    c.setUp(*this);
    h.clock->advance(700'000);
    const auto switchedAt = h.clock->nowMillis();
    onLogic([&](AnalyticsProtocol& l) {
        c.toStoredUser(l);
        l.customEvent("played", std::nullopt);
    });
    h.clock->advance(3000);
    h.application->didEnterBackground();
    settle();

    ASSERT_FALSE(sent("ss").empty());
    EXPECT_EQ(sent("ss").back()["sessionId"], switchedAt);
    ASSERT_EQ(sent("ce").size(), 1u);
    EXPECT_EQ(sent("ce").front()["sessionId"], switchedAt);
    std::vector<std::int64_t> lengths;
    for (const auto& engagement : sent("ue")) {
        lengths.push_back(engagement["length"].get<std::int64_t>());
    }
    ASSERT_FALSE(lengths.empty());
    EXPECT_EQ(sent("ue").back()["sessionId"], switchedAt);
    EXPECT_EQ(lengths.back(), 3);
    if (c.leftRowStays) {
        EXPECT_NE(std::find(lengths.begin(), lengths.end(), 700), lengths.end())
            << "the period of the user left ends when it is left";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicSwitch,
    ::testing::Values(SwitchCase{"LogoutThenLogin",
                                 [](LogicFlow& t) {
                                     t.start(asUser("alice"));
                                     t.onLogic([](AnalyticsProtocol& l) { l.setUserId(""); });
                                 },
                                 [](AnalyticsProtocol& l) { l.setUserId("alice"); }, true},
                      SwitchCase{"ReplaceTheActiveUserOntoAStoredOne",
                                 [](LogicFlow& t) {
                                     t.start(asUser("alice"));
                                     t.onLogic([](AnalyticsProtocol& l) { l.setUserId("bob"); });
                                 },
                                 [](AnalyticsProtocol& l) { l.replaceUserId("alice", "bob"); },
                                 false},
                      SwitchCase{"AStoredUserThatNeverHadASession",
                                 [](LogicFlow& t) {
                                     t.start(asUser("dave"));
                                     t.onLogic([](AnalyticsProtocol& l) {
                                         l.setTrackingAvailability(false);
                                         l.setUserId("carol");
                                         l.setUserId("");
                                         l.setTrackingAvailability(true);
                                     });
                                 },
                                 [](AnalyticsProtocol& l) { l.setUserId("carol"); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

class LogicSwitchWithOffer : public LogicFlow {
  public:
    LogicSwitchWithOffer() { RemoteConfigStore::shared().resetForTesting(); }
    ~LogicSwitchWithOffer() override { RemoteConfigStore::shared().resetForTesting(); }

    /// The custom events sent, each with the experiments it carries.
    std::vector<std::string> played() const {
        std::vector<std::string> events;
        for (const auto& event : sent("ce")) {
            events.push_back(event.value("name", "") + (event.contains("inExperiments")
                                                            ? " " + event["inExperiments"].dump()
                                                            : std::string()));
        }
        return events;
    }

    void play(const std::string& name) {
        onLogic([&](AnalyticsProtocol& l) { l.customEvent(name, std::nullopt); });
        for (int round = 0; round < 5; ++round) {
            settle();
        }
    }

    void applyOfferedGroup() {
        MVKRemoteConfig::applyConfig();
        play("applied");
    }
};

TEST_F(LogicSwitchWithOffer, HeldEventsKeepTheExperimentOfTheUserWhoPlayedThem) {
    answerExperimentSeven(h.gateway());
    auto listener = std::make_shared<RecordingListener>();
    MVKRemoteConfig::setDefaults({{"speed", std::int64_t{1}}});
    MVKAnalytics::initializeWithAbTest(key, asUser("bob"), listener);
    settle();
    play("go");
    applyOfferedGroup();
    onLogic([](AnalyticsProtocol& l) { l.setUserId("alice"); });
    play("go");  // alice's own offer is answered, and waits for the host
    play("later");
    onLogic([](AnalyticsProtocol& l) { l.setUserId("bob"); });
    applyOfferedGroup();
    onLogic([](AnalyticsProtocol& l) { l.sendBufferedEvents(); });

    const std::string marker = R"( [{"group":"B","id":7}])";
    EXPECT_EQ(played(), (std::vector<std::string>{"go" + marker, "applied" + marker, "go", "later",
                                                  "applied" + marker}))
        << "bob's, alice's, then bob's again";
}

TEST_F(LogicFlow, TrackingOffSendsItsStatusAndNothingStoredBefore) {
    start();
    const auto before = sentEvents().size();
    onLogic([](AnalyticsProtocol& l) {
        l.customEvent("stored-before", std::nullopt);
        l.currencyAccrual("gold", 3, "quest", MVKAccrualType::earned);
        l.setTrackingAvailability(false);
    });
    const auto events = sentEvents();
    ASSERT_GT(events.size(), before);
    std::vector<std::string> codesAfter;
    for (auto it = events.begin() + static_cast<std::ptrdiff_t>(before); it != events.end(); ++it) {
        codesAfter.push_back(it->value("code", ""));
    }
    EXPECT_EQ(codesAfter, std::vector<std::string>{"ts"})
        << "neither the stored custom event nor the accrual may leave";
    EXPECT_EQ(sent("ts").back()["trackingAllowed"], false);
    EXPECT_TRUE(h.columnTexts("events", "code").empty());
    EXPECT_TRUE(h.columnTexts("reports", "uuid").empty());
    EXPECT_TRUE(h.columnTexts("currencyAccrualResources", "id").empty());
    EXPECT_EQ(h.columnTexts("deviceIdentifiers", "morvanixId"), std::vector<std::string>{"NULL"});

    onLogic([](AnalyticsProtocol& l) {
        l.customEvent("while-off", std::nullopt);
        l.setTrackingAvailability(true);
        l.sendBufferedEvents();
    });
    const auto statuses = sent("ts");
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses.back()["trackingAllowed"], true);
    for (const auto& event : sent("ce")) {
        EXPECT_NE(event.value("name", ""), "stored-before");
        EXPECT_NE(event.value("name", ""), "while-off");
    }
}

struct LevelCase {
    const char* name;
    std::int64_t from;
    std::int64_t to;
    bool carriesResources;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicLevelUp : public LogicFlow, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LogicLevelUp, OnlyTheNextLevelCarriesTheCollectedResources) {
    const auto& c = GetParam();
    start();
    onLogic([&](AnalyticsProtocol& l) {
        l.setCurrentLevel(c.from);
        l.levelUp(c.from, {});  // collects from here on
        l.currencyAccrual("gold", 7, "quest", MVKAccrualType::earned);
        l.virtualCurrencyPayment("sword", "weapon", 1, {{"gold", 4}});
        l.levelUp(c.to, {{"gold", 3}});
    });
    const auto levelUps = sent("lu");
    ASSERT_EQ(levelUps.size(), 2u);
    const auto& last = levelUps.back();
    EXPECT_EQ(last["level"].get<std::int64_t>(), c.to);
    EXPECT_EQ(last["balance"], nlohmann::json({{"gold", 3}}));
    EXPECT_EQ(last.contains("earned"), c.carriesResources);
    EXPECT_EQ(last.contains("spent"), c.carriesResources);
    if (c.carriesResources) {
        EXPECT_EQ(last["earned"], nlohmann::json({{"gold", 7}}));
        EXPECT_EQ(last["spent"], nlohmann::json({{"gold", 4}}));
    }
    EXPECT_TRUE(h.columnTexts("levelResource", "id").empty());
    std::int64_t level = 0;
    onLogic([&](AnalyticsProtocol& l) { l.getCurrentLevel([&](std::int64_t v) { level = v; }); });
    EXPECT_EQ(level, c.to);
}

constexpr auto maxLevel = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicLevelUp,
    ::testing::Values(LevelCase{"ThreeToFour", 3, 4, true}, LevelCase{"ThreeToFive", 3, 5, false},
                      LevelCase{"FromTheLargestLevel", maxLevel, 1, false},
                      LevelCase{"ToTheLargestLevel", maxLevel - 1, maxLevel, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test

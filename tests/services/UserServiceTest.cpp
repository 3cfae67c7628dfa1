#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <vector>

#include "services/ServiceStoreTest.hpp"
#include "state/UserService.hpp"

namespace mvk {
namespace {

class UserServiceTest : public test::ServiceStoreTest {
  protected:
    UserService service{state, users, tutorials};
};

TEST_F(UserServiceTest, BackendIdsAreRenewedOnceTheirTimeoutHasPassedEitherWay) {
    const std::int64_t now = clock->nowMillis();
    const struct {
        const char* name;
        std::optional<std::int64_t> timestamp;
        std::optional<std::int64_t> timeout;
        bool needReset;
    } cases[] = {
        {"no timestamp", std::nullopt, std::nullopt, true},
        {"a day less a millisecond", now - 86'399'999, std::nullopt, false},
        {"a day", now - 86'400'000, std::nullopt, true},
        {"a day ahead", now + 86'400'000, std::nullopt, true},
        {"configured timeout not reached", now - 999, 1'000, false},
        {"configured timeout reached", now - 1'000, 1'000, true},
        {"a difference that would wrap", INT64_MIN, std::nullopt, true},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        state->device->morvanixId = 5;
        state->device->morvanixIdTimestamp = entry.timestamp;
        state->project->configuration.morvanixIdTimeout = entry.timeout;
        EXPECT_EQ(service.needResetMorVanixIds(), entry.needReset);
        EXPECT_EQ(service.hasMorVanixIds(), entry.timestamp.has_value());
    }
}

TEST_F(UserServiceTest, SwitchingToAnotherUserReportsThePreviousOne) {
    const auto first = state->user;
    std::vector<std::shared_ptr<User>> previous;
    service.setUserIsChanged([&](const std::shared_ptr<User>& user) { previous.push_back(user); });

    service.activateUser("player-1");
    EXPECT_TRUE(previous.empty());
    service.activateUser("player-2");
    ASSERT_EQ(previous.size(), 1u);
    EXPECT_EQ(previous.front(), first);
    EXPECT_EQ(service.getActiveUserId(), "player-2");
}

TEST_F(UserServiceTest, RemovedUsersLeaveTheTableAndAreReported) {
    for (const char* id : {"player-2", "player-3"}) {
        auto user = state->addUser(id);
        users->insert(user);
    }
    std::vector<std::int64_t> reported;
    service.setUsersIdsForDelete([&](const auto& ids) { reported = ids; });

    const auto inactive = service.getInactiveUsers().value();
    ASSERT_EQ(inactive.size(), 2u);
    EXPECT_TRUE(service.removeInactiveUserData(inactive));
    EXPECT_EQ(reported, (std::vector<std::int64_t>{inactive[0]->idKey, inactive[1]->idKey}));
    EXPECT_EQ(UserRepository(database).list().value().size(), 1u);
}

TEST_F(UserServiceTest, TutorialStepsAreMarkedPerUser) {
    EXPECT_TRUE(service.markTutorialStep(3));
    EXPECT_EQ(service.isTutorialStepMarked(3), MarkLookup::marked);
    EXPECT_EQ(service.isTutorialStepMarked(4), MarkLookup::notMarked);
    service.activateUser("player-2");
    EXPECT_EQ(service.isTutorialStepMarked(3), MarkLookup::notMarked);
}

TEST_F(UserServiceTest, LevelAndResourceAggregationAreStored) {
    int levelChanges = 0;
    service.setLevelIsChanged([&] { ++levelChanges; });
    service.setUserLevel(7);
    service.resourceAggregation(false);
    const auto stored = storedUser(state->user->idKey);
    EXPECT_EQ(stored->level, 7);
    EXPECT_FALSE(stored->isResourceAggregationEnable);
    EXPECT_EQ(levelChanges, 1);
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "Resource aggregation is Disable"));
}

TEST_F(UserServiceTest, ClearingALocationLogsOnlyWhenAskedAndOneIsOpen) {
    log.clear();
    service.clearLocation(true);
    service.activateLocation(Location{.name = "castle", .startTimestamp = 1});
    service.clearLocation(false);
    EXPECT_EQ(service.getLocation(), std::nullopt);
    service.activateLocation(Location{.name = "forest", .startTimestamp = 2});
    service.clearLocation(true);
    EXPECT_EQ(log.messages(),
              std::vector<std::string>{"DEBUG The location: forest has been canceled"});
}

}  // namespace
}  // namespace mvk

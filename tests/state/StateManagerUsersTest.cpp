#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "StateHarness.hpp"
#include "events/EventObject.hpp"
#include "foundation/JsonCoding.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

const std::optional<std::string> absent;
const std::string resetLine = "Backend identifiers has been reseted!";

TEST(StateManagerUsers, SwitchingBetweenNamedAndAnonymousKeepsOneRowPerUserAndEveryEvent) {
    StateHarness harness;
    const auto manager = harness.start("A");
    ASSERT_NE(manager, nullptr);
    const auto events = harness.factory->eventRepository();
    const auto record = [&] {
        EventObject event("ce", -1, manager->getActiveUser()->idKey, "{}");
        events->insert(event);
        return event.idKey;
    };

    ASSERT_GE(record(), 0);
    for (const std::string next : {"", "A", ""}) {
        SCOPED_TRACE("switch to '" + next + "'");
        LogCapture log(MVKLogLevel::debug);
        manager->activateUser(next);
        EXPECT_EQ(manager->getActiveUser()->userId, next.empty() ? "uid-current" : next);
        EXPECT_GE(manager->getActiveUser()->idKey, 0);
        EXPECT_EQ(log.count(MVKLogLevel::debug, resetLine), 1u);
        ASSERT_GE(record(), 0);
    }

    const auto users = harness.storedUsers();
    ASSERT_EQ(users.size(), 2u);
    std::set<std::int64_t> userRows;
    for (const auto& user : users) {
        userRows.insert(user.idKey);
    }
    const auto storedEvents =
        query<EventObject>(*harness.database, {.tableName = "events"}).value();
    ASSERT_EQ(storedEvents.size(), 4u);
    for (const auto& event : storedEvents) {
        EXPECT_TRUE(userRows.contains(event.userId)) << event.userId;
    }
    EXPECT_EQ(harness.storedProjects().front().activeUserId, manager->getActiveUser()->idKey);
}

TEST(StateManagerUsers, UserWhoseRowCannotBeInsertedIsNeverMadeActive) {
    StateHarness harness;
    const auto manager = harness.start("A");
    ASSERT_NE(manager, nullptr);
    const auto before = manager->getActiveUser();
    manager->updateDeviceIdentifiers(42, 43, 44);
    harness.database->failInsertsInto.insert("users");

    LogCapture log(MVKLogLevel::debug);
    manager->activateUser("B");  // counting users: B needs a row of its own
    manager->activateUser("");   // and so does the anonymous user

    EXPECT_EQ(manager->getActiveUser(), before);
    EXPECT_EQ(before->userId, "A");
    EXPECT_EQ(harness.storedProjects().front().activeUserId, before->idKey);
    EXPECT_EQ(harness.storedUsers().size(), 1u);
    EXPECT_FALSE(log.contains(MVKLogLevel::debug, resetLine));
    EXPECT_EQ(harness.storedDeviceRows().front().morvanixId, 42);
    EXPECT_EQ(log.count(MVKLogLevel::error,
                        "The new user could not be saved; the current user stays active"),
              2u);
}

TEST(StateManagerUsers, ReplacingTheActiveUsersIdStoresItAndClearsBackendIdentifiers) {
    StateHarness harness;
    const auto manager = harness.start(absent);
    ASSERT_NE(manager, nullptr);
    manager->updateDeviceIdentifiers(42, 43, 44);

    LogCapture log(MVKLogLevel::debug);
    manager->replaceUserId(manager->getActiveUser(), "renamed");

    const auto users = harness.storedUsers();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users.front().userId, "renamed");
    EXPECT_EQ(users.front().previousUserId, "uid-current");
    EXPECT_FALSE(users.front().isDefaultUser);
    EXPECT_EQ(manager->getActiveUser()->userId, "renamed");
    EXPECT_EQ(log.count(MVKLogLevel::debug, resetLine), 1u);
    EXPECT_FALSE(harness.storedDeviceRows().front().morvanixId);
}

TEST(StateManagerUsers, InactiveUsersAreTheProjectsOtherUsers) {
    StateHarness harness;
    const auto manager = harness.start("A");
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(manager->getInactiveProjectUsers().value().empty());

    auto otherProjectsUser = std::make_shared<User>(9999, "elsewhere", false);
    harness.factory->userRepository()->insert(otherProjectsUser);
    manager->activateUser("B");
    manager->activateUser("C");

    std::vector<std::string> inactive;
    auto rows = manager->getInactiveProjectUsers().value();
    for (const auto& user : rows) {
        inactive.push_back(user->userId.value_or("?"));
    }
    EXPECT_EQ(inactive, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(manager->getAllUsers().value().size(), 4u);
}

TEST(StateManagerUsers, IdentifiersCarryTheDeviceRowAndTheGivenUser) {
    StateHarness harness;
    const auto manager = harness.start("A");
    ASSERT_NE(manager, nullptr);
    manager->activateUser("B");
    LogCapture log(MVKLogLevel::debug);
    manager->updateDeviceIdentifiers(42, 43, 44);
    EXPECT_EQ(log.count(MVKLogLevel::debug, resetLine), 1u);

    User other(manager->getActiveProject()->idKey, "someone", false);
    other.previousUserId = "before";
    EXPECT_EQ(manager->getIdentifiers(other), (Identifiers{.deviceId = "uid-current",
                                                           .previousDeviceId = "uid-before",
                                                           .userId = "someone",
                                                           .previousUserId = "before",
                                                           .morvanixId = 42,
                                                           .crossPlatformMorvanixId = 43,
                                                           .morvanixIdTimestamp = 44}));

    // A UID change shows in the next identity built, without backend identifiers.
    harness.platform->currentUid = "uid-new";
    const Identifiers afterChange = manager->getIdentifiers(*manager->getActiveUser());
    EXPECT_EQ(afterChange.deviceId, "uid-new");
    EXPECT_EQ(afterChange.previousDeviceId, "uid-current");
    EXPECT_EQ(afterChange.userId, "B");
    EXPECT_FALSE(afterChange.morvanixId);
    EXPECT_FALSE(afterChange.crossPlatformMorvanixId);
    EXPECT_FALSE(afterChange.morvanixIdTimestamp);
}

TEST(StateManagerUsers, VersionsBodyFollowsEditorModeAndTheStoredConfiguration) {
    StateHarness harness;
    const auto manager = harness.start(absent);
    ASSERT_NE(manager, nullptr);

    EXPECT_EQ(dumpJson(manager->getVersion().toJson()),
              R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.4.2",)"
              R"("sbsConfigVersion":0})");
    EXPECT_EQ(manager->getVersion().appBuildVersion, "1402");

    auto& configuration = manager->getActiveProject()->configuration;
    configuration.exclude = ExcludeEvents{.version = 3};
    configuration.sbsConfigVersion = 5;
    harness.editorMode = true;
    const Versions versions = manager->getVersion();
    EXPECT_FALSE(versions.appVersion);
    EXPECT_FALSE(versions.appBuildVersion);
    EXPECT_EQ(versions.excludeVersion, 3);
    EXPECT_EQ(versions.sbsConfigVersion, 5);
    EXPECT_FALSE(versions.remoteConfigVersion);
    EXPECT_EQ(versions.sdkCodeVersion, 10);
}

}  // namespace
}  // namespace mvk::test

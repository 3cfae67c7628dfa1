#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "StateHarness.hpp"
#include "foundation/SdkConstraints.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

const std::optional<std::string> absent;
const std::string resetLine = "Backend identifiers has been reseted!";
constexpr const char* device = "uid-current";

const User* findUser(const std::vector<User>& users, const std::string& userId) {
    const auto found = std::find_if(users.begin(), users.end(),
                                    [&](const User& user) { return user.userId == userId; });
    return found == users.end() ? nullptr : &*found;
}

struct StartCase {
    const char* name;
    bool userCounting;
    std::vector<std::optional<std::string>> earlierRuns;
    std::optional<std::string> hostUserId;
    std::string activeUserId;
    std::optional<std::string> previousUserId;
    bool isDefault;
    std::size_t userRows;
    bool reset;
};

void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}

class StartOutcome : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartOutcome, PicksTheUserAndClearsBackendIdentifiersOnReset) {
    const StartCase& c = GetParam();
    StateHarness harness;
    for (const auto& earlier : c.earlierRuns) {
        ASSERT_NE(harness.start(earlier, c.userCounting), nullptr);
    }
    if (!c.earlierRuns.empty()) {
        harness.storeBackendIdentifiers(42);
    }

    LogCapture log(MVKLogLevel::debug);
    const auto manager = harness.start(c.hostUserId, c.userCounting);
    ASSERT_NE(manager, nullptr);

    const auto active = manager->getActiveUser();
    EXPECT_EQ(active->userId, c.activeUserId);
    EXPECT_EQ(active->previousUserId, c.previousUserId);
    EXPECT_EQ(active->isDefaultUser, c.isDefault);

    const auto users = harness.storedUsers();
    EXPECT_EQ(users.size(), c.userRows);
    const User* stored = findUser(users, c.activeUserId);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->idKey, active->idKey);
    EXPECT_EQ(stored->isDefaultUser, c.isDefault);
    ASSERT_EQ(harness.storedProjects().size(), 1u);
    EXPECT_EQ(harness.storedProjects().front().activeUserId, active->idKey);

    EXPECT_EQ(log.count(MVKLogLevel::debug, resetLine), c.reset ? 1u : 0u);
    const auto deviceRows = harness.storedDeviceRows();
    ASSERT_EQ(deviceRows.size(), 1u);
    EXPECT_EQ(deviceRows.front().morvanixId,
              c.reset ? std::nullopt : std::optional<std::int64_t>(42));
}

INSTANTIATE_TEST_SUITE_P(
    HostUserId, StartOutcome,
    ::testing::Values(
        StartCase{"AbsentFirstRunMakesDefaultUser", true, {}, absent, device, {}, true, 1, true},
        StartCase{"AbsentKeepsDefaultUser", true, {absent}, absent, device, {}, true, 1, false},
        StartCase{"AbsentKeepsNamedUser", true, {"A"}, absent, "A", {}, false, 1, false},
        StartCase{"EmptyKeepsDefaultUser", true, {absent}, "", device, {}, true, 1, false},
        StartCase{
            "EmptyRenamesNamedUserWithoutCounting", false, {"A"}, "", device, "A", true, 1, true},
        StartCase{"EmptyAddsDefaultUserWithCounting", true, {"A"}, "", device, {}, true, 2, true},
        StartCase{"EmptyKeepsNamedUserCalledLikeTheDevice",
                  true,
                  {device},
                  "",
                  device,
                  {},
                  false,
                  1,
                  true},
        StartCase{"EmptyReusesTheDefaultRowWithCounting",
                  true,
                  {"A", "", "A"},
                  "",
                  device,
                  {},
                  true,
                  2,
                  true},
        StartCase{"NamedKeepsActiveUser", true, {"X"}, "X", "X", {}, false, 1, false},
        StartCase{"NamedSwitchesToStoredUser", true, {"X", "Y"}, "X", "X", {}, false, 2, true},
        StartCase{"NamedRenamesUserWithoutCounting", false, {"A"}, "X", "X", "A", false, 1, true},
        StartCase{"NamedRenamesDefaultUserWithCounting",
                  true,
                  {absent},
                  "X",
                  "X",
                  device,
                  false,
                  1,
                  true},
        StartCase{"NamedAddsUserWithCounting", true, {"A"}, "X", "X", {}, false, 2, true},
        StartCase{"NamedFirstRunMakesUser", true, {}, "X", "X", {}, false, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StateManagerStart, FirstRunStoresProjectDeviceRowDefaultUserAndSdkVersion) {
    StateHarness harness;
    LogCapture log(MVKLogLevel::debug);
    const auto manager = harness.start(absent);
    ASSERT_NE(manager, nullptr);

    const auto projects = harness.storedProjects();
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(projects.front().applicationKey(), StateHarness::applicationKey);

    const auto deviceRows = harness.storedDeviceRows();
    ASSERT_EQ(deviceRows.size(), 1u);
    EXPECT_EQ(deviceRows.front().projectId, projects.front().idKey);
    EXPECT_EQ(deviceRows.front().deviceIdentifier, "uid-current");
    EXPECT_EQ(deviceRows.front().previousDeviceIdentifier, "uid-before");
    EXPECT_EQ(deviceRows.front().uuid, "custom-uuid");
    EXPECT_FALSE(deviceRows.front().morvanixId);

    const auto users = harness.storedUsers();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users.front().userId, "uid-current");
    EXPECT_TRUE(users.front().isDefaultUser);
    EXPECT_EQ(users.front().level, 1);
    EXPECT_EQ(projects.front().activeUserId, users.front().idKey);

    const auto tools = harness.storedTools();
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools.front().properties.at("sdkVersion").toString(), "2.2.6");

    EXPECT_FALSE(log.contains(MVKLogLevel::debug, "SDK version updated"));
    EXPECT_EQ(log.count(MVKLogLevel::debug, resetLine), 1u);
}

TEST(StateManagerStart, SecondRunWithNothingChangedWritesNoRow) {
    StateHarness harness;
    const auto first = harness.start(absent);
    ASSERT_NE(first, nullptr);

    LogCapture log(MVKLogLevel::debug);
    const auto second = harness.start(absent);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(harness.database->writes, 0u);
    EXPECT_EQ(second->getActiveUser()->idKey, first->getActiveUser()->idKey);
    EXPECT_FALSE(log.contains(MVKLogLevel::debug, resetLine));
}

TEST(StateManagerStart, ChangedSdkVersionIsLoggedOnceAndStored) {
    StateHarness harness;
    ASSERT_NE(harness.start(absent), nullptr);

    SdkConstraints::setSdkVersion("2.3.0");
    LogCapture log(MVKLogLevel::debug);
    const auto changed = harness.start(absent);
    const auto again = harness.start(absent);
    SdkConstraints::setSdkVersion(SdkConstraints::defaultSdkVersion);

    ASSERT_NE(changed, nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(log.count(MVKLogLevel::debug, "SDK version updated"), 1u);
    ASSERT_EQ(harness.storedTools().size(), 1u);
    EXPECT_EQ(harness.storedTools().front().properties.at("sdkVersion").toString(), "2.3.0");
}

TEST(StateManagerStart, ChangedDeviceUidKeepsTheOldOneAndClearsBackendIdentifiers) {
    StateHarness harness;
    ASSERT_NE(harness.start(absent), nullptr);
    harness.storeBackendIdentifiers(42);

    harness.platform->currentUid = "uid-new";
    harness.platform->uuid = "another-uuid";
    const auto manager = harness.start(absent);
    ASSERT_NE(manager, nullptr);

    const auto deviceRows = harness.storedDeviceRows();
    ASSERT_EQ(deviceRows.size(), 1u);
    EXPECT_EQ(deviceRows.front().deviceIdentifier, "uid-new");
    EXPECT_EQ(deviceRows.front().previousDeviceIdentifier, "uid-current");
    EXPECT_FALSE(deviceRows.front().morvanixId);
    EXPECT_FALSE(deviceRows.front().morvanixIdTimestamp);
    EXPECT_EQ(deviceRows.front().uuid, "custom-uuid");
    // The anonymous user keeps its row and its old name.
    EXPECT_EQ(manager->getActiveUser()->userId, "uid-current");
}

TEST(StateManagerStart, LegacyImportRunsAfterProjectAndDeviceRowsAndBeforeTheUserChoice) {
    StateHarness harness;
    auto migration = std::make_shared<RecordingMigration>(harness);
    migration->importedUserId = "legacy-user";

    const auto manager = harness.start(absent, true, migration);
    ASSERT_NE(manager, nullptr);

    EXPECT_EQ(migration->calls, 1);
    EXPECT_EQ(migration->projectIdSeen, harness.storedProjects().front().idKey);
    EXPECT_EQ(migration->deviceRowsSeen, 1u);
    EXPECT_EQ(migration->userRowsSeen, 0u);
    EXPECT_FALSE(migration->activeUserSeen);

    // The imported user is the one made active; no anonymous user is added.
    EXPECT_EQ(manager->getActiveUser()->userId, "legacy-user");
    EXPECT_EQ(manager->getActiveUser()->level, 7);
    EXPECT_EQ(harness.storedUsers().size(), 1u);
}

TEST(StateManagerStart, EngineSdkUserIsImportedOnceAndMadeActive) {
    StateHarness harness;
    harness.useLegacyImport = true;
    const auto folder =
        *ApplicationSupportDirectory::path() / "morvanix" / StateHarness::applicationKey;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "migrationData.json")
        << R"({"userId":"engine-user","level":5,"trackingAvailable":true})";

    const auto first = harness.start(absent);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getActiveUser()->userId, "engine-user");
    EXPECT_EQ(first->getActiveUser()->level, 5);
    EXPECT_TRUE(first->getActiveProject()->isMigrated);

    // The file is still there, but the project remembers the import.
    const auto second = harness.start("");
    ASSERT_NE(second, nullptr);
    const auto users = harness.storedUsers();
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users.front().userId, "engine-user");
    EXPECT_EQ(second->getActiveUser()->userId, "uid-current");
    EXPECT_EQ(harness.start(absent)->getActiveUser()->userId, "uid-current");
    EXPECT_EQ(harness.storedUsers().size(), 2u);
}

TEST(StateManagerStart, ProjectOrFirstUserThatCannotBeStoredEndsStartUp) {
    for (const char* table : {"projects", "users"}) {
        SCOPED_TRACE(table);
        StateHarness harness;
        harness.failInsertsInto.insert(table);
        LogCapture log(MVKLogLevel::error);

        EXPECT_EQ(harness.start(absent), nullptr);
        EXPECT_FALSE(log.messages().empty());
        EXPECT_TRUE(harness.storedUsers().empty());
        for (const auto& project : harness.storedProjects()) {
            EXPECT_FALSE(project.activeUserId);
        }
    }
}

TEST(StateManagerStart, AFailedReadAtStartUpAddsNoRowAndKeepsTheBackendId) {
    for (const char* table : {"deviceIdentifiers", "projects", "users"}) {
        SCOPED_TRACE(table);
        StateHarness harness;
        ASSERT_NE(harness.start(absent), nullptr);
        harness.storeBackendIdentifiers(42);

        // Busy past the timeout, or an I/O error: "nothing" must not pass for "no rows".
        harness.faultsPerLaunch = [table](FaultyDatabase& database) {
            database.fail(FaultyDatabase::Operation::query, table, 0);
        };
        LogCapture log(MVKLogLevel::error);
        EXPECT_EQ(harness.start(absent), nullptr);
        EXPECT_FALSE(log.messages().empty());

        harness.faultsPerLaunch = nullptr;
        const auto manager = harness.start(absent);
        ASSERT_NE(manager, nullptr);
        EXPECT_EQ(harness.storedProjects().size(), 1u);
        EXPECT_EQ(harness.storedUsers().size(), 1u);
        const auto deviceRows = harness.storedDeviceRows();
        ASSERT_EQ(deviceRows.size(), 1u);
        EXPECT_EQ(deviceRows.front().morvanixId, 42);
        EXPECT_EQ(manager->getActiveDeviceIdentifiers()->morvanixId, 42);
    }
}

}  // namespace
}  // namespace mvk::test

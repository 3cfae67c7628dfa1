#include <gtest/gtest.h>

#include "foundation/JsonCoding.hpp"
#include "records/RecordsTestSupport.hpp"
#include "state/DeviceIdentifiers.hpp"
#include "state/Project.hpp"
#include "state/SdkTools.hpp"
#include "state/User.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {
namespace {

using Contracts = SQLiteContracts;

class CoreRowsTest : public ::testing::Test {
  protected:
    CoreRowsTest() {
        for (auto sql : {Contracts::createTableProjects, Contracts::createTableUsers,
                         Contracts::createTableDeviceIdentifiers,
                         Contracts::updateTableDeviceIdentifiers, Contracts::createTableSdkTools}) {
            db_.execute(sql);
        }
    }

    test::MemoryDatabase db_;
};

TEST_F(CoreRowsTest, NewRowsStartFromTheirDefaults) {
    Project project("key");
    EXPECT_EQ(project.idKey, -1);
    EXPECT_TRUE(project.trackingAvailable);
    EXPECT_FALSE(project.isReferralSent || project.isMigrated);
    EXPECT_FALSE(project.activeUserId || project.savedTime || project.categoriesVersion);
    EXPECT_EQ(project.configuration, Config::defaulConfiguration());

    User user(3, "player", false);
    EXPECT_EQ(user.idKey, -1);
    EXPECT_EQ(user.level, 1);
    EXPECT_TRUE(user.isResourceAggregationEnable);
    EXPECT_FALSE(user.sessionId || user.previousUserId || user.lastForegroundTime ||
                 user.lastBackgroundTime || user.balanceIsSent);

    DeviceIdentifiers identifiers(3, "device", "uuid", std::nullopt);
    EXPECT_EQ(identifiers.idKey, -1);
    EXPECT_FALSE(identifiers.morvanixId || identifiers.crossPlatformMorvanixId ||
                 identifiers.morvanixIdTimestamp);
}

TEST_F(CoreRowsTest, ProjectSurvivesTheTable) {
    Project project("app-key");
    project.activeUserId = 4;
    project.trackingAvailable = false;
    project.isReferralSent = true;
    project.applicationBundle = "com.game";
    project.applicationVersion = "1.2";
    project.savedTime = 1700000000000;
    project.categoriesVersion = 9;
    project.isMigrated = true;
    project.configuration.countForRequest = 3;
    project.configuration.exclude = ExcludeEvents{.version = 2, .all = true, .events = {}};

    const auto id = db_.insert(Contracts::ProjectEntry::tableName, project.contentValues());
    auto read = db_.readStored<Project>(Contracts::ProjectEntry::tableName, id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->idKey, id);
    EXPECT_EQ(read->applicationKey(), "app-key");
    EXPECT_EQ(read->activeUserId, 4);
    EXPECT_FALSE(read->trackingAvailable);
    EXPECT_TRUE(read->isReferralSent);
    EXPECT_EQ(read->applicationBundle, "com.game");
    EXPECT_EQ(read->applicationVersion, "1.2");
    EXPECT_FALSE(read->applicationBuildVersion);
    EXPECT_EQ(read->configuration, project.configuration);
    EXPECT_EQ(read->savedTime, 1700000000000);
    EXPECT_EQ(read->categoriesVersion, 9);
    EXPECT_TRUE(read->isMigrated);
}

TEST_F(CoreRowsTest, ProjectColumnsOfOtherTypes) {
    // A configuration that does not decode (the column's own '{}' default
    // included) is the default configuration; flags read 0 and NULL as false
    // and any positive integer as true.
    for (auto configuration : {"'not json'", "'{}'", "NULL", "7"}) {
        auto project = db_.readRow<Project>(std::string("SELECT 1, 'k', 'x', NULL, NULL, NULL, "
                                                        "NULL, ") +
                                            configuration + ", 2, 'y', 3.5, 0");
        ASSERT_TRUE(project) << configuration;
        EXPECT_EQ(project->configuration, Config::defaulConfiguration());
        EXPECT_FALSE(project->activeUserId);
        EXPECT_FALSE(project->trackingAvailable);
        EXPECT_TRUE(project->isReferralSent);
        EXPECT_FALSE(project->savedTime);
        EXPECT_FALSE(project->categoriesVersion);
        EXPECT_FALSE(project->isMigrated);
    }
    EXPECT_FALSE(db_.readRow<Project>("SELECT NULL, 'k'"));
    EXPECT_FALSE(db_.readRow<Project>("SELECT '1', 'k'"));
    EXPECT_FALSE(db_.readRow<Project>("SELECT 1, NULL"));
    EXPECT_FALSE(db_.readRow<Project>("SELECT 1"));
    // Only the two required columns: the rest reads as absent or false.
    auto minimal = db_.readRow<Project>("SELECT 1, 'k'");
    ASSERT_TRUE(minimal);
    EXPECT_FALSE(minimal->trackingAvailable);
}

TEST_F(CoreRowsTest, UserSurvivesTheTableButNotItsBalanceFlag) {
    User user(2, "player", true);
    user.level = 12;
    user.sessionId = 1700000000001;
    user.previousUserId = "old";
    user.lastForegroundTime = 10;
    user.lastBackgroundTime = 20;
    user.isResourceAggregationEnable = false;
    user.balanceIsSent = true;

    const auto id = db_.insert(Contracts::UserEntry::tableName, user.contentValues());
    auto read = db_.readStored<User>(Contracts::UserEntry::tableName, id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->idKey, id);
    EXPECT_EQ(read->projectId, 2);
    EXPECT_EQ(read->level, 12);
    EXPECT_EQ(read->sessionId, 1700000000001);
    EXPECT_EQ(read->userId, "player");
    EXPECT_EQ(read->previousUserId, "old");
    EXPECT_EQ(read->lastForegroundTime, 10);
    EXPECT_EQ(read->lastBackgroundTime, 20);
    EXPECT_TRUE(read->isDefaultUser);
    EXPECT_FALSE(read->isResourceAggregationEnable);
    EXPECT_FALSE(read->balanceIsSent);
}

TEST_F(CoreRowsTest, UserColumnsOfOtherTypes) {
    EXPECT_FALSE(db_.readRow<User>("SELECT 1, 2, NULL"));
    EXPECT_FALSE(db_.readRow<User>("SELECT 1, 2.5, 3"));
    EXPECT_FALSE(db_.readRow<User>("SELECT 1, 2"));
    auto user = db_.readRow<User>("SELECT 1, 2, 3, 'text', 5, NULL, NULL, 4.5, 7, NULL");
    ASSERT_TRUE(user);
    EXPECT_FALSE(user->sessionId);
    EXPECT_FALSE(user->userId);
    EXPECT_FALSE(user->lastBackgroundTime);
    EXPECT_TRUE(user->isDefaultUser);
    EXPECT_FALSE(user->isResourceAggregationEnable);
}

TEST_F(CoreRowsTest, DeviceIdentifiersSurviveTheTable) {
    DeviceIdentifiers identifiers(5, "device-2", "UUID-1", "device-1");
    identifiers.morvanixId = 77;
    identifiers.crossPlatformMorvanixId = 88;
    identifiers.morvanixIdTimestamp = 99;

    const auto id =
        db_.insert(Contracts::DeviceIdentifiersEntry::tableName, identifiers.contentValues());
    auto read = db_.readStored<DeviceIdentifiers>(Contracts::DeviceIdentifiersEntry::tableName, id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->idKey, id);
    EXPECT_EQ(read->projectId, 5);
    EXPECT_EQ(read->deviceIdentifier, "device-2");
    EXPECT_EQ(read->previousDeviceIdentifier, "device-1");
    EXPECT_EQ(read->morvanixId, 77);
    EXPECT_EQ(read->crossPlatformMorvanixId, 88);
    EXPECT_EQ(read->morvanixIdTimestamp, 99);
    EXPECT_EQ(read->uuid, "UUID-1");
}

TEST_F(CoreRowsTest, DeviceIdentifiersColumnsOfOtherTypes) {
    EXPECT_FALSE(db_.readRow<DeviceIdentifiers>("SELECT 1, 2, 'd', NULL, NULL, NULL, NULL"));
    EXPECT_FALSE(db_.readRow<DeviceIdentifiers>("SELECT 1, 2, NULL, NULL, NULL, NULL, 'u'"));
    EXPECT_FALSE(db_.readRow<DeviceIdentifiers>("SELECT 1, NULL, 'd', NULL, NULL, NULL, 'u'"));
    // A table from before the timestamp column was added.
    auto old = db_.readRow<DeviceIdentifiers>("SELECT 1, 2, 'd', 5, 'x', 6, 'u'");
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->previousDeviceIdentifier);
    EXPECT_FALSE(old->morvanixId);
    EXPECT_EQ(old->crossPlatformMorvanixId, 6);
    EXPECT_FALSE(old->morvanixIdTimestamp);
}

TEST_F(CoreRowsTest, SdkToolsMetadata) {
    SdkTools tools;
    tools.properties = {{"sdkVersion", "2.2.6"}, {"count", 3}, {"ratio", 1.0}, {"on", true}};
    const auto id = db_.insert(Contracts::SdkToolsEntry::tableName, tools.contentValues());
    auto read = db_.readStored<SdkTools>(Contracts::SdkToolsEntry::tableName, id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->idKey, id);
    EXPECT_EQ(read->properties, tools.properties);

    // The column's default '[]' and an empty text are no properties at all.
    db_.execute("INSERT INTO sdkTools DEFAULT VALUES");
    auto fresh = db_.readRow<SdkTools>("SELECT * FROM sdkTools ORDER BY id DESC");
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->properties.empty());
    EXPECT_TRUE(db_.readRow<SdkTools>("SELECT 1, ''")->properties.empty());
    EXPECT_EQ(db_.readRow<SdkTools>(R"(SELECT 1, '{"a":[1],"b":null,"c":{}}')")->properties,
              (PeopleProperties{{"b", nullptr}}));
    EXPECT_FALSE(db_.readRow<SdkTools>("SELECT 1, NULL"));
    EXPECT_FALSE(db_.readRow<SdkTools>("SELECT 'x', '{}'"));
}

}  // namespace
}  // namespace mvk

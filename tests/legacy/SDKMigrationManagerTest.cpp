#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "KeyedArchiveBuilder.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "records/PeopleRepository.hpp"
#include "state/ProjectRepository.hpp"
#include "state/RealPaymentRepository.hpp"
#include "state/SDKMigrationManager.hpp"
#include "state/TutorialRepository.hpp"
#include "state/UserRepository.hpp"
#include "storage/SQLiteProvider.hpp"
#include "support/FaultyDatabase.hpp"
#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

namespace mvk {
namespace {

using test::KeyedArchiveBuilder;
using test::NativeUserFixture;

constexpr const char* appKey = "KEY";

class SDKMigrationManagerTest : public ::testing::Test {
  protected:
    SDKMigrationManagerTest() {
        ApplicationSupportDirectory::setOverride(dir_.path());
        provider_ = std::make_shared<SQLiteProvider>(appKey);
        repositories_ = repositoriesOver(provider_);
        project_ = std::make_shared<Project>(appKey);
        repositories_.projects->insert(project_);
    }
    ~SDKMigrationManagerTest() override { ApplicationSupportDirectory::setOverride(std::nullopt); }

    static MigrationRepositories repositoriesOver(std::shared_ptr<DatabaseProtocol> database) {
        return {database,
                std::make_shared<ProjectRepository>(database),
                std::make_shared<UserRepository>(database),
                std::make_shared<PeopleRepository>(database),
                std::make_shared<RealPaymentRepository>(database),
                std::make_shared<TutorialRepository>(database)};
    }

    void migrate(const std::string& key = appKey) {
        SDKMigrationManager(repositories_, key).migrateUserData(project_);
    }

    /// A later start-up: fresh caches, the project read back from the table.
    void migrateAfterRestart() {
        repositories_ = repositoriesOver(provider_);
        project_ = repositories_.projects->get(appKey).value();
        ASSERT_TRUE(project_);
        migrate();
    }

    void writeFile(const std::filesystem::path& path, const std::string& content) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    void writeEngineFile(const std::string& json) {
        writeFile(dir_.path() / "morvanix" / appKey / "migrationData.json", json);
    }
    void writeNativeArchive(const std::string& bytes) {
        writeFile(dir_.path() / (std::string("morvanix_") + appKey) / "UsersStorage", bytes);
    }

    // What the tables hold, read through repositories with empty caches.
    std::vector<std::shared_ptr<User>> storedUsers() {
        return UserRepository(provider_).list().value();
    }
    std::vector<std::shared_ptr<PeopleCard>> storedCards() {
        return PeopleRepository(provider_).list().value();
    }
    std::vector<RealPaymentMark> storedPayments() {
        return RealPaymentRepository(provider_).list().value();
    }
    std::vector<TutorialMark> storedSteps() { return TutorialRepository(provider_).list().value(); }
    std::shared_ptr<Project> storedProject() {
        return ProjectRepository(provider_).get(appKey).value();
    }

    void expectNothingImported() {
        EXPECT_TRUE(storedUsers().empty());
        EXPECT_TRUE(storedCards().empty());
        EXPECT_TRUE(storedPayments().empty());
        EXPECT_TRUE(storedSteps().empty());
        EXPECT_FALSE(project_->isMigrated);
        EXPECT_FALSE(project_->activeUserId);
        EXPECT_FALSE(storedProject()->isMigrated);
        EXPECT_FALSE(storedProject()->activeUserId);
    }

    test::TempDir dir_;
    std::shared_ptr<SQLiteProvider> provider_;
    MigrationRepositories repositories_;
    std::shared_ptr<Project> project_;
};

TEST_F(SDKMigrationManagerTest, ImportsAnEngineFileWithOnlyUserIdAndLevel) {
    project_->trackingAvailable = false;
    writeEngineFile(R"({"userId": "u1", "level": 5})");
    test::LogCapture log(MVKLogLevel::debug);
    migrate();

    const auto users = storedUsers();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0]->userId, "u1");
    EXPECT_EQ(users[0]->level, 5);
    EXPECT_EQ(users[0]->projectId, project_->idKey);
    EXPECT_FALSE(users[0]->previousUserId);
    EXPECT_FALSE(users[0]->isDefaultUser);

    const auto project = storedProject();
    EXPECT_EQ(project->activeUserId, users[0]->idKey);
    EXPECT_TRUE(project->trackingAvailable);
    EXPECT_TRUE(project->isMigrated);
    EXPECT_TRUE(project_->isMigrated);

    const auto cards = storedCards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0]->userId, users[0]->idKey);
    EXPECT_EQ(cards[0]->json, "{}");
    EXPECT_TRUE(storedPayments().empty());
    EXPECT_TRUE(storedSteps().empty());
    EXPECT_TRUE(log.contains(MVKLogLevel::debug,
                             "Completely migrate data with data: \n\tuserId: u1\n"
                             "\ttrackingAvailable: true\n\tlevel: 5\n"));

    // The project is marked: the next start-up touches nothing and logs nothing.
    log.clear();
    migrateAfterRestart();
    EXPECT_TRUE(log.messages().empty());
    EXPECT_EQ(storedUsers().size(), 1u);
    EXPECT_EQ(storedCards().size(), 1u);
}

TEST_F(SDKMigrationManagerTest, ImportsTheNativeArchive) {
    KeyedArchiveBuilder builder;
    NativeUserFixture user;
    user.prevId = "p0";
    user.transactionIds = {"order-1", "order-2"};
    user.tutorCompletedSteps = {3, 1};
    user.preferences = {{{"flag", builder.boolean(true)}, {"name", builder.text("Ann")}}};
    writeNativeArchive(builder.bytes(test::addUsersStorages(builder, {user}, user.key, false)));
    migrate();

    const auto users = storedUsers();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0]->userId, "player-1");
    EXPECT_EQ(users[0]->previousUserId, "p0");
    EXPECT_EQ(users[0]->level, 7);
    const auto project = storedProject();
    EXPECT_EQ(project->activeUserId, users[0]->idKey);
    EXPECT_FALSE(project->trackingAvailable);
    EXPECT_TRUE(project->isMigrated);

    const auto cards = storedCards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0]->json, R"({"flag":true,"name":"Ann"})");
    const auto payments = storedPayments();
    ASSERT_EQ(payments.size(), 2u);
    EXPECT_EQ(payments[0].orderId, "order-1");
    EXPECT_EQ(payments[1].orderId, "order-2");
    EXPECT_EQ(payments[0].projectId, project_->idKey);
    const auto steps = storedSteps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].step, 3);
    EXPECT_EQ(steps[1].step, 1);
    EXPECT_EQ(steps[0].userId, users[0]->idKey);
}

// Both sources are imported, the engine file last; nothing is deduplicated.
TEST_F(SDKMigrationManagerTest, ImportsBothSourcesAndEndsOnTheEngineUser) {
    NativeUserFixture user;
    user.transactionIds = {"order-1"};
    writeNativeArchive(test::nativeArchive(user));
    writeEngineFile(R"({"userId": "player-2", "level": 2, "transactionIds": ["order-1"]})");
    migrate();

    const auto users = storedUsers();
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0]->userId, "player-1");
    EXPECT_EQ(users[1]->userId, "player-2");
    EXPECT_EQ(storedProject()->activeUserId, users[1]->idKey);
    EXPECT_EQ(storedCards().size(), 2u);
    EXPECT_EQ(storedPayments().size(), 2u);
}

TEST_F(SDKMigrationManagerTest, BothSourcesOfOneUserShareTheUserRow) {
    writeNativeArchive(test::nativeArchive(NativeUserFixture{}));
    writeEngineFile(R"({"userId": "player-1", "level": 2, "tutorCompletedSteps": [1]})");
    migrate();

    const auto users = storedUsers();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0]->level, 7);
    EXPECT_EQ(storedProject()->activeUserId, users[0]->idKey);
    EXPECT_EQ(storedCards().size(), 2u);
    EXPECT_EQ(storedSteps().size(), 1u);
}

TEST_F(SDKMigrationManagerTest, ReusesTheProjectsUserWithTheSameUserId) {
    auto existing = std::make_shared<User>(project_->idKey, "u1", false);
    existing->level = 9;
    repositories_.users->insert(existing);
    auto elsewhere = std::make_shared<User>(project_->idKey + 100, "u2", false);
    repositories_.users->insert(elsewhere);
    writeEngineFile(R"({"userId": "u1", "level": 5, "prevUserId": "old"})");
    migrate();

    ASSERT_EQ(storedUsers().size(), 2u);
    EXPECT_EQ(storedProject()->activeUserId, existing->idKey);
    const auto reread = UserRepository(provider_).get(existing->idKey).value();
    EXPECT_EQ(reread->level, 9);
    EXPECT_FALSE(reread->previousUserId);

    // A user of another project with the same id is not this project's user.
    project_->isMigrated = false;
    writeEngineFile(R"({"userId": "u2", "level": 5})");
    migrate();
    EXPECT_EQ(storedUsers().size(), 3u);
    EXPECT_NE(storedProject()->activeUserId, elsewhere->idKey);
}

TEST_F(SDKMigrationManagerTest, SourcesThatYieldNoUserChangeNothing) {
    struct Case {
        const char* name;
        std::string engineFile;
        std::string archive;
        const char* errorLine;
    };
    NativeUserFixture noLevel;
    noLevel.level.reset();
    NativeUserFixture noUserId;
    noUserId.userId.reset();
    const auto brokenReference = [] {
        KeyedArchiveBuilder builder;
        return builder.bytes(
            builder.object("UsersStorages", {{"activeUser", KeyedArchiveBuilder::ref(4242)}}));
    };
    const auto cycle = [] {
        KeyedArchiveBuilder builder;
        auto map = builder.dictionary({});
        auto key = builder.text("user-key");
        builder.replace(
            map,
            builder.objectNode("NSDictionary", {{"NS.keys", KeyedArchiveBuilder::refs({key})},
                                                {"NS.objects", KeyedArchiveBuilder::refs({map})}}));
        return builder.bytes(
            builder.object("UsersStorages", {{"activeUser", KeyedArchiveBuilder::ref(key)},
                                             {"dataStorages", KeyedArchiveBuilder::ref(map)}}));
    };
    const auto good = test::nativeArchive(NativeUserFixture{});
    std::string oversized = good;
    oversized.resize(LegacyKeyedArchive::maxFileSize + 1, '\0');
    KeyedArchiveBuilder otherActive;
    const auto withoutActiveUser = otherActive.bytes(
        test::addUsersStorages(otherActive, {NativeUserFixture{}}, "nobody", true));

    const Case cases[] = {
        {"no files", "", "", nullptr},
        {"engine level of another type", R"({"userId": "u", "level": "5"})", "", nullptr},
        {"engine file no object", R"(["u", 5])", "", nullptr},
        {"engine file cut short", R"({"userId": "u", "level": 5)", "", nullptr},
        {"engine file without level", R"({"userId": "u"})", "",
         "Migration failed: level not found"},
        {"engine file without user id", R"({"level": 1})", "",
         "Migration failed: userId not found"},
        {"archive without the active user", "", withoutActiveUser, nullptr},
        {"archive user without level", "", test::nativeArchive(noLevel),
         "Migration failed: level not found"},
        {"archive user without user id", "", test::nativeArchive(noUserId),
         "Migration failed: userId not found"},
        {"archive with a broken reference", "", brokenReference(), nullptr},
        {"archive with a cycle", "", cycle(), nullptr},
        {"archive truncated", "", good.substr(0, good.size() / 2), nullptr},
        {"archive too large", "", oversized, nullptr},
        {"archive that is JSON", "", R"({"userId": "u", "level": 5})", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir_.path() / "morvanix" / appKey);
        std::filesystem::remove_all(dir_.path() / (std::string("morvanix_") + appKey));
        if (!c.engineFile.empty()) {
            writeEngineFile(c.engineFile);
        }
        if (!c.archive.empty()) {
            writeNativeArchive(c.archive);
        }
        test::LogCapture log(MVKLogLevel::debug);
        migrate();
        expectNothingImported();
        if (c.errorLine != nullptr) {
            EXPECT_EQ(log.messages(),
                      std::vector<std::string>{std::string("ERROR ") + c.errorLine});
            // Unmarked, so the next start-up tries and complains again.
            migrateAfterRestart();
            EXPECT_EQ(log.count(MVKLogLevel::error, c.errorLine), 2u);
        } else {
            EXPECT_TRUE(log.messages().empty());
        }
    }
}

TEST_F(SDKMigrationManagerTest, KeysThatWouldLeaveTheFoldersAreNotFollowed) {
    const std::string file = R"({"userId": "u", "level": 1})";
    writeFile(dir_.path() / "migrationData.json", file);
    writeFile(dir_.path() / "morvanix" / "migrationData.json", file);
    writeFile(dir_.path() / "morvanix" / "a" / "b" / "migrationData.json", file);
    writeFile(dir_.path() / "morvanix_" / "UsersStorage", test::nativeArchive(NativeUserFixture{}));
    for (const char* key : {"..", ".", "a/b", "", "/"}) {
        SCOPED_TRACE(key);
        migrate(key);
        expectNothingImported();
    }
}

TEST_F(SDKMigrationManagerTest, AStorageFailureHalfWayLeavesNoTraceAndIsRetried) {
    writeEngineFile(
        R"({"userId": "u1", "level": 5, "trackingAvailable": false,
            "transactionIds": ["o1"], "tutorCompletedSteps": [1, 2]})");
    // The disk fills up half-way: the tutorial steps cannot be stored.
    ASSERT_TRUE(
        provider_->raw("CREATE TRIGGER full BEFORE INSERT ON tutorialMarkEntry BEGIN SELECT "
                       "RAISE(ABORT, 'full'); END"));
    test::LogCapture log(MVKLogLevel::debug);
    migrate();

    expectNothingImported();
    EXPECT_TRUE(project_->trackingAvailable);
    EXPECT_TRUE(storedProject()->trackingAvailable);
    // The caches were read again: they no longer show the rolled-back rows.
    EXPECT_TRUE(repositories_.users->list().value().empty());
    EXPECT_TRUE(repositories_.people->list().value().empty());
    EXPECT_TRUE(repositories_.payments->list().value().empty());
    EXPECT_FALSE(log.containsFragment("Completely migrate data"));

    ASSERT_TRUE(provider_->raw("DROP TRIGGER full"));
    migrate();
    EXPECT_EQ(storedUsers().size(), 1u);
    EXPECT_EQ(storedCards().size(), 1u);
    EXPECT_EQ(storedPayments().size(), 1u);
    EXPECT_EQ(storedSteps().size(), 2u);
    EXPECT_TRUE(storedProject()->isMigrated);
    EXPECT_FALSE(storedProject()->trackingAvailable);
}

TEST_F(SDKMigrationManagerTest, AFailedProjectUpdateRollsTheImportBackAndItRunsOnceLater) {
    writeEngineFile(R"({"userId": "u1", "level": 5, "transactionIds": ["o1", "o2"]})");
    // The second update of the project is the one that marks the import done.
    auto faulty = std::make_shared<test::FaultyDatabase>(provider_);
    faulty->fail(test::FaultyDatabase::Operation::update, "projects", 2);
    repositories_ = repositoriesOver(faulty);
    migrate();
    ASSERT_EQ(faulty->failures(), 1);
    expectNothingImported();

    migrateAfterRestart();
    migrateAfterRestart();
    EXPECT_EQ(storedUsers().size(), 1u);
    EXPECT_EQ(storedCards().size(), 1u);
    EXPECT_EQ(storedPayments().size(), 2u);
    EXPECT_TRUE(storedProject()->isMigrated);
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "RecordingDatabase.hpp"
#include "abtest/ABTestsExperimentStateRepository.hpp"
#include "abtest/ABTestsProjectRepository.hpp"
#include "events/LevelResourcesRepository.hpp"
#include "foundation/JsonCoding.hpp"
#include "records/ABTestsExperimentRepository.hpp"
#include "records/PeopleRepository.hpp"
#include "state/ProjectRepository.hpp"
#include "state/ToolsRepository.hpp"
#include "state/TutorialRepository.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"
#include "support/FaultyDatabase.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

class RepositoryStorageTest : public test::StorageTest {
  protected:
    std::string stored(const std::string& sql) {
        return test::RawDatabase(databasePath()).single(sql);
    }

    std::shared_ptr<SQLiteProvider> provider_ = std::make_shared<SQLiteProvider>("app-key");
    std::shared_ptr<test::RecordingDatabase> database_ =
        std::make_shared<test::RecordingDatabase>(provider_);
};

TEST_F(RepositoryStorageTest, JsonColumnsAndTheirFallbacks) {
    struct Case {
        const char* name;
        std::function<void(std::shared_ptr<DatabaseProtocol>)> insert;
        std::string sql;
        std::string expected;
    };
    const Case cases[] = {
        {"a configuration that cannot be written stores the default one",
         [](auto database) {
             auto project = std::make_shared<Project>("key");
             project->configuration.exclude = ExcludeEvents{
                 .events = std::map<std::string, AnyCodable::Array>{{"ce", {notANumber}}}};
             ProjectRepository(database).insert(project);
         },
         "SELECT configuration FROM projects", toJSONData(Config::defaulConfiguration()).value()},
        {"tools metadata that cannot be written",
         [](auto database) {
             auto tools = std::make_shared<SdkTools>();
             tools->properties = {{"sdkVersion", "2.2.6"}, {"broken", notANumber}};
             ToolsRepository(database).insert(tools);
         },
         "SELECT metadata FROM sdkTools", "Not a valid JSON"},
        {"parameters that cannot be written store an empty list, conditions stay",
         [](auto database) {
             auto experiment = std::make_shared<ABTestsExperiment>(ABTestsExperiment{
                 .experimentId = 7, .parameters = {{.key = "k", .values = {{"A", notANumber}}}}});
             ABTestsExperimentRepository(database).insert(experiment);
         },
         "SELECT parameters || ' ' || conditions FROM abtestExperiments", "[] []"},
        {"absent experiment user properties",
         [](auto database) {
             ABTestsProjectRepository(database).insert(std::make_shared<ABTestsProject>());
         },
         "SELECT userProperties FROM abTestProject", "null"},
        {"no involvement is the empty text",
         [](auto database) {
             ABTestsExperimentStateRepository(database).insert(
                 std::make_shared<ABTestsExperimentState>());
         },
         "SELECT '<' || involvement || '>' FROM abTestExperimentsState", "<>"},
        {"an involvement",
         [](auto database) {
             ABTestsExperimentStateRepository(database).insert(
                 std::make_shared<ABTestsExperimentState>(ABTestsExperimentState{
                     .involvement = ExperimentMarker{.idKey = 4, .group = "B"}}));
         },
         "SELECT involvement FROM abTestExperimentsState", R"({"id":4,"group":"B"})"},
        {"changed keys holding a comma are kept whole",
         [](auto database) {
             auto card = std::make_shared<PeopleCard>(1);
             card->changedKeys = {"name", "a,b"};
             PeopleRepository(database).insert(card);
         },
         "SELECT changedKeys FROM peopleCards", R"(["name","a,b"])"},
        {"plain changed keys are joined by commas",
         [](auto database) {
             auto card = std::make_shared<PeopleCard>(1);
             card->changedKeys = {"name", "age"};
             PeopleRepository(database).insert(card);
         },
         "SELECT changedKeys FROM peopleCards", "name,age"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        ApplicationSupportDirectory::setOverride(dir.path());
        c.insert(std::make_shared<SQLiteProvider>("app-key"));
        EXPECT_EQ(test::RawDatabase(dir.path() / "morvanix" / "morvanix.db").single(c.sql),
                  c.expected);
    }
}

TEST_F(RepositoryStorageTest, ExperimentThatCannotBeWrittenIsLogged) {
    test::LogCapture log(MVKLogLevel::error);
    auto experiment = std::make_shared<ABTestsExperiment>(ABTestsExperiment{
        .experimentId = 7, .parameters = {{.key = "k", .values = {{"A", notANumber}}}}});
    ABTestsExperimentRepository(database_).insert(experiment);
    EXPECT_TRUE(log.containsFragment("ERROR Couldn't encode the parameters of experiment 7"));
}

TEST_F(RepositoryStorageTest, FailedInsertChangesNeitherTheRowNorTheCache) {
    database_->failInserts = true;
    ProjectRepository projects(database_);
    auto project = std::make_shared<Project>("key");
    EXPECT_FALSE(projects.insert(project));
    EXPECT_EQ(project->idKey, -1);
    EXPECT_TRUE(projects.list().value().empty());

    TutorialRepository tutorials(database_);
    EXPECT_FALSE(tutorials.insert(TutorialMark{.userId = 1, .step = 3}));
    EXPECT_TRUE(tutorials.list().value().empty());

    database_->failInserts = false;
    EXPECT_TRUE(projects.insert(project));
    EXPECT_EQ(projects.get("key").value(), project);
}

TEST_F(RepositoryStorageTest, DeletingHundredsOfThousandsOfIdsRunsInChunksInOneTransaction) {
    constexpr std::size_t count = 300'000;
    LevelResourcesRepository events(database_);
    provider_->transaction([&] {
        for (std::size_t n = 0; n < count; ++n) {
            events.insert(LevelResource{
                .userId = 1, .type = LevelResourceType::earned, .name = "ce", .amount = 1});
        }
        return true;
    });
    events.insert(
        LevelResource{.userId = 1, .type = LevelResourceType::earned, .name = "ss", .amount = 1});
    const auto kept = events.list().value().back();
    auto doomed = events.list().value();
    doomed.pop_back();
    ASSERT_EQ(doomed.size(), count);
    const int transactions = database_->transactions;

    events.deleteItems(doomed);

    EXPECT_EQ(database_->transactions, transactions + 1);
    EXPECT_EQ(database_->deletes.size(), count / LevelResourcesRepository::maxIdsPerStatement);
    EXPECT_TRUE(std::all_of(
        database_->deletes.begin(), database_->deletes.end(), [](const auto& statement) {
            return statement.inTransaction &&
                   statement.arguments.size() <= LevelResourcesRepository::maxIdsPerStatement;
        }));
    EXPECT_EQ(events.list().value(), std::vector{kept});
    EXPECT_EQ(stored("SELECT count(*) || ' ' || name FROM levelResource"), "1 ss");
}

using Fault = test::FaultyDatabase::Operation;

TEST_F(RepositoryStorageTest, AFailedReadIsAbsentLeavesTheCacheUnreadAndIsReadAgain) {
    ProjectRepository(provider_).insert(std::make_shared<Project>("key"));
    auto faulty = std::make_shared<test::FaultyDatabase>(provider_);
    faulty->fail(Fault::query, "projects", 0);
    ProjectRepository projects(faulty);

    EXPECT_FALSE(projects.list().has_value());
    EXPECT_FALSE(projects.get("key").has_value());
    EXPECT_FALSE(projects.loadData());

    // A row stored meanwhile is not taken for the whole table.
    auto other = std::make_shared<Project>("other");
    ASSERT_TRUE(projects.insert(other));
    auto healthy = std::make_shared<test::FaultyDatabase>(provider_);
    ProjectRepository again(healthy);
    ASSERT_TRUE(again.get("key").value());
    EXPECT_EQ(again.list().value().size(), 2u);
}

TEST_F(RepositoryStorageTest, EveryWriteAnswersItsFailureAndTheTableKeepsItsRows) {
    using Rows = std::vector<LevelResource>;
    struct Case {
        const char* name;
        Fault fault;
        std::function<bool(LevelResourcesRepository&, const Rows&)> write;
    };
    const Case cases[] = {
        {"update", Fault::update,
         [](auto& resources, const auto& rows) { return resources.update(rows[0]); }},
        {"deleteItem", Fault::deleteRows,
         [](auto& resources, const auto& rows) { return resources.deleteItem(rows[0]); }},
        {"deleteItems", Fault::deleteRows,
         [](auto& resources, const auto& rows) { return resources.deleteItems(rows); }},
        {"deleteForDataForUsers", Fault::deleteRows,
         [](auto& resources, const auto&) { return resources.deleteForDataForUsers({1}); }},
        {"clear", Fault::clear, [](auto& resources, const auto&) { return resources.clear(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(provider_->clear("levelResource"));
        auto faulty = std::make_shared<test::FaultyDatabase>(provider_);
        LevelResourcesRepository resources(faulty);
        for (const char* name : {"ce", "ss"}) {
            ASSERT_TRUE(resources.insert(LevelResource{
                .userId = 1, .type = LevelResourceType::earned, .name = name, .amount = 1}));
        }
        auto rows = resources.list().value();
        rows[0].name = "changed";
        faulty->fail(c.fault, "levelResource");

        EXPECT_FALSE(c.write(resources, rows));
        EXPECT_EQ(stored("SELECT group_concat(name) FROM levelResource"), "ce,ss");
        // The cache shows what the table holds, not what was asked for.
        EXPECT_EQ(resources.list().value().size(), 2u);
    }

    // A row that is not stored is not updated either.
    LevelResourcesRepository resources(provider_);
    LevelResource missing{
        .userId = 1, .type = LevelResourceType::earned, .name = "ce", .amount = 1};
    missing.idKey = 999;
    EXPECT_FALSE(resources.update(missing));
}

TEST_F(RepositoryStorageTest, AFailedChunkFailsTheWholeDeleteAndRollsItBack) {
    constexpr std::size_t count = 3 * LevelResourcesRepository::maxIdsPerStatement;
    auto faulty = std::make_shared<test::FaultyDatabase>(provider_);
    LevelResourcesRepository resources(faulty);
    provider_->transaction([&] {
        for (std::size_t n = 0; n < count; ++n) {
            resources.insert(LevelResource{
                .userId = 1, .type = LevelResourceType::earned, .name = "ce", .amount = 1});
        }
        return true;
    });
    faulty->fail(Fault::deleteRows, "levelResource", 2);

    EXPECT_FALSE(resources.deleteItems(resources.list().value()));

    EXPECT_EQ(stored("SELECT count(*) FROM levelResource"), std::to_string(count));
    EXPECT_EQ(resources.list().value().size(), count);
}

}  // namespace
}  // namespace mvk

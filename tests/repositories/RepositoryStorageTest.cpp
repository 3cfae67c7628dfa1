#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "RecordingDatabase.hpp"
#include "foundation/JsonCoding.hpp"
#include "storage/ABTestsExperimentRepository.hpp"
#include "storage/ABTestsExperimentStateRepository.hpp"
#include "storage/ABTestsProjectRepository.hpp"
#include "storage/LevelResourcesRepository.hpp"
#include "storage/PeopleRepository.hpp"
#include "storage/ProjectRepository.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"
#include "storage/ToolsRepository.hpp"
#include "storage/TutorialRepository.hpp"
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
    EXPECT_TRUE(projects.list().empty());

    TutorialRepository tutorials(database_);
    EXPECT_FALSE(tutorials.insert(TutorialMark{.userId = 1, .step = 3}));
    EXPECT_TRUE(tutorials.list().empty());

    database_->failInserts = false;
    EXPECT_TRUE(projects.insert(project));
    EXPECT_EQ(projects.get("key"), project);
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
    const auto kept = events.list().back();
    auto doomed = events.list();
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
    EXPECT_EQ(events.list(), std::vector{kept});
    EXPECT_EQ(stored("SELECT count(*) || ' ' || name FROM levelResource"), "1 ss");
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include <memory>

#include "StateHarness.hpp"
#include "storage/SQLiteProvider.hpp"

namespace mvk::test {
namespace {

TEST(CoreFactory, BuildsEachRepositoryOnceOverTheOneDatabase) {
    StateHarness harness;
    auto database = std::make_shared<CountingDatabase>(
        std::make_shared<SQLiteProvider>(StateHarness::applicationKey));
    CoreFactory factory(nullptr, nullptr, harness.platform, database);

    EXPECT_EQ(factory.database(), database);
    EXPECT_EQ(factory.platform(), harness.platform);
    EXPECT_EQ(factory.projectRepository(), factory.projectRepository());
    EXPECT_EQ(factory.userRepository(), factory.userRepository());
    EXPECT_EQ(factory.eventRepository(), factory.eventRepository());
    EXPECT_EQ(factory.abTestsExperimentStateRepository(),
              factory.abTestsExperimentStateRepository());

    // A repository reads its table on first use, through the factory's database.
    EXPECT_EQ(database->queries, 0u);
    factory.projectRepository()->list().value();
    factory.reportsRepository()->keys();
    factory.subscriptionRepository()->list().value();
    EXPECT_EQ(database->queries, 3u);

    // The cache is kept with the repository: a row inserted through one
    // getter's result is seen through the next.
    auto user = std::make_shared<User>(1, "someone", false);
    factory.userRepository()->insert(user);
    ASSERT_EQ(factory.userRepository()->list().value().size(), 1u);
    EXPECT_EQ(factory.userRepository()->list().value().front(), user);
}

}  // namespace
}  // namespace mvk::test

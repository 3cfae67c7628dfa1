#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "abtest/ABStoreTest.hpp"
#include "abtest/UserConfigService.hpp"

namespace mvk {
namespace {

using Value = std::optional<MVKRemoteConfigDefault>;

struct CastCase {
    MVKRemoteConfigDefault original;
    std::string remote;
    Value expected;
};

TEST(UserConfigServiceCastTest, ReadsTheTextAsTheDefaultsKind) {
    const CastCase rows[] = {
        {true, "YES", true},
        {true, "n", false},
        {true, "0", false},
        {true, "2", true},
        {true, "maybe", std::nullopt},
        {std::int64_t{1}, "5", std::int64_t{5}},
        {std::int64_t{1}, "+5", std::int64_t{5}},
        {std::int64_t{1}, "5.5", std::nullopt},
        {std::int64_t{1}, "9223372036854775808", std::nullopt},
        {std::int32_t{1}, "2147483647", std::int32_t{2147483647}},
        {std::int32_t{1}, "2147483648", std::nullopt},
        {1.0, "1.5", 1.5},
        {1.0, "-2e3", -2000.0},
        {1.0, " 1.5", std::nullopt},
        {1.0, "1.5x", std::nullopt},
        {1.0, "", std::nullopt},
        {1.0, "1e999", std::nullopt},
        {1.0f, "0.25", 0.25f},
        {std::string("a"), "", std::string()},
        {"literal", "text", std::string("text")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.remote);
        EXPECT_EQ(UserConfigService::castValue(row.original, row.remote), row.expected);
    }
    EXPECT_EQ(UserConfigService::castValue(std::nullopt, "5"), std::nullopt);
    // A string literal default is a text, not a truth value.
    EXPECT_TRUE(std::holds_alternative<std::string>(MVKRemoteConfigDefault("yes")));
}

class UserConfigServiceTest : public test::ABStoreTest {
  protected:
    UserConfigServiceTest() {
        auto stored = std::make_shared<ABTestsExperiment>(experiment(10));
        stored->projectId = project();
        stored->parameters = {
            {.key = "speed", .values = {{"a", "5"}, {"b", "5.5"}}},
            {.key = "hard", .values = {{"a", 1}, {"b", "yes"}}},
            {.key = "unknown", .values = {{"a", "x"}}},
        };
        experiments->insert(stored);
    }

    std::shared_ptr<ABTestDefaultParamsCache> defaults =
        std::make_shared<ABTestDefaultParamsCache>();
    UserConfigService service{state, manager, experiments, defaults};
};

TEST_F(UserConfigServiceTest, BuildsTheGroupsConfiguration) {
    const MVKRemoteConfigParameters previous{{"old", true}};
    const struct {
        std::string name;
        MVKRemoteConfigParameters defaults;
        ExperimentMarker marker;
        bool ok;
        MVKRemoteConfigParameters config;
        std::string errorKey;
    } rows[] = {
        {"JsonNumberSkippedKeyWithoutDefaultFails",
         {{"speed", std::int64_t{1}}, {"hard", false}},
         {10, "a"},
         false,
         {{"speed", std::int64_t{5}}},
         "unknown"},
        {"FractionForAnIntegerFails",
         {{"speed", std::int64_t{1}}, {"hard", false}},
         {10, "b"},
         false,
         {{"hard", true}},
         "speed"},
        {"AllConverted",
         {{"speed", 1.0}, {"hard", false}},
         {10, "b"},
         true,
         {{"speed", 5.5}, {"hard", true}},
         ""},
        {"UnknownExperimentLeavesTheConfig", {{"speed", 1.0}}, {11, "a"}, true, previous, ""},
        {"EmptyDefaultsLeaveTheConfig", {}, {10, "a"}, false, previous, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        log.clear();
        manager->setConfig(previous);
        defaults->setSavedDefaults(row.defaults);
        EXPECT_EQ(service.toRemoteConfigParameters(row.marker), row.ok);
        EXPECT_EQ(manager->config(), row.config);
        if (!row.errorKey.empty()) {
            EXPECT_TRUE(log.contains(MVKLogLevel::error,
                                     "[A/B-Test Module] Remote value for the key [" + row.errorKey +
                                         "] can't be cast to default value type!"));
        }
    }
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "[A/B-Test Module] Default parameters is empty, the start of the "
                             "experiment is impossible"));
}

}  // namespace
}  // namespace mvk

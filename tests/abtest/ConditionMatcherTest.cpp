#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "abtest/AudienceState.hpp"
#include "abtest/ConditionMatcher.hpp"
#include "foundation/Clock.hpp"
#include "foundation/ManualClock.hpp"

namespace mvk {
namespace {

ExperimentCondition condition(ConditionsType type, std::string eventCode,
                              std::vector<std::string> path, std::string op, AnyCodable value) {
    return ExperimentCondition{.eventCode = std::move(eventCode),
                               .searchPath = std::move(path),
                               .conditionsType = type,
                               .comparison = {.key = std::move(op), .value = std::move(value)}};
}

/// The audience every backend row is matched against.
AnyCodable::Object audience() {
    AudienceState state;
    state.displayDiagonal = 6.1;
    state.country = "DE";
    state.userLevel = 7;
    state.people =
        PeopleEvent{.sessionId = 1, .level = 7, .parameters = PeopleProperties{{"vip", true}}};
    state.setBackendUserData(
        UserData{.firstVersion = "1.2", .paymentsCount = 0, .sbsPaymentsCount = 2});
    return state.dictionary();
}

struct ConditionCase {
    std::string name;
    ExperimentCondition condition;
    /// The event for a local condition; the audience above for a backend one.
    AnyCodable event;
    bool met;
};

// Test names stay stable: the rows print as their names.
void PrintTo(const ConditionCase& row, std::ostream* out) {
    *out << row.name;
}

class ConditionMatcherTest : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ConditionMatcherTest, DecidesWhetherTheConditionIsMet) {
    const auto& row = GetParam();
    const auto& path = row.condition.searchPath;
    const auto audienceObject = audience();
    const auto value = row.condition.conditionsType == ConditionsType::backend
                           ? ConditionMatcher::searchAudienceValue(row.condition, &audienceObject)
                           : ConditionMatcher::searchFieldValue(row.event, path);
    EXPECT_EQ(value && ConditionMatcher::compareValues(path, *value, row.condition.comparison),
              row.met);
}

const auto local = ConditionsType::local;
const auto backend = ConditionsType::backend;
const auto list = [](std::initializer_list<AnyCodable> values) {
    return AnyCodable::array(values);
};

INSTANTIATE_TEST_SUITE_P(
    Conditions, ConditionMatcherTest,
    ::testing::Values(
        ConditionCase{"PathStopsAtANonObject", condition(local, "ce", {"a", "b"}, "==", 5),
                      AnyCodable::object({{"a", 5}}), true},
        ConditionCase{"MissingKeyIsNotMet", condition(local, "ce", {"b"}, "!=", 5),
                      AnyCodable::object({{"a", 5}}), false},
        ConditionCase{"InMatchesNumbersAcrossKinds", condition(local, "ce", {"v"}, "IN", list({1, 2})),
                      AnyCodable::object({{"v", 2.0}}), true},
        ConditionCase{"InWithAListMatchesAnyElement",
                      condition(local, "ce", {"v"}, "IN", list({1, 2})),
                      AnyCodable::object({{"v", list({3, 2})}}), true},
        ConditionCase{"NotInWithAnEmptyList", condition(local, "ce", {"v"}, "NOT IN", list({})),
                      AnyCodable::object({{"v", 1}}), true},
        ConditionCase{"LessAcrossKinds", condition(local, "lu", {"level"}, "<", 3.5),
                      AnyCodable::object({{"level", 3}}), true},
        ConditionCase{"BooleanIsEquality", condition(local, "ce", {"v"}, "boolean", true),
                      AnyCodable::object({{"v", true}}), true},
        ConditionCase{"UnknownOperator", condition(local, "ce", {"v"}, "~=", 1),
                      AnyCodable::object({{"v", 1}}), false},
        ConditionCase{"SameFirstVersionIsGreaterOrEqual",
                      condition(backend, "backend", {"firstVersion"}, ">=", "1.2"), {}, true},
        ConditionCase{"LowerFirstVersion",
                      condition(local, "ce", {"firstVersion"}, ">=", "1.2"),
                      AnyCodable::object({{"firstVersion", "1.0"}}), false},
        ConditionCase{"FirstVersionUpToComparesAsVersions",
                      condition(local, "ce", {"firstVersion"}, "<", "1.10"),
                      AnyCodable::object({{"firstVersion", "1.9"}}), true},
        ConditionCase{"FirstVersionInAList",
                      condition(backend, "backend", {"firstVersion"}, "IN", list({"1.0", "1.2"})),
                      {}, true},
        ConditionCase{"FirstVersionInASingleText",
                      condition(backend, "backend", {"firstVersion"}, "IN", "1.2"), {}, false},
        ConditionCase{"CardPropertyThroughParameters",
                      condition(backend, "pl", {"parameters", "vip"}, "==", true), {}, true},
        ConditionCase{"PlOutsideParametersReadsTheAudience",
                      condition(backend, "pl", {"payingUser"}, "boolean", true), {}, true},
        ConditionCase{"DiagonalThroughItsAudienceKey",
                      condition(backend, "di", {"displayDiagonal"}, ">", 6), {}, true},
        ConditionCase{"EmptyPathOutsidePl", condition(backend, "di", {}, "==", 6.1), {}, false},
        ConditionCase{"PayerFromSubscriptions",
                      condition(backend, "backend", {"payingUser"}, "boolean", true), {}, true},
        ConditionCase{"CheckedConditionIsNotEvaluatedAgain",
                      [] {
                          auto checked = condition(backend, "backend", {"level"}, "==", 7);
                          checked.isChecked = true;
                          return checked;
                      }(),
                      {}, false}),
    [](const auto& info) { return info.param.name; });

TEST(AudienceStateTest, PayerIsNeverResetByLaterData) {
    AudienceState state;
    state.setBackendUserData(UserData{.paymentsCount = 1});
    state.setBackendUserData(UserData{.paymentsCount = 0});
    state.setBackendUserData(std::nullopt);
    EXPECT_TRUE(state.payer);
    EXPECT_EQ(state.backend.paymentsCount, 0);
    EXPECT_EQ(state.dictionary().find("payingUser")->asBool(), true);
}

TEST(AudienceStateTest, LifetimeCountsStartedDaysAndSaturates) {
    auto clock = std::make_shared<ManualClock>();
    Clock::install(clock);
    const std::int64_t now = clock->nowMillis();
    constexpr std::int64_t day = 86'400'000;
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    const struct {
        std::int64_t created;
        std::int64_t lifetime;
    } rows[] = {
        {now - day - 1, 2},
        {now - 1, 1},
        {now, 0},
        {now + day + 1, 1},  // created in the future still counts in whole days
        {min, max / day + 1},
        {max, (max - now) / day},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.created);
        AudienceState state;
        state.backend.created = row.created;
        state.updateLifeTime();
        EXPECT_EQ(state.lifetime, row.lifetime);
    }
    Clock::install(nullptr);
}

}  // namespace
}  // namespace mvk

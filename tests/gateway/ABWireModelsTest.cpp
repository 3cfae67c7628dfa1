#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/JsonCoding.hpp"
#include "records/ExperimentConditionTree.hpp"
#include "records/ExperimentConditionsKeys.hpp"
#include "records/InvolvedExperimentsContainer.hpp"
#include "records/RemoteConfig.hpp"
#include "records/SuitableExperiments.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using nlohmann::json;
using test::LogCapture;

const char* const notSupported = "[A/B-Test Module] Parsing: Not supported condition object!";

/// "code path/to/key type op value", sorted: records of one condition object
/// come out in no particular order.
std::vector<std::string> texts(const std::vector<ExperimentCondition>& conditions) {
    std::vector<std::string> result;
    for (const auto& condition : conditions) {
        std::string path;
        for (const auto& key : condition.searchPath) {
            path += (path.empty() ? "" : "/") + key;
        }
        result.push_back(condition.eventCode + " " + path + " " +
                         std::string(rawValue(condition.conditionsType)) + " " +
                         condition.comparison.key + " " +
                         dumpJson(*condition.comparison.value.toJson()) +
                         (condition.isChecked ? " checked" : ""));
    }
    std::sort(result.begin(), result.end());
    return result;
}

json experimentWithConditions(json conditions) {
    return json{{"id", 7},
                {"creationDate", 1},
                {"completionDate", 0},
                {"updateDate", 2},
                {"isTesting", false},
                {"parameters", json::array()},
                {"conditions", std::move(conditions)}};
}

TEST(ExperimentConditionsKeysTest, NineOperatorsByExactText) {
    const char* operators[] = {"IN", "NOT IN", "<", ">", "==", "!=", ">=", "<=", "boolean"};
    for (const char* text : operators) {
        auto key = ExperimentConditionsKeysFromRawValue(text);
        ASSERT_TRUE(key) << text;
        EXPECT_EQ(rawValue(*key), text);
    }
    for (const char* text : {"in", "NOT_IN", "=", "Boolean", ""}) {
        EXPECT_FALSE(ExperimentConditionsKeysFromRawValue(text)) << text;
    }
}

TEST(ExperimentConditionTreeTest, ConditionObjectsFlattenToPathsOutermostFirst) {
    struct Case {
        const char* name;
        const char* conditions;
        std::vector<std::string> records;
        bool unsupported = false;
    };
    const Case cases[] = {
        {"a lone code compares the code", R"([{"code": "ce"}])", {R"(ce code local == "ce")"}},
        {"a code with other members adds no code record",
         R"([{"code": "ce", "name": {"==": "level"}}])",
         {R"(ce name local == "level")"}},
        {"nested keys",
         R"([{"code": "ce", "parameters": {"level": {">": 3}}}])",
         {"ce parameters/level local > 3"}},
        {"two comparisons on one key",
         R"([{"code": "ce", "level": {">=": 10, "<": 20}}])",
         {"ce level local < 20", "ce level local >= 10"}},
        {"audience code from type",
         R"([{"type": "di", "country": {"IN": ["DE", "FR"]}}])",
         {R"(di country backend IN ["DE","FR"])"}},
        {"boolean shorthand",
         R"([{"type": "pl", "payingUser": true}])",
         {"pl payingUser backend boolean true"}},
        {"boolean shorthand deeper down",
         R"([{"code": "backend", "a": {"b": {"c": false}}}])",
         {"backend a/b/c backend boolean false"}},
        {"a top-level comparison has no path and is dropped", R"([{"code": "ce", ">": 5}])", {}},
        {"no code or type", R"([{"level": {">": 3}}])", {}, true},
        {"an empty object", R"([{}])", {}, true},
        {"code wins over type",
         R"([{"code": "ce", "type": "di", "k": {"==": 1}}])",
         {"ce k local == 1"}},
        {"a code that is no text falls back to type",
         R"([{"code": 3, "type": "pl", "k": {"==": 1}}])",
         {"pl k backend == 1"}},
        {"an operator holding null keeps the null",
         R"([{"code": "ce", "k": {"!=": null}}])",
         {"ce k local != null"}},
        {"numbers, texts, arrays and nulls under keys are skipped",
         R"([{"code": "ce", "a": 1, "b": "x", "c": [1], "d": null, "e": {"==": 2}}])",
         {"ce e local == 2"}},
        {"a nested lone code does not take its parent's key",
         R"([{"code": "ce", "params": {"code": "x"}}])",
         {R"(ce code local == "x")"}},
        {"conditions of several objects in order",
         R"([{"code": "ce", "a": {"==": 1}}, {"nothing": 1}, {"type": "di", "b": {"==": 2}}])",
         {"ce a local == 1", "di b backend == 2"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log(MVKLogLevel::debug);
        auto experiment =
            ABTestsExperiment::fromGatewayJson(experimentWithConditions(json::parse(c.conditions)));
        ASSERT_TRUE(experiment);
        EXPECT_EQ(texts(experiment->conditions), c.records);
        EXPECT_EQ(log.contains(MVKLogLevel::error, notSupported), c.unsupported);
    }
}

TEST(ExperimentConditionTreeTest, MembersBelowTheDepthLimitAreSkipped) {
    // A chain of single-key levels with a comparison at every level.
    auto chain = [](std::size_t levels) {
        json object = {{"==", static_cast<int>(levels)}};
        for (std::size_t level = levels; level-- > 0;) {
            object = json{{"k" + std::to_string(level), object}, {"==", static_cast<int>(level)}};
        }
        object["code"] = "ce";
        return object;
    };
    const auto limit = ExperimentConditionTree::maxDepth;
    auto experiment =
        ABTestsExperiment::fromGatewayJson(experimentWithConditions(json::array({chain(100)})));
    ASSERT_TRUE(experiment);
    // Level 0's comparison has no path; levels 1 up to the limit each give one record.
    ASSERT_EQ(experiment->conditions.size(), limit - 1);
    std::size_t longest = 0;
    for (const auto& condition : experiment->conditions) {
        longest = std::max(longest, condition.searchPath.size());
        EXPECT_EQ(condition.searchPath.front(), "k0");
    }
    EXPECT_EQ(longest, limit - 1);

    // A tree within the limit keeps every level.
    auto shallow = ABTestsExperiment::fromGatewayJson(
        experimentWithConditions(json::array({chain(limit - 2)})));
    ASSERT_TRUE(shallow);
    EXPECT_EQ(shallow->conditions.size(), limit - 2);
}

TEST(ABTestsExperimentTest, GatewayObjectNeedsEverySevenKeysWithTheirTypes) {
    const json good = experimentWithConditions(json::array());
    auto experiment = ABTestsExperiment::fromGatewayJson(good);
    ASSERT_TRUE(experiment);
    EXPECT_EQ(experiment->idKey, -1);
    EXPECT_EQ(experiment->projectId, -1);
    EXPECT_EQ(experiment->experimentId, 7);
    EXPECT_EQ(experiment->creationDate, 1);
    EXPECT_EQ(experiment->updateDate, 2);

    for (const char* key : {"id", "creationDate", "completionDate", "updateDate", "isTesting",
                            "parameters", "conditions"}) {
        SCOPED_TRACE(key);
        json missing = good;
        missing.erase(key);
        EXPECT_FALSE(ABTestsExperiment::fromGatewayJson(missing));
    }
    const std::pair<const char*, json> mistyped[] = {
        {"id", "7"},
        {"isTesting", 1},
        {"updateDate", 1.5},
        {"parameters", {{}}},
        {"conditions", json{1}},
        {"conditions", json::object()},
        {"parameters", json::array({{{"key", "k"}}})},
    };
    for (const auto& [key, value] : mistyped) {
        SCOPED_TRACE(key);
        json bad = good;
        bad[key] = value;
        EXPECT_FALSE(ABTestsExperiment::fromGatewayJson(bad));
    }
    json renamed = good;
    renamed.erase("id");
    renamed["experimentId"] = 7;
    EXPECT_FALSE(ABTestsExperiment::fromGatewayJson(renamed));
}

TEST(ABTestsExperimentTest, DebugDescriptionListsConditions) {
    auto experiment = ABTestsExperiment::fromGatewayJson(experimentWithConditions(
        json::parse(R"([{"code": "ce", "parameters": {"level": {">": 3}}}, {"code": "lu"}])")));
    ASSERT_TRUE(experiment);
    EXPECT_EQ(experiment->debugDescription(),
              "\n\t\t[experiment: 7\n\t\tupdateDate: 2\n\t\tcreationDate: 1\n\t\tcompletionDate: 0"
              "\n\t\tconditions: \n\t\t\t[eventCode: ce\n\t\t\tcondition: level > 3],"
              "\n\t\t\t[eventCode: lu\n\t\t\tcondition: code == lu]]");
}

TEST(RemoteConfigTest, ExperimentsAnswerRules) {
    struct Case {
        const char* name;
        const char* text;
        bool decodes;
        std::size_t experiments = 0;
    };
    const Case cases[] = {
        {"no experiments key", R"({"version": 3, "userProperties": {}})", true},
        {"null experiments", R"({"experiments": null, "version": 3, "userProperties": {}})", true},
        {"one experiment",
         R"({"experiments": [{"id": 1, "creationDate": 0, "completionDate": 0, "updateDate": 0,
             "isTesting": true, "parameters": [{"key": "k", "values": {"a": 1}}],
             "conditions": []}], "version": 3, "userProperties": {"country": "DE"}})",
         true, 1},
        {"version missing", R"({"userProperties": {}})", false},
        {"userProperties missing", R"({"version": 3})", false},
        {"userProperties not an object", R"({"version": 3, "userProperties": []})", false},
        {"country of the wrong type", R"({"version": 3, "userProperties": {"country": 1}})", false},
        {"experiments not an array", R"({"experiments": {}, "version": 3, "userProperties": {}})",
         false},
        {"one bad experiment fails all",
         R"({"experiments": [{"experimentId": 1}], "version": 3, "userProperties": {}})", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto config = decodeJson<RemoteConfig>(c.text);
        ASSERT_EQ(config.has_value(), c.decodes);
        if (config) {
            EXPECT_EQ(config->version, 3);
            EXPECT_EQ(config->experiments.size(), c.experiments);
        }
    }
    auto config = decodeJson<RemoteConfig>(
        R"({"experiments": [], "version": 4, "userProperties": {"country": "FR"}})");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->userProperties.country, "FR");
    EXPECT_EQ(toJSONData(*config),
              R"({"experiments":[],"version":4,"userProperties":{"country":"FR"}})");
}

TEST(OfferRecordsTest, RequestAndAnswerForms) {
    EXPECT_EQ(toJSONData(SuitableExperiments{{3, 1, 2}}), R"({"suitableExperiments":[3,1,2]})");
    EXPECT_EQ(decodeJson<SuitableExperiments>(R"({"suitableExperiments":[3]})"),
              SuitableExperiments{{3}});
    EXPECT_FALSE(decodeJson<SuitableExperiments>("{}"));

    EXPECT_EQ(decodeJson<InvolvedExperimentsContainer>(
                  R"({"involvedExperiments": [{"group": "b", "id": 4, "extra": 1}]})"),
              (InvolvedExperimentsContainer{{{4, "b"}}}));
    EXPECT_EQ(decodeJson<InvolvedExperimentsContainer>(R"({"involvedExperiments": []})"),
              InvolvedExperimentsContainer{});
    for (const char* bad :
         {"{}", R"({"involvedExperiments": null})", R"({"involvedExperiments": [{"id": 4}]})",
          R"({"involvedExperiments": [{"id": "4", "group": "b"}]})"}) {
        EXPECT_FALSE(decodeJson<InvolvedExperimentsContainer>(bad)) << bad;
    }
    EXPECT_EQ(toJSONData(InvolvedExperimentsContainer{{{4, "b"}}}),
              R"({"involvedExperiments":[{"id":4,"group":"b"}]})");
}

}  // namespace
}  // namespace mvk

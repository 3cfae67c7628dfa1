#include <gtest/gtest.h>

#include <limits>
#include <unordered_set>

#include "abtest/ABTestsExperimentState.hpp"
#include "foundation/JsonCoding.hpp"
#include "records/ABTestUserProperties.hpp"
#include "records/ABTestsExperiment.hpp"
#include "records/InvolvedExperiment.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

struct DecodeCase {
    std::string text;
    bool accepted;
};

template <class T>
void expectDecoding(const std::vector<DecodeCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(decodeJson<T>(c.text).has_value(), c.accepted);
    }
}

TEST(ExperimentMarkerTest, WritesIdThenGroupAndNeedsBoth) {
    const ExperimentMarker marker{.idKey = 42, .group = "A"};
    EXPECT_EQ(toJSONData(marker), R"({"id":42,"group":"A"})");
    EXPECT_EQ(decodeJson<ExperimentMarker>(R"({"group":"A","id":42})"), marker);
    EXPECT_EQ((std::unordered_set<ExperimentMarker>{marker, {.idKey = 42, .group = "A"}}).size(),
              1u);
    expectDecoding<ExperimentMarker>({
        {R"({"id":1.0,"group":"A"})", true},
        {R"({"id":1})", false},
        {R"({"group":"A"})", false},
        {R"({"id":"1","group":"A"})", false},
        {R"({"id":1,"group":null})", false},
        {R"([1,"A"])", false},
    });
}

std::string repeated(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// The gateway's answer and a row an earlier version stored meet the same bounds, since either
// group rides on every later event.
TEST(ExperimentGroupTest, IsBoundedInBytesAndInCharacters) {
    const std::string emoji = "\xF0\x9F\x98\x80";        // 4 bytes, 1 character
    const std::string twoAccents = "a\xCC\x81\xCC\x81";  // 5 bytes, 1 character
    struct Case {
        const char* name;
        std::string group;
        bool accepted;
    };
    const Case cases[] = {
        {"256 characters in 1024 bytes", repeated(emoji, 256), true},
        {"256 characters in 1025 bytes", repeated(emoji, 255) + twoAccents, false},
        {"257 one-byte characters", repeated("a", 257), false},
        {"one character of 300 KB", "a" + repeated("\xCC\x81", 150'000), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LogCapture log(MVKLogLevel::warning);
        const nlohmann::json json = {{"id", 7}, {"group", c.group}};
        EXPECT_EQ(InvolvedExperiment::fromJson(json).has_value(), c.accepted);
        EXPECT_EQ(ExperimentMarker::fromJson(json).has_value(), c.accepted);
        EXPECT_EQ(log.containsFragment("The stored group of experiment [7] is over 1024 bytes or "
                                       "256 characters; the involvement is dropped"),
                  !c.accepted);
    }
}

TEST(ExperimentParameterTest, RoundTripsAndComparesEveryGroupValue) {
    const ExperimentParameter parameter{.key = "speed",
                                        .values = {{"A", 1}, {"B", "fast"}, {"C", nullptr}}};
    EXPECT_EQ(toJSONData(parameter), R"({"key":"speed","values":{"A":1,"B":"fast","C":null}})");
    EXPECT_EQ(decodeJson<ExperimentParameter>(*toJSONData(parameter)), parameter);

    ExperimentParameter changed = parameter;
    changed.values["B"] = "slow";
    EXPECT_NE(changed, parameter);
    changed.values["B"] = "fast";
    changed.values["A"] = 1.0;
    EXPECT_EQ(changed, parameter);

    expectDecoding<ExperimentParameter>({
        {R"({"key":"k","values":{}})", true},
        {R"({"values":{}})", false},
        {R"({"key":"k"})", false},
        {R"({"key":"k","values":null})", false},
        {R"({"key":"k","values":[1]})", false},
    });
}

TEST(ExperimentConditionTest, StoredFormKeepsKeyOrderAndNullComparisonValue) {
    const ExperimentCondition condition{.eventCode = "pl",
                                        .searchPath = {"parameters", "vip"},
                                        .conditionsType = ConditionsType::backend,
                                        .comparison = {.key = "==", .value = nullptr},
                                        .isChecked = true};
    const std::string text = *toJSONData(condition);
    EXPECT_EQ(text,
              R"({"eventCode":"pl","searchPath":["parameters","vip"],"conditionsType":"backend",)"
              R"("comparison":{"key":"==","value":null},"isChecked":true})");
    EXPECT_EQ(decodeJson<ExperimentCondition>(text), condition);
}

TEST(ExperimentConditionTest, EveryKeyIsRequiredAndStrictlyTyped) {
    auto condition = [](const std::string& type, const std::string& path,
                        const std::string& comparison, const std::string& checked) {
        return R"({"eventCode":"ce","searchPath":)" + path + R"(,"conditionsType":)" + type +
               R"(,"comparison":)" + comparison + R"(,"isChecked":)" + checked + "}";
    };
    const std::string comparison = R"({"key":"IN","value":[1,2]})";
    expectDecoding<ExperimentCondition>({
        {condition(R"("local")", "[]", comparison, "false"), true},
        {condition(R"("backend")", R"(["a"])", R"({"key":"<","value":null})", "true"), true},
        {condition(R"("Backend")", "[]", comparison, "false"), false},
        {condition(R"("local")", "[1]", comparison, "false"), false},
        {condition(R"("local")", R"("a")", comparison, "false"), false},
        {condition(R"("local")", "[]", R"({"key":"IN"})", "false"), false},
        {condition(R"("local")", "[]", R"({"key":4,"value":1})", "false"), false},
        {condition(R"("local")", "[]", "null", "false"), false},
        {condition(R"("local")", "[]", comparison, "1"), false},
        {R"({"searchPath":[],"conditionsType":"local","comparison":{"key":"==","value":1},)"
         R"("isChecked":false})",
         false},
        {R"({"eventCode":"ce","searchPath":[],"conditionsType":"local",)"
         R"("comparison":{"key":"==","value":1}})",
         false},
    });
}

TEST(ABTestUserPropertiesTest, CountryIsOptionalButTyped) {
    EXPECT_EQ(toJSONData(ABTestUserProperties{}), "{}");
    EXPECT_EQ(toJSONData(ABTestUserProperties{.country = "DE"}), R"({"country":"DE"})");
    EXPECT_EQ(decodeJson<ABTestUserProperties>("{}"), ABTestUserProperties{});
    EXPECT_EQ(decodeJson<ABTestUserProperties>(R"({"country":null})"), ABTestUserProperties{});
    expectDecoding<ABTestUserProperties>({{R"({"country":5})", false}, {"[]", false}});
}

TEST(ABTestsExperimentStateTest, KeyedFormWritesInvolvementOnlyWhenPresent) {
    ABTestsExperimentState state{.idKey = 5, .userId = 2, .experimentId = 77, .runAbility = false};
    EXPECT_EQ(toJSONData(state), R"({"idKey":5,"userId":2,"experimentId":77,"runAbility":false})");
    EXPECT_EQ(decodeJson<ABTestsExperimentState>(*toJSONData(state)), state);

    state.involvement = ExperimentMarker{.idKey = 77, .group = "B"};
    EXPECT_EQ(toJSONData(state), R"({"idKey":5,"userId":2,"experimentId":77,"runAbility":false,)"
                                 R"("involvement":{"id":77,"group":"B"}})");
    EXPECT_EQ(decodeJson<ABTestsExperimentState>(*toJSONData(state)), state);

    const std::string head = R"({"idKey":1,"userId":2,"experimentId":3,"runAbility":true)";
    expectDecoding<ABTestsExperimentState>({
        {head + R"(,"involvement":null})", true},
        {head + R"(,"involvement":{"id":3}})", false},
        {head + R"(,"involvement":""})", false},
        {R"({"userId":2,"experimentId":3,"runAbility":true})", false},
        {R"({"idKey":1,"userId":2,"experimentId":3,"runAbility":1})", false},
        {R"({"idKey":1,"userId":2,"experimentId":3})", false},
    });
}

TEST(ABTestsExperimentTest, WireOrderWithoutRowIds) {
    ABTestsExperiment experiment{.idKey = 9,
                                 .projectId = 4,
                                 .experimentId = 77,
                                 .creationDate = 100,
                                 .updateDate = 300,
                                 .completionDate = 200};
    experiment.parameters = {{.key = "k", .values = {{"A", true}}}};
    EXPECT_EQ(toJSONData(experiment),
              R"({"conditions":[],"parameters":[{"key":"k","values":{"A":true}}],"id":77,)"
              R"("creationDate":100,"completionDate":200,"updateDate":300,"isTesting":false})");

    experiment.parameters[0].values["A"] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(toJSONData(experiment));
}

}  // namespace
}  // namespace mvk

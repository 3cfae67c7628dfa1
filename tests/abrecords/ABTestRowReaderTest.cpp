#include <gtest/gtest.h>

#include "abtest/ABTestsExperimentState.hpp"
#include "abtest/ABTestsProject.hpp"
#include "foundation/JsonCoding.hpp"
#include "records/ABTestsExperiment.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"

namespace mvk {
namespace {

const std::string markerJson = R"({"id":12,"group":"B"})";

/// Rows go in through the library's own schema, so the readers are checked
/// against the column order the repositories select.
class ABTestRowReaderTest : public test::StorageTest {
  protected:
    template <class Row>
    std::vector<Row> rows(const std::string& table) {
        return query<Row>(provider_, {.tableName = table}).value();
    }

    ContentValues experimentColumns(SQLiteValue parameters, SQLiteValue conditions) {
        return {{"projectId", 1},           {"experimentId", 77},      {"creationDate", 100},
                {"updateDate", 200},        {"completionDate", 0},     {"isTesting", 1},
                {"parameters", parameters}, {"conditions", conditions}};
    }

    SQLiteProvider provider_{"app-key"};
};

TEST_F(ABTestRowReaderTest, ProjectUserPropertiesDegradeToNoneWhenTheyDoNotDecode) {
    struct Case {
        SQLiteValue column;
        std::optional<ABTestUserProperties> expected;
    };
    const Case cases[] = {
        {R"({"country":"DE"})", ABTestUserProperties{.country = "DE"}},
        {"{}", ABTestUserProperties{}},
        {R"({"country":null})", ABTestUserProperties{}},
        {"null", std::nullopt},
        {R"({"country":5})", std::nullopt},
        {"{broken", std::nullopt},
        {"", std::nullopt},
        {nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column.debugDescription());
        provider_.clear("abTestProject");
        ASSERT_TRUE(provider_.insert(
            "abTestProject", {{"projectId", 3}, {"version", 9}, {"userProperties", c.column}}));
        auto read = rows<ABTestsProject>("abTestProject");
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].projectId, 3);
        EXPECT_EQ(read[0].version, 9);
        EXPECT_EQ(read[0].userProperties, c.expected);
    }
}

TEST_F(ABTestRowReaderTest, ProjectRowWithBadKeyIsSkippedAndBadVersionReadsAsZero) {
    ASSERT_TRUE(provider_.insert("abTestProject", {{"projectId", "p"}, {"version", 1}}));
    ASSERT_TRUE(provider_.insert("abTestProject", {{"projectId", 4}, {"version", "v"}}));
    auto read = rows<ABTestsProject>("abTestProject");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].projectId, 4);
    EXPECT_EQ(read[0].version, 0);
}

TEST_F(ABTestRowReaderTest, ExperimentReadsBackWhatWasStored) {
    ABTestsExperiment experiment{.projectId = 1,
                                 .experimentId = 77,
                                 .creationDate = 100,
                                 .updateDate = 200,
                                 .completionDate = 0,
                                 .isTesting = true};
    experiment.parameters = {{.key = "speed", .values = {{"A", 1}, {"B", 2.5}, {"C", nullptr}}}};
    experiment.conditions = {
        {.eventCode = "ce",
         .searchPath = {"parameters", "level"},
         .conditionsType = ConditionsType::local,
         .comparison = {.key = ">", .value = 3}},
        {.eventCode = "di",
         .searchPath = {"country"},
         .conditionsType = ConditionsType::backend,
         .comparison = {.key = "IN", .value = AnyCodable::array({"DE", "FR"})},
         .isChecked = true},
        {.eventCode = "ce", .searchPath = {"name"}, .comparison = {.key = "==", .value = nullptr}},
    };
    auto id = provider_.insert(
        "abtestExperiments",
        experimentColumns(*toJSONData(experiment.parameters), *toJSONData(experiment.conditions)));
    ASSERT_TRUE(id);
    experiment.idKey = *id;
    auto read = rows<ABTestsExperiment>("abtestExperiments");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], experiment);
}

TEST_F(ABTestRowReaderTest, BrokenJsonColumnEmptiesOnlyItsOwnList) {
    const std::string parameters = R"([{"key":"speed","values":{"A":1}}])";
    const std::string conditions =
        R"([{"eventCode":"ce","searchPath":["level"],"conditionsType":"local",)"
        R"("comparison":{"key":">","value":3},"isChecked":false}])";
    const SQLiteValue broken[] = {
        "not json", "{}", "null", "", R"([{"eventCode":"ce"}])", R"([1])", nullptr,
    };
    for (const auto& bad : broken) {
        SCOPED_TRACE(bad.debugDescription());
        provider_.clear("abtestExperiments");
        ASSERT_TRUE(provider_.insert("abtestExperiments", experimentColumns(parameters, bad)));
        ASSERT_TRUE(provider_.insert("abtestExperiments", experimentColumns(bad, conditions)));
        auto read = rows<ABTestsExperiment>("abtestExperiments");
        ASSERT_EQ(read.size(), 2u);
        EXPECT_EQ(read[0].parameters.size(), 1u);
        EXPECT_TRUE(read[0].conditions.empty());
        EXPECT_TRUE(read[1].parameters.empty());
        EXPECT_EQ(read[1].conditions.size(), 1u);
    }
}

TEST_F(ABTestRowReaderTest, ExperimentKeyColumnsAndTestingFlag) {
    auto withColumn = [this](const std::string& name, SQLiteValue value) {
        auto columns = experimentColumns("[]", "[]");
        for (auto& [column, stored] : columns) {
            if (column == name) {
                stored = value;
            }
        }
        return columns;
    };
    ASSERT_TRUE(provider_.insert("abtestExperiments", withColumn("experimentId", nullptr)));
    ASSERT_TRUE(provider_.insert("abtestExperiments", withColumn("creationDate", "x")));
    ASSERT_TRUE(provider_.insert("abtestExperiments", withColumn("completionDate", 1.5)));
    ASSERT_TRUE(provider_.insert("abtestExperiments", withColumn("isTesting", 2)));
    ASSERT_TRUE(provider_.insert("abtestExperiments", withColumn("isTesting", 0)));
    ASSERT_TRUE(provider_.insert("abtestExperiments", withColumn("isTesting", -1)));
    ASSERT_TRUE(provider_.insert("abtestExperiments", withColumn("isTesting", "yes")));
    auto read = rows<ABTestsExperiment>("abtestExperiments");
    ASSERT_EQ(read.size(), 4u);
    EXPECT_TRUE(read[0].isTesting);
    EXPECT_FALSE(read[1].isTesting);
    EXPECT_FALSE(read[2].isTesting);
    EXPECT_FALSE(read[3].isTesting);
}

TEST_F(ABTestRowReaderTest, StateRunAbilityAndInvolvementColumns) {
    struct Case {
        SQLiteValue runAbility, involvement;
        bool expectedRunAbility;
        std::optional<ExperimentMarker> expectedInvolvement;
    };
    const ExperimentMarker marker{.idKey = 12, .group = "B"};
    // One character of 1201 bytes, as an earlier version, bounding only characters, stored it.
    std::string oneCharacterGroup = R"({"id":12,"group":"a)";
    for (int accent = 0; accent < 600; ++accent) {
        oneCharacterGroup += "\xCC\x81";
    }
    oneCharacterGroup += R"("})";
    const Case cases[] = {
        {1, markerJson, true, marker},
        {5, "", true, std::nullopt},
        {0, nullptr, false, std::nullopt},
        {nullptr, markerJson, false, marker},
        {"true", markerJson, false, marker},
        {1, R"({"id":"12","group":"B"})", true, std::nullopt},
        {1, R"({"id":12})", true, std::nullopt},
        {1, "null", true, std::nullopt},
        {1, oneCharacterGroup, true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.runAbility.debugDescription() + " " + c.involvement.debugDescription());
        provider_.clear("abTestExperimentsState");
        ASSERT_TRUE(provider_.insert("abTestExperimentsState", {{"userId", 2},
                                                                {"experimentId", 77},
                                                                {"runAbility", c.runAbility},
                                                                {"involvement", c.involvement}}));
        auto read = rows<ABTestsExperimentState>("abTestExperimentsState");
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].userId, 2);
        EXPECT_EQ(read[0].experimentId, 77);
        EXPECT_EQ(read[0].runAbility, c.expectedRunAbility);
        EXPECT_EQ(read[0].involvement, c.expectedInvolvement);
    }
}

TEST_F(ABTestRowReaderTest, StateRowWithBadKeyIsSkipped) {
    ASSERT_TRUE(provider_.insert("abTestExperimentsState",
                                 {{"userId", "u"}, {"experimentId", 1}, {"runAbility", 1}}));
    ASSERT_TRUE(provider_.insert("abTestExperimentsState",
                                 {{"userId", 2}, {"experimentId", 2}, {"runAbility", 1}}));
    auto read = rows<ABTestsExperimentState>("abTestExperimentsState");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].experimentId, 2);
}

}  // namespace
}  // namespace mvk

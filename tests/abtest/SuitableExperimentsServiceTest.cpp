#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "abtest/ABStoreTest.hpp"
#include "abtest/SuitableExperimentsService.hpp"

namespace mvk {
namespace {

ExperimentCondition onEvent(const std::string& code, const std::string& name) {
    return ExperimentCondition{.eventCode = code,
                               .searchPath = {"name"},
                               .comparison = Comparison{.key = "==", .value = AnyCodable(name)}};
}

/// Holds while the audience's level is at least `level`.
ExperimentCondition levelAtLeast(std::int64_t level) {
    return ExperimentCondition{.eventCode = "di",
                               .searchPath = {"level"},
                               .conditionsType = ConditionsType::backend,
                               .comparison = Comparison{.key = ">=", .value = AnyCodable(level)}};
}

class SuitableSearch : public test::ABStoreTest {
  public:
    void add(std::int64_t id, std::vector<ExperimentCondition> conditions, bool testing = false,
             bool runnable = true, std::int64_t user = 0) {
        auto stored = std::make_shared<ABTestsExperiment>(experiment(id, 1, 0, testing));
        stored->projectId = project();
        stored->conditions = std::move(conditions);
        experiments->insert(stored);
        storeState({user == 0 ? me() : user, id, runnable, ""});
    }
    /// The audience at `level`; also rebuilds the event masks.
    void audience(std::int64_t level = 1) {
        service.updateActiveAudienceState(AudienceLocalData{.level = level}, std::nullopt,
                                          std::nullopt);
    }
    std::vector<std::int64_t> search(const std::string& code, const std::string& json) {
        EventObject event(code, 1, me(), json);
        return service.searchSuitableExperiments(&event);
    }
    std::vector<std::int64_t> searchWithout() { return service.searchSuitableExperiments(nullptr); }

    SuitableExperimentsService service{state, manager, experiments, states};
};

struct Case {
    std::string name;
    std::function<std::vector<std::int64_t>(SuitableSearch&)> run;
    std::vector<std::int64_t> ids;
};

void PrintTo(const Case& row, std::ostream* out) {
    *out << row.name;
}

class SuitableSearchCases : public SuitableSearch, public ::testing::WithParamInterface<Case> {};

TEST_P(SuitableSearchCases, FindsTheExperimentsThatFitNow) {
    EXPECT_EQ(GetParam().run(*this), GetParam().ids);
}

const std::string go = R"({"code":"ce","name":"go"})";

INSTANTIATE_TEST_SUITE_P(
    Search, SuitableSearchCases,
    ::testing::Values(Case{"NoConditionsFitsWithAndWithoutAnEvent",
                           [](SuitableSearch& t) {
                               t.add(7, {});
                               t.audience();
                               EXPECT_EQ(t.searchWithout(), (std::vector<std::int64_t>{7}));
                               return t.search("lu", "{}");
                           },
                           {7}},
                      Case{"LocalConditionWithoutAnEventNeverFits",
                           [](SuitableSearch& t) {
                               t.add(7, {onEvent("ce", "go")});
                               t.audience();
                               return t.searchWithout();
                           },
                           {}},
                      Case{"AnEventOfACodeOutsideTheMaskIsNotMatched",
                           [](SuitableSearch& t) {
                               t.add(7, {onEvent("lu", "go")});
                               t.audience();
                               return t.search("ce", go);
                           },
                           {}},
                      Case{"MatchingEventInCandidateOrder",
                           [](SuitableSearch& t) {
                               t.add(9, {onEvent("ce", "go")});
                               t.add(7, {onEvent("ce", "stop")});
                               t.add(8, {onEvent("ce", "go")});
                               t.audience();
                               return t.search("ce", go);
                           },
                           {9, 8}},
                      Case{"AnEventThatDoesNotDecodeFitsNothing",
                           [](SuitableSearch& t) {
                               t.add(7, {onEvent("ce", "go")});
                               t.audience();
                               return t.search("ce", "{not json");
                           },
                           {}},
                      Case{"ATestExperimentQualifiesAtOnce",
                           [](SuitableSearch& t) {
                               t.add(7, {onEvent("ce", "never")}, true);
                               t.audience();
                               return t.searchWithout();
                           },
                           {7}},
                      Case{"ProcessedLeavesTheCandidatesAndThePendingOffer",
                           [](SuitableSearch& t) {
                               t.add(7, {});
                               t.add(8, {});
                               t.audience();
                               t.service.addSuitableExperiments({7, 8, 7});
                               t.service.markAsProcessed({7});
                               EXPECT_EQ(t.service.getSuitableExperiments(),
                                         (std::vector<std::int64_t>{8}));
                               EXPECT_EQ(std::get<2>(t.storedStates().at(0)), true);
                               return t.searchWithout();
                           },
                           {8}},
                      Case{"OtherUsersRowsAndRefusedRowsNeverCount",
                           [](SuitableSearch& t) {
                               t.add(7, {}, false, true, t.other->idKey);
                               t.add(8, {}, false, false);
                               t.audience();
                               return t.searchWithout();
                           },
                           {}},
                      Case{"ABackendConditionOnceMetKeepsCountingForTheNextEvent",
                           [](SuitableSearch& t) {
                               t.add(7, {levelAtLeast(3), onEvent("ce", "go")});
                               t.audience(3);
                               EXPECT_TRUE(t.searchWithout().empty());
                               t.audience(1);
                               EXPECT_EQ(t.search("ce", go), (std::vector<std::int64_t>{7}))
                                   << "the mark outlives a lower level until the marks are removed";
                               t.service.removeAudienceCheckMarks();
                               EXPECT_TRUE(t.search("ce", go).empty());
                               t.audience(3);
                               EXPECT_TRUE(t.search("ce", R"({"name":"stop"})").empty());
                               return t.search("ce", go);
                           },
                           {7}}));

}  // namespace
}  // namespace mvk

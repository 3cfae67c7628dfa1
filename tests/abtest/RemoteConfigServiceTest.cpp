#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "abtest/ABStoreTest.hpp"
#include "abtest/RemoteConfigService.hpp"

namespace mvk {
namespace {

using Rows = test::ABStoreTest::ExperimentRow;
using States = test::ABStoreTest::StateRow;

class RemoteConfigServiceTest : public test::ABStoreTest {
  public:
    RemoteConfig config(std::int64_t version, std::vector<ABTestsExperiment> list) {
        return RemoteConfig{.experiments = std::move(list), .version = version};
    }
    void apply(const RemoteConfig& received) {
        service->applyRemoteConfig(received);
        service->applyExperiments(received.experiments);
        service->createExperimentState();
    }

    std::shared_ptr<RemoteConfigService> service =
        std::make_shared<RemoteConfigService>(state, manager, abProjects, experiments, states);
};

struct Case {
    std::string name;
    std::vector<Rows> stored;
    /// User 1 is the active one, user 2 the other.
    std::vector<States> storedStates;
    std::function<void(RemoteConfigServiceTest&, RemoteConfigService&)> call;
    std::vector<Rows> rows;
    std::vector<States> states;
    std::optional<std::int64_t> configVersion;
    std::vector<std::int64_t> suitable{};
};

// Test names stay stable: the rows print as their names.
void PrintTo(const Case& row, std::ostream* out) {
    *out << row.name;
}

class RemoteConfigServiceCases : public RemoteConfigServiceTest,
                                 public ::testing::WithParamInterface<Case> {};

TEST_P(RemoteConfigServiceCases, KeepsTheTablesInStep) {
    const auto& row = GetParam();
    for (const auto& stored : row.stored) {
        storeExperiment(stored);
    }
    for (const auto& stored : row.storedStates) {
        storeState(stored);
    }
    manager->setSuitableExperiments({7, 10, 8});
    row.call(*this, *service);
    EXPECT_EQ(storedExperiments(), row.rows);
    EXPECT_EQ(storedStates(), row.states);
    EXPECT_EQ(manager->configVersion(), row.configVersion);
    EXPECT_EQ(manager->suitableExperiments(),
              row.suitable.empty() ? std::vector<std::int64_t>({7, 10, 8}) : row.suitable);
}

using T = RemoteConfigServiceTest;
using S = RemoteConfigService;
constexpr std::int64_t now = 1'700'000'000'000;  // the fixture's clock

INSTANTIATE_TEST_SUITE_P(
    Answers, RemoteConfigServiceCases,
    ::testing::Values(
        Case{"FirstAnswerStoresExperimentsAndStates",
             {},
             {},
             [](T& t, S&) {
                 t.apply(t.config(5, {T::experiment(10), T::experiment(11)}));
             },
             {{10, 1, 0, false, 1}, {11, 1, 0, false, 1}},
             {{1, 10, true, ""}, {1, 11, true, ""}},
             5},
        Case{"UnchangedAnswerKeepsARefusal",
             {{10, 1, 0, false, 1}},
             {{1, 10, false, "b"}},
             [](T& t, S&) { t.apply(t.config(6, {T::experiment(10)})); },
             {{10, 1, 0, false, 1}},
             {{1, 10, false, "b"}},
             6},
        Case{"ChangedUpdateDateRearmsARefusedExperiment",
             {{10, 1, 0, false, 1}},
             {{1, 10, false, ""}, {2, 10, false, ""}},
             [](T& t, S&) { t.apply(t.config(6, {T::experiment(10, 2)})); },
             {{10, 2, 0, false, 1}},
             {{1, 10, true, ""}, {2, 10, false, ""}},
             6},
        Case{"CompletionDateAloneKeepsTheRefusal",
             {{10, 1, 0, false, 1}},
             {{1, 10, false, ""}},
             [](T& t, S&) { t.apply(t.config(6, {T::experiment(10, 1, 500)})); },
             {{10, 1, 500, false, 1}},
             {{1, 10, false, ""}},
             6},
        Case{"TestExperimentIsRearmedEveryTime",
             {{10, 1, 0, true, 1}},
             {{1, 10, false, ""}},
             [](T& t, S&) { t.apply(t.config(6, {T::experiment(10, 1, 0, true)})); },
             {{10, 1, 0, true, 1}},
             {{1, 10, true, ""}},
             6},
        Case{"EmptyListDeletesEveryUsersStates",
             {{10, 1, 0, false, 1}, {11, 1, 0, false, 1}, {12, 1, 0, false, 2}},
             {{1, 10, true, "a"}, {2, 11, true, ""}},
             [](T& t, S&) { t.apply(t.config(6, {})); },
             {{12, 1, 0, false, 2}},
             {},
             6},
        Case{"AnIdListedTwiceIsAppliedOnce",
             {},
             {},
             [](T& t, S& service) {
                 t.apply(t.config(5, {T::experiment(10), T::experiment(10, 9)}));
                 t.storeState({2, 10, true, ""});
                 service.markAsRefused({10});
                 t.apply(t.config(6, {T::experiment(10)}));
             },
             {{10, 1, 0, false, 1}},
             {{1, 10, false, ""}, {2, 10, true, ""}},
             6,
             {7, 8}},
        Case{"ExpiryAtZeroNeverAndAtNowAlways",
             {{10, 1, 0, false, 1}, {11, 1, now, false, 1}, {12, 1, now + 1, false, 1}},
             {{1, 11, true, ""}, {2, 11, true, ""}, {2, 12, true, ""}},
             [](T&, S& service) { service.deleteExpiredExperiments(); },
             {{10, 1, 0, false, 1}, {12, 1, now + 1, false, 1}},
             {{2, 12, true, ""}},
             std::nullopt},
        Case{"RefusingAnUnknownIdStillLeavesTheOffer",
             {{10, 1, 0, false, 1}},
             {{1, 10, true, ""}, {2, 10, true, ""}},
             [](T&, S& service) {
                 service.markAsRefused({8, 10});
             },
             {{10, 1, 0, false, 1}},
             {{1, 10, false, ""}, {2, 10, true, ""}},
             std::nullopt,
             {7}},
        Case{"DeletedUsersLoseTheirStates",
             {{10, 1, 0, false, 1}},
             {{1, 10, true, ""}, {2, 10, true, ""}},
             [](T&, S& service) {
                 service.deleteInactiveExperimentsState({});
                 service.deleteInactiveExperimentsState({2});
             },
             {{10, 1, 0, false, 1}},
             {{1, 10, true, ""}},
             std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST_F(RemoteConfigServiceTest, InitialVersionComesFromTheStoredProjectRow) {
    manager->setConfigVersion(99);
    service->prepareInitialState();
    EXPECT_EQ(manager->configVersion(), std::nullopt);

    service->applyRemoteConfig(
        RemoteConfig{.version = 5, .userProperties = ABTestUserProperties{.country = "DE"}});
    manager->setConfigVersion(std::nullopt);
    RemoteConfigService restarted(state, manager,
                                  std::make_shared<ABTestsProjectRepository>(reopened()),
                                  experiments, states);
    restarted.prepareInitialState();
    EXPECT_EQ(manager->configVersion(), 5);
    EXPECT_EQ(restarted.getABTestsProjectVersion(), 5);
    EXPECT_EQ(restarted.getUserProperties(), ABTestUserProperties{.country = "DE"});
}

TEST_F(RemoteConfigServiceTest, LogLineNamesTheUserEvenWithoutAnId) {
    state->user->userId = std::nullopt;
    service->applyRemoteConfig(config(5, {experiment(10)}));
    EXPECT_TRUE(log.contains(MVKLogLevel::debug,
                             "[A/B-Test Module] For user [] the remote configuration has been "
                             "received:\n\tcurrent config version: 5\n\texperiments: " +
                                 experiment(10).debugDescription()));
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include "abtest/ABStoreTest.hpp"
#include "abtest/InvolvedExperimentsService.hpp"

namespace mvk {
namespace {

class InvolvedExperimentsServiceTest : public test::ABStoreTest {
  protected:
    InvolvedExperimentsService make() {
        return InvolvedExperimentsService(state, manager, experiments, states, {});
    }
};

TEST_F(InvolvedExperimentsServiceTest, ActivationWithoutAStateRowStoresNothing) {
    storeState({me(), 10, true, ""});
    auto service = make();
    const ExperimentMarker marker{.idKey = 11, .group = "b"};
    service.cacheExperimentMarker(marker);
    service.activateExperimentMarker();
    EXPECT_EQ(service.getCacheExperimentMarker(), marker);
    EXPECT_EQ(storedStates(), std::vector<StateRow>({{me(), 10, true, ""}}));

    service.cacheExperimentMarker(ExperimentMarker{.idKey = 10, .group = "a"});
    service.activateExperimentMarker();
    EXPECT_EQ(storedStates(), std::vector<StateRow>({{me(), 10, true, "a"}}));
}

TEST_F(InvolvedExperimentsServiceTest, TheFirstOfTwoInvolvementsIsFoundLoadedAndCleared) {
    storeState({other->idKey, 9, true, "x"});
    storeState({me(), 10, true, "a"});
    storeState({me(), 11, true, "b"});
    auto service = make();
    EXPECT_EQ(service.searchInvolvedExperimentState()->experimentId, 10);
    EXPECT_EQ(service.tryLoadExperimentMarker(), (ExperimentMarker{.idKey = 10, .group = "a"}));

    service.clearExperimentMarker();
    EXPECT_FALSE(service.isMarkedExperimentFound());
    EXPECT_EQ(storedStates(),
              std::vector<StateRow>(
                  {{other->idKey, 9, true, "x"}, {me(), 10, true, ""}, {me(), 11, true, "b"}}));
    // A fresh service after a restart finds the second one.
    InvolvedExperimentsService restarted(
        state, manager, experiments, std::make_shared<ABTestsExperimentStateRepository>(reopened()),
        {});
    EXPECT_EQ(restarted.tryLoadExperimentMarker(), (ExperimentMarker{.idKey = 11, .group = "b"}));
}

TEST_F(InvolvedExperimentsServiceTest, InvolvementAndTestingAreAnsweredPerUserAndProject) {
    storeState({other->idKey, 10, true, "a"});
    storeExperiment({10, 1, 0, true, project()});
    storeExperiment({11, 1, 0, true, project() + 1});
    auto service = make();
    EXPECT_TRUE(service.isUserHasInvolvedGroup(*other));
    EXPECT_FALSE(service.isUserHasInvolvedGroup(*state->user));
    EXPECT_TRUE(service.isExperimentTesting(10));
    EXPECT_FALSE(service.isExperimentTesting(11));
    EXPECT_FALSE(service.isExperimentTesting(12));
}

}  // namespace
}  // namespace mvk

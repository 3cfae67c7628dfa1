#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "abtest/ABLogicHarness.hpp"
#include "foundation/MVKError.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using test::ABLogicHarness;

const std::string refusedByServer =
    "changed 0 [A/B-Test Module] Server refused to conduct the experiment";
const std::string refusedInBackground =
    "changed 0 [A/B-Test Module] Offer refused because application enter background";
const std::string lateOffer =
    "changed 0 [A/B-Test Module] Offer from morvanix not received within the allotted [10.0] "
    "seconds";

struct Scenario {
    std::string name;
    /// Stores experiments and rows, starts the logic and drives it.
    std::function<void(ABLogicHarness&)> script;
    std::vector<std::string> calls;
    bool sending;
    /// The user's stored involvement, "" for none.
    std::string storedGroup;
};

void PrintTo(const Scenario& row, std::ostream* out) {
    *out << row.name;
}

class ABTestLogicScenarios : public ABLogicHarness, public ::testing::WithParamInterface<Scenario> {
  protected:
    /// The stored version, so that a configuration answer of that version
    /// leaves the stored experiments alone.
    void storeProjectVersion(std::int64_t version) {
        abProjects->insert(std::make_shared<ABTestsProject>(
            ABTestsProject{.projectId = project(), .version = version}));
    }
};

TEST_P(ABTestLogicScenarios, TellsTheHostAndGatesSending) {
    const auto& scenario = GetParam();
    storeProjectVersion(1);
    scenario.script(*this);
    queue.drain(test::drainLimit());
    EXPECT_EQ(calls(), scenario.calls);
    EXPECT_EQ(sending(), scenario.sending);
    EXPECT_EQ(storedGroup(), scenario.storedGroup);
}

void answerConfig(ABLogicHarness& t) {
    t.config->configUpdate()(RemoteConfig{.version = 1});
}

void background(ABLogicHarness& t) {
    t.logic->goBackground();
    t.queue.drain(test::drainLimit());
}

/// One experiment on the event "go", found and offered.
void offered(ABLogicHarness& t, ABTestInitalData data = {}) {
    t.addExperiment(7, true);
    t.start(data);
    t.fire();
}

const std::string userChanged =
    "[A/B-Test Module]  In the process of receiving offer from the server, the user was changed. "
    "Offer has been canceled.";

/// Experiment 8 fits once the audience passes `condition`, changed by
/// `change` while the offer for 7 is pending; the pending offer ends in a
/// refusal, and the next search offers 8 alone.
void audienceChangeDuringTheOffer(ABLogicHarness& t, ExperimentCondition condition,
                                  const std::function<void(ABLogicHarness&)>& change) {
    auto stored = std::make_shared<ABTestsExperiment>(test::ABStoreTest::experiment(8));
    stored->projectId = t.project();
    condition.conditionsType = ConditionsType::backend;
    stored->conditions.push_back(std::move(condition));
    t.experiments->insert(stored);
    t.storeState({t.me(), 8, true, ""});
    offered(t);
    change(t);
    EXPECT_EQ(t.config->offersSent.size(), 1U) << "no second offer while one is pending";
    t.config->answerOffer({});
    t.fire("other");
    ASSERT_EQ(t.config->offersSent.size(), 2U);
    EXPECT_EQ(t.config->offersSent[1].suitableExperiments, std::vector<std::int64_t>{8});
}

ExperimentCondition audience(std::string key, std::vector<std::string> path, AnyCodable value) {
    return ExperimentCondition{.eventCode = std::move(key),
                               .searchPath = std::move(path),
                               .comparison = Comparison{.key = "==", .value = std::move(value)}};
}

INSTANTIATE_TEST_SUITE_P(
    Logic, ABTestLogicScenarios,
    ::testing::Values(
        Scenario{"NoWaitEveryConfigurationSaysReceived",
                 [](ABLogicHarness& t) {
                     t.start();
                     answerConfig(t);
                     answerConfig(t);
                     EXPECT_EQ(t.config->configRequests, 1);
                 },
                 {"received 1", "received 1"},
                 true,
                 ""},
        Scenario{"WaitExpiresFirstAndTheSearchStops",
                 [](ABLogicHarness& t) {
                     t.addExperiment(7, true);
                     t.start({.abConfigWaiting = 5.0});
                     t.advance(5'000);
                     answerConfig(t);
                     t.fire();
                     EXPECT_TRUE(t.config->offersSent.empty());
                 },
                 {"received 0"},
                 true,
                 ""},
        Scenario{"WaitAnsweredInTime",
                 [](ABLogicHarness& t) {
                     t.start({.abConfigWaiting = 5.0});
                     t.advance(1'000);
                     answerConfig(t);
                     t.advance(10'000);
                 },
                 {"received 1"},
                 true,
                 ""},
        Scenario{"SearchDuringTheWaitEndsIt",
                 [](ABLogicHarness& t) {
                     t.addExperiment(7, true);
                     t.start({.abConfigWaiting = 5.0});
                     t.fire();
                     t.advance(5'000);
                 },
                 {"received 1", "prepare"},
                 false,
                 ""},
        Scenario{"TwoIdsOfferedTheFirstEntryTaken",
                 [](ABLogicHarness& t) {
                     t.addExperiment(7, true);
                     t.addExperiment(8, true);
                     t.start();
                     t.fire("other");
                     t.fire();
                     ASSERT_EQ(t.config->offersSent.size(), 1U);
                     EXPECT_EQ(t.config->offersSent[0].suitableExperiments,
                               (std::vector<std::int64_t>{7, 8}));
                     t.config->answerOffer({{8, "B"}, {7, "A"}});
                     EXPECT_EQ(t.involved->getCacheExperimentMarker(),
                               (ExperimentMarker{.idKey = 8, .group = "B"}));
                     EXPECT_EQ(t.logic->getConfig(),
                               (MVKRemoteConfigParameters{{"speed", std::int64_t{5}}}));
                 },
                 {"prepare", "changed 1"},
                 false,
                 ""},
        Scenario{"AcceptedThenAppliedMarksWhatLeavesFromTheTriggerOn",
                 [](ABLogicHarness& t) {
                     offered(t);
                     EXPECT_TRUE(t.leaving().empty());
                     t.config->answerOffer({{7, "B"}});
                     t.apply();
                     const auto leaving = t.leaving();
                     ASSERT_EQ(leaving.size(), 1U);
                     EXPECT_NE(leaving[0].json.find(R"("inExperiments":[{"id":7,"group":"B"}])"),
                               std::string::npos);
                 },
                 {"prepare", "changed 1"},
                 true,
                 "B"},
        Scenario{"EmptyAnswerRefusesForGood",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->answerOffer({});
                     EXPECT_EQ(t.storedStates(),
                               (std::vector<test::ABStoreTest::StateRow>{{t.me(), 7, false, ""}}));
                     EXPECT_TRUE(t.logs().contains(MVKLogLevel::error,
                                                   "[A/B-Test Module] Suitable experiments [[7]] "
                                                   "marked as refused"));
                 },
                 {"prepare", refusedByServer},
                 true,
                 ""},
        Scenario{"LateAnswerInTheForeground",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.advance(10'000);
                     t.config->answerOffer({{7, "B"}});
                     t.fire();
                     EXPECT_EQ(t.config->offersSent.size(), 1U);
                 },
                 {"prepare", lateOffer},
                 true,
                 ""},
        Scenario{"LateAnswerInTheBackgroundChangesNothing",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.advance(10'000);
                     background(t);
                     t.config->answerOffer({{7, "B"}});
                 },
                 {"prepare", lateOffer},
                 true,
                 ""},
        Scenario{"ExpiryAfterAGroupDropsIt",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     t.advance(10'000);
                     EXPECT_TRUE(t.logic->getConfig().empty());
                     EXPECT_TRUE(t.logs().contains(MVKLogLevel::warning,
                                                   "[A/B-Test Module] Involved experiment [7] was "
                                                   "cancelled.\n\tReason: time is over"));
                     t.apply();
                     EXPECT_TRUE(t.logs().containsFragment("Current user is not involved"));
                 },
                 {"prepare", "changed 1"},
                 true,
                 ""},
        Scenario{"ResetWithNothingPending",
                 [](ABLogicHarness& t) {
                     t.start();
                     t.logic->resetConfig();
                     EXPECT_TRUE(t.logs().containsFragment(
                         "Unable to reset configuration, no suitable experiments found"));
                 },
                 {},
                 true,
                 ""},
        Scenario{"ResetDuringTheOffer",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.logic->resetConfig();
                     EXPECT_TRUE(t.logs().containsFragment(
                         "Offer request aborted, suitable experiments [[7]] canceled!"));
                     t.config->answerOffer({{7, "B"}});
                 },
                 {"prepare"},
                 true,
                 ""},
        Scenario{"ResetOfTheAppliedGroup",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     t.apply();
                     t.logic->resetConfig();
                     EXPECT_TRUE(t.logs().containsFragment("Involved experiment [7] canceled!"));
                     EXPECT_EQ(t.leaving().at(0).json.find("inExperiments"), std::string::npos);
                 },
                 {"prepare", "changed 1"},
                 true,
                 ""},
        Scenario{"ApplyTwice",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     t.apply();
                     t.apply();
                     EXPECT_TRUE(
                         t.logs().contains(MVKLogLevel::warning,
                                           "[A/B-Test Module] Involved experiment is already "
                                           "active"));
                 },
                 {"prepare", "changed 1"},
                 true,
                 "B"},
        Scenario{"ApplyAfterResettingTheActiveExperimentIsRefused",
                 [](ABLogicHarness& t) {
                     t.addExperiment(8, true);
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     t.apply();
                     t.logic->resetConfig();
                     t.fire();
                     t.config->answerOffer({{8, "B"}});
                     t.apply();
                     EXPECT_TRUE(
                         t.logs().containsFragment("Involved experiment is already active"));
                 },
                 {"prepare", "changed 1", "prepare", "changed 1"},
                 false,
                 ""},
        Scenario{"BackgroundDuringTheOfferWithoutAGroup",
                 [](ABLogicHarness& t) {
                     offered(t);
                     background(t);
                     t.config->answerOffer({{7, "B"}});
                 },
                 {"prepare", refusedInBackground},
                 true,
                 ""},
        Scenario{"BackgroundDuringTheOfferWithAGroup",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     background(t);
                     EXPECT_TRUE(t.logic->getConfig().empty());
                 },
                 {"prepare", "changed 1"},
                 true,
                 ""},
        Scenario{"StoredTestInvolvementIsDroppedAndRefused",
                 [](ABLogicHarness& t) {
                     t.addExperiment(7, true, true);
                     t.storeState({t.me(), 7, true, "B"});
                     t.start();
                     EXPECT_EQ(t.storedStates().back(),
                               (test::ABStoreTest::StateRow{t.me(), 7, false, ""}));
                 },
                 {},
                 true,
                 ""},
        Scenario{"StoredTestInvolvementIsKeptWhenCached",
                 [](ABLogicHarness& t) {
                     t.addExperiment(7, true, true);
                     t.storeState({t.me(), 7, true, "B"});
                     t.start({.cacheTestExperiment = true});
                     EXPECT_FALSE(t.sending());
                     t.apply();
                 },
                 {"received 1", "prepare", "changed 1"},
                 true,
                 "B"},
        Scenario{"MergeFailureDropsTheGroup",
                 [](ABLogicHarness& t) {
                     t.addExperiment(7, true, false, "fast");
                     t.start();
                     t.fire();
                     t.config->answerOffer({{7, "B"}});
                 },
                 {"prepare",
                  "changed 0 [A/B-Test Module] Involved experiment [7] was cancelled.\n\tReason: "
                  "remote configuration intersection error"},
                 true,
                 ""},
        Scenario{"LateResultsAfterTheApplyAreIgnored",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->failOffer();
                     ASSERT_EQ(t.config->offersSent.size(), 2U);
                     t.config->answerOffer({{7, "B"}}, 1);
                     t.apply();
                     t.config->answerOffer({{7, "B"}}, 0);
                     t.config->failOffer();
                 },
                 {"prepare", "changed 1"},
                 true,
                 "B"},
        Scenario{"UserChangeWhileAGroupWaitsTurnsSendingOn",
                 [](ABLogicHarness& t) {
                     t.stateManager().project->configuration.userCounting = true;
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     t.userService->activateUser("player-2");
                     EXPECT_FALSE(t.involved->getCacheExperimentMarker());
                 },
                 {"prepare", "changed 1"},
                 true,
                 ""},
        Scenario{"UserChangeFromAnInvolvedUserReturnsToDefaults",
                 [](ABLogicHarness& t) {
                     t.stateManager().project->configuration.userCounting = true;
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     t.apply();
                     t.userService->activateUser("player-2");
                     EXPECT_TRUE(t.logic->getConfig().empty());
                     EXPECT_EQ(t.storedGroup(), "") << "the new user has none";
                 },
                 {"prepare", "changed 1", "prepare", "changed 1"},
                 true,
                 ""},
        Scenario{"ExpiryOfAStoppedWaitDoesNotEndTheNextOne",
                 [](ABLogicHarness& t) {
                     t.addExperiment(8, true, false, "5", "run");
                     offered(t);
                     t.advance(5'000);
                     t.logic->resetConfig();
                     t.fire("run");
                     t.advance(5'000);
                     t.config->failOffer(0);
                     t.config->answerOffer({{8, "B"}});
                 },
                 {"prepare", "prepare", "changed 1"},
                 false,
                 ""},
        Scenario{"NoAnswerAfterTheWaitRefusesInTheForeground",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.advance(10'000);
                     t.config->failOffer();
                     EXPECT_TRUE(t.logs().contains(MVKLogLevel::warning,
                                                   "[A/B-Test Module] Suitable experiments [[7]] "
                                                   "marked as refused"));
                     t.fire();
                     EXPECT_EQ(t.config->offersSent.size(), 1U);
                 },
                 {"prepare", lateOffer},
                 true,
                 ""},
        Scenario{"AFailureAfterTheBackgroundRefusalChangesNothing",
                 [](ABLogicHarness& t) {
                     offered(t);
                     background(t);
                     t.advance(10'000);
                     t.config->failOffer();
                 },
                 {"prepare",
                  "changed 0 [A/B-Test Module] Offer refused because application enter background"},
                 true,
                 ""},
        Scenario{"UserChangedDuringTheOfferRestartsTheSearch",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->offerForAnotherUser();
                     EXPECT_TRUE(t.logs().contains(MVKLogLevel::error, userChanged));
                     t.fire();
                     EXPECT_EQ(t.config->offersSent.size(), 2U);
                 },
                 {"prepare", "changed 0 " + userChanged, "prepare"},
                 false,
                 ""},
        Scenario{"UserChangedOnceAGroupIsOfferedChangesNothing",
                 [](ABLogicHarness& t) {
                     offered(t);
                     t.config->answerOffer({{7, "B"}});
                     t.config->offerForAnotherUser();
                     t.apply();
                 },
                 {"prepare", "changed 1"},
                 true,
                 "B"},
        Scenario{"ExpiryOfAResumedGroupDropsIt",
                 [](ABLogicHarness& t) {
                     t.addExperiment(7, true);
                     t.storeState({t.me(), 7, true, "B"});
                     t.start();
                     EXPECT_FALSE(t.sending());
                     t.advance(10'000);
                     EXPECT_TRUE(t.logic->getConfig().empty());
                     EXPECT_TRUE(t.logs().contains(MVKLogLevel::error,
                                                   "[A/B-Test Module] Involved experiment [7] was "
                                                   "cancelled.\n\tReason: time is over"));
                     t.apply();
                     EXPECT_TRUE(t.logs().containsFragment("Current user is not involved"));
                 },
                 {"received 1", "prepare", "changed 1"},
                 true,
                 ""},
        Scenario{"LevelChangeDuringTheOfferWaitsForIt",
                 [](ABLogicHarness& t) {
                     audienceChangeDuringTheOffer(
                         t, audience("di", {"level"}, AnyCodable(3)),
                         [](ABLogicHarness& h) { h.userService->setUserLevel(3); });
                 },
                 {"prepare", refusedByServer, "prepare"},
                 false,
                 ""},
        Scenario{"CardChangeDuringTheOfferWaitsForIt",
                 [](ABLogicHarness& t) {
                     audienceChangeDuringTheOffer(
                         t, audience("pl", {"parameters", "vip"}, AnyCodable(true)),
                         [](ABLogicHarness& h) { h.peopleService->setValue("vip", true); });
                 },
                 {"prepare", refusedByServer, "prepare"},
                 false,
                 ""}));

/// The offer for 7 expires with its request still on its way; 8 is found and
/// its request waits for that one.
void nextOfferBehindAStaleOne(ABLogicHarness& t) {
    t.addExperiment(8, true, false, "5", "run");
    offered(t);
    t.advance(10'000);
    t.fire("run");
    EXPECT_EQ(t.config->offersSent.size(), 1U);
}

// A result of an offer the logic gave up changes nothing; the next request
// waits until the one on its way is over.
INSTANTIATE_TEST_SUITE_P(
    StaleOffers, ABTestLogicScenarios,
    ::testing::Values(Scenario{"AStalledOfferIsAskedOnceAndItsExpiryTellsTheHost",
                               [](ABLogicHarness& t) {
                                   t.addExperiment(7, false);
                                   t.start();
                                   for (int round = 0; round < 9; ++round) {
                                       t.advance(10'000);
                                       t.fire();
                                   }
                                   t.config->failOffer();
                                   EXPECT_EQ(t.config->offersSent.size(), 1U);
                               },
                               {"prepare", lateOffer},
                               true,
                               ""},
                      Scenario{"ALateFailureLetsTheNextOfferGoWithoutAskingForIt",
                               [](ABLogicHarness& t) {
                                   nextOfferBehindAStaleOne(t);
                                   t.config->failOffer(0);
                                   ASSERT_EQ(t.config->offersSent.size(), 2U);
                                   EXPECT_EQ(t.config->offersSent[1].suitableExperiments,
                                             std::vector<std::int64_t>{8});
                                   t.config->answerOffer({{7, "B"}}, 0);
                                   t.config->answerOffer({{8, "B"}}, 1);
                               },
                               {"prepare", lateOffer, "prepare", "changed 1"},
                               false,
                               ""},
                      Scenario{"TheFormerUsersResultLeavesTheNewUsersOfferPending",
                               [](ABLogicHarness& t) {
                                   t.stateManager().project->configuration.userCounting = true;
                                   t.addExperiment(7, false);
                                   t.start();
                                   t.userService->activateUser("player-2");
                                   EXPECT_EQ(t.config->offersSent.size(), 1U);
                                   t.config->offerForAnotherUser(0);
                                   ASSERT_EQ(t.config->offersSent.size(), 2U);
                                   t.config->answerOffer({{7, "B"}});
                               },
                               {"prepare", "prepare", "changed 1"},
                               false,
                               ""}));

void optOut(ABLogicHarness& t) {
    t.stateManager().project->trackingAvailable = false;
}

// After an opt-out no offer request leaves, and a pending offer ends once, as
// its expiry would, turning sending back on for the opt-out's own status.
INSTANTIATE_TEST_SUITE_P(OptOut, ABTestLogicScenarios,
                         ::testing::Values(Scenario{"TheAnswerOnItsWayEndsThePendingOffer",
                                                    [](ABLogicHarness& t) {
                                                        offered(t);
                                                        optOut(t);
                                                        // The configuration service hands an answer
                                                        // that meets tracking off back unanswered.
                                                        t.config->failOffer();
                                                        t.advance(10'000);
                                                        EXPECT_EQ(t.config->offersSent.size(), 1U);
                                                    },
                                                    {"prepare", lateOffer},
                                                    true,
                                                    ""},
                                           Scenario{"TheNextOfferWaitingForAStaleOneIsNeverAsked",
                                                    [](ABLogicHarness& t) {
                                                        nextOfferBehindAStaleOne(t);
                                                        optOut(t);
                                                        t.config->failOffer(0);
                                                        EXPECT_EQ(t.config->offersSent.size(), 1U);
                                                    },
                                                    {"prepare", lateOffer, "prepare", lateOffer},
                                                    true,
                                                    ""},
                                           Scenario{"NoSearchFindsAnOffer",
                                                    [](ABLogicHarness& t) {
                                                        t.addExperiment(7, false);
                                                        optOut(t);
                                                        t.start();
                                                        t.userService->setUserLevel(2);
                                                        EXPECT_TRUE(t.config->offersSent.empty());
                                                    },
                                                    {},
                                                    true,
                                                    ""}));

}  // namespace
}  // namespace mvk

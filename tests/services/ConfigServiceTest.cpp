#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ConfigService.hpp"
#include "platform/ManualRunLoop.hpp"
#include "platform/SerialQueue.hpp"
#include "services/ServiceFakes.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const std::string trackingOffLine = "The query result was not applied. Tracking is Disabled";

SummaryBackendData summaryWith(std::int64_t morvanixId) {
    SummaryBackendData summary;
    summary.userIdentifications = {morvanixId, morvanixId + 1, 1'700'000'000'000};
    summary.userData.isNewUser = true;
    return summary;
}

class ConfigServiceTest : public ::testing::Test {
  protected:
    /// Lets requests and their answers run until both queues are idle.
    void settle() {
        const auto idle = [](const SerialQueue& queue) {
            return queue.operationCount() == 0 && !queue.isExecuting();
        };
        do {
            configQueue.drain(test::drainLimit());
            incomeQueue.drain(test::drainLimit());
        } while (!idle(configQueue) || !idle(incomeQueue));
    }
    void advance(milliseconds step) {
        scheduler->advance(step);
        settle();
    }
    std::size_t identifications() const { return backend->identificationRequests().size(); }

    test::LogCapture log{MVKLogLevel::debug};
    SerialQueue incomeQueue{"test.income"};
    SerialQueue configQueue{"test.config"};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualRunLoop> scheduler = std::make_shared<ManualRunLoop>(clock);
    std::shared_ptr<test::FakeStateManager> state = std::make_shared<test::FakeStateManager>();
    std::shared_ptr<test::FakeABTestManager> manager = std::make_shared<test::FakeABTestManager>();
    std::shared_ptr<test::FakeBackend> backend = std::make_shared<test::FakeBackend>();
    std::shared_ptr<ConfigService> service = std::make_shared<ConfigService>(
        state, manager, nullptr, nullptr, backend, incomeQueue, configQueue, scheduler);
};

TEST_F(ConfigServiceTest, ConfigurationRetriesGrowByAMinuteUpToTenMinutes) {
    const std::int64_t delays[] = {60, 120, 180, 240, 300, 360, 420, 480, 540, 600, 600, 600};
    for (std::size_t i = 0; i < std::size(delays); ++i) {
        backend->scriptConfig({Config::defaulConfiguration(), true});
    }
    Config received = Config::defaulConfiguration();
    received.timeForRequest = 5'000;
    backend->scriptConfig({received, false});
    std::vector<Config> applied;
    service->setOnSdkConfigUpdate([&](const Config& config) { applied.push_back(config); });

    service->receiveAnalyticsConfig();
    settle();
    EXPECT_TRUE(
        log.contains(MVKLogLevel::debug, "Trying to get analytics configuration from the server"));
    for (std::size_t i = 0; i < std::size(delays); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(log.contains(MVKLogLevel::error,
                                 "Failed to get analytics configuration, using the default "
                                 "configuration, retrying after " +
                                     std::to_string(delays[i]) + " seconds"));
        advance(seconds(delays[i]) - milliseconds(1));
        EXPECT_EQ(backend->configRequests().size(), i + 1);
        advance(milliseconds(1));
        EXPECT_EQ(backend->configRequests().size(), i + 2);
    }
    EXPECT_EQ(applied, std::vector<Config>{received});
}

TEST_F(ConfigServiceTest, AcceptedIdentificationRetriesAfterTheGatewaysDelay) {
    const auto summary = summaryWith(77);
    backend->scriptIdentification(BackendIdentifiers::retryAfter(5'000));
    backend->scriptIdentification(BackendIdentifiers::identifiers(summary));
    std::vector<std::optional<std::int64_t>> announced;
    std::vector<UserData> userData;
    service->setOnIdentifiersUpdate([&](auto id) { announced.push_back(id); });
    service->setOnBackendUserDataUpdate([&](const UserData& data) { userData.push_back(data); });

    service->receiveUserBackendIds();
    settle();
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "BackendIdentifiers: let's retry after: 5000"));
    service->receiveUserBackendIds();  // refused: the first one is still under way
    settle();
    EXPECT_TRUE(log.contains(
        MVKLogLevel::debug,
        "Receiving operation for user backend identifiers [player-1] has been canceled"));
    advance(milliseconds(4'999));
    EXPECT_EQ(identifications(), 1u);
    advance(milliseconds(1));

    const auto requests = backend->identificationRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].attempt, 1);
    EXPECT_EQ(requests[1].attempt, 2);
    EXPECT_EQ(announced, (std::vector<std::optional<std::int64_t>>{77}));
    EXPECT_EQ(userData, std::vector<UserData>{summary.userData});
    EXPECT_EQ(state->device->morvanixId, 77);
    EXPECT_EQ(state->device->crossPlatformMorvanixId, 78);
    EXPECT_EQ(state->device->morvanixIdTimestamp, 1'700'000'000'000);
    EXPECT_TRUE(log.contains(MVKLogLevel::info,
                             "For [player-1] user the updated backendIdentifiers are:\n" +
                                 summary.userIdentifications.description()));

    service->receiveUserBackendIds();  // the answer cleared the flag
    settle();
    EXPECT_EQ(identifications(), 3u);
}

TEST_F(ConfigServiceTest, GatewayDelayIsKeptBetweenASecondAndADay) {
    const struct {
        std::int64_t retryAfter;
        std::int64_t expected;
    } cases[] = {{0, 1'000},
                 {-1, 1'000},
                 {999, 1'000},
                 {1'500, 1'500},
                 {INT64_MAX, 86'400'000},
                 {10 * 86'400'000LL, 86'400'000}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.retryAfter);
        backend->scriptIdentification(BackendIdentifiers::retryAfter(entry.retryAfter));
        backend->scriptIdentification(BackendIdentifiers::doNotRetry());
        const std::size_t before = identifications();
        service->receiveUserBackendIds();
        settle();
        advance(milliseconds(entry.expected - 1));
        EXPECT_EQ(identifications(), before + 1);
        advance(milliseconds(1));
        EXPECT_EQ(identifications(), before + 2);
    }
}

TEST_F(ConfigServiceTest, FailedIdentificationStartsOverAfterAMinute) {
    backend->scriptIdentification(BackendIdentifiers::error("connection lost"));
    backend->scriptIdentification(BackendIdentifiers::doNotRetry());
    service->receiveUserBackendIds();
    settle();
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "BackendIdentifiers: connection lost"));
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "Failed to get user backend identifiers, retrying after 60 seconds"));
    advance(seconds(60));
    const auto requests = backend->identificationRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].attempt, 1);

    // A refusal ends the attempt for good.
    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "BackendIdentifiers: doNotRetry"));
    advance(seconds(86'400));
    EXPECT_EQ(identifications(), 2u);
}

TEST_F(ConfigServiceTest, AnswersForAUserNoLongerActiveAreAskedForAgain) {
    backend->scriptIdentification(BackendIdentifiers::identifiers(summaryWith(1)));
    backend->scriptIdentification(BackendIdentifiers::identifiers(summaryWith(2)));
    backend->scriptABConfig(RemoteConfig{.version = 1});
    backend->scriptABConfig(RemoteConfig{.version = 2});
    std::vector<std::optional<std::int64_t>> announced;
    std::vector<std::int64_t> configs;
    service->setOnIdentifiersUpdate([&](auto id) { announced.push_back(id); });
    service->setConfigUpdate(
        [&](const RemoteConfig& config) { configs.push_back(config.version); });

    incomeQueue.pause();
    service->receiveUserBackendIds();
    service->receiveABConfig();
    configQueue.drain(test::drainLimit());
    state->activateUser("player-2");  // before the answers reach the income queue
    incomeQueue.resume();
    settle();

    const auto requests = backend->identificationRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].identifiers.userId, "player-2");
    EXPECT_EQ(announced, (std::vector<std::optional<std::int64_t>>{2}));
    EXPECT_EQ(state->deviceIdentifierUpdates, 1);
    EXPECT_EQ(configs, std::vector<std::int64_t>{2});
    EXPECT_TRUE(log.contains(MVKLogLevel::debug,
                             "In the process of receiving backendidentifiers from the server, the "
                             "user was changed. Request the identifiers again."));
}

TEST_F(ConfigServiceTest, OfferForAUserNoLongerActiveIsCancelled) {
    backend->scriptOffer(InvolvedExperimentsContainer{{{5, "B"}}});
    std::vector<std::string> errors;
    int updates = 0;
    service->setOfferUserChanged([&](std::uint64_t generation, const MVKError& error) {
        errors.push_back(std::to_string(generation) + " " + error.description());
    });
    service->setOfferUpdate([&](auto, const auto&, const auto&) { ++updates; });

    incomeQueue.pause();
    service->receiveAbBackendOffers(4);
    configQueue.drain(test::drainLimit());
    state->activateUser("player-2");
    incomeQueue.resume();
    settle();

    EXPECT_EQ(errors, std::vector<std::string>{
                          "4 [A/B-Test Module]  In the process of receiving offer from the server, "
                          "the user was changed. Offer has been canceled."});
    EXPECT_EQ(updates, 0);
}

TEST_F(ConfigServiceTest, TrackingOffDropsAnswersButAppliesTheConfiguration) {
    state->project->trackingAvailable = false;
    backend->scriptIdentification(BackendIdentifiers::identifiers(summaryWith(1)));
    backend->scriptABConfig(RemoteConfig{});
    backend->scriptOffer(InvolvedExperimentsContainer{});
    backend->scriptConfig({Config::defaulConfiguration(), false});
    int calls = 0, configs = 0;
    std::vector<std::uint64_t> unanswered;
    service->setOnIdentifiersUpdate([&](auto) { ++calls; });
    service->setConfigUpdate([&](const auto&) { ++calls; });
    service->setOfferUpdate([&](auto, const auto&, const auto&) { ++calls; });
    service->setOfferNoConnection(
        [&](std::uint64_t generation) { unanswered.push_back(generation); });
    service->setOnSdkConfigUpdate([&](const auto&) { ++configs; });

    service->receiveUserBackendIds();
    service->receiveABConfig();
    service->receiveAbBackendOffers(3);
    service->receiveAnalyticsConfig();
    settle();
    EXPECT_EQ(log.count(MVKLogLevel::info, trackingOffLine), 3u);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(configs, 1);
    EXPECT_EQ(state->deviceIdentifierUpdates, 0);
    // The offer's caller hears at once that its request is over.
    EXPECT_EQ(unanswered, std::vector<std::uint64_t>{3});

    // The in-process flags were cleared all the same.
    service->receiveUserBackendIds();
    service->receiveABConfig();
    settle();
    EXPECT_EQ(identifications(), 2u);
    EXPECT_EQ(backend->abConfigRequests().size(), 2u);
}

TEST_F(ConfigServiceTest, ABConfigurationSendsTheManagersVersionAndRetries) {
    manager->version = 42;
    backend->scriptABConfig(std::nullopt);
    backend->scriptABConfig(RemoteConfig{.version = 7});
    std::vector<std::int64_t> configs;
    service->setConfigUpdate(
        [&](const RemoteConfig& config) { configs.push_back(config.version); });

    incomeQueue.pause();  // the answer cannot clear the flag in between
    service->receiveABConfig();
    service->receiveABConfig();
    incomeQueue.resume();
    settle();
    EXPECT_TRUE(log.contains(MVKLogLevel::debug,
                             "[A/B-Test Module] Receiving operation for A/B Test configuration "
                             "[player-1] has been canceled"));
    EXPECT_TRUE(log.contains(
        MVKLogLevel::error,
        "[A/B-Test Module] Failed to get A/B Test configuration, retrying after 60 seconds"));
    advance(seconds(60));

    const auto requests = backend->abConfigRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].remoteConfigVersion, 42);
    EXPECT_EQ(configs, std::vector<std::int64_t>{7});
}

TEST_F(ConfigServiceTest, FailedOfferIsHandedBackAfterTwoSecondsEveryTime) {
    manager->suitable = {5, 9};
    backend->scriptOffer(std::nullopt);
    backend->scriptOffer(std::nullopt);
    backend->scriptOffer(InvolvedExperimentsContainer{{{5, "B"}}});
    int noConnection = 0;
    std::vector<InvolvedExperiment> involved;
    service->setOfferNoConnection([&](std::uint64_t generation) {
        ++noConnection;
        service->receiveAbBackendOffers(generation + 1);
    });
    service->setOfferUpdate([&](std::uint64_t generation, const auto& experiments,
                                const SuitableExperiments& suitable) {
        involved = experiments;
        EXPECT_EQ(generation, 3U);
        EXPECT_EQ(suitable.suitableExperiments, (std::vector<std::int64_t>{5, 9}));
    });

    service->receiveAbBackendOffers(1);
    settle();
    for (int round = 1; round <= 2; ++round) {
        advance(milliseconds(1'999));
        EXPECT_EQ(noConnection, round - 1);
        advance(milliseconds(1));
        EXPECT_EQ(noConnection, round);
    }
    EXPECT_EQ(
        log.count(MVKLogLevel::error, "Failed to get experiment offer, retrying after 2 seconds"),
        2u);
    EXPECT_EQ(involved, (std::vector<InvolvedExperiment>{{5, "B"}}));
    EXPECT_EQ(backend->offerRequests().front().suitableExperiments,
              (std::vector<std::int64_t>{5, 9}));
}

TEST_F(ConfigServiceTest, NothingRunsOnceTheServiceIsGone) {
    service->receiveAnalyticsConfig();  // fails: a retry waits a minute
    settle();
    configQueue.pause();
    service->receiveAnalyticsConfig();  // queued, not sent yet
    service.reset();
    configQueue.resume();
    advance(seconds(600));
    EXPECT_EQ(backend->configRequests().size(), 1u);
}

TEST_F(ConfigServiceTest, CallsWhileOfflineShareOneRetryChain) {
    Config received = Config::defaulConfiguration();
    received.timeForRequest = 5'000;
    std::vector<Config> applied;
    service->setOnSdkConfigUpdate([&](const Config& config) { applied.push_back(config); });

    for (int call = 0; call < 5; ++call) {
        service->receiveAnalyticsConfig();
    }
    settle();
    for (int step = 0; step < 360; ++step) {
        advance(seconds(10));
    }
    // Five calls, then one chain whose delay grew with each failure: 300,
    // 360, 420, 480, 540, 600 and 600 seconds fit into the hour.
    EXPECT_EQ(backend->configRequests().size(), 12u);

    backend->scriptConfig({received, false});
    advance(seconds(600));
    EXPECT_EQ(backend->configRequests().size(), 13u);
    EXPECT_EQ(applied, std::vector<Config>{received});
}

TEST_F(ConfigServiceTest, StoppedServiceAppliesNoAnswerStillOnItsWay) {
    Config received = Config::defaulConfiguration();
    received.timeForRequest = 5'000;
    backend->scriptConfig({received, false});
    backend->scriptIdentification(BackendIdentifiers::identifiers(summaryWith(77)));
    backend->scriptABConfig(RemoteConfig{.version = 4});
    int applied = 0;
    service->setOnSdkConfigUpdate([&](const Config&) { ++applied; });
    service->setOnIdentifiersUpdate([&](auto) { ++applied; });
    service->setConfigUpdate([&](const RemoteConfig&) { ++applied; });

    incomeQueue.pause();
    service->receiveAnalyticsConfig();
    service->receiveUserBackendIds();
    service->receiveABConfig();
    configQueue.drain(test::drainLimit());  // every request has been answered
    service->stop();
    incomeQueue.resume();
    settle();
    EXPECT_EQ(backend->configRequests().size(), 1u);
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(state->deviceIdentifierUpdates, 0);
    EXPECT_FALSE(state->device->morvanixId.has_value());

    // Nor does it ask again or start a new request.
    service->receiveAnalyticsConfig();
    advance(seconds(86'400));
    EXPECT_EQ(backend->configRequests().size(), 1u);
}

TEST_F(ConfigServiceTest, RequestUnderWayDoesNotKeepTheServiceAlive) {
    std::promise<void> held;
    std::promise<void> released;
    auto releasedFuture = released.get_future().share();
    backend->setBeforeConfigAnswer([&held, releasedFuture] {
        held.set_value();
        releasedFuture.wait();
    });
    backend->scriptConfig({Config::defaulConfiguration(), false});
    int applied = 0;
    service->setOnSdkConfigUpdate([&](const Config&) { ++applied; });
    service->receiveAnalyticsConfig();
    held.get_future().wait();

    std::weak_ptr<ConfigService> weak = service;
    const auto stateUsers = state.use_count();
    service.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_LT(state.use_count(), stateUsers);

    released.set_value();
    settle();
    EXPECT_EQ(applied, 0);
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analytics/AnalyticsProtocol.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/UnrealBridge.hpp"
#include "services/ServiceFactoryProtocol.hpp"
#include "state/LifeCycleProtocol.hpp"
#include "state/LogicBroadcasterProtocol.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"
#include "support/QuietAnalyticsLogic.hpp"
#include "support/SanitizedBuild.hpp"

namespace mvk {
namespace {

using namespace std::chrono_literals;

const std::string alreadyInitialized =
    "In the Initialize method an error has occurred: SDK is already initialized";

/// Stands in for the analytics logic, which start-up does not build yet: it
/// takes its services and the life cycle as the logic does, asks for the
/// configuration and the backend identifiers and starts the timers on its
/// first start, and records what reaches it.
class StandInLogic final : public test::QuietAnalyticsLogic,
                           public LifeCycleProtocol,
                           public LogicBroadcasterProtocol,
                           public std::enable_shared_from_this<StandInLogic> {
  public:
    StandInLogic(ServiceFactoryProtocol& factory,
                 std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle,
                 std::vector<std::string>& calls, bool asksGateway)
        : asksGateway_(asksGateway),
          configService_(factory.analyticsAnalyticsConfigService()),
          timerService_(factory.timerService()),
          lifeCycle_(std::move(lifeCycle)),
          calls_(calls) {}

    void start() {
        calls_.push_back("start-up");
        lifeCycle_->subscibeLifeCycle(shared_from_this());
        if (asksGateway_) {
            configService_->receiveAnalyticsConfig();
            configService_->receiveUserBackendIds();
        }
        timerService_->startTimers();
    }

    void stopSDK() override {
        calls_.push_back("stopSDK");
        lifeCycle_->unsubscibe(shared_from_this());
        timerService_->stopTimers();
    }

    void goActive() override { calls_.push_back("goActive"); }
    void goInactive() override { calls_.push_back("goInactive"); }
    void goBackground() override { calls_.push_back("goBackground"); }
    void goTerminate() override { calls_.push_back("goTerminate"); }

    BackendIdentifiersUpdate onBackendIdentifiersUpdate() const override {
        return configService_->onIdentifiersUpdate();
    }
    void setOnBackendIdentifiersUpdate(BackendIdentifiersUpdate update) override {
        configService_->setOnIdentifiersUpdate(std::move(update));
    }
    void forceUpdate() override {}

  private:
    const bool asksGateway_;
    const std::shared_ptr<AnalyticsConfigServiceProtocol> configService_;
    const std::shared_ptr<TimerServiceProtocol> timerService_;
    const std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle_;
    std::vector<std::string>& calls_;
};

class CoreFlow : public ::testing::Test {
  protected:
    void SetUp() override { useStandInLogic(true); }

    void useStandInLogic(bool asksGateway) {
        Core::setAnalyticsLogicMakerForTesting(
            [this, asksGateway](ServiceFactoryProtocol& factory,
                                const std::shared_ptr<LifeCycleRepositoryProtocol>& lifeCycle) {
                auto logic = std::make_shared<StandInLogic>(factory, lifeCycle, calls, asksGateway);
                logic->start();
                return logic;
            });
    }

    int startUps() const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), "start-up"));
    }

    /// Written on the income queue; read after draining it.
    std::vector<std::string> calls;
    test::CoreFlowHarness h;
};

class CoreFlowRequests : public CoreFlow, public ::testing::WithParamInterface<bool> {};

TEST_P(CoreFlowRequests, StartUpSendsTheConfigurationAndIdentificationRequests) {
    const bool editorMode = GetParam();
    int completions = 0;
    MVKAnalytics::setInitializationCompleteCallback([&] { ++completions; });
    if (editorMode) {
        MVKEngineWrapper::enableEditorMode();
    }
    MVKAnalyticsConfiguration configuration;
    configuration.setUserId("player-1");
    MVKAnalytics::initialize("coreflow-key", configuration);

    ASSERT_TRUE(h.gateway().waitForRequests("/v2/analytics/config", 1, test::patience(20s)));
    ASSERT_TRUE(
        h.gateway().waitForRequests("/v2/analytics/identification", 1, test::patience(20s)));
    QueueManager::configQueue().queue().drain(test::drainLimit());
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(startUps(), 1);

    const auto deviceIds = h.columnTexts("deviceIdentifiers", "deviceIdentifier");
    ASSERT_EQ(deviceIds.size(), 1u);
    const std::string expectedBodies[] = {
        editorMode ? R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":null,)"
                     R"("sbsConfigVersion":0})"
                   : R"({"sdkVersion":"2.2.6","sdkCodeVersion":10,"appVersion":"1.4.2",)"
                     R"("sbsConfigVersion":0})",
        R"({"attempt":1})",
    };
    const std::string paths[] = {"/v2/analytics/config", "/v2/analytics/identification"};
    for (int i = 0; i < 2; ++i) {
        const auto requests = h.gateway().requests(paths[i]);
        ASSERT_EQ(requests.size(), 1u) << paths[i];
        const auto& request = requests.front();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.query, "appId=coreflow-key");
        EXPECT_EQ(request.body, expectedBodies[i]);
        EXPECT_EQ(request.headerCount("Content-Type"), 1u);
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
        EXPECT_EQ(request.header("X-Id-Encoding"), "base64");
        EXPECT_EQ(h.fromBase64(request.header("DeviceId").value_or("")), deviceIds.front());
        EXPECT_EQ(h.fromBase64(request.header("UserId").value_or("")), "player-1");
        // No backend identifiers before the first identification answer.
        EXPECT_EQ(request.headerCount("MorvanixId"), 0u);
        EXPECT_EQ(request.headerCount("PreviousDeviceId"), 0u);
    }

    EXPECT_EQ(h.columnTexts("projects", "applicationKey"),
              std::vector<std::string>{"coreflow-key"});
    EXPECT_EQ(h.columnTexts("users", "userId"), std::vector<std::string>{"player-1"});
    // The canned identification answer reached the device row.
    EXPECT_EQ(h.columnTexts("deviceIdentifiers", "morvanixId"), std::vector<std::string>{"1"});

    EXPECT_EQ(completions, 0) << "the callback goes through the main loop";
    h.loop->runDueWork();
    h.loop->runDueWork();
    EXPECT_EQ(completions, 1);
}

INSTANTIATE_TEST_SUITE_P(EditorMode, CoreFlowRequests, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "InEditor" : "InGame"; });

/// Hears the backend identifier as the host would.
class RecordingIdentifiersListener final : public MVKIdentifiersListener {
  public:
    void didReceiveMorvanixIdWith(std::int64_t morvanixId) override {
        received.push_back(morvanixId);
    }
    std::vector<std::int64_t> received;
};

TEST_F(CoreFlow, TheIdentificationAnswerReachesTheHostsListener) {
    auto listener = std::make_shared<RecordingIdentifiersListener>();
    MVKAnalytics::setIdentifiersListener(listener);
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(
        h.gateway().waitForRequests("/v2/analytics/identification", 1, test::patience(20s)));
    QueueManager::configQueue().queue().drain(test::drainLimit());
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(listener->received, std::vector<std::int64_t>{1});
}

TEST_F(CoreFlow, TheServiceFactoryBuildsEachServiceOnceAndOneConfigurationServiceForBothFaces) {
    struct Identity {
        const void* first;
        const void* second;
    };
    std::vector<Identity> identities;
    Core::setAnalyticsLogicMakerForTesting([&](ServiceFactoryProtocol& factory,
                                               const std::shared_ptr<
                                                   LifeCycleRepositoryProtocol>&) {
        const auto object = [](const auto& service) {
            return dynamic_cast<const void*>(service.get());
        };
        // The A/B face asked first, then the analytics one.
        identities.push_back({object(factory.abTestConfigService()),
                              object(factory.analyticsAnalyticsConfigService())});
        identities.push_back({object(factory.timerService()), object(factory.timerService())});
        identities.push_back({object(factory.userService()), object(factory.userService())});
        identities.push_back(
            {object(factory.activityService()), object(factory.activityService())});
        identities.push_back({object(factory.projectService()), object(factory.projectService())});
        return std::shared_ptr<AnalyticsProtocol>();
    });
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    ASSERT_EQ(identities.size(), 5u);
    for (const auto& identity : identities) {
        EXPECT_NE(identity.first, nullptr);
        EXPECT_EQ(identity.first, identity.second);
    }
}

TEST_F(CoreFlow, ASecondInitializeIsRefusedAndStartUpRunsOnce) {
    test::LogCapture log(MVKLogLevel::error);
    MVKAnalytics::initialize("coreflow-key");
    MVKAnalytics::initialize("coreflow-key");
    MVKAnalytics::initialize("another-key");
    ASSERT_TRUE(h.drainIncome());

    EXPECT_EQ(startUps(), 1);
    EXPECT_EQ(log.count(MVKLogLevel::error, alreadyInitialized), 2u);
    EXPECT_EQ(h.columnTexts("projects", "applicationKey"),
              std::vector<std::string>{"coreflow-key"});
}

// A game built against the placeholder gateway hears why nothing is sent, in
// one line at start, and only then.
TEST_F(CoreFlow, AStartWithNoGatewaySaysSoOnce) {
    const std::string noGateway = "No gateway address is set";
    test::LogCapture log(MVKLogLevel::error);
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    EXPECT_FALSE(log.containsFragment(noGateway));
    h.dropCore();

    BackendConfigUrl::setTestProxyUrl("");
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    h.dropCore();
    EXPECT_EQ(log.countContaining(noGateway), 1u);
    EXPECT_EQ(log.countContaining("-DMVK_DEFAULT_GATEWAY_URL="), 1u);
}

TEST_F(CoreFlow, InTheBackgroundNothingRunsUntilTheApplicationBecomesActive) {
    h.application->didEnterBackground();
    const auto core = Core::shared();
    MVKAnalytics::initialize("coreflow-key");
    for (const char* name : {"first", "second", "third"}) {
        core->analyticsProxy().enqueue(
            name, heldBytes(), [this, name](AnalyticsProtocol&) { calls.emplace_back(name); });
    }
    EXPECT_TRUE(UnrealBridge::isAnalyticsInited());
    EXPECT_TRUE(QueueManager::incomeQueue().queue().isPaused());
    EXPECT_EQ(QueueManager::incomeQueue().operationCount(), 4u);
    EXPECT_FALSE(std::filesystem::exists(h.databasePath()));

    h.application->didBecomeActive();
    ASSERT_TRUE(h.drainIncome());
    // The activation itself came before anything could listen to it.
    EXPECT_EQ(calls, (std::vector<std::string>{"start-up", "first", "second", "third"}));
    // The observer that waited for the activation is gone; the life cycle's
    // four stay.
    EXPECT_EQ(h.center->observerCount(), 4u);

    h.application->didEnterBackground();
    h.application->didBecomeActive();
    EXPECT_EQ(calls.back(), "goActive");
    EXPECT_FALSE(QueueManager::incomeQueue().queue().isPaused());
}

/// Answers "background" once, then "active": as if the application became
/// active right after `initialize` read its state.
class ActiveAfterFirstRead final : public ApplicationStateProtocol {
  public:
    ApplicationState applicationState() const override {
        return reads_++ == 0 ? ApplicationState::background : ApplicationState::active;
    }

  private:
    mutable std::atomic<int> reads_{0};
};

TEST_F(CoreFlow, AnActivationMissedWhileInitializeRegistersDoesNotLeaveTheQueuePaused) {
    h.install(std::make_shared<ActiveAfterFirstRead>());
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    EXPECT_FALSE(QueueManager::incomeQueue().queue().isPaused());
    EXPECT_EQ(startUps(), 1);
    EXPECT_EQ(h.center->observerCount(), 4u);
}

TEST_F(CoreFlow, ACoreThatGoesWhileWaitingForTheActivationDoesNotLeaveTheQueuePaused) {
    h.application->didEnterBackground();
    MVKAnalytics::initialize("coreflow-key");
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    EXPECT_TRUE(QueueManager::incomeQueue().queue().isPaused());

    h.application->didBecomeActive();
    EXPECT_FALSE(QueueManager::incomeQueue().queue().isPaused());
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(calls.empty()) << "destroyed before its start-up could run";
    EXPECT_EQ(h.center->observerCount(), 0u);

    // A host call that took the core just before a destroy ended it pauses nothing.
    auto held = Core::shared();
    h.dropCore();
    h.application->didEnterBackground();
    held->initialize("coreflow-key", std::nullopt);
    EXPECT_FALSE(QueueManager::incomeQueue().queue().isPaused());
    testing::internal::CaptureStdout();
    held.reset();
    testing::internal::GetCapturedStdout();
}

TEST_F(CoreFlow, AKeyOfControlCharactersLeavesAFailedStartUntilDestroy) {
    test::LogCapture log(MVKLogLevel::error);
    MVKAnalytics::initialize("\x01\x02\x1b\x7f");
    ASSERT_TRUE(h.drainIncome());
    EXPECT_TRUE(
        log.contains(MVKLogLevel::error, "Execution of the Initialize method was canceled!"));
    EXPECT_TRUE(UnrealBridge::isAnalyticsInited());
    EXPECT_EQ(startUps(), 0);
    EXPECT_FALSE(std::filesystem::exists(h.databasePath()));

    MVKAnalytics::initialize("coreflow-key");
    Core::shared()->analyticsProxy().enqueue("CustomEvent", heldBytes(), [](AnalyticsProtocol&) {
        ADD_FAILURE() << "no logic may be installed";
    });
    ASSERT_TRUE(h.drainIncome());
    EXPECT_TRUE(log.contains(MVKLogLevel::error, alreadyInitialized));
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "In the CustomEvent method an error has occurred: The SDK is not "
                             "initialized yet!"));

    MVKEngineWrapper::destroySDK();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_FALSE(UnrealBridge::isAnalyticsInited());
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(startUps(), 1);
    EXPECT_EQ(h.columnTexts("projects", "applicationKey"),
              std::vector<std::string>{"coreflow-key"});
}

// Each failed start names the file and the system's or SQLite's reason
// beside the fixed line, so that a support request can tell them apart.
TEST_F(CoreFlow, ADatabaseThatCannotBeOpenedLeavesAFailedStartWithNothingKept) {
    const auto folder = h.dir.path() / "morvanix";
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string reason;
    };
    std::vector<Case> cases = {
        {"a folder where the file should be",
         [&] { std::filesystem::create_directories(folder / "morvanix.db"); },
         "unable to open database file (code: 14): Is a directory"},
        // The folder's lock is taken first, so its line gives the reason.
        {"a file where the folder should be", [&] { std::ofstream(folder) << "x"; },
         "Couldn't lock the data folder " + folder.string() + ": Not a directory"},
    };
    // The superuser writes into a read-only folder all the same.
    if (::geteuid() != 0) {
        cases.push_back({"a read-only folder",
                         [&] {
                             std::filesystem::create_directories(folder);
                             std::filesystem::permissions(folder,
                                                          std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::owner_exec);
                         },
                         "(Permission denied)"});
    }
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        std::filesystem::remove_all(folder);
        entry.arrange();
        test::LogCapture log(MVKLogLevel::error);
        MVKAnalytics::initialize("coreflow-key");
        ASSERT_TRUE(h.drainIncome());
        EXPECT_TRUE(
            log.contains(MVKLogLevel::error,
                         "In the Initialize method an error has occurred: Can't init submodules"));
        const auto place = "In the Initialize method an error has occurred: The database at " +
                           (folder / "morvanix.db").string() + " can't be used: ";
        const auto messages = log.messages();
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const std::string& line) {
            return line.starts_with("ERROR " + place) && line.ends_with(entry.reason);
        })) << ::testing::PrintToString(messages);
        EXPECT_EQ(startUps(), 0);
        EXPECT_TRUE(UnrealBridge::isAnalyticsInited());
        EXPECT_EQ(h.center->observerCount(), 0u)
            << "the life cycle built before the failure is gone";
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        h.dropCore();
    }
}

TEST_F(CoreFlow, ALogicThatThrowsWhileStoppingStillLetsTheCoreGo) {
    struct ThrowingLogic final : test::QuietAnalyticsLogic {
        void stopSDK() override { throw std::runtime_error("logic broke"); }
    };
    Core::setAnalyticsLogicMakerForTesting(
        [](ServiceFactoryProtocol&, const std::shared_ptr<LifeCycleRepositoryProtocol>&) {
            return std::make_shared<ThrowingLogic>();
        });
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    std::weak_ptr<Core> weakCore = Core::shared();

    test::LogCapture log(MVKLogLevel::error);
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    QueueManager::configQueue().queue().drain(test::drainLimit());

    EXPECT_TRUE(log.contains(MVKLogLevel::error, "Stopping the SDK has failed: logic broke"));
    EXPECT_TRUE(weakCore.expired());
    EXPECT_FALSE(UnrealBridge::isAnalyticsInited());
}

TEST_F(CoreFlow, DestroyReleasesTheWholeGraphAndANewInitializeWorks) {
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    h.loop->runDueWork();
    std::weak_ptr<Core> weakCore = Core::shared();
    EXPECT_GE(h.openDatabaseDescriptors(), 1u);
    EXPECT_EQ(h.center->observerCount(), 4u);
    EXPECT_EQ(h.loop->pendingWorkCount(), 4u) << "the four timers run";

    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    ASSERT_TRUE(h.drainIncome());
    const auto printed = testing::internal::GetCapturedStdout();
    // A request under way keeps its service until its answer is in.
    QueueManager::configQueue().queue().drain(test::drainLimit());

    EXPECT_EQ(printed, "MVKAnalytics deinit Core module\n");
    EXPECT_EQ(calls.back(), "stopSDK");
    EXPECT_TRUE(weakCore.expired());
    EXPECT_EQ(h.center->observerCount(), 0u);
    EXPECT_EQ(h.loop->pendingWorkCount(), 0u);
    EXPECT_EQ(h.openDatabaseDescriptors(), 0u);

    EXPECT_FALSE(UnrealBridge::isAnalyticsInited());
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(startUps(), 2);
    EXPECT_EQ(h.columnTexts("projects", "applicationKey"),
              std::vector<std::string>{"coreflow-key"});
}

TEST_F(CoreFlow, InitializeRightAfterDestroyStartsAFreshCore) {
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());

    test::LogCapture log(MVKLogLevel::error);
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    EXPECT_FALSE(UnrealBridge::isAnalyticsInited());
    int completions = 0;
    MVKAnalytics::setInitializationCompleteCallback([&] { ++completions; });
    MVKAnalytics::initialize("coreflow-key");
    EXPECT_TRUE(UnrealBridge::isAnalyticsInited());
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    h.loop->runDueWork();
    h.loop->runDueWork();

    EXPECT_FALSE(log.contains(MVKLogLevel::error, alreadyInitialized));
    // The old core stopped before the new one started.
    EXPECT_EQ(calls, (std::vector<std::string>{"start-up", "stopSDK", "start-up"}));
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(Core::shared()->isInitializationFinished());
    EXPECT_EQ(h.center->observerCount(), 4u) << "only the new core's life cycle listens";
}

TEST_F(CoreFlow, ACoreHeldPastItsDestroyStartsNothing) {
    auto held = Core::shared();
    test::LogCapture log(MVKLogLevel::error);
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    held->initialize("coreflow-key", std::nullopt);
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(startUps(), 0);
    EXPECT_TRUE(
        log.contains(MVKLogLevel::error,
                     "In the Initialize method an error has occurred: SDK has been destroyed"));
    held.reset();
}

TEST_F(CoreFlow, ACoreDestroyedBeforeItsStartUpRanStartsNothing) {
    // Held, so the start-up cannot run before the destroy is made.
    QueueManager::incomeQueue().pause();
    testing::internal::CaptureStdout();
    MVKAnalytics::initialize("coreflow-key");
    MVKEngineWrapper::destroySDK();
    QueueManager::incomeQueue().resume();
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    QueueManager::configQueue().queue().drain(test::drainLimit());

    EXPECT_EQ(startUps(), 0);
    EXPECT_FALSE(std::filesystem::exists(h.databasePath())) << "nothing stored";
    EXPECT_TRUE(h.gateway().requests().empty()) << "nothing sent";
}

class DestroyFault : public CoreFlow, public ::testing::WithParamInterface<bool> {
  protected:
    void TearDown() override { Core::setRetireFaultForTesting({}); }
};

TEST_P(DestroyFault, AFailedAllocationLeavesTheCoreAsItWasAndHoldsUpNoLaterCall) {
    const bool started = GetParam();
    if (started) {
        MVKAnalytics::initialize("coreflow-key");
        ASSERT_TRUE(h.drainIncome());
    }
    Core::setRetireFaultForTesting([] { throw std::bad_alloc(); });
    test::LogCapture log(MVKLogLevel::error);
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    Core::setRetireFaultForTesting({});

    EXPECT_TRUE(log.contains(MVKLogLevel::error, "destroySDK has failed: std::bad_alloc"));
    EXPECT_EQ(UnrealBridge::isAnalyticsInited(), started);
    // These give way to a destroy under way: one that never counted its end
    // would hold them up for good. On a thread of its own, so a failure here
    // ends the test instead of hanging it.
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    std::thread([done, url = h.gateway().baseUrl()] {
        MVKAnalytics::setTestProxyUrl(url);
        MVKEngineWrapper::destroySDK();
        MVKAnalytics::initialize("coreflow-key");
        done->set_value();
    }).detach();
    ASSERT_EQ(finished.wait_for(test::patience(std::chrono::seconds(60))),
              std::future_status::ready);
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();

    EXPECT_TRUE(UnrealBridge::isAnalyticsInited());
    const auto expected = started ? std::vector<std::string>{"start-up", "stopSDK", "start-up"}
                                  : std::vector<std::string>{"start-up"};
    EXPECT_EQ(calls, expected) << "the core the failed destroy left is stopped by the next";
}

INSTANTIATE_TEST_SUITE_P(BeforeAndAfterStartUp, DestroyFault, ::testing::Bool());

TEST_F(CoreFlow, ChildrensPrivacyOutlivesDestroyAndTheNextCoreReadsNoVendorIdentifier) {
    h.identifiers->vendor = "vendor-of-the-device";
    MVKAnalytics::coppaControlEnable();
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    MVKAnalytics::initialize("coreflow-key");
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(startUps(), 1);
    EXPECT_EQ(h.identifiers->vendorReads, 0);
    const auto deviceIds = h.columnTexts("deviceIdentifiers", "deviceIdentifier");
    ASSERT_EQ(deviceIds.size(), 1u);
    EXPECT_NE(deviceIds.front(), "vendor-of-the-device");
}

TEST_F(CoreFlow, WithChildrensPrivacyNoIdentifierOfTheMachineLeavesAfterARunWithout) {
    const std::string vendor = "vendor-of-the-device";
    h.identifiers->vendor = vendor;
    std::size_t runs = 0;
    // The identity headers of every request of one run, decoded.
    const auto run = [&] {
        h.gateway().clearRequests();
        testing::internal::CaptureStdout();
        MVKAnalytics::initialize("coreflow-key");
        EXPECT_TRUE(
            h.gateway().waitForRequests("/v2/analytics/identification", 1, test::patience(20s)));
        QueueManager::configQueue().queue().drain(test::drainLimit());
        EXPECT_TRUE(h.drainIncome());
        MVKEngineWrapper::destroySDK();
        EXPECT_TRUE(h.drainIncome());
        testing::internal::GetCapturedStdout();
        ++runs;
        std::vector<std::map<std::string, std::string>> sent;
        for (const auto& request : h.gateway().requests()) {
            auto& ids = sent.emplace_back();
            for (const char* name : {"DeviceId", "PreviousDeviceId", "UserId", "PreviousUserId"}) {
                if (const auto value = request.header(name)) {
                    ids[name] = h.fromBase64(*value);
                }
            }
        }
        return sent;
    };

    const auto before = run();
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(before.front().at("UserId"), vendor) << "the anonymous user is named after it";

    MVKAnalytics::coppaControlEnable();
    const auto withPrivacy = run();
    MVKAnalytics::clearKeychain();
    const auto afterClearing = run();
    for (const auto* sent : {&withPrivacy, &afterClearing}) {
        ASSERT_FALSE(sent->empty());
        for (const auto& ids : *sent) {
            for (const auto& [name, value] : ids) {
                EXPECT_NE(value, vendor) << name;
            }
            EXPECT_EQ(ids.count("PreviousDeviceId"), 0u);
            EXPECT_EQ(ids.at("UserId"), ids.at("DeviceId")) << "the anonymous user follows it";
        }
    }
    EXPECT_NE(withPrivacy.front().at("DeviceId"), afterClearing.front().at("DeviceId"));
    EXPECT_EQ(h.columnTexts("users", "userId").size(), 1u);
}

TEST_F(CoreFlow, AHundredStartsAndShutDownsKeepThreadsDescriptorsAndMemoryFlat) {
    // The gateway's side of its connections closes on its own schedule, which
    // would blur the descriptor count.
    useStandInLogic(false);
    const auto cycle = [&] {
        MVKAnalytics::initialize("coreflow-key");
        ASSERT_TRUE(h.drainIncome());
        h.loop->runDueWork();
        MVKEngineWrapper::destroySDK();
        ASSERT_TRUE(h.drainIncome());
        QueueManager::configQueue().queue().drain(test::drainLimit());
    };
    testing::internal::CaptureStdout();
    // The first rounds make what lives for the whole process: queue threads,
    // the gateway's connection threads, caches of the C libraries.
    for (int i = 0; i < 10; ++i) {
        cycle();
    }
    const auto threads = h.threadCount();
    const auto descriptors = h.descriptorCount();
    const auto memory = h.residentBytes();
    for (int i = 0; i < 90; ++i) {
        cycle();
    }
    testing::internal::GetCapturedStdout();
    // A leak grows the counts; a library's own lazy resource may go meanwhile.
    EXPECT_LE(h.threadCount(), threads);
    EXPECT_LE(h.descriptorCount(), descriptors);
    EXPECT_EQ(h.center->observerCount(), 0u);
    EXPECT_EQ(h.loop->pendingWorkCount(), 0u);
#if !defined(MVK_TEST_SANITIZED)
    // Sanitizers keep freed memory in quarantine; LeakSanitizer checks those builds.
    EXPECT_LT(h.residentBytes(), memory + 4u * 1024u * 1024u);
#else
    (void)memory;
#endif
}

}  // namespace
}  // namespace mvk

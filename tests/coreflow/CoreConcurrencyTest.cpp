#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "analytics/AnalyticsProtocol.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/UnrealBridge.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

class CoreConcurrency : public ::testing::Test {
  protected:
    void SetUp() override {
        Core::setAnalyticsLogicMakerForTesting(
            [this](ServiceFactoryProtocol&, const std::shared_ptr<LifeCycleRepositoryProtocol>&) {
                ++startUps;
                return std::shared_ptr<AnalyticsProtocol>();
            });
    }

    template <typename Work>
    static void onThreads(int count, Work work) {
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([&, i] {
                ++ready;
                while (ready < count) {
                    std::this_thread::yield();
                }
                work(i);
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }

    std::atomic<int> startUps{0};
    test::CoreFlowHarness h;
};

TEST_F(CoreConcurrency, OfInitializeCallsFromManyThreadsExactlyOneIsAccepted) {
    test::LogCapture log(MVKLogLevel::error);
    onThreads(8, [](int) { MVKAnalytics::initialize("coreflow-key"); });
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(startUps, 1);
    EXPECT_EQ(
        log.count(MVKLogLevel::error,
                  "In the Initialize method an error has occurred: SDK is already initialized"),
        7u);
}

TEST_F(CoreConcurrency, DestroyAndInitializeFromTwoThreadsLeaveAStartedCore) {
    testing::internal::CaptureStdout();
    onThreads(2, [](int) {
        for (int i = 0; i < 50; ++i) {
            MVKEngineWrapper::destroySDK();
            MVKAnalytics::initialize("coreflow-key");
        }
    });
    // Whatever the interleaving, an initialize came after the last destroy.
    EXPECT_TRUE(UnrealBridge::isAnalyticsInited());
    ASSERT_TRUE(h.drainIncome());
    std::weak_ptr<Core> last = Core::shared();
    EXPECT_TRUE(last.lock()->isInitializationFinished());

    MVKEngineWrapper::destroySDK();
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(last.expired());
    EXPECT_EQ(h.center->observerCount(), 0u);
}

TEST_F(CoreConcurrency, HostThreadsMayReadAndSetWhileTheCoreIsStartedAndDestroyed) {
    testing::internal::CaptureStdout();
    std::atomic<bool> cycling{true};
    onThreads(5, [&](int index) {
        if (index == 0) {
            for (int i = 0; i < 20; ++i) {
                MVKAnalytics::initialize("coreflow-key");
                MVKEngineWrapper::destroySDK();
            }
            // A core destroyed at once skips its start-up: the last one is
            // left to run it.
            MVKAnalytics::initialize("coreflow-key");
            cycling = false;
            return;
        }
        while (cycling) {
            switch (index) {
                case 1:
                    UnrealBridge::isAnalyticsInited();
                    MVKEngineWrapper::enableEditorMode();
                    break;
                case 2:
                    MVKAnalytics::coppaControlEnable();
                    MVKAnalytics::setInitializationCompleteCallback([] {});
                    break;
                case 3:
                    MVKAnalytics::setIdentifiersListener(nullptr);
                    Core::shared()->setAbTestInitialData(ABTestInitalData{1.0, 2.0, true});
                    break;
                default:
                    h.application->didEnterBackground();
                    h.application->didBecomeActive();
                    break;
            }
        }
    });
    h.application->didBecomeActive();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_GE(startUps, 1);
    MVKEngineWrapper::destroySDK();
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(UnrealBridge::isAnalyticsInited());
}

}  // namespace
}  // namespace mvk

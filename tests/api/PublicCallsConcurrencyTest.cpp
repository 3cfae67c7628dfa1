#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Core.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "support/LogCapture.hpp"
#include "support/QuietAnalyticsLogic.hpp"

namespace mvk::test {
namespace {

/// Eight host threads call the whole analytics surface while another starts
/// and destroys the library over and over. Whatever core a getter reaches
/// (none yet, a started one, one destroyed under it) its handler runs once.
TEST(PublicCallsConcurrency, EveryHandlerRunsOnceAcrossStartAndDestroyCycles) {
    CoreFlowHarness h;
    LogCapture log(MVKLogLevel::no);
    Core::setAnalyticsLogicMakerForTesting(
        [](ServiceFactoryProtocol&, const std::shared_ptr<LifeCycleRepositoryProtocol>&) {
            return std::make_shared<QuietAnalyticsLogic>();
        });
    constexpr int threads = 8;
    constexpr int callsPerThread = 2000;
    constexpr int getterEvery = 4;
    std::vector<std::atomic<int>> handled(threads * callsPerThread / getterEvery);
    std::atomic<int> running{threads};

    std::vector<std::thread> hosts;
    for (int t = 0; t < threads; ++t) {
        hosts.emplace_back([&, t] {
            MVKCustomEventParameters parameters;
            parameters.addInt("thread", t);
            for (int i = 0; i < callsPerThread; ++i) {
                if (i % getterEvery == 0) {
                    auto& slot =
                        handled[static_cast<std::size_t>((t * callsPerThread + i) / getterEvery)];
                    switch ((i / getterEvery) % 3) {
                        case 0:
                            MVKAnalytics::getUserId([&slot](const std::string&) { ++slot; });
                            break;
                        case 1:
                            MVKAnalytics::getCurrentLevel([&slot](std::int64_t) { ++slot; });
                            break;
                        default:
                            MVKAnalytics::isRestoreTransactionHistoryRequired(
                                [&slot](bool) { ++slot; });
                    }
                    continue;
                }
                switch (i % 8) {
                    case 1:
                        parameters.addInt("i", i);
                        MVKAnalytics::customEvent("step", parameters);
                        break;
                    case 2:
                        MVKAnalytics::levelUp(i % 50 + 1, {{"gold", i}});
                        break;
                    case 3:
                        MVKAnalytics::currencyAccrual("gold", 1, "quest", MVKAccrualType::earned);
                        break;
                    case 5:
                        MVKAnalytics::setCurrentLevel(i);
                        break;
                    case 6:
                        MVKAnalytics::tutorial(i);
                        break;
                    default:
                        MVKEngineWrapper::engineSubscriprtionPayment("p", std::to_string(i));
                }
            }
            --running;
        });
    }
    int cycles = 0;
    while (running.load() > 0 && cycles < 40) {
        MVKAnalytics::initialize("cycle-key");
        std::this_thread::yield();
        testing::internal::CaptureStdout();
        MVKEngineWrapper::destroySDK();
        testing::internal::GetCapturedStdout();
        ++cycles;
    }
    for (auto& host : hosts) {
        host.join();
    }
    testing::internal::CaptureStdout();
    h.dropCore();
    ASSERT_TRUE(h.drainIncome());
    testing::internal::GetCapturedStdout();
    std::size_t wrong = 0;
    for (const auto& count : handled) {
        wrong += count.load() == 1 ? 0 : 1;
    }
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
}  // namespace mvk::test

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"

namespace mvk::test {
namespace {

using namespace std::chrono_literals;

TEST_F(LogicFlow, LifeCycleFromFourThreadsOnABusyQueueEndsEachForegroundOnce) {
    constexpr std::int64_t limit = 7;
    answerConfiguration("", true, limit);
    start();
    constexpr int periods = 3;
    std::atomic<bool> reading{true};
    std::atomic<int> otherLimits{0};
    std::thread reader([&] {
        while (reading) {
            otherLimits +=
                Core::shared()->analyticsProxy().getCustomEventParamsCount() == limit ? 0 : 1;
        }
    });
    for (int period = 0; period < periods; ++period) {
        h.clock->advance(2000);
        // Keep the income queue busy while the notifications arrive.
        for (int i = 0; i < 200; ++i) {
            Core::shared()->analyticsProxy().enqueue(
                "busy", heldBytes(),
                [](AnalyticsProtocol& logic) { logic.customEvent("busy", std::nullopt); });
        }
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                switch (t) {
                    case 0:
                        h.application->willResignActive();
                        break;
                    case 1:
                        h.application->didEnterBackground();
                        break;
                    case 2:
                        h.application->willTerminate();
                        break;
                    default:
                        h.application->didEnterBackground();
                        break;
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        settle();
        h.application->didBecomeActive();
        settle();
    }
    reading = false;
    reader.join();
    EXPECT_EQ(otherLimits.load(), 0) << "a host read the default limit, not the configured one";
    EXPECT_EQ(sent("ue").size(), static_cast<std::size_t>(periods));
}

}  // namespace
}  // namespace mvk::test

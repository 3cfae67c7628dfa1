#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "support/Patience.hpp"

namespace mvk::test {
namespace {

TEST_F(LogicFlow, VerificationsFromManyThreadsAroundADestroyCompleteOnceEach) {
    constexpr int threads = 8;
    constexpr int total = 100;
    start();
    std::array<std::atomic<int>, total> calls{};
    std::atomic<int> next{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = next++; i < total; i = next++) {
                if (t == 3 && i >= total / 2 && i < total / 2 + threads) {
                    MVKEngineWrapper::destroySDK();
                }
                MVKAntiCheat::verifyPayment("receipt", [&calls, i](const MVKVerifyResponse&) {
                    ++calls[static_cast<std::size_t>(i)];
                });
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    settle();
    QueueManager::anticheatQueue().queue().drain(drainLimit());
    for (int i = 0; i < total; ++i) {
        EXPECT_EQ(calls[static_cast<std::size_t>(i)].load(), 1) << "verification " << i;
    }
}

}  // namespace
}  // namespace mvk::test

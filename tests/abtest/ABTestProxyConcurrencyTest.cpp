#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "abtest/ABTestManager.hpp"
#include "abtest/ABTestProxy.hpp"
#include "platform/SerialQueue.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

/// Answers the manager's configuration, as the A/B logic does.
class ManagerLogic final : public ABTestLogicProtocol {
  public:
    explicit ManagerLogic(std::shared_ptr<ABTestManager> manager) : manager_(std::move(manager)) {}
    void prepareInitialState(std::shared_ptr<MVKRemoteConfigListener>) override {}
    void startABTestLogic() override {}
    void tryStartInvolvedExperiment() override {}
    MVKRemoteConfigParameters getConfig() override { return manager_->config(); }
    void resetConfig() override { manager_->setConfig({}); }

  private:
    std::shared_ptr<ABTestManager> manager_;
};

// Host threads read the applied configuration while the income queue
// rewrites it. A host's reset waits its turn behind the configurations
// queued before it, so the last call, a reset, leaves nothing.
TEST(ABTestProxyConcurrencyTest, HostReadsRaceTheQueueAndAResetKeepsItsTurn) {
    SerialQueue queue("test.income");
    auto manager = std::make_shared<ABTestManager>();
    ABTestProxy proxy(queue);
    proxy.initialize(std::make_shared<ManagerLogic>(manager));
    constexpr int rounds = 500;
    queue.pause();
    for (int round = 1; round <= rounds; ++round) {
        queue.addOperation([manager, round] {
            MVKRemoteConfigParameters config;
            for (int key = 0; key < round % 5 + 1; ++key) {
                config.emplace("key" + std::to_string(key), std::int64_t{round});
            }
            manager->setConfig(std::move(config));
        });
        if (round % 50 == 0) {
            proxy.resetConfig();
        }
    }
    std::vector<std::thread> hosts;
    for (int host = 0; host < 3; ++host) {
        hosts.emplace_back([&] {
            for (int read = 0; read < rounds; ++read) {
                proxy.getConfig();
            }
        });
    }
    queue.resume();
    for (auto& host : hosts) {
        host.join();
    }
    ASSERT_TRUE(queue.drain(test::drainLimit()));
    EXPECT_EQ(proxy.getConfig(), MVKRemoteConfigParameters{});
}

}  // namespace
}  // namespace mvk

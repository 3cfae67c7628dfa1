#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "abtest/ABTestManager.hpp"
#include "abtest/ABTestProxy.hpp"
#include "platform/SerialQueue.hpp"

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
// rewrites it; each read must be one whole configuration.
TEST(ABTestProxyConcurrencyTest, HostThreadsReadWholeConfigurations) {
    SerialQueue queue("test.income");
    auto manager = std::make_shared<ABTestManager>();
    ABTestProxy proxy(queue);
    proxy.initialize(std::make_shared<ManagerLogic>(manager));
    constexpr int rounds = 500;
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
    std::atomic<int> torn{0};
    std::vector<std::thread> hosts;
    for (int host = 0; host < 3; ++host) {
        hosts.emplace_back([&] {
            for (int read = 0; read < rounds; ++read) {
                const auto config = proxy.getConfig();
                if (config.empty()) {
                    continue;
                }
                const auto round = std::get<std::int64_t>(config.begin()->second);
                bool whole = config.size() == static_cast<std::size_t>(round % 5 + 1);
                for (const auto& entry : config) {
                    whole = whole && entry.second == MVKRemoteConfigDefault(round);
                }
                torn += whole ? 0 : 1;
            }
        });
    }
    for (auto& host : hosts) {
        host.join();
    }
    queue.drain();
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace mvk

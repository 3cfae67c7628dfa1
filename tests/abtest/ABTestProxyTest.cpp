#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "abtest/ABTestProxy.hpp"
#include "platform/SerialQueue.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

class RecordingLogic final : public ABTestLogicProtocol {
  public:
    void prepareInitialState(std::shared_ptr<MVKRemoteConfigListener>) override {}
    void startABTestLogic() override {}
    void tryStartInvolvedExperiment() override { calls.push_back("apply"); }
    MVKRemoteConfigParameters getConfig() override { return {{"speed", 2.5}}; }
    void resetConfig() override { calls.push_back("reset"); }

    std::vector<std::string> calls;
};

TEST(ABTestProxyTest, WithoutALogicEveryCallIsDroppedWithItsLine) {
    test::LogCapture log{MVKLogLevel::debug};
    SerialQueue queue("test.income");
    ABTestProxy proxy(queue);
    proxy.tryStartInvolvedExperiment();
    proxy.resetConfig();
    EXPECT_TRUE(proxy.getConfig().empty());
    queue.drain(test::drainLimit());
    for (const std::string method :
         {"tryStartInvolvedExperiment()", "resetConfig()", "getConfig()"}) {
        EXPECT_TRUE(log.contains(MVKLogLevel::error, "In the " + method +
                                                         " method an error has occurred: The SDK "
                                                         "is not initialized yet!"));
    }
}

TEST(ABTestProxyTest, CallsReachTheLogicInOrder) {
    SerialQueue queue("test.income");
    ABTestProxy proxy(queue);
    auto logic = std::make_shared<RecordingLogic>();
    proxy.initialize(logic);
    proxy.tryStartInvolvedExperiment();
    proxy.resetConfig();
    proxy.tryStartInvolvedExperiment();
    EXPECT_EQ(proxy.getConfig(), (MVKRemoteConfigParameters{{"speed", 2.5}}));
    queue.drain(test::drainLimit());
    EXPECT_EQ(logic->calls, (std::vector<std::string>{"apply", "reset", "apply"}));
}

}  // namespace
}  // namespace mvk

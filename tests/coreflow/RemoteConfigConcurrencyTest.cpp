#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "abtest/RemoteConfigStore.hpp"
#include "coreflow/ABTestFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKRemoteConfig.hpp"

namespace mvk {
namespace {

class RemoteConfigConcurrency : public test::ABTestFlow {};

TEST_F(RemoteConfigConcurrency, HostThreadsReadWhileTheConfigurationChanges) {
    MVKRemoteConfig::setDefaults({{"a", std::int64_t{1}}, {"b", std::string("x")}});
    const auto held = (*MVKRemoteConfig::config())["a"];
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int n = 0; n < 3; ++n) {
        readers.emplace_back([&] {
            while (!done) {
                const auto config = MVKRemoteConfig::config();
                for (const auto& [key, value] : config->getRawConfig()) {
                    (void)value->description();
                    (void)value->int64Value();
                }
                (void)(*config)["a"]->source();
                (void)config->hasKey("b");
                (void)held->stringValue();
                held->setSource(MVKRemoteConfigSource::defaults);
            }
        });
    }
    std::thread writer([&] {
        for (int n = 0; n < 200; ++n) {
            RemoteConfigStore::shared().apply({{"a", std::int64_t{n}}});
            MVKRemoteConfig::applyConfig();
            MVKRemoteConfig::setDefaults({{"a", std::int64_t{n}}, {"b", std::string("y")}});
        }
    });
    for (int n = 0; n < 200; ++n) {
        MVKRemoteConfig::resetConfig();
    }
    writer.join();
    done = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(MVKRemoteConfig::config()->getRawConfig().size(), 2U);
    h.drainIncome();
}

TEST_F(RemoteConfigConcurrency, ALogClosureMayReadTheCollection) {
    std::atomic<int> reads{0};
    MVKEngineWrapper::setEngineLoggerMessageClosure([&](MVKLogLevel, const std::string&) {
        (void)MVKRemoteConfig::config()->getRawConfig();
        (void)MVKRemoteConfig::defaults();
        ++reads;
    });
    MVKAnalytics::setLogLevel(MVKLogLevel::debug);
    MVKRemoteConfig::setDefaults({{"a", std::int64_t{1}}});
    MVKRemoteConfig::applyConfig();
    MVKRemoteConfig::resetConfig();
    h.drainIncome();
    MVKEngineWrapper::setEngineLoggerMessageClosure(nullptr);
    MVKAnalytics::setLogLevel(MVKLogLevel::error);
    EXPECT_GE(reads.load(), 3);
}

/// Applies as soon as it hears the group is ready, from the library's queue.
class ApplyingListener final : public MVKRemoteConfigListener {
  public:
    void onReceivedResult(MVKRemoteConfigReceiveResult) override { ++received; }
    void onPrepareToChange() override {}
    void onChangedResult(MVKRemoteConfigChangeResult result,
                         const std::optional<std::string>&) override {
        if (result == MVKRemoteConfigChangeResult::success) {
            MVKRemoteConfig::applyConfig();
            ++applied;
        }
    }
    std::atomic<int> received{0};
    std::atomic<int> applied{0};
};

TEST_F(RemoteConfigConcurrency, AListenerMayApplyFromItsCall) {
    auto applying = std::make_shared<ApplyingListener>();
    MVKRemoteConfig::setDefaults({{"speed", std::int64_t{1}}});
    MVKAnalytics::initializeWithAbTest("coreflow-key", applying);
    ASSERT_TRUE(settleUntil([&] { return applying->received > 0; }));
    store("go");
    ASSERT_TRUE(settleUntil([&] { return applying->applied > 0; }));
    EXPECT_EQ((*MVKRemoteConfig::config())["speed"]->int64Value(), 5);
    EXPECT_EQ((*MVKRemoteConfig::config())["speed"]->source(), MVKRemoteConfigSource::remote);
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "abtest/RemoteConfigStore.hpp"
#include "core/Core.hpp"
#include "coreflow/ABTestFlowHarness.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "platform/QueueManager.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

using test::ABTestFlow;
using test::RecordingListener;

TEST_F(ABTestFlow, AnOfferedGroupIsAppliedAndTagsTheEventsFromItsTriggerOn) {
    MVKRemoteConfig::setDefaults({{"speed", std::int64_t{1}}});
    MVKAnalytics::initializeWithAbTest("coreflow-key", listener);
    ASSERT_TRUE(settleUntil([&] { return !listener->calls.empty(); }));
    ASSERT_TRUE(eventsService);

    store("before");
    store("go");
    store("after");
    ASSERT_TRUE(settleUntil([&] { return listener->calls.size() >= 3; }));
    EXPECT_EQ(listener->calls, (std::vector<std::string>{"received 1", "prepare", "changed 1"}));

    // The offer waits for the host: nothing more leaves.
    QueueManager::incomeQueue().queue().addOperationAndWait(
        [&] { reportService->sendBufferedEvents(); });
    settleUntil([] { return true; });
    EXPECT_EQ(sentEvents(), std::vector<std::string>{"before"});

    MVKRemoteConfig::applyConfig();
    const auto speed = (*MVKRemoteConfig::config())["speed"];
    EXPECT_EQ(speed->source(), MVKRemoteConfigSource::remote);
    EXPECT_EQ(speed->int64Value(), 5);
    EXPECT_EQ(speed->description(), "value: [5] source: remote");

    const std::string marker = R"( [{"group":"B","id":7}])";
    ASSERT_TRUE(settleUntil([&] { return sentEvents().size() == 3; }));
    EXPECT_EQ(sentEvents(), (std::vector<std::string>{"before", "go" + marker, "after" + marker}));
}

TEST_F(ABTestFlow, WithoutAListenerThereIsNoABFeature) {
    test::LogCapture log(MVKLogLevel::error);
    MVKAnalytics::initializeWithAbTest("coreflow-key", nullptr);
    ASSERT_TRUE(settleUntil([&] { return eventsService != nullptr; }));
    MVKRemoteConfig::applyConfig();
    ASSERT_TRUE(h.drainIncome());
    EXPECT_TRUE(
        log.contains(MVKLogLevel::error,
                     "In the tryStartInvolvedExperiment() method an error has occurred: The "
                     "SDK is not initialized yet!"));
    EXPECT_TRUE(h.gateway().requests("/v2/remoteconfig/experiments").empty());
}

TEST_F(ABTestFlow, DestroyReleasesTheLogicAndTheListener) {
    MVKRemoteConfig::setDefaults({{"speed", std::int64_t{1}}});
    MVKAnalytics::initializeWithAbTest("coreflow-key", listener);
    ASSERT_TRUE(settleUntil([&] { return !listener->calls.empty(); }));
    store("go");
    ASSERT_TRUE(settleUntil([&] { return listener->calls.size() >= 3; }));
    eventsService.reset();
    reportService.reset();

    std::weak_ptr<RecordingListener> held = listener;
    listener.reset();
    h.dropCore();
    QueueManager::configQueue().queue().drain(test::drainLimit());
    h.drainIncome();
    EXPECT_TRUE(held.expired());

    // A new core still knows the defaults, so a group can be prepared again.
    EXPECT_EQ(Core::shared()->abTestDefaultParamsCache().savedDefaults(),
              (MVKRemoteConfigParameters{{"speed", std::int64_t{1}}}));
}

}  // namespace
}  // namespace mvk

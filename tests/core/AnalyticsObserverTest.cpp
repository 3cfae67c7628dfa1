#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/AnalyticsObserver.hpp"
#include "platform/ManualRunLoop.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk {
namespace {

class FakeLogic final : public LogicBroadcasterProtocol {
  public:
    BackendIdentifiersUpdate onBackendIdentifiersUpdate() const override { return update; }
    void setOnBackendIdentifiersUpdate(BackendIdentifiersUpdate value) override {
        update = std::move(value);
    }
    void forceUpdate() override {
        ++forced;
        update(current);
    }

    BackendIdentifiersUpdate update;
    std::optional<std::int64_t> current;
    int forced = 0;
};

class RecordingIdentifiersListener final : public MVKIdentifiersListener {
  public:
    void didReceiveMorvanixIdWith(std::int64_t morvanixId) override {
        if (fails) {
            throw std::runtime_error("host failure");
        }
        received.push_back(morvanixId);
    }
    std::vector<std::int64_t> received;
    bool fails = false;
};

// A host listener that implements nothing.
class SilentIdentifiersListener final : public MVKIdentifiersListener {};

class AnalyticsObserverTest : public ::testing::Test {
  protected:
    void TearDown() override { incomeQueue.drain(test::drainLimit()); }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualRunLoop> loop = std::make_shared<ManualRunLoop>(clock);
    SerialQueue incomeQueue{"test.income"};
    std::shared_ptr<AnalyticsObserver> observer =
        std::make_shared<AnalyticsObserver>(loop, incomeQueue);
    std::shared_ptr<FakeLogic> logic = std::make_shared<FakeLogic>();
};

TEST_F(AnalyticsObserverTest, CallbackSetBeforeStartUpEndsRunsOnceOnTheMainLoop) {
    int calls = 0;
    observer->setInitializationCallBack([&] { ++calls; });
    loop->runDueWork();
    EXPECT_EQ(calls, 0);

    observer->finishInitialization();
    observer->finishInitialization();
    EXPECT_EQ(calls, 0) << "posted, not called on the finishing thread";
    loop->runDueWork();
    loop->runDueWork();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(observer->isInitializationFinished());
}

TEST_F(AnalyticsObserverTest, CallbackSetAfterStartUpEndedRunsOnceAtTheNextTurn) {
    observer->finishInitialization();
    int first = 0;
    int replaced = 0;
    int second = 0;
    observer->setInitializationCallBack([&] { ++replaced; });
    observer->setInitializationCallBack([&] { ++first; });
    EXPECT_EQ(first, 0);
    loop->runDueWork();
    loop->runDueWork();
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(first, 1);

    observer->setInitializationCallBack([&] { ++second; });
    observer->finishInitialization();
    loop->runDueWork();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST_F(AnalyticsObserverTest, PostedCallbackIsDroppedWithTheObserverAndFailuresAreContained) {
    test::LogCapture log(MVKLogLevel::error);
    int calls = 0;
    observer->setInitializationCallBack([&] { ++calls; });
    observer->finishInitialization();
    observer.reset();
    loop->runDueWork();
    EXPECT_EQ(calls, 0);

    auto another = std::make_shared<AnalyticsObserver>(loop, incomeQueue);
    another->setInitializationCallBack([] { throw std::runtime_error("host failure"); });
    another->finishInitialization();
    loop->runDueWork();
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "The initialization complete callback has failed: host failure"));
}

TEST_F(AnalyticsObserverTest, NewListenerHearsTheCurrentIdentifierFromTheIncomeQueue) {
    auto listener = std::make_shared<RecordingIdentifiersListener>();
    observer->addLogicBroadcaster(logic);
    logic->current = 42;
    observer->addIdentifiersListener(listener);
    ASSERT_TRUE(incomeQueue.drain(test::drainLimit()));
    EXPECT_EQ(logic->forced, 1);
    EXPECT_EQ(listener->received, (std::vector<std::int64_t>{42}));

    logic->update(std::nullopt);
    logic->update(7);
    EXPECT_EQ(listener->received, (std::vector<std::int64_t>{42, 7}));

    auto replacement = std::make_shared<RecordingIdentifiersListener>();
    observer->addIdentifiersListener(replacement);
    ASSERT_TRUE(incomeQueue.drain(test::drainLimit()));
    EXPECT_EQ(listener->received, (std::vector<std::int64_t>{42, 7}));
    EXPECT_EQ(replacement->received, (std::vector<std::int64_t>{42}));
}

TEST_F(AnalyticsObserverTest, ListenersThatIgnoreOrFailAndGoneObjectsAreHarmless) {
    test::LogCapture log(MVKLogLevel::error);
    observer->addLogicBroadcaster(logic);
    logic->current = 42;
    observer->addIdentifiersListener(std::make_shared<SilentIdentifiersListener>());
    ASSERT_TRUE(incomeQueue.drain(test::drainLimit()));

    auto failing = std::make_shared<RecordingIdentifiersListener>();
    failing->fails = true;
    observer->addIdentifiersListener(failing);
    ASSERT_TRUE(incomeQueue.drain(test::drainLimit()));
    EXPECT_TRUE(
        log.contains(MVKLogLevel::error, "The identifiers listener has failed: host failure"));

    // The logic is held weakly: once it is gone nobody resends the identifier.
    auto update = logic->update;
    logic.reset();
    auto late = std::make_shared<RecordingIdentifiersListener>();
    observer->addIdentifiersListener(late);
    ASSERT_TRUE(incomeQueue.drain(test::drainLimit()));
    EXPECT_TRUE(late->received.empty());
    update(6);
    EXPECT_EQ(late->received, (std::vector<std::int64_t>{6}));

    // A handler that outlives the observer does nothing.
    auto listener = std::make_shared<RecordingIdentifiersListener>();
    observer->addIdentifiersListener(listener);
    observer.reset();
    ASSERT_TRUE(incomeQueue.drain(test::drainLimit()));
    update(5);
    EXPECT_TRUE(listener->received.empty());
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/ApplicationNotification.hpp"
#include "platform/NotificationCenter.hpp"
#include "state/LifeCycleRepository.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using Calls = std::vector<std::string>;

class RecordingListener final : public LifeCycleProtocol {
  public:
    RecordingListener(std::string name, Calls& calls) : name_(std::move(name)), calls_(calls) {}

    void goActive() override { record("goActive"); }
    void goInactive() override { record("goInactive"); }
    void goBackground() override { record("goBackground"); }
    void goTerminate() override { record("goTerminate"); }

    std::function<void()> onCall;

  private:
    void record(const std::string& change) {
        calls_.push_back(name_ + "." + change);
        if (onCall) {
            onCall();
        }
    }

    const std::string name_;
    Calls& calls_;
};

class LifeCycleTest : public ::testing::Test {
  protected:
    std::shared_ptr<RecordingListener> listener(const std::string& name) {
        return std::make_shared<RecordingListener>(name, calls);
    }
    Calls post(const char* notification) {
        calls.clear();
        center->post(notification);
        return calls;
    }

    Calls calls;
    std::shared_ptr<NotificationCenter> center = std::make_shared<NotificationCenter>();
    std::unique_ptr<LifeCycleRepository> repository = std::make_unique<LifeCycleRepository>(center);
};

TEST_F(LifeCycleTest, EachNotificationReachesTheListenersInSubscriptionOrder) {
    auto ab = listener("ab");
    auto analytics = listener("analytics");
    repository->subscibeLifeCycle(ab);
    repository->subscibeLifeCycle(analytics);
    repository->subscibeLifeCycle(ab);  // keeps its place, no second entry

    EXPECT_EQ(post(ApplicationNotification::didBecomeActive),
              (Calls{"ab.goActive", "analytics.goActive"}));
    EXPECT_EQ(post(ApplicationNotification::willResignActive),
              (Calls{"ab.goInactive", "analytics.goInactive"}));
    EXPECT_EQ(post(ApplicationNotification::didEnterBackground),
              (Calls{"ab.goBackground", "analytics.goBackground"}));
    EXPECT_EQ(post(ApplicationNotification::willTerminate),
              (Calls{"ab.goTerminate", "analytics.goTerminate"}));

    repository->unsubscibe(listener("stranger"));
    repository->unsubscibe(ab);
    EXPECT_EQ(post(ApplicationNotification::didBecomeActive), (Calls{"analytics.goActive"}));
}

TEST_F(LifeCycleTest, ListenerThatIsGoneIsSkippedAndNotKeptAlive) {
    auto first = listener("first");
    auto gone = listener("gone");
    auto last = listener("last");
    std::weak_ptr<RecordingListener> watch = gone;
    for (const auto& each : {first, gone, last}) {
        repository->subscibeLifeCycle(each);
    }
    gone.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(post(ApplicationNotification::didBecomeActive),
              (Calls{"first.goActive", "last.goActive"}));

    // A new listener may be built where the gone one lived; it is a stranger.
    auto newcomer = listener("newcomer");
    repository->subscibeLifeCycle(newcomer);
    EXPECT_EQ(post(ApplicationNotification::willTerminate),
              (Calls{"first.goTerminate", "last.goTerminate", "newcomer.goTerminate"}));
}

TEST_F(LifeCycleTest, ChangesMadeByAListenerTakeEffectFromTheNextNotification) {
    auto first = listener("first");
    auto second = listener("second");
    auto third = listener("third");
    auto late = listener("late");
    for (const auto& each : {first, second, third}) {
        repository->subscibeLifeCycle(each);
    }
    bool changed = false;
    first->onCall = [&] {
        if (std::exchange(changed, true)) {
            return;
        }
        repository->unsubscibe(first);
        repository->unsubscibe(second);
        repository->subscibeLifeCycle(late);
    };
    EXPECT_EQ(post(ApplicationNotification::didBecomeActive),
              (Calls{"first.goActive", "second.goActive", "third.goActive"}));
    EXPECT_EQ(post(ApplicationNotification::didEnterBackground),
              (Calls{"third.goBackground", "late.goBackground"}));
}

TEST_F(LifeCycleTest, FailingListenerDoesNotStopTheOthers) {
    test::LogCapture log(MVKLogLevel::error);
    auto failing = listener("failing");
    auto next = listener("next");
    failing->onCall = [] { throw std::runtime_error("boom"); };
    repository->subscibeLifeCycle(failing);
    repository->subscibeLifeCycle(next);
    EXPECT_EQ(post(ApplicationNotification::willResignActive),
              (Calls{"failing.goInactive", "next.goInactive"}));
    EXPECT_TRUE(
        log.contains(MVKLogLevel::error, "The life-cycle listener's goInactive has failed: boom"));
}

TEST_F(LifeCycleTest, ReleasedRepositoryStopsObservingAndKeepsNoListenerAlive) {
    auto subscribed = listener("subscribed");
    repository->subscibeLifeCycle(subscribed);
    repository.reset();
    EXPECT_EQ(post(ApplicationNotification::didBecomeActive), Calls{});
    EXPECT_EQ(subscribed.use_count(), 1);
}

}  // namespace
}  // namespace mvk

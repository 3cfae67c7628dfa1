#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Application.hpp"
#include "platform/ApplicationNotification.hpp"
#include "platform/NotificationCenter.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

TEST(NotificationCenterTest, DeliversToObserversOfTheNameInRegistrationOrder) {
    NotificationCenter center;
    std::vector<std::string> calls;
    auto record = [&](std::string tag) { return [&calls, tag] { calls.push_back(tag); }; };
    center.addObserver("a", record("a1"));
    center.addObserver("b", record("b1"));
    center.addObserver("a", record("a2"));
    center.addObserver("a", record("a3"));
    center.post("a");
    center.post("nobody");
    EXPECT_EQ(calls, (std::vector<std::string>{"a1", "a2", "a3"}));
}

TEST(NotificationCenterTest, ChangesDuringAPostFollowTheSnapshotExceptRemovals) {
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationCenter::ObserverId second = 0;
    NotificationCenter::ObserverId first = 0;
    first = center.addObserver("n", [&] {
        calls.push_back("first");
        center.removeObserver(second);  // its owner may be gone once this returns
        center.removeObserver(first);
        center.addObserver("n", [&] { calls.push_back("added"); });
    });
    second = center.addObserver("n", [&] { calls.push_back("second"); });
    center.addObserver("n", [&] {
        calls.push_back("third");
        center.post("inner");  // a post from inside a post must not deadlock
    });
    center.addObserver("inner", [&] { calls.push_back("inner"); });
    center.post("n");
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "third", "inner"}));
    calls.clear();
    center.post("n");
    EXPECT_EQ(calls, (std::vector<std::string>{"third", "inner", "added"}));
}

TEST(NotificationCenterTest, ThrowingObserverIsLoggedAndTheOthersStillRun) {
    test::LogCapture log(MVKLogLevel::error);
    NotificationCenter center;
    bool laterRan = false;
    center.addObserver("willTerminate", [] { throw std::runtime_error("boom"); });
    center.addObserver("willTerminate", [&] { laterRan = true; });
    center.post("willTerminate");
    EXPECT_TRUE(laterRan);
    EXPECT_TRUE(log.contains(MVKLogLevel::error, "An observer of willTerminate has failed: boom"));
}

TEST(NotificationCenterTest, RemovingAnUnknownObserverChangesNothing) {
    NotificationCenter center;
    int calls = 0;
    auto id = center.addObserver("n", [&] { ++calls; });
    center.removeObserver(id + 100);
    center.removeObserver(id);
    center.removeObserver(id);
    center.post("n");
    EXPECT_EQ(calls, 0);
}

struct LifeCycleCase {
    void (Application::*report)();
    const char* notification;
    ApplicationState seenByObserver;
    ApplicationState after;
};

TEST(ApplicationTest, EachReportSetsTheStateAndPostsItsNotification) {
    const LifeCycleCase cases[] = {
        {&Application::willResignActive, ApplicationNotification::willResignActive,
         ApplicationState::active, ApplicationState::inactive},
        {&Application::didEnterBackground, ApplicationNotification::didEnterBackground,
         ApplicationState::background, ApplicationState::background},
        {&Application::didBecomeActive, ApplicationNotification::didBecomeActive,
         ApplicationState::active, ApplicationState::active},
        {&Application::willTerminate, ApplicationNotification::willTerminate,
         ApplicationState::active, ApplicationState::background},
    };
    auto center = std::make_shared<NotificationCenter>();
    Application application(center);
    EXPECT_EQ(application.applicationState(), ApplicationState::active);
    for (const auto& c : cases) {
        std::vector<ApplicationState> seen;
        auto id = center->addObserver(c.notification,
                                      [&] { seen.push_back(application.applicationState()); });
        (application.*c.report)();
        center->removeObserver(id);
        EXPECT_EQ(seen, std::vector<ApplicationState>{c.seenByObserver}) << c.notification;
        EXPECT_EQ(application.applicationState(), c.after) << c.notification;
    }
}

}  // namespace
}  // namespace mvk

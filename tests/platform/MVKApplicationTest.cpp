#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mvk/MVKApplication.hpp"
#include "platform/Application.hpp"
#include "platform/ApplicationInfo.hpp"
#include "platform/ApplicationNotification.hpp"
#include "platform/MachineDeviceInfo.hpp"
#include "platform/NotificationCenter.hpp"

namespace mvk {
namespace {

TEST(MVKApplicationTest, LifeCycleCallsPostToTheDefaultCenter) {
    auto& center = *NotificationCenter::defaultCenter();
    std::vector<std::string> calls;
    std::vector<NotificationCenter::ObserverId> ids;
    for (const char* name :
         {ApplicationNotification::didBecomeActive, ApplicationNotification::willResignActive,
          ApplicationNotification::didEnterBackground, ApplicationNotification::willTerminate}) {
        ids.push_back(center.addObserver(name, [&calls, name] { calls.push_back(name); }));
    }
    MVKApplication::willResignActive();
    MVKApplication::didEnterBackground();
    EXPECT_EQ(Application::shared()->applicationState(), ApplicationState::background);
    MVKApplication::didBecomeActive();
    MVKApplication::willTerminate();
    MVKApplication::didBecomeActive();
    for (auto id : ids) {
        center.removeObserver(id);
    }
    EXPECT_EQ(calls,
              (std::vector<std::string>{"willResignActive", "didEnterBackground", "didBecomeActive",
                                        "willTerminate", "didBecomeActive"}));
    EXPECT_EQ(Application::shared()->applicationState(), ApplicationState::active);
}

TEST(MVKApplicationTest, ValuesSetBeforeStartUpReachThePlatformLayer) {
    MVKApplication::setBundleName("Race");
    MVKApplication::setBundleIdentifier("com.example.race");
    MVKApplication::setVersion("1.4.2");
    MVKApplication::setBuildVersion("1402");
    MVKApplication::setSandbox(true);
    MVKApplication::setScreenSize(1170, 2532);
    MVKApplication::setScreenPpi(460);
    auto& app = *ApplicationInfo::shared();
    EXPECT_EQ(app.bundleName(), "Race");
    EXPECT_EQ(app.bundleIdentifier(), "com.example.race");
    EXPECT_EQ(app.applicationVersion(), "1.4.2");
    EXPECT_EQ(app.applicationBuildVersion(), "1402");
    EXPECT_EQ(app.sandboxState(), 1);
    EXPECT_EQ(MachineDeviceInfo::shared()->screenSize(), (ScreenSize{1170, 2532}));
    EXPECT_EQ(MachineDeviceInfo::shared()->screenPpi(), 460);

    MVKApplication::setBundleName("");
    MVKApplication::setBundleIdentifier("");
    MVKApplication::setScreenSize(0, 0);
    MVKApplication::setScreenPpi(0);
    EXPECT_EQ(app.bundleName(), "tests_platform");
    EXPECT_EQ(MachineDeviceInfo::shared()->screenSize(), std::nullopt);
}

}  // namespace
}  // namespace mvk

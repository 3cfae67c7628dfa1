// The smallest game host: it links the installed library, routes the
// library's log into its own, plays a few seconds of a game and exits 0 once
// the gateway the library was built for has taken a report.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include <mvk/MVKAnalytics.hpp>
#include <mvk/MVKApplication.hpp>
#include <mvk/MVKEngineWrapper.hpp>
#include <mvk/MVKLogLevel.hpp>

namespace {

std::mutex sentMutex;
std::condition_variable sentChanged;
bool reportSent = false;

}  // namespace

int main() {
    using namespace mvk;
    MVKEngineWrapper::setEngineLoggerMessageClosure([](MVKLogLevel, const std::string& line) {
        std::printf("[game log] %s\n", line.c_str());
        if (line.find("has been sent successfully") != std::string::npos) {
            std::lock_guard lock(sentMutex);
            reportSent = true;
            sentChanged.notify_all();
        }
    });
    MVKAnalytics::setLogLevel(MVKLogLevel::info);
    std::printf("MVKAnalyticsUnreal %s\n", MVK_PACKAGE_VERSION);

    MVKAnalyticsConfiguration configuration;
    configuration.setUserId("consumer-player");
    configuration.setCurrentLevel(1);
    MVKAnalytics::initialize("consumer-app-key", configuration);
    MVKApplication::didBecomeActive();
    MVKAnalytics::customEvent("level_started");
    // Going to the background sends what is stored.
    MVKApplication::didEnterBackground();

    bool sent = false;
    {
        std::unique_lock lock(sentMutex);
        sent = sentChanged.wait_for(lock, std::chrono::seconds(60), [] { return reportSent; });
    }
    MVKEngineWrapper::destroySDK();
    std::printf("a report reached the gateway: %s\n", sent ? "yes" : "no");
    return sent ? 0 : 1;
}

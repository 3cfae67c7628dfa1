// The smallest game host: it links the installed library, routes the
// library's log into its own, and reports what it found.
#include <cstdio>
#include <string>

#include <mvk/MVKAnalytics.hpp>
#include <mvk/MVKEngineWrapper.hpp>
#include <mvk/MVKLogLevel.hpp>
#include <mvk/UnrealBridge.hpp>

int main() {
    using namespace mvk;
    MVKEngineWrapper::setEngineLoggerMessageClosure(
        [](MVKLogLevel, const std::string& line) { std::printf("[game log] %s\n", line.c_str()); });
    MVKAnalytics::setLogLevel(MVKLogLevel::info);

    std::printf("MVKAnalyticsUnreal %s, log level %s, initialized: %s\n", MVK_PACKAGE_VERSION,
                std::string(description(MVKAnalytics::logLevel())).c_str(),
                UnrealBridge::isAnalyticsInited() ? "yes" : "no");
    const bool levelKept = MVKAnalytics::logLevel() == MVKLogLevel::info;
    MVKEngineWrapper::destroySDK();
    return levelKept ? 0 : 1;
}

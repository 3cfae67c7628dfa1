#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "backend/BackendConfigUrl.hpp"
#include "core/Core.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "foundation/SdkConstraints.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/UnrealBridge.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

TEST(PublicSettings, LogLevelIgnoresUnknown) {
    test::LogCapture log(MVKLogLevel::error);
    const MVKLogLevel writes[] = {MVKLogLevel::debug, MVKLogLevel::unknown, MVKLogLevel::no,
                                  MVKLogLevel::unknown, MVKLogLevel::warning};
    const MVKLogLevel expected[] = {MVKLogLevel::debug, MVKLogLevel::debug, MVKLogLevel::no,
                                    MVKLogLevel::no, MVKLogLevel::warning};
    for (std::size_t i = 0; i < std::size(writes); ++i) {
        MVKAnalytics::setLogLevel(writes[i]);
        EXPECT_EQ(MVKAnalytics::logLevel(), expected[i]) << i;
    }
}

TEST(PublicSettings, TestAddressesAreStoredAsGivenAndHandedBackOnTheCallersThread) {
    struct Case {
        std::string written;
        std::string read;
    };
    const Case cases[] = {
        {"https://127.0.0.1:8443", "https://127.0.0.1:8443"},
        {"", ""},
        {"not checked at all", "not checked at all"},
        {"https://h\xFF/", "https://h\xEF\xBF\xBD/"},
    };
    for (const auto& c : cases) {
        MVKAnalytics::setTestProxyUrl(c.written);
        MVKAnalytics::setTestCustomUrl(c.written);
        std::vector<std::string> handed;
        MVKAnalytics::getTestProxyUrl([&](const std::string& url) { handed.push_back(url); });
        MVKAnalytics::getTestCustomUrl([&](const std::string& url) { handed.push_back(url); });
        EXPECT_EQ(handed, (std::vector<std::string>{c.read, c.read}));
    }
    MVKAnalytics::getTestProxyUrl({});
    MVKAnalytics::setTestProxyUrl("");
    MVKAnalytics::setTestCustomUrl("");
    EXPECT_EQ(BackendConfigUrl::baseApiUrl(), BackendConfigUrl::defaultGatewayUrl());
}

TEST(PublicSettings, TheDataFolderTheHostGivesHoldsTheDatabase) {
    test::CoreFlowHarness h;
    const auto chosen = h.dir.path() / "chosen";
    test::LogCapture log(MVKLogLevel::error);
    MVKApplication::setDataFolder(chosen.string());
    MVKApplication::setDataFolder("relative/folder");
    MVKAnalytics::initialize("data-key");
    ASSERT_TRUE(h.drainIncome());
    EXPECT_EQ(MVKAnalytics::sdkFolderPath(), (chosen / "morvanix").string());
    EXPECT_TRUE(std::filesystem::exists(chosen / "morvanix" / "morvanix.db"));
    EXPECT_TRUE(log.contains(MVKLogLevel::error,
                             "The data folder must be an absolute path; "
                             "the folder stays as it was"));
    test::CoreFlowHarness::dropCore();
    MVKApplication::setDataFolder("");
    EXPECT_NE(MVKAnalytics::sdkFolderPath(), (chosen / "morvanix").string());
}

// A started core keeps the database and the gateway it started with: taking a
// new place then would leave `sdkFolderPath()` naming a folder the database is
// not in, or split one run between two gateways.
TEST(PublicSettings, WhereDataGoesIsRefusedWhileACoreIsStartedAndTakenAfterADestroy) {
    test::CoreFlowHarness h;
    const auto other = (h.dir.path() / "other").string();
    const std::string otherGateway = "https://127.0.0.1:1";
    const struct Case {
        const char* name;
        std::function<void()> change;
        std::function<std::string()> read;
        std::string refusal;
    } cases[] = {
        {"data folder", [&] { MVKApplication::setDataFolder(other); },
         [] { return MVKAnalytics::sdkFolderPath(); },
         "The data folder can't change while the SDK is initialized; call destroySDK first. "
         "The folder stays as it was"},
        {"test proxy", [&] { MVKAnalytics::setTestProxyUrl(otherGateway); },
         [] {
             std::string url;
             MVKAnalytics::getTestProxyUrl([&](const std::string& read) { url = read; });
             return url;
         },
         "The test proxy URL can't change while the SDK is initialized; call destroySDK first. "
         "The URL stays as it was"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        test::LogCapture log(MVKLogLevel::error);
        MVKAnalytics::initialize("place-key");
        ASSERT_TRUE(h.drainIncome());
        const auto before = entry.read();
        entry.change();
        EXPECT_EQ(entry.read(), before);
        EXPECT_TRUE(log.contains(MVKLogLevel::error, entry.refusal));

        testing::internal::CaptureStdout();
        MVKEngineWrapper::destroySDK();
        h.drainIncome();
        testing::internal::GetCapturedStdout();
        entry.change();
        EXPECT_NE(entry.read(), before);
    }
    MVKApplication::setDataFolder(h.dir.path().string());
}

TEST(PublicSettings, EditorModeLivesInTheCoreAndChildrensPrivacyInTheProcess) {
    test::CoreFlowHarness h;
    MVKAnalytics::coppaControlEnable();
    MVKEngineWrapper::enableEditorMode();
    EXPECT_TRUE(Core::shared()->isCoppaControlEnabled());
    EXPECT_TRUE(Core::shared()->isEditorMode());
    EXPECT_FALSE(UnrealBridge::isAnalyticsInited());

    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    h.drainIncome();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Core::shared()->isCoppaControlEnabled());
    EXPECT_FALSE(Core::shared()->isEditorMode());
}

TEST(PublicSettings, EngineClosureTakesTheLinesAndTheSdkVersionTagsThem) {
    test::LogCapture log(MVKLogLevel::warning);
    std::vector<std::pair<MVKLogLevel, std::string>> received;
    MVKEngineWrapper::setEngineLoggerMessageClosure(
        [&](MVKLogLevel level, const std::string& line) { received.emplace_back(level, line); });
    EXPECT_TRUE(MVKEngineWrapper::engineLoggerMessageClosure());
    Logger::writeLog(MVKLogLevel::warning, "to the engine");
    Logger::writeLog(MVKLogLevel::debug, "filtered");
    MVKEngineWrapper::setEngineLoggerMessageClosure({});
    EXPECT_FALSE(MVKEngineWrapper::engineLoggerMessageClosure());

    MVKEngineWrapper::setSDKVersion("9.9.9-engine");
    Logger::writeLog(MVKLogLevel::warning, "to the system log");
    MVKEngineWrapper::setSDKVersion(SdkConstraints::defaultSdkVersion);

    EXPECT_EQ(received, (std::vector<std::pair<MVKLogLevel, std::string>>{
                            {MVKLogLevel::warning, "WARNING to the engine"}}));
    EXPECT_TRUE(log.containsFragment("[MorVanix 9.9.9-engine] WARNING to the system log"));
    EXPECT_FALSE(log.containsFragment("to the engine"));
}

}  // namespace
}  // namespace mvk

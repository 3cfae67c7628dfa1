#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Core.hpp"
#include "coreflow/CoreFlowHarness.hpp"
#include "foundation/Logger.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

TEST(PublicMaintenance, ClearKeychainDeletesTheIdentifiersStartUpStoredAndTheBareNames) {
    CoreFlowHarness h;
    const std::string app = FakeApplicationInfo().bundleName();
    MVKAnalytics::initialize("keychain-key");
    ASSERT_TRUE(h.drainIncome());
    // Whatever start-up stored, stored behind the application's name.
    ASSERT_TRUE(h.secureStore->get(app + "-k9m_v2_current_id").has_value());
    const std::vector<std::string> items = {"k9m_v2_current_id", "k9m_v2_prev_id",
                                            "k9m_v2_customUdid"};
    for (const auto& item : items) {
        h.secureStore->set(item, "bare");
        h.secureStore->set(app + "-" + item, "stored");
    }
    h.secureStore->set("k9m_idfa", "older, left alone");
    h.secureStore->set("other-k9m_v2_current_id", "another application's");

    MVKAnalytics::clearKeychain();

    for (const auto& item : items) {
        EXPECT_FALSE(h.secureStore->get(item).has_value()) << item;
        EXPECT_FALSE(h.secureStore->get(app + "-" + item).has_value()) << item;
    }
    EXPECT_EQ(h.secureStore->get("k9m_idfa"), "older, left alone");
    EXPECT_EQ(h.secureStore->get("other-k9m_v2_current_id"), "another application's");
}

TEST(PublicMaintenance, TestLogsWritesOneLinePerAdmittedLevel) {
    struct Case {
        MVKLogLevel level;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {MVKLogLevel::no, {}},
        {MVKLogLevel::error, {"ERROR this is error message"}},
        {MVKLogLevel::info,
         {"ERROR this is error message", "WARNING this is warning message",
          "INFO this is info message"}},
        {MVKLogLevel::debug,
         {"ERROR this is error message", "WARNING this is warning message",
          "INFO this is info message", "DEBUG this is debug message"}},
    };
    for (const auto& c : cases) {
        LogCapture log(c.level);
        MVKAnalytics::testLogs();
        EXPECT_EQ(log.messages(), c.messages) << static_cast<int>(c.level);
    }
}

TEST(PublicMaintenance, LoggerClosureIsKeptButLinesGoToTheEngineClosureOnly) {
    LogCapture log(MVKLogLevel::debug);
    std::vector<std::string> kept;
    MVKAnalytics::setLoggerMessageClosure([&](const std::string& line) { kept.push_back(line); });
    ASSERT_TRUE(MVKAnalytics::loggerMessageClosure());
    MVKAnalytics::loggerMessageClosure()("handed back");
    MVKAnalytics::testLogs();
    MVKAnalytics::setLoggerMessageClosure({});
    EXPECT_FALSE(MVKAnalytics::loggerMessageClosure());
    EXPECT_EQ(kept, std::vector<std::string>{"handed back"});
    EXPECT_EQ(log.messages().size(), 4u);
}

TEST(PublicMaintenance, DataFolderPathNeedsNoCoreAndNamesTheDatabaseFolder) {
    CoreFlowHarness h;
    const auto expected = (h.dir.path() / "morvanix").string();
    EXPECT_EQ(MVKAnalytics::sdkFolderPath(), expected);
    EXPECT_EQ(MVKEngineWrapper::unitySdkFolderPath(), expected);
}

}  // namespace
}  // namespace mvk::test

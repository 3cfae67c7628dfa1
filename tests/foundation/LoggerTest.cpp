#include <gtest/gtest.h>
#include <syslog.h>

#include <mutex>
#include <regex>

#include "foundation/Clock.hpp"
#include "foundation/Logger.hpp"
#include "foundation/ManualClock.hpp"
#include "foundation/SdkConstraints.hpp"
#include "foundation/SystemLog.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using test::LogCapture;

struct FilterCase {
    MVKLogLevel setting;
    bool error, warning, info, debug;
};

TEST(LoggerTest, LevelFilterAtEverySetting) {
    const FilterCase cases[] = {
        {MVKLogLevel::unknown, false, false, false, false},
        {MVKLogLevel::no, false, false, false, false},
        {MVKLogLevel::error, true, false, false, false},
        {MVKLogLevel::warning, true, true, false, false},
        {MVKLogLevel::info, true, true, true, false},
        {MVKLogLevel::debug, true, true, true, true},
    };
    for (const auto& c : cases) {
        LogCapture log(c.setting);
        Logger::writeLog(MVKLogLevel::error, "e");
        Logger::writeLog(MVKLogLevel::warning, "w");
        Logger::writeLog(MVKLogLevel::info, "i");
        Logger::writeLog(MVKLogLevel::debug, "d");
        SCOPED_TRACE(std::string(description(c.setting)));
        EXPECT_EQ(log.contains(MVKLogLevel::error, "e"), c.error);
        EXPECT_EQ(log.contains(MVKLogLevel::warning, "w"), c.warning);
        EXPECT_EQ(log.contains(MVKLogLevel::info, "i"), c.info);
        EXPECT_EQ(log.contains(MVKLogLevel::debug, "d"), c.debug);
    }
}

TEST(LoggerTest, DefaultLevelIsError) {
    // The capture restores the level it found, which is the process default
    // unless another test changed it without restoring.
    EXPECT_EQ(Logger::logLevel(), MVKLogLevel::error);
}

TEST(LoggerTest, SystemLogLineHasDateTagVersionAndLevel) {
    auto clock = std::make_shared<ManualClock>(1'700'000'000'123);
    Clock::install(clock);
    SdkConstraints::setSdkVersion("9.8.7-test");
    LogCapture log(MVKLogLevel::debug);
    Logger::writeLog(MVKLogLevel::warning, "[Database Module] something");
    SdkConstraints::setSdkVersion(SdkConstraints::defaultSdkVersion);
    Clock::install(nullptr);

    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string expected = Logger::formatDate(1'700'000'000'123) +
                                 " [MorVanix 9.8.7-test] WARNING [Database Module] something";
    EXPECT_EQ(lines[0], expected);
    EXPECT_TRUE(std::regex_match(lines[0].substr(0, 19),
                                 std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})")));
}

// A log reader filters by priority: an error among notices goes unseen.
TEST(LoggerTest, EachLevelReachesTheSystemLogAtItsOwnPriority) {
    const struct Case {
        MVKLogLevel level;
        int priority;
    } cases[] = {{MVKLogLevel::error, LOG_ERR},
                 {MVKLogLevel::warning, LOG_WARNING},
                 {MVKLogLevel::info, LOG_INFO},
                 {MVKLogLevel::debug, LOG_DEBUG}};
    LogCapture log(MVKLogLevel::debug);
    for (const auto& entry : cases) {
        Logger::writeLog(entry.level, "line");
    }
    const auto levels = log.sinkLevels();
    ASSERT_EQ(levels.size(), std::size(cases));
    for (std::size_t index = 0; index < std::size(cases); ++index) {
        EXPECT_EQ(SystemLog::priority(levels[index]), cases[index].priority)
            << description(cases[index].level);
    }
}

TEST(LoggerTest, EngineClosureReceivesLevelAndTextAndSystemLogNothing) {
    LogCapture log(MVKLogLevel::info);
    std::mutex mutex;
    std::vector<std::pair<MVKLogLevel, std::string>> received;
    Logger::setEngineLoggerMessageClosure([&](MVKLogLevel level, const std::string& text) {
        std::lock_guard lock(mutex);
        received.emplace_back(level, text);
    });
    Logger::writeLog(MVKLogLevel::info, "hello");
    Logger::writeLog(MVKLogLevel::debug, "filtered");
    Logger::setEngineLoggerMessageClosure(nullptr);

    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first, MVKLogLevel::info);
    EXPECT_EQ(received[0].second, "INFO hello");
    EXPECT_TRUE(log.lines().empty());
}

TEST(LoggerTest, ClosureThatLogsOrThrowsDoesNotDeadlockOrEscape) {
    LogCapture log(MVKLogLevel::debug);
    int depth = 0;
    Logger::setEngineLoggerMessageClosure([&](MVKLogLevel, const std::string&) {
        if (++depth == 1) {
            Logger::writeLog(MVKLogLevel::error, "nested");
            // Replacing the closure from inside it must not deadlock either.
            Logger::setLoggerMessageClosure([](const std::string&) {});
        }
        throw std::runtime_error("host failure");
    });
    EXPECT_NO_THROW(Logger::writeLog(MVKLogLevel::error, "outer"));
    EXPECT_EQ(depth, 2);
    Logger::setEngineLoggerMessageClosure(nullptr);
    Logger::setLoggerMessageClosure(nullptr);
}

TEST(LoggerTest, LoggerMessageClosureIsKeptButNeverCalled) {
    LogCapture log(MVKLogLevel::debug);
    int calls = 0;
    Logger::setLoggerMessageClosure([&](const std::string&) { ++calls; });
    Logger::writeLog(MVKLogLevel::error, "x");
    EXPECT_TRUE(static_cast<bool>(Logger::loggerMessageClosure()));
    Logger::setLoggerMessageClosure(nullptr);
    EXPECT_FALSE(static_cast<bool>(Logger::loggerMessageClosure()));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(log.lines().size(), 1u);
}

}  // namespace
}  // namespace mvk

#include <gtest/gtest.h>

#include <string>

#include "analytics/ValidatorRules.hpp"
#include "mvk/MVKAnalyticsConfiguration.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

const std::string keyEmptyLine =
    "In the Initialize method an error has occurred: \n\tThe application key argument value is "
    "empty!";

TEST(StartUpValidation, ApplicationKeyIsCleanedCutOrRefused) {
    struct Case {
        std::string key;
        std::optional<std::string> expected;
    };
    const std::string long256(256, 'k');
    const Case cases[] = {
        {"app-key", "app-key"},
        {"\x01\x1f\x7f\t\n", std::nullopt},
        {"", std::nullopt},
        {"ab\tc\xE2\x80\x8B"
         "d",
         "abcd"},  // a zero-width space is a format character
        {long256, std::string(255, 'k')},
        {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"},
    };
    for (const auto& c : cases) {
        test::LogCapture log(MVKLogLevel::debug);
        EXPECT_EQ(ValidatorRules::validateInitializeKey(c.key), c.expected) << c.key;
        const bool canceled =
            log.contains(MVKLogLevel::error, keyEmptyLine) &&
            log.contains(MVKLogLevel::error, "Execution of the Initialize method was canceled!");
        EXPECT_EQ(canceled, !c.expected.has_value()) << c.key;
    }
}

TEST(StartUpValidation, OverlongKeyIsCutToWholeCharactersWithAWarning) {
    std::string key;
    for (int i = 0; i < 256; ++i) {
        key += "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // one character of two code points
    }
    test::LogCapture log(MVKLogLevel::debug);
    const auto result = ValidatorRules::validateInitializeKey(key);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->size(), key.size() / 256 * 255);
    EXPECT_TRUE(log.contains(MVKLogLevel::warning,
                             "In the Initialize method an error has occurred:\n\tThe application "
                             "key argument value: " +
                                 key +
                                 " is longer than it is permitted.\n\tThe string was "
                                 "truncated to '255'!"));
}

TEST(StartUpValidation, ConfigurationDropsAnInvalidUserIdOrLevelButNeverCancels) {
    struct Case {
        std::optional<std::string> userId;
        std::optional<std::int64_t> level;
        std::optional<std::string> expectedUserId;
        std::optional<std::int64_t> expectedLevel;
        std::string logged;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, ""},
        {"", 1, "", 1, ""},
        {"player\x07", 2147483646, "player", 2147483646, ""},
        {"\x07", 0, std::nullopt, std::nullopt,
         "In the Initialize method an error has occurred: \n\tThe current level argument value "
         "[0] is less than the min [1] permitted value!"},
        {std::string(65, 'u'), 2147483647, std::string(64, 'u'), std::nullopt,
         "In the Initialize method an error has occurred: \n\tThe current level argument value "
         "[2147483647] is greater than the max [2147483646] permitted value!"},
    };
    for (const auto& c : cases) {
        test::LogCapture log(MVKLogLevel::debug);
        MVKAnalyticsConfigurationLocal configuration;
        configuration.userId = c.userId;
        configuration.level = c.level;
        const auto result = ValidatorRules::validateInitialize(configuration);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->userId, c.expectedUserId);
        EXPECT_EQ(result->level, c.expectedLevel);
        if (!c.logged.empty()) {
            EXPECT_TRUE(log.contains(MVKLogLevel::error, c.logged));
        }
        EXPECT_FALSE(log.containsFragment("was canceled"));
    }
    EXPECT_FALSE(ValidatorRules::validateInitialize(std::nullopt));
}

TEST(StartUpValidation, ConfigurationCopyIsValidUtf8AndDescribesItself) {
    MVKAnalyticsConfiguration configuration;
    EXPECT_EQ(configuration.description(), "logLevel: UNKNOWN\ntrackingAvailability: UNKNOWN");
    configuration.setLogLevel(MVKLogLevel::info);
    configuration.setUserId(std::string("pl\xFFyer"));
    configuration.setCurrentLevel(3);
    configuration.setTrackingAvailability(MVKTrackingStatus::disable);

    const auto local = MVKAnalyticsConfigurationLocal::from(configuration);
    EXPECT_EQ(local.userId, "pl\xEF\xBF\xBDyer");
    EXPECT_EQ(local.level, 3);
    EXPECT_EQ(local.description(),
              "logLevel: INFO\nuserId: pl\xEF\xBF\xBDyer\ncurrentLevel: 3\n"
              "trackingAvailability: DISABLE");
    configuration.setCurrentLevel(std::nullopt);
    EXPECT_FALSE(MVKAnalyticsConfigurationLocal::from(configuration).level);
}

}  // namespace
}  // namespace mvk

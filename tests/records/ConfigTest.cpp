#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "foundation/JsonCoding.hpp"
#include "records/Config.hpp"

namespace mvk {
namespace {

using nlohmann::json;

json fullAnswer() {
    return json::parse(R"({
        "timeForRequest": 60000, "countForRequest": 5, "eventParamsCount": 15,
        "sessionTimeout": 300000, "morvanixIdTimeout": 3600000, "serverTime": 1700000000123,
        "aliveTimeout": 200000, "userCounting": false, "currencyAggregationTimeout": 120000,
        "numberOfCurrencies": 50, "userCardKeysCount": 30, "sbsBundles": ["com.a.month", "com.a.year"],
        "sbsConfigVersion": 3,
        "exclude": {"version": 7, "all": false, "events": {"ce": ["boss", 2, null], "lu": []}},
        "userProperties": {"country": "DE"},
        "somethingNew": {"ignored": true}
    })");
}

TEST(ConfigTest, FullAnswerDecodesEveryField) {
    auto config = Config::fromJson(fullAnswer());
    ASSERT_TRUE(config);
    EXPECT_EQ(config->timeForRequest, 60000);
    EXPECT_EQ(config->countForRequest, 5);
    EXPECT_EQ(config->eventParamsCount, 15);
    EXPECT_EQ(config->sessionTimeout, 300000);
    EXPECT_EQ(config->morvanixIdTimeout, 3600000);
    EXPECT_EQ(config->serverTime, 1700000000123);
    EXPECT_EQ(config->aliveTimeout, 200000);
    EXPECT_FALSE(config->userCounting);
    EXPECT_EQ(config->currencyAggregationTimeout, 120000);
    EXPECT_EQ(config->numberOfCurrencies, 50);
    EXPECT_EQ(config->userCardKeysCount, 30);
    EXPECT_EQ(config->sbsBundles, (std::vector<std::string>{"com.a.month", "com.a.year"}));
    EXPECT_EQ(config->sbsConfigVersion, 3);
    ASSERT_TRUE(config->exclude);
    EXPECT_EQ(config->exclude->version, 7);
    EXPECT_EQ(config->exclude->all, false);
    ASSERT_TRUE(config->exclude->events);
    EXPECT_EQ(config->exclude->events->at("ce"),
              (AnyCodable::Array{AnyCodable("boss"), AnyCodable(2), AnyCodable()}));
    EXPECT_TRUE(config->exclude->events->at("lu").empty());
    EXPECT_EQ(config->userProperties, BackendUserProperties{"DE"});
}

TEST(ConfigTest, AnswersThatDecodeAndAnswersThatFail) {
    struct Case {
        const char* name;
        std::function<void(json&)> change;
        bool decodes;
    };
    const Case cases[] = {
        {"required keys only",
         [](json& j) {
             for (auto key : {"morvanixIdTimeout", "currencyAggregationTimeout",
                              "numberOfCurrencies", "userCardKeysCount", "sbsBundles",
                              "sbsConfigVersion", "exclude", "userProperties"}) {
                 j.erase(key);
             }
         },
         true},
        {"null optionals",
         [](json& j) {
             j["morvanixIdTimeout"] = nullptr;
             j["sbsBundles"] = nullptr;
             j["exclude"] = nullptr;
             j["userProperties"] = nullptr;
         },
         true},
        {"integral float", [](json& j) { j["timeForRequest"] = 60000.0; }, true},
        {"unsigned at INT64_MAX",
         [](json& j) { j["serverTime"] = std::uint64_t{std::numeric_limits<std::int64_t>::max()}; },
         true},
        {"negative number", [](json& j) { j["sbsConfigVersion"] = -1; }, true},
        {"exclude with version only",
         [](json& j) {
             j["exclude"] = {{"version", 1}};
         },
         true},
        {"empty user properties", [](json& j) { j["userProperties"] = json::object(); }, true},
        {"missing serverTime", [](json& j) { j.erase("serverTime"); }, false},
        {"missing userCounting", [](json& j) { j.erase("userCounting"); }, false},
        {"null required key", [](json& j) { j["countForRequest"] = nullptr; }, false},
        {"text for a number", [](json& j) { j["sessionTimeout"] = "600000"; }, false},
        {"bool for a number", [](json& j) { j["aliveTimeout"] = true; }, false},
        {"number for a bool", [](json& j) { j["userCounting"] = 1; }, false},
        {"fraction for an integer", [](json& j) { j["eventParamsCount"] = 20.5; }, false},
        {"unsigned above INT64_MAX",
         [](json& j) {
             j["serverTime"] = std::uint64_t{std::numeric_limits<std::int64_t>::max()} + 1;
         },
         false},
        {"float beyond the range", [](json& j) { j["timeForRequest"] = 1e19; }, false},
        {"optional of the wrong type", [](json& j) { j["numberOfCurrencies"] = "1000"; }, false},
        {"bundle that is not a text",
         [](json& j) {
             j["sbsBundles"] = {"a", 1};
         },
         false},
        {"bundles that are not a list", [](json& j) { j["sbsBundles"] = "a"; }, false},
        {"exclude without version", [](json& j) { j["exclude"].erase("version"); }, false},
        {"exclude all of the wrong type", [](json& j) { j["exclude"]["all"] = 0; }, false},
        {"exclusion values not a list", [](json& j) { j["exclude"]["events"]["ce"] = "boss"; },
         false},
        {"country of the wrong type", [](json& j) { j["userProperties"]["country"] = 49; }, false},
    };
    for (const auto& c : cases) {
        auto answer = fullAnswer();
        c.change(answer);
        EXPECT_EQ(Config::fromJson(answer).has_value(), c.decodes) << c.name;
    }
    EXPECT_FALSE(Config::fromJson(json::array()));
    EXPECT_FALSE(decodeJson<Config>("not json"));
}

TEST(ConfigTest, RequiredKeysOnlyLeaveEveryOptionalAbsent) {
    auto answer = fullAnswer();
    for (auto key :
         {"morvanixIdTimeout", "currencyAggregationTimeout", "numberOfCurrencies",
          "userCardKeysCount", "sbsBundles", "sbsConfigVersion", "exclude", "userProperties"}) {
        answer.erase(key);
    }
    auto config = Config::fromJson(answer);
    ASSERT_TRUE(config);
    EXPECT_FALSE(config->morvanixIdTimeout || config->currencyAggregationTimeout ||
                 config->numberOfCurrencies || config->userCardKeysCount || config->sbsBundles ||
                 config->sbsConfigVersion || config->exclude || config->userProperties);
    EXPECT_EQ(*toJSONData(*config),
              R"({"timeForRequest":60000,"countForRequest":5,"eventParamsCount":15,)"
              R"("sessionTimeout":300000,"serverTime":1700000000123,"aliveTimeout":200000,)"
              R"("userCounting":false})");
}

TEST(ConfigTest, EncodedFormDecodesToAnEqualConfiguration) {
    auto full = *Config::fromJson(fullAnswer());
    auto sparse = full;
    sparse.exclude = ExcludeEvents{.version = 2, .all = std::nullopt, .events = std::nullopt};
    sparse.userProperties = BackendUserProperties{};
    sparse.sbsBundles = std::vector<std::string>{};
    for (const auto& config : {full, sparse, Config::defaulConfiguration()}) {
        auto text = toJSONData(config);
        ASSERT_TRUE(text);
        EXPECT_EQ(decodeJson<Config>(*text), config) << *text;
    }
    EXPECT_NE(full, sparse);
}

TEST(ConfigTest, NumbersAreBroughtIntoTheirRanges) {
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    const std::int64_t min = std::numeric_limits<std::int64_t>::min();
    const std::int64_t day = 86'400'000;
    struct Case {
        const char* key;
        std::int64_t sent;
        std::int64_t stored;
    };
    const Case cases[] = {
        {"timeForRequest", 0, 1'000},
        {"timeForRequest", max, day},
        {"countForRequest", 0, 1},
        {"countForRequest", -5, 1},
        {"countForRequest", max, 10'000},
        {"eventParamsCount", -1, 0},
        {"eventParamsCount", 1'000'000, 1'000},
        {"sessionTimeout", min, 1'000},
        {"sessionTimeout", 10 * day, day},
        {"morvanixIdTimeout", 0, 1'000},
        {"morvanixIdTimeout", max, 365 * day},
        {"serverTime", -1, 0},
        {"serverTime", max, 253'402'300'799'999},
        {"aliveTimeout", -1, 1'000},
        {"aliveTimeout", max, day},
        {"currencyAggregationTimeout", 0, 1'000},
        {"currencyAggregationTimeout", max, day},
        {"numberOfCurrencies", -3, 0},
        {"numberOfCurrencies", max, 10'000},
        {"userCardKeysCount", -3, 0},
        {"userCardKeysCount", max, 1'000},
        {"sbsConfigVersion", -1, 0},
        {"sbsConfigVersion", max, max},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.sent));
        auto answer = fullAnswer();
        answer[c.key] = c.sent;
        auto config = Config::fromJson(answer);
        ASSERT_TRUE(config);
        EXPECT_EQ((*config->toJson())[c.key], c.stored);
    }
    // The defaults already lie inside every range.
    const auto& defaults = Config::defaulConfiguration();
    EXPECT_EQ(Config::fromJson(*defaults.toJson()), defaults);
}

TEST(ConfigTest, DefaultConfiguration) {
    const auto& config = Config::defaulConfiguration();
    EXPECT_EQ(&config, &Config::defaulConfiguration());
    EXPECT_GT(config.serverTime, 0);
    auto json = *config.toJson();
    EXPECT_EQ(json["timeForRequest"], 120000);
    EXPECT_EQ(json["countForRequest"], 10);
    EXPECT_EQ(json["eventParamsCount"], 20);
    EXPECT_EQ(json["sessionTimeout"], 600000);
    EXPECT_EQ(json["morvanixIdTimeout"], 86400000);
    EXPECT_EQ(json["aliveTimeout"], 300000);
    EXPECT_EQ(json["userCounting"], true);
    EXPECT_EQ(json["currencyAggregationTimeout"], 360000);
    EXPECT_EQ(json["numberOfCurrencies"], 1000);
    EXPECT_EQ(json["userCardKeysCount"], 60);
    EXPECT_EQ(json["sbsConfigVersion"], 0);
    EXPECT_FALSE(json.contains("sbsBundles") || json.contains("exclude") ||
                 json.contains("userProperties"));
}

TEST(ConfigTest, UnwritableExclusionFallsBackToTheDefaultText) {
    auto config = Config::defaulConfiguration();
    config.countForRequest = 99;
    config.exclude =
        ExcludeEvents{.version = 1, .all = true, .events = {{{"ce", {AnyCodable(std::nan(""))}}}}};
    EXPECT_FALSE(config.toJson());
    EXPECT_EQ(decodeJson<Config>(config.storedText()), Config::defaulConfiguration());
}

}  // namespace
}  // namespace mvk

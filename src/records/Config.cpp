#include "records/Config.hpp"

#include <algorithm>
#include <limits>

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

namespace {

constexpr std::int64_t second = 1'000;
constexpr std::int64_t day = 86'400'000;
constexpr std::int64_t endOfYear9999 = 253'402'300'799'999;

void clampField(std::int64_t& value, std::int64_t lowest, std::int64_t highest) {
    value = std::clamp(value, lowest, highest);
}

void clampField(std::optional<std::int64_t>& value, std::int64_t lowest, std::int64_t highest) {
    if (value) {
        clampField(*value, lowest, highest);
    }
}

void clampRanges(Config& config) {
    clampField(config.timeForRequest, second, day);
    // 0 would start a send on every stored event.
    clampField(config.countForRequest, 1, 10'000);
    clampField(config.eventParamsCount, 0, 1'000);
    clampField(config.sessionTimeout, second, day);
    // 0 would ask for new backend ids at every start.
    clampField(config.morvanixIdTimeout, second, 365 * day);
    clampField(config.serverTime, 0, endOfYear9999);
    clampField(config.aliveTimeout, second, day);
    clampField(config.currencyAggregationTimeout, second, day);
    clampField(config.numberOfCurrencies, 0, 10'000);
    clampField(config.userCardKeysCount, 0, 1'000);
    clampField(config.sbsConfigVersion, 0, std::numeric_limits<std::int64_t>::max());
}

}  // namespace

std::optional<Config> Config::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto timeForRequest = reader.requiredInt("timeForRequest");
    auto countForRequest = reader.requiredInt("countForRequest");
    auto eventParamsCount = reader.requiredInt("eventParamsCount");
    auto sessionTimeout = reader.requiredInt("sessionTimeout");
    auto serverTime = reader.requiredInt("serverTime");
    auto aliveTimeout = reader.requiredInt("aliveTimeout");
    auto userCounting = reader.requiredBool("userCounting");

    Config config;
    config.morvanixIdTimeout = reader.optionalInt("morvanixIdTimeout");
    config.currencyAggregationTimeout = reader.optionalInt("currencyAggregationTimeout");
    config.numberOfCurrencies = reader.optionalInt("numberOfCurrencies");
    config.userCardKeysCount = reader.optionalInt("userCardKeysCount");
    config.sbsConfigVersion = reader.optionalInt("sbsConfigVersion");
    if (const auto* bundles = reader.optionalValue("sbsBundles")) {
        if (!(config.sbsBundles = JsonObjectReader::asStringList(*bundles))) {
            return std::nullopt;
        }
    }
    if (const auto* exclude = reader.optionalValue("exclude")) {
        if (!(config.exclude = ExcludeEvents::fromJson(*exclude))) {
            return std::nullopt;
        }
    }
    if (const auto* properties = reader.optionalValue("userProperties")) {
        if (!(config.userProperties = BackendUserProperties::fromJson(*properties))) {
            return std::nullopt;
        }
    }
    if (!reader.ok()) {
        return std::nullopt;
    }
    config.timeForRequest = *timeForRequest;
    config.countForRequest = *countForRequest;
    config.eventParamsCount = *eventParamsCount;
    config.sessionTimeout = *sessionTimeout;
    config.serverTime = *serverTime;
    config.aliveTimeout = *aliveTimeout;
    config.userCounting = *userCounting;
    clampRanges(config);
    return config;
}

std::optional<nlohmann::ordered_json> Config::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["timeForRequest"] = timeForRequest;
    json["countForRequest"] = countForRequest;
    json["eventParamsCount"] = eventParamsCount;
    json["sessionTimeout"] = sessionTimeout;
    putIfPresent(json, "morvanixIdTimeout", morvanixIdTimeout);
    json["serverTime"] = serverTime;
    json["aliveTimeout"] = aliveTimeout;
    json["userCounting"] = userCounting;
    putIfPresent(json, "currencyAggregationTimeout", currencyAggregationTimeout);
    putIfPresent(json, "numberOfCurrencies", numberOfCurrencies);
    putIfPresent(json, "userCardKeysCount", userCardKeysCount);
    putIfPresent(json, "sbsBundles", sbsBundles);
    putIfPresent(json, "sbsConfigVersion", sbsConfigVersion);
    if (exclude) {
        auto encoded = exclude->toJson();
        if (!encoded) {
            return std::nullopt;
        }
        json["exclude"] = std::move(*encoded);
    }
    if (userProperties) {
        json["userProperties"] = userProperties->toJson();
    }
    return json;
}

std::string Config::storedText() const {
    if (auto text = toJSONData(*this)) {
        return std::move(*text);
    }
    // '{}' is the column's own default, and reads back as the default configuration.
    return toJSONData(defaulConfiguration()).value_or("{}");
}

const Config& Config::defaulConfiguration() {
    // Never destroyed: queue threads may read it while the process exits.
    static const auto* configuration = new Config([] {
        Config config;
        config.timeForRequest = 120000;
        config.countForRequest = 10;
        config.eventParamsCount = 20;
        config.sessionTimeout = 600000;
        config.morvanixIdTimeout = 86400000;
        config.serverTime = Clock::nowMillis();
        config.aliveTimeout = 300000;
        config.userCounting = true;
        config.currencyAggregationTimeout = 360000;
        config.numberOfCurrencies = 1000;
        config.userCardKeysCount = 60;
        config.sbsConfigVersion = 0;
        return config;
    }());
    return *configuration;
}

}  // namespace mvk

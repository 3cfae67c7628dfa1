#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/BackendUserProperties.hpp"
#include "records/ExcludeEvents.hpp"

namespace mvk {

/// The analytics configuration: timer periods, limits, timeouts, the
/// user-counting mode, subscription products and event exclusions. The same
/// JSON form comes from the gateway and is kept in the project row; its keys
/// are the field names. Durations are milliseconds.
///
/// Decoding brings every number into a sane range, so a broken or hostile
/// answer cannot make a send per event, a busy timer or a huge allocation:
///   timeForRequest, sessionTimeout, aliveTimeout,
///   currencyAggregationTimeout            1 s ... 1 day (the timer bounds)
///   morvanixIdTimeout                     1 s ... 365 days
///   countForRequest                       1 ... 10 000
///   eventParamsCount                      0 ... 1 000
///   numberOfCurrencies                    0 ... 10 000
///   userCardKeysCount                     0 ... 1 000
///   serverTime                            0 ... the end of year 9999
///   sbsConfigVersion                      0 ... INT64_MAX
struct Config {
    std::int64_t timeForRequest = 0;
    std::int64_t countForRequest = 0;
    std::int64_t eventParamsCount = 0;
    std::int64_t sessionTimeout = 0;
    /// Readers fall back to a day.
    std::optional<std::int64_t> morvanixIdTimeout{};
    std::int64_t serverTime = 0;
    std::int64_t aliveTimeout = 0;
    bool userCounting = false;
    /// Readers fall back to 360 seconds.
    std::optional<std::int64_t> currencyAggregationTimeout{};
    /// Readers fall back to 1000.
    std::optional<std::int64_t> numberOfCurrencies{};
    /// Readers fall back to 60.
    std::optional<std::int64_t> userCardKeysCount{};
    std::optional<std::vector<std::string>> sbsBundles{};
    std::optional<std::int64_t> sbsConfigVersion{};
    std::optional<ExcludeEvents> exclude{};
    std::optional<BackendUserProperties> userProperties{};

    /// Absent when a required key is missing or null, or any known key holds
    /// the wrong type or a number out of range. Unknown keys are ignored.
    static std::optional<Config> fromJson(const nlohmann::json& json);
    /// Keys in field order; absent optionals are left out, never null. Absent
    /// when an exclusion value cannot be written.
    std::optional<nlohmann::ordered_json> toJson() const;

    /// The configuration's compact JSON text, or the default configuration's
    /// when this one cannot be written.
    std::string storedText() const;

    /// The configuration in force while the gateway has given none. Made once
    /// per process, on first use; its `serverTime` is the time it was made.
    static const Config& defaulConfiguration();

    bool operator==(const Config&) const = default;
};

}  // namespace mvk

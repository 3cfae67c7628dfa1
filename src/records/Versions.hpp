#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// Which SDK and application ask, and which versions of the configuration
/// parts the library already holds: the body of the configuration and the
/// experiments requests.
struct Versions {
    std::string sdkVersion{};
    std::int64_t sdkCodeVersion = 10;
    /// Absent in editor mode.
    std::optional<std::string> appVersion{};
    /// Kept for the caller; never sent.
    std::optional<std::string> appBuildVersion{};
    /// The exclusion list's version of the stored configuration.
    std::optional<std::int64_t> excludeVersion{};
    std::optional<std::int64_t> sbsConfigVersion{};
    /// The experiment configuration's version; only the experiments request
    /// carries one.
    std::optional<std::int64_t> remoteConfigVersion{};

    /// "sdkVersion", "sdkCodeVersion", "appVersion" (null when absent), then
    /// "excludeVersion", "sbsConfigVersion" and "configVersion" only when present.
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const Versions&, const Versions&) = default;
};

}  // namespace mvk

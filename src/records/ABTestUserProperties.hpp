#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// What the gateway knows about the user for audience matching; kept with
/// the project's experiment configuration.
struct ABTestUserProperties {
    std::optional<std::string> country{};

    /// An object; "country" may be missing or null, but not of another type.
    static std::optional<ABTestUserProperties> fromJson(const nlohmann::json& json);
    /// "country" is left out when absent.
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const ABTestUserProperties&, const ABTestUserProperties&) = default;
};

}  // namespace mvk

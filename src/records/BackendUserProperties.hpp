#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// What the gateway knows of the user; kept with the configuration.
struct BackendUserProperties {
    std::optional<std::string> country{};

    /// Absent when the value is not an object or "country" is not a text.
    static std::optional<BackendUserProperties> fromJson(const nlohmann::json& json);
    /// "country" only when present.
    nlohmann::ordered_json toJson() const;

    bool operator==(const BackendUserProperties&) const = default;
};

}  // namespace mvk

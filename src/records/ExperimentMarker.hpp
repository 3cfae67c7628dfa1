#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// The experiment and group the gateway put the user in. Stored as a user's
/// involvement in an experiment and written into every sent event while the
/// experiment is active, always as {"id": ..., "group": ...}.
struct ExperimentMarker {
    /// The server's experiment id.
    std::int64_t idKey = 0;
    std::string group{};

    /// Both "id" (integer) and "group" (text) are required.
    static std::optional<ExperimentMarker> fromJson(const nlohmann::json& json);
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const ExperimentMarker&, const ExperimentMarker&) = default;
};

}  // namespace mvk

template <>
struct std::hash<mvk::ExperimentMarker> {
    std::size_t operator()(const mvk::ExperimentMarker& marker) const noexcept {
        const std::size_t id = std::hash<std::int64_t>{}(marker.idKey);
        return id ^ (std::hash<std::string>{}(marker.group) + 0x9e3779b97f4a7c15ULL + (id << 6) +
                     (id >> 2));
    }
};

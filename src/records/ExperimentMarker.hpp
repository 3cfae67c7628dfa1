#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace mvk {

/// The experiment and group the gateway put the user in. Stored as a user's
/// involvement in an experiment and written into every sent event while the
/// experiment is active, always as {"id": ..., "group": ...}.
struct ExperimentMarker {
    /// Groups are short labels ("A", "control"). The group is stored with the user's involvement
    /// and copied into every event sent while the experiment runs, so a longer one from a broken
    /// or hostile gateway, or stored by an earlier version, would swell every later report. Both
    /// bounds hold: one user-perceived character may take any number of bytes.
    static constexpr std::size_t maxGroupCharacters = 256;
    static constexpr std::size_t maxGroupBytes = 1024;

    /// The server's experiment id.
    std::int64_t idKey = 0;
    std::string group{};

    static bool isGroupWithinBounds(std::string_view group);

    /// Both "id" (integer) and "group" (text within the bounds) are required. A group over the
    /// bounds, which only an earlier version stored, is dropped with a line.
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

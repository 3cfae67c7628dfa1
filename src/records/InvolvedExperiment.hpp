#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// An experiment the gateway put the user in, and the group.
struct InvolvedExperiment {
    std::int64_t id = 0;
    std::string group{};

    /// "id" (an integer) and "group" (a text within `ExperimentMarker`'s bounds) are required:
    /// the group becomes the marker of every later event.
    static std::optional<InvolvedExperiment> fromJson(const nlohmann::json& json);
    /// "id", then "group".
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const InvolvedExperiment&, const InvolvedExperiment&) = default;
};

}  // namespace mvk

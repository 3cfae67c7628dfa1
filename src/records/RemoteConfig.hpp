#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/ABTestUserProperties.hpp"
#include "records/ABTestsExperiment.hpp"

namespace mvk {

/// The experiments answer: the project's experiments, the version of this
/// configuration and the gateway's user properties.
struct RemoteConfig {
    std::vector<ABTestsExperiment> experiments{};
    std::int64_t version = 0;
    ABTestUserProperties userProperties{};

    /// "version" (an integer) and "userProperties" (an object) are required;
    /// "experiments" missing or null is an empty list. One experiment that does
    /// not decode fails the whole answer.
    static std::optional<RemoteConfig> fromJson(const nlohmann::json& json);
    /// "experiments" (flattened conditions), "version", "userProperties";
    /// absent when an experiment cannot be written.
    std::optional<nlohmann::ordered_json> toJson() const;

    friend bool operator==(const RemoteConfig&, const RemoteConfig&) = default;
};

}  // namespace mvk

#pragma once

#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// One remote parameter of an experiment with its value in every group.
struct ExperimentParameter {
    /// Matches a key of the host's default parameters.
    std::string key{};
    /// Group name to the parameter's value in that group.
    std::map<std::string, AnyCodable> values{};

    /// "key" (text) and "values" (an object of any values) are required.
    static std::optional<ExperimentParameter> fromJson(const nlohmann::json& json);
    /// Absent when a value cannot be written (a non-finite number).
    std::optional<nlohmann::ordered_json> toJson() const;

    friend bool operator==(const ExperimentParameter&, const ExperimentParameter&) = default;
};

}  // namespace mvk

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace mvk {

/// The distinct event codes an experiment's conditions name, so that an event
/// of another code is not matched against the experiment at all.
struct ExperimentMask {
    std::int64_t experimentId = 0;
    std::vector<std::string> eventKeysMask{};

    /// "experimentId" (integer) and "eventKeysMask" (texts) are required.
    static std::optional<ExperimentMask> fromJson(const nlohmann::json& json);
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const ExperimentMask&, const ExperimentMask&) = default;
};

}  // namespace mvk

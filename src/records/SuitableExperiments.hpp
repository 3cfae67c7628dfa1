#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

namespace mvk {

/// The body of the offer request: the ids of the experiments the user
/// qualifies for, in the order the A/B manager holds them.
struct SuitableExperiments {
    std::vector<std::int64_t> suitableExperiments{};

    /// "suitableExperiments" (an array of integers) is required.
    static std::optional<SuitableExperiments> fromJson(const nlohmann::json& json);
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const SuitableExperiments&, const SuitableExperiments&) = default;
};

}  // namespace mvk

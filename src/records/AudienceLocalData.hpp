#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mvk {

/// The part of the audience the device and the stored A/B project know.
struct AudienceLocalData {
    std::optional<double> displayDiagonal{};
    /// From the gateway's user properties of the stored A/B project.
    std::optional<std::string> country{};
    std::optional<std::string> language{};
    std::int64_t level = 0;

    friend bool operator==(const AudienceLocalData&, const AudienceLocalData&) = default;
};

}  // namespace mvk

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// Whether the host allows tracking at start-up.
enum class MVKTrackingStatus : std::int64_t {
    unknown = 0,
    enable = 1,
    disable = 2,
};

/// The case for a raw value, or none outside 0...2.
MVK_EXPORT std::optional<MVKTrackingStatus> MVKTrackingStatusFromRawValue(std::int64_t rawValue);

constexpr std::int64_t rawValue(MVKTrackingStatus status) {
    return static_cast<std::int64_t>(status);
}

/// "UNKNOWN", "ENABLE" or "DISABLE"; a value outside the table prints as "UNKNOWN".
MVK_EXPORT std::string_view description(MVKTrackingStatus status);

}  // namespace mvk

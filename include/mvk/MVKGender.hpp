#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// The player's gender on the user card; stored there as its raw value.
enum class MVKGender : std::int64_t {
    unknown = 0,
    male = 1,
    female = 2,
};

/// The case for a raw value, or none outside 0...2.
MVK_EXPORT std::optional<MVKGender> MVKGenderFromRawValue(std::int64_t rawValue);

constexpr std::int64_t rawValue(MVKGender gender) {
    return static_cast<std::int64_t>(gender);
}

/// "Unknown", "Male" or "Female"; a value outside the table prints as "Unknown".
MVK_EXPORT std::string_view description(MVKGender gender);

}  // namespace mvk

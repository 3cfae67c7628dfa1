#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// How much the library writes to its log. A line of level L is written when
/// the current level's raw value is at least L; `no` silences the log.
enum class MVKLogLevel : std::int64_t {
    unknown = 0,
    no = 1,
    error = 2,
    warning = 3,
    info = 4,
    debug = 5,
};

inline constexpr std::array<MVKLogLevel, 6> MVKLogLevelAllCases = {
    MVKLogLevel::unknown, MVKLogLevel::no,   MVKLogLevel::error,
    MVKLogLevel::warning, MVKLogLevel::info, MVKLogLevel::debug,
};

/// The case for a raw value, or none outside 0...5.
MVK_EXPORT std::optional<MVKLogLevel> MVKLogLevelFromRawValue(std::int64_t rawValue);

constexpr std::int64_t rawValue(MVKLogLevel level) {
    return static_cast<std::int64_t>(level);
}

/// "UNKNOWN", "NO", "ERROR", "WARNING", "INFO" or "DEBUG"; a value outside the
/// table (an unchecked integer from the host) prints as "UNKNOWN".
MVK_EXPORT std::string_view description(MVKLogLevel level);

}  // namespace mvk

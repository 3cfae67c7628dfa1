#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// Whether an offered group's configuration is ready to apply.
enum class MVKRemoteConfigChangeResult : std::int64_t {
    failure = 0,
    success = 1,
};

/// The case for a raw value, or none outside 0...1.
MVK_EXPORT std::optional<MVKRemoteConfigChangeResult> MVKRemoteConfigChangeResultFromRawValue(
    std::int64_t rawValue);
/// "FAILURE" or "SUCCESS".
MVK_EXPORT std::string_view description(MVKRemoteConfigChangeResult result);

}  // namespace mvk

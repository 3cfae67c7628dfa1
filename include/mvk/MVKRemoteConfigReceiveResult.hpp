#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// Whether the experiments configuration arrived in time.
enum class MVKRemoteConfigReceiveResult : std::int64_t {
    failure = 0,
    success = 1,
};

/// The case for a raw value, or none outside 0...1.
MVK_EXPORT std::optional<MVKRemoteConfigReceiveResult> MVKRemoteConfigReceiveResultFromRawValue(
    std::int64_t rawValue);
/// "FAILURE" or "SUCCESS".
MVK_EXPORT std::string_view description(MVKRemoteConfigReceiveResult result);

}  // namespace mvk

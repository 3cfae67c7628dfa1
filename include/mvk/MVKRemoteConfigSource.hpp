#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// Where a remote-configuration value came from.
enum class MVKRemoteConfigSource : std::int64_t {
    /// The key is not in the collection.
    empty = 0,
    remote = 1,
    defaults = 2,
};

/// The case for a raw value, or none outside 0...2.
MVK_EXPORT std::optional<MVKRemoteConfigSource> MVKRemoteConfigSourceFromRawValue(
    std::int64_t rawValue);
/// "empty", "remote" or "defaults".
MVK_EXPORT std::string_view description(MVKRemoteConfigSource source);

}  // namespace mvk

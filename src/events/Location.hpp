#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mvk {

/// The progression the player is in, at most one at a time, kept in memory
/// only. Its name goes into "inProgress" of the events built meanwhile.
struct Location {
    std::string name;
    std::optional<std::string> source{};
    std::optional<std::int64_t> difficulty{};
    /// Milliseconds since 1970 when the progression was started.
    std::int64_t startTimestamp;

    /// Whole seconds from the start to `nowMillis`, rounded up; absent when
    /// that is not positive, as when the clock was set back meanwhile.
    std::optional<std::int64_t> elapsedSeconds(std::int64_t nowMillis) const;
};

}  // namespace mvk

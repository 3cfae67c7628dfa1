#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mvk {

/// What a level resource counts: currency earned, bought or spent on the
/// current level. The raw values are those of the "levelResource" table.
enum class LevelResourceType : std::int64_t {
    earned = 0,
    bought = 1,
    spent = 2,
};

/// The case for a raw value, or none outside 0...2.
std::optional<LevelResourceType> levelResourceTypeFromRawValue(std::int64_t rawValue);

constexpr std::int64_t rawValue(LevelResourceType type) {
    return static_cast<std::int64_t>(type);
}

/// "earned", "bought" or "spent".
std::string_view description(LevelResourceType type);

}  // namespace mvk

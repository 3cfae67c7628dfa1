#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// How the player came by a currency accrual.
enum class MVKAccrualType : std::int64_t {
    earned = 0,
    bought = 1,
};

/// The case for a raw value, or none outside 0...1.
MVK_EXPORT std::optional<MVKAccrualType> MVKAccrualTypeFromRawValue(std::int64_t rawValue);

constexpr std::int64_t rawValue(MVKAccrualType type) {
    return static_cast<std::int64_t>(type);
}

/// "earned" or "bought"; a value outside the table prints as "unknown".
MVK_EXPORT std::string_view description(MVKAccrualType type);

}  // namespace mvk

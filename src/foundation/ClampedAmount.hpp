#pragma once

#include <cstdint>
#include <limits>

namespace mvk {

/// An aggregated amount: the sum of two 64-bit amounts kept within the 32-bit
/// range. Stored amounts come from files of earlier versions or damaged ones
/// and can be any 64-bit value, so the sum itself may overflow; it saturates
/// at the bound on that side instead.
struct ClampedAmount {
    std::int64_t value;
    /// The sum lay outside the 32-bit range (or outside the 64-bit one).
    bool overflowed;

    static ClampedAmount sum(std::int64_t lhs, std::int64_t rhs) {
        constexpr std::int64_t min = std::numeric_limits<std::int32_t>::min();
        constexpr std::int64_t max = std::numeric_limits<std::int32_t>::max();
        std::int64_t total = 0;
        if (__builtin_add_overflow(lhs, rhs, &total)) {
            // Both had the same sign, which is the side the true sum lies on.
            return {lhs < 0 ? min : max, true};
        }
        if (total > max) {
            return {max, true};
        }
        if (total < min) {
            return {min, true};
        }
        return {total, false};
    }
};

}  // namespace mvk

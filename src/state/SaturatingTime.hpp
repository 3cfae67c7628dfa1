#pragma once

#include <cstdint>
#include <limits>

namespace mvk {

/// `later - earlier` in milliseconds, pinned to the int64 range. Stored rows
/// and gateway answers can hold any value, and a wrapped difference would
/// turn a stale time into a fresh one.
inline std::int64_t saturatingDifference(std::int64_t later, std::int64_t earlier) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(later, earlier, &difference)) {
        return earlier < 0 ? std::numeric_limits<std::int64_t>::max()
                           : std::numeric_limits<std::int64_t>::min();
    }
    return difference;
}

/// `value` pinned to `[low, high]`.
inline std::int64_t clampMillis(std::int64_t value, std::int64_t low, std::int64_t high) {
    return value < low ? low : (value > high ? high : value);
}

}  // namespace mvk

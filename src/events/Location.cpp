#include "events/Location.hpp"

#include <limits>

namespace mvk {

std::optional<std::int64_t> Location::elapsedSeconds(std::int64_t nowMillis) const {
    if (nowMillis <= startTimestamp) {
        return std::nullopt;
    }
    // The difference of two signed values of opposite sign can overflow.
    std::int64_t elapsed = 0;
    if (__builtin_sub_overflow(nowMillis, startTimestamp, &elapsed)) {
        elapsed = std::numeric_limits<std::int64_t>::max();
    }
    return elapsed / 1000 + (elapsed % 1000 != 0 ? 1 : 0);
}

}  // namespace mvk

#include "foundation/SystemClock.hpp"

#include <chrono>

namespace mvk {

namespace {

template <typename TimePoint>
std::int64_t roundedMillis(TimePoint point) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(point.time_since_epoch()).count();
    // Half away from zero, so a time just before 1970 rounds like one after it.
    return micros >= 0 ? (micros + 500) / 1000 : (micros - 500) / 1000;
}

}  // namespace

std::int64_t SystemClock::nowMillis() const {
    return roundedMillis(std::chrono::system_clock::now());
}

std::int64_t SystemClock::monotonicMillis() const {
    return roundedMillis(std::chrono::steady_clock::now());
}

}  // namespace mvk

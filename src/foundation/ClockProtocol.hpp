#pragma once

#include <cstdint>

namespace mvk {

/// Wall-clock and monotonic time, injectable so tests can drive time by hand.
class ClockProtocol {
  public:
    virtual ~ClockProtocol() = default;
    /// Milliseconds since 1970, rounded half away from zero.
    virtual std::int64_t nowMillis() const = 0;
    /// Milliseconds on a clock that never goes back; used for scheduling.
    virtual std::int64_t monotonicMillis() const = 0;
};

}  // namespace mvk

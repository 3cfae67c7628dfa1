#pragma once

#include <atomic>

#include "foundation/ClockProtocol.hpp"

namespace mvk {

/// A clock that only moves when told to; tests install it through `Clock`.
class ManualClock final : public ClockProtocol {
  public:
    explicit ManualClock(std::int64_t startMillis = 1'700'000'000'000) : now_(startMillis) {}

    std::int64_t nowMillis() const override { return now_.load(); }
    std::int64_t monotonicMillis() const override { return monotonic_.load(); }

    void advance(std::int64_t millis) {
        now_ += millis;
        monotonic_ += millis;
    }
    /// Moves the wall clock only, as when the user changes the device's time.
    void setWallClock(std::int64_t millis) { now_ = millis; }

  private:
    std::atomic<std::int64_t> now_;
    std::atomic<std::int64_t> monotonic_{0};
};

}  // namespace mvk

#pragma once

#include <cstdint>
#include <memory>

#include "foundation/ClockProtocol.hpp"

namespace mvk {

/// The process-wide clock every component reads. It is the system clock unless
/// a test installs another one.
class Clock {
  public:
    Clock() = delete;

    static std::int64_t nowMillis();
    static std::int64_t monotonicMillis();
    static std::shared_ptr<ClockProtocol> current();

    /// Installs `clock` (the system clock again when null).
    static void install(std::shared_ptr<ClockProtocol> clock);
};

}  // namespace mvk

#pragma once

#include "foundation/ClockProtocol.hpp"

namespace mvk {

class SystemClock final : public ClockProtocol {
  public:
    std::int64_t nowMillis() const override;
    std::int64_t monotonicMillis() const override;
};

}  // namespace mvk

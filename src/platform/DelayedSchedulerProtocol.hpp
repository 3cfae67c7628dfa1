#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/ScheduledWorkProtocol.hpp"

namespace mvk {

/// Runs a block once after a delay. Blocks are meant to be short: they hop to
/// the queue that does the real work.
class DelayedSchedulerProtocol {
  public:
    virtual ~DelayedSchedulerProtocol() = default;

    virtual std::shared_ptr<ScheduledWorkProtocol> schedule(std::chrono::milliseconds delay,
                                                            std::function<void()> block) = 0;
};

}  // namespace mvk

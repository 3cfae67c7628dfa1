#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/ScheduledWorkProtocol.hpp"

namespace mvk {

/// The library's main thread: blocks posted to it run one at a time, in order,
/// between the fires of its repeating timers.
class MainLoopProtocol {
  public:
    virtual ~MainLoopProtocol() = default;

    virtual void post(std::function<void()> block) = 0;

    /// First fire one interval from now, then every interval. Fires missed
    /// while the loop was busy are run once, not caught up one by one.
    virtual std::shared_ptr<ScheduledWorkProtocol> scheduleRepeating(
        std::chrono::milliseconds interval, std::function<void()> block) = 0;

    /// True when called from work this loop runs.
    virtual bool isCurrent() const = 0;
};

}  // namespace mvk

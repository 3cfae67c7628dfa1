#pragma once

#include <functional>

namespace mvk {

/// The four repeating timers of the analytics side. Ticks come on the main
/// loop; the installed closures hop to the income queue themselves.
class TimerServiceProtocol {
  public:
    using Tick = std::function<void()>;

    virtual ~TimerServiceProtocol() = default;

    virtual Tick onAliveTimerTick() const = 0;
    virtual void setOnAliveTimerTick(Tick tick) = 0;
    virtual Tick onCurrencyAccrualTimerTick() const = 0;
    virtual void setOnCurrencyAccrualTimerTick(Tick tick) = 0;
    virtual Tick onRequestTimerTick() const = 0;
    virtual void setOnRequestTimerTick(Tick tick) = 0;
    virtual Tick onActivityTimerTick() const = 0;
    virtual void setOnActivityTimerTick(Tick tick) = 0;

    /// Creates the timers that do not run yet, on the main loop.
    virtual void startTimers() = 0;
    /// Cancels every timer, including creations still queued.
    virtual void stopTimers() = 0;
    /// Stops and starts all four, so each restarts its full period.
    virtual void resetTimers() = 0;
    /// Restart one timer's full period.
    virtual void resetRequestTimer() = 0;
    virtual void resetAliveTimer() = 0;
};

}  // namespace mvk

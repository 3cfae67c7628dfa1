#pragma once

#include <functional>

namespace mvk {

/// A one-shot wait with a deadline that also tells whether it is still
/// running, so a late answer can be told from a timely one even before the
/// expiry has been handled. Used on the income queue.
class CustomTimerTaskProtocol {
  public:
    virtual ~CustomTimerTaskProtocol() = default;

    /// Starts the wait; `stopTimer` runs once at expiry, on the income queue,
    /// unless the wait was stopped or launched again before it runs.
    virtual void launchTask(std::function<void()> stopTimer) = 0;
    virtual bool isTimeoutValid() const = 0;
    /// Ends the wait without running `stopTimer`.
    virtual void stopTask() = 0;
    /// Seconds, as given.
    virtual double getHoldUpTime() const = 0;
};

}  // namespace mvk

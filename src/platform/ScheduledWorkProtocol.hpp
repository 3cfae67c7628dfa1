#pragma once

namespace mvk {

/// A repeating timer or a delayed block, as handed back by the main loop and
/// the delayed scheduler. Dropping the handle does not cancel the work.
class ScheduledWorkProtocol {
  public:
    virtual ~ScheduledWorkProtocol() = default;

    /// Never waits for the thread that runs the work, so it is safe while that
    /// thread is blocked. A run that has already begun finishes; no run begins
    /// after this returns.
    virtual void cancel() = 0;

    /// False once cancelled, and for a delayed block once it has begun.
    virtual bool isScheduled() const = 0;
};

}  // namespace mvk

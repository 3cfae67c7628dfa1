#pragma once

#include <memory>

#include "platform/DelayedSchedulerProtocol.hpp"
#include "platform/MainLoopProtocol.hpp"
#include "platform/TimerSchedule.hpp"

namespace mvk {

/// What the threaded and the manual loop share: work goes into one
/// `TimerSchedule`; the two differ only in who takes it out and runs it.
class ScheduledLoop : public MainLoopProtocol, public DelayedSchedulerProtocol {
  public:
    void post(std::function<void()> block) override;
    std::shared_ptr<ScheduledWorkProtocol> scheduleRepeating(std::chrono::milliseconds interval,
                                                             std::function<void()> block) override;
    std::shared_ptr<ScheduledWorkProtocol> schedule(std::chrono::milliseconds delay,
                                                    std::function<void()> block) override;

    /// Timers and delayed blocks not yet cancelled or run.
    std::size_t pendingWorkCount() const { return schedule_->pendingCount(); }

  protected:
    explicit ScheduledLoop(TimerSchedule::TimeSource now);

    const std::shared_ptr<TimerSchedule> schedule_;
};

}  // namespace mvk

#include "platform/ScheduledLoop.hpp"

namespace mvk {

ScheduledLoop::ScheduledLoop(TimerSchedule::TimeSource now)
    : schedule_(std::make_shared<TimerSchedule>(std::move(now))) {}

void ScheduledLoop::post(std::function<void()> block) {
    schedule_->addOnce(0, std::move(block));
}

std::shared_ptr<ScheduledWorkProtocol> ScheduledLoop::scheduleRepeating(
    std::chrono::milliseconds interval, std::function<void()> block) {
    return schedule_->addRepeating(interval.count(), std::move(block));
}

std::shared_ptr<ScheduledWorkProtocol> ScheduledLoop::schedule(std::chrono::milliseconds delay,
                                                               std::function<void()> block) {
    return schedule_->addOnce(delay.count(), std::move(block));
}

}  // namespace mvk

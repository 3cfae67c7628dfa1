#include "abtest/CustomTimerTask.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "foundation/Clock.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

CustomTimerTask::CustomTimerTask(double holdUp, std::shared_ptr<DelayedSchedulerProtocol> scheduler,
                                 SerialQueue& incomeQueue)
    : holdUp_(holdUp),
      holdUpMillis_(holdUpMillis(holdUp)),
      scheduler_(std::move(scheduler)),
      incomeQueue_(incomeQueue),
      generation_(std::make_shared<std::atomic<std::uint64_t>>(0)) {}

CustomTimerTask::~CustomTimerTask() {
    callGuarded("Releasing a timer task", [this] { endGeneration(); });
}

std::int64_t CustomTimerTask::holdUpMillis(double holdUp) {
    // NaN fails both comparisons and counts as no wait at all.
    if (!(holdUp > 0.0)) {
        return 0;
    }
    return static_cast<std::int64_t>(std::min(holdUp, maxHoldUpSeconds) * 1000.0);
}

void CustomTimerTask::endGeneration() {
    generation_->fetch_add(1);
    if (timer_) {
        timer_->cancel();
        timer_.reset();
    }
}

void CustomTimerTask::launchTask(std::function<void()> stopTimer) {
    endGeneration();
    const std::uint64_t launch = generation_->load();
    timestamp_ = Clock::monotonicMillis();
    auto expiry = [generation = generation_, launch, stopTimer = std::move(stopTimer)] {
        if (generation->load() == launch && stopTimer) {
            callGuarded("A timer task's expiry", stopTimer);
        }
    };
    SerialQueue* queue = &incomeQueue_;
    timer_ = scheduler_->schedule(
        std::chrono::milliseconds(holdUpMillis_), [queue, expiry = std::move(expiry)] {
            callGuarded("A timer task's timer", [&] { queue->addOperation(expiry); });
        });
}

bool CustomTimerTask::isTimeoutValid() const {
    if (!timestamp_) {
        return false;
    }
    return Clock::monotonicMillis() - *timestamp_ < holdUpMillis_;
}

void CustomTimerTask::stopTask() {
    timestamp_.reset();
    endGeneration();
}

}  // namespace mvk

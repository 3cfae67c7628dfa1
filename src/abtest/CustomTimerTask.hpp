#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/DelayedSchedulerProtocol.hpp"
#include "platform/ScheduledWorkProtocol.hpp"
#include "platform/SerialQueue.hpp"
#include "records/CustomTimerTaskProtocol.hpp"

namespace mvk {

/// A wait on the delayed scheduler. Start time and validity are read on the
/// scheduler's own monotonic clock, so "still valid" and "expired" always agree
/// and a change of the device's time moves neither.
///
/// Each launch is a generation; a stop, a new launch and the release end it.
/// The expiry queued on the income queue runs only for the generation that is
/// still current, so a stopped or replaced wait never runs an old expiry even
/// when its timer had already fired.
class CustomTimerTask final : public CustomTimerTaskProtocol {
  public:
    /// Waits above this count as this long: the delay must stay representable
    /// in milliseconds (the host may pass up to 1.797e308 seconds).
    static constexpr double maxHoldUpSeconds = 100.0 * 365.25 * 86'400.0;

    CustomTimerTask(double holdUp, std::shared_ptr<DelayedSchedulerProtocol> scheduler,
                    SerialQueue& incomeQueue);
    ~CustomTimerTask() override;

    CustomTimerTask(const CustomTimerTask&) = delete;
    CustomTimerTask& operator=(const CustomTimerTask&) = delete;

    void launchTask(std::function<void()> stopTimer) override;
    bool isTimeoutValid() const override;
    void stopTask() override;
    double getHoldUpTime() const override { return holdUp_; }

    /// Start of the running wait on the monotonic clock; none when stopped.
    std::optional<std::int64_t> timestamp() const { return timestamp_; }

  private:
    /// The wait in whole milliseconds: not negative, at most `maxHoldUpSeconds`.
    static std::int64_t holdUpMillis(double holdUp);
    void endGeneration();

    const double holdUp_;
    const std::int64_t holdUpMillis_;
    const std::shared_ptr<DelayedSchedulerProtocol> scheduler_;
    SerialQueue& incomeQueue_;
    /// Shared with the blocks in flight, which may outlive the task.
    const std::shared_ptr<std::atomic<std::uint64_t>> generation_;
    std::shared_ptr<ScheduledWorkProtocol> timer_;
    std::optional<std::int64_t> timestamp_;
};

}  // namespace mvk

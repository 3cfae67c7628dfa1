#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "state/StateManagerProtocol.hpp"
#include "state/TimerServiceProtocol.hpp"
#include "platform/MainLoopProtocol.hpp"

namespace mvk {

/// The request, alive, currency-accrual and activity timers. They live on the
/// main loop; start, stop and resets come from the income queue, so the slots
/// sit behind a lock.
///
/// Periods come from the active project's configuration in whole seconds (the
/// milliseconds divided by 1000, remainder dropped) and are kept between one
/// second and one day, so no configuration can make a timer spin. They are read
/// when a start or reset is asked for, on the caller's queue, because the
/// project row may only be read there.
///
/// Hold it in a `std::shared_ptr`: queued creations and ticks hold it weakly.
/// Its timers are cancelled when it goes.
class TimerService final : public TimerServiceProtocol,
                           public std::enable_shared_from_this<TimerService> {
  public:
    static constexpr std::chrono::seconds minimumPeriod{1};
    static constexpr std::chrono::seconds maximumPeriod{86'400};
    static constexpr std::chrono::seconds activityPeriod{15};
    /// The currency-accrual period when the configuration gives none.
    static constexpr std::int64_t defaultCurrencyAggregationTimeout = 360'000;

    TimerService(std::shared_ptr<StateManagerProtocol> stateManager,
                 std::shared_ptr<MainLoopProtocol> mainLoop);
    /// On the library's main loop.
    static std::shared_ptr<TimerService> make(std::shared_ptr<StateManagerProtocol> stateManager);
    ~TimerService() override;

    TimerService(const TimerService&) = delete;
    TimerService& operator=(const TimerService&) = delete;

    Tick onAliveTimerTick() const override { return tickOf(alive); }
    void setOnAliveTimerTick(Tick tick) override { setTick(alive, std::move(tick)); }
    Tick onCurrencyAccrualTimerTick() const override { return tickOf(currencyAccrual); }
    void setOnCurrencyAccrualTimerTick(Tick tick) override {
        setTick(currencyAccrual, std::move(tick));
    }
    Tick onRequestTimerTick() const override { return tickOf(request); }
    void setOnRequestTimerTick(Tick tick) override { setTick(request, std::move(tick)); }
    Tick onActivityTimerTick() const override { return tickOf(activity); }
    void setOnActivityTimerTick(Tick tick) override { setTick(activity, std::move(tick)); }

    void startTimers() override;
    void stopTimers() override;
    void resetTimers() override;
    /// Recreates the timer only while the timers are started: a report that
    /// comes back after the activity ended must not bring a timer back.
    void resetRequestTimer() override;
    void resetAliveTimer() override;

  private:
    /// In the order the timers are created.
    enum Kind : std::size_t { currencyAccrual, activity, alive, request, kindCount };
    using Periods = std::array<std::chrono::milliseconds, kindCount>;
    using Kinds = std::array<bool, kindCount>;

    Tick tickOf(Kind kind) const;
    void setTick(Kind kind, Tick tick);

    Periods currentPeriods() const;
    void resetTimer(Kind kind);
    /// Posts the creation of the missing `kinds` timers. A stop since the
    /// post (another `generation_`) makes it a no-op.
    void postCreation(Kinds kinds, const Periods& periods, std::uint64_t generation);
    void createTimers(const Kinds& kinds, const Periods& periods, std::uint64_t generation);
    void fire(Kind kind) const;

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<MainLoopProtocol> mainLoop_;

    mutable std::mutex mutex_;
    std::array<Tick, kindCount> ticks_;
    std::array<std::shared_ptr<ScheduledWorkProtocol>, kindCount> timers_;
    std::uint64_t generation_ = 0;
    bool started_ = false;
};

}  // namespace mvk

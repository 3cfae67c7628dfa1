#include "state/TimerService.hpp"

#include <utility>

#include "state/SaturatingTime.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/RunLoop.hpp"

namespace mvk {
namespace {

using std::chrono::milliseconds;

/// A configured period in milliseconds as the timer's whole seconds.
milliseconds periodOf(std::int64_t configuredMillis) {
    const std::int64_t seconds =
        clampMillis(configuredMillis / 1000, TimerService::minimumPeriod.count(),
                    TimerService::maximumPeriod.count());
    return std::chrono::seconds(seconds);
}

}  // namespace

TimerService::TimerService(std::shared_ptr<StateManagerProtocol> stateManager,
                           std::shared_ptr<MainLoopProtocol> mainLoop)
    : stateManager_(std::move(stateManager)), mainLoop_(std::move(mainLoop)) {}

std::shared_ptr<TimerService> TimerService::make(
    std::shared_ptr<StateManagerProtocol> stateManager) {
    return std::make_shared<TimerService>(std::move(stateManager), RunLoop::main());
}

TimerService::~TimerService() {
    std::lock_guard lock(mutex_);
    for (auto& timer : timers_) {
        if (timer) {
            timer->cancel();
        }
    }
}

TimerServiceProtocol::Tick TimerService::tickOf(Kind kind) const {
    std::lock_guard lock(mutex_);
    return ticks_[kind];
}

void TimerService::setTick(Kind kind, Tick tick) {
    {
        std::lock_guard lock(mutex_);
        std::swap(ticks_[kind], tick);
    }
    // The replaced closure may own objects whose destructors call back in.
}

TimerService::Periods TimerService::currentPeriods() const {
    const Config& config = stateManager_->getActiveProject()->configuration;
    Periods periods{};
    periods[currencyAccrual] =
        periodOf(config.currencyAggregationTimeout.value_or(defaultCurrencyAggregationTimeout));
    periods[activity] = activityPeriod;
    periods[alive] = periodOf(config.aliveTimeout);
    periods[request] = periodOf(config.timeForRequest);
    return periods;
}

void TimerService::startTimers() {
    const Periods periods = currentPeriods();
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        started_ = true;
        generation = generation_;
    }
    postCreation(Kinds{true, true, true, true}, periods, generation);
}

void TimerService::stopTimers() {
    std::lock_guard lock(mutex_);
    ++generation_;
    started_ = false;
    for (const Kind kind : {alive, currencyAccrual, request, activity}) {
        if (auto& timer = timers_[kind]) {
            timer->cancel();
            timer.reset();
        }
    }
}

void TimerService::resetTimers() {
    stopTimers();
    startTimers();
}

void TimerService::resetRequestTimer() {
    resetTimer(request);
}

void TimerService::resetAliveTimer() {
    resetTimer(alive);
}

void TimerService::resetTimer(Kind kind) {
    const Periods periods = currentPeriods();
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (auto& timer = timers_[kind]) {
            timer->cancel();
            timer.reset();
        }
        if (!started_) {
            return;
        }
        generation = generation_;
    }
    Kinds kinds{};
    kinds[kind] = true;
    postCreation(kinds, periods, generation);
}

void TimerService::postCreation(Kinds kinds, const Periods& periods, std::uint64_t generation) {
    mainLoop_->post([weak = weak_from_this(), kinds, periods, generation] {
        if (auto self = weak.lock()) {
            self->createTimers(kinds, periods, generation);
        }
    });
}

void TimerService::createTimers(const Kinds& kinds, const Periods& periods,
                                std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    if (generation != generation_) {
        return;
    }
    for (std::size_t index = 0; index < kindCount; ++index) {
        const auto kind = static_cast<Kind>(index);
        if (!kinds[kind] || timers_[kind]) {
            continue;
        }
        timers_[kind] =
            mainLoop_->scheduleRepeating(periods[kind], [weak = weak_from_this(), kind] {
                if (auto self = weak.lock()) {
                    self->fire(kind);
                }
            });
    }
}

void TimerService::fire(Kind kind) const {
    const Tick tick = tickOf(kind);
    if (tick) {
        callGuarded("The timer tick", tick);
    }
}

}  // namespace mvk

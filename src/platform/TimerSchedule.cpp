#include "platform/TimerSchedule.hpp"

#include <algorithm>
#include <chrono>
#include <limits>

namespace mvk {

namespace {

constexpr std::int64_t kMaxMillis = std::numeric_limits<std::int64_t>::max();
// Longer waits are cut into slices: a wait of "forever" in milliseconds would
// overflow the nanosecond clock of the condition variable.
constexpr std::int64_t kLongestWaitMillis = 60 * 60 * 1000;

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    if (b > 0 && a > kMaxMillis - b) {
        return kMaxMillis;
    }
    return a + b;
}

class ScheduledWork final : public ScheduledWorkProtocol {
  public:
    ScheduledWork(std::weak_ptr<TimerSchedule> schedule, TimerSchedule::Id id)
        : schedule_(std::move(schedule)), id_(id) {}

    void cancel() override {
        if (auto schedule = schedule_.lock()) {
            schedule->cancel(id_);
        }
    }

    bool isScheduled() const override {
        auto schedule = schedule_.lock();
        return schedule && schedule->isScheduled(id_);
    }

  private:
    std::weak_ptr<TimerSchedule> schedule_;
    TimerSchedule::Id id_;
};

}  // namespace

TimerSchedule::TimerSchedule(TimeSource now) : now_(std::move(now)) {}

std::shared_ptr<ScheduledWorkProtocol> TimerSchedule::addOnce(std::int64_t delay, Block block) {
    return add(std::max<std::int64_t>(delay, 0), 0, std::move(block));
}

std::shared_ptr<ScheduledWorkProtocol> TimerSchedule::addRepeating(std::int64_t interval,
                                                                   Block block) {
    const std::int64_t period = std::max<std::int64_t>(interval, 1);
    return add(period, period, std::move(block));
}

std::shared_ptr<ScheduledWorkProtocol> TimerSchedule::add(std::int64_t delay, std::int64_t interval,
                                                          Block block) {
    const std::int64_t now = now_();
    Id id;
    {
        std::lock_guard lock(mutex_);
        id = ++lastId_;
        if (!stopping_) {
            const std::int64_t due = saturatingAdd(now, delay);
            entries_.emplace(id,
                             Entry{due, interval, std::make_shared<const Block>(std::move(block))});
            order_.emplace(due, id);
        }
    }
    changed_.notify_all();
    return std::make_shared<ScheduledWork>(weak_from_this(), id);
}

void TimerSchedule::cancel(Id id) {
    std::shared_ptr<const Block> released;
    {
        std::lock_guard lock(mutex_);
        auto found = entries_.find(id);
        if (found == entries_.end()) {
            return;
        }
        released = std::move(found->second.block);
        order_.erase({found->second.due, id});
        entries_.erase(found);
    }
    // The block's captures are destroyed here, outside the lock, in case their
    // destructors call back into the loop.
}

bool TimerSchedule::isScheduled(Id id) const {
    std::lock_guard lock(mutex_);
    return entries_.count(id) != 0;
}

std::optional<TimerSchedule::Due> TimerSchedule::popDue(std::int64_t now) {
    std::lock_guard lock(mutex_);
    return popDueLocked(now);
}

std::size_t TimerSchedule::pendingCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::optional<std::int64_t> TimerSchedule::nextDueTime() const {
    std::lock_guard lock(mutex_);
    if (order_.empty()) {
        return std::nullopt;
    }
    return order_.begin()->first;
}

std::optional<TimerSchedule::Due> TimerSchedule::waitForDue() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_) {
            return std::nullopt;
        }
        lock.unlock();
        const std::int64_t now = now_();
        lock.lock();
        if (stopping_) {
            return std::nullopt;
        }
        if (auto due = popDueLocked(now)) {
            return due;
        }
        if (order_.empty()) {
            changed_.wait(lock);
        } else {
            const std::int64_t wait =
                std::clamp<std::int64_t>(order_.begin()->first - now, 1, kLongestWaitMillis);
            changed_.wait_for(lock, std::chrono::milliseconds(wait));
        }
    }
}

void TimerSchedule::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

std::optional<TimerSchedule::Due> TimerSchedule::popDueLocked(std::int64_t now) {
    if (order_.empty() || order_.begin()->first > now) {
        return std::nullopt;
    }
    const Id id = order_.begin()->second;
    order_.erase(order_.begin());
    auto found = entries_.find(id);
    Entry& entry = found->second;
    Due due{id, entry.block};
    if (entry.interval == 0) {
        entries_.erase(found);
        return due;
    }
    // The next slot after now on the timer's own grid; the slots in between
    // were missed and are not run.
    const std::int64_t late = now - entry.due;
    entry.due = saturatingAdd(now, entry.interval - late % entry.interval);
    order_.emplace(entry.due, id);
    return due;
}

}  // namespace mvk

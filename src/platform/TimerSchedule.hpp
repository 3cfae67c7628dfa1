#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

#include "platform/ScheduledWorkProtocol.hpp"

namespace mvk {

/// The pending work of one loop: delayed blocks and repeating timers ordered by
/// when they are due on a monotonic millisecond clock. Thread-safe; the threaded
/// loop waits on it, the manual loop polls it.
///
/// A run "begins" when `popDue` hands it out under the lock, so a cancel that
/// returned earlier always wins, and a cancel never waits for the work itself.
class TimerSchedule : public std::enable_shared_from_this<TimerSchedule> {
  public:
    using Id = std::uint64_t;
    using Block = std::function<void()>;
    using TimeSource = std::function<std::int64_t()>;

    /// One run handed out: the block stays shared so a repeating timer keeps it.
    struct Due {
        Id id;
        std::shared_ptr<const Block> block;
    };

    explicit TimerSchedule(TimeSource now);

    /// Runs `block` once, `delay` ms from now (at once when not positive).
    std::shared_ptr<ScheduledWorkProtocol> addOnce(std::int64_t delay, Block block);
    /// First run one interval from now. The interval is at least 1 ms so a zero
    /// period cannot spin the loop.
    std::shared_ptr<ScheduledWorkProtocol> addRepeating(std::int64_t interval, Block block);
    void cancel(Id id);
    bool isScheduled(Id id) const;

    /// The earliest run due at `now`, if any. A repeating timer is put back at
    /// its next slot after `now`, however many slots were missed.
    std::optional<Due> popDue(std::int64_t now);
    std::optional<std::int64_t> nextDueTime() const;
    /// Timers and delayed blocks not yet cancelled or run.
    std::size_t pendingCount() const;

    /// Blocks until a run is due, or answers nothing once `stop` was called.
    std::optional<Due> waitForDue();
    void stop();

  private:
    struct Entry {
        std::int64_t due;
        std::int64_t interval;
        std::shared_ptr<const Block> block;
    };

    /// `interval` 0 marks a block that runs once.
    std::shared_ptr<ScheduledWorkProtocol> add(std::int64_t delay, std::int64_t interval,
                                               Block block);
    std::optional<Due> popDueLocked(std::int64_t now);

    const TimeSource now_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Id, Entry> entries_;
    std::set<std::pair<std::int64_t, Id>> order_;
    Id lastId_ = 0;
    bool stopping_ = false;
};

}  // namespace mvk

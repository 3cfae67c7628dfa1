#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace mvk {

class DelayedSchedulerProtocol;

/// Paces a line that counts what went wrong (refused calls, dropped calls) to
/// at most one a second, without losing a count: what is counted after a
/// line is told by the delayed scheduler once the second is over, whether or
/// not anything else happens, and at the latest when the process exits.
///
/// Holds no lock while it tells, so the line may reach a host log closure.
/// Lives as long as the process: its delayed flushes and its exit step refer
/// to it.
///
/// The pace is kept on `Clock`'s monotonic reading, and the flushes wait on
/// a scheduler of the same clock: the library's delayed scheduler, or the
/// manual loop of a test that drives `Clock` by hand (`useScheduler`). A
/// thread of its own that saw a hand-driven clock move would tell the count
/// at whatever moment it woke, not when the test looks.
class PacedLine {
  public:
    /// `pending` answers whether anything is counted and not yet told; `tell`
    /// takes what is counted and writes its line (nothing when it finds
    /// nothing). Both may run on any thread, `tell` on two at once.
    PacedLine(std::function<bool()> pending, std::function<void()> tell);
    PacedLine(const PacedLine&) = delete;
    PacedLine& operator=(const PacedLine&) = delete;

    static constexpr std::int64_t lineEveryMillis = 1000;

    /// Where every paced line schedules its flushes from now on; the
    /// library's delayed scheduler when null. A flush scheduled on the one
    /// replaced is dropped with it: the next count schedules its own.
    static void useScheduler(std::shared_ptr<DelayedSchedulerProtocol> scheduler);

    /// After something was counted: tells it at once when the last line is a
    /// second old, else makes sure it is told when that second is over.
    void counted() noexcept;
    /// Tells what is counted now, whatever the pace (`destroySDK`, exit).
    void tellNow() noexcept;
    /// A line of the same kind was written some other way just now: what is
    /// counted next waits for its second.
    void wrote() noexcept;

  private:
    /// Claims the line for `now` when the last one is a second old.
    bool claimLine(std::int64_t now) noexcept;
    void scheduleFlush(std::int64_t now) noexcept;
    void flush(std::int64_t due) noexcept;
    void forgetFlush() noexcept;

    const std::function<bool()> pending_;
    const std::function<void()> tell_;
    static constexpr std::int64_t never = INT64_MIN;
    std::atomic<std::int64_t> lineAt_{never};
    /// When the flush last scheduled is due, or `never` once it has begun.
    std::atomic<std::int64_t> flushDue_{never};
};

}  // namespace mvk

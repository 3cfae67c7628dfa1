#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "foundation/ManualClock.hpp"
#include "platform/ScheduledLoop.hpp"

namespace mvk {

/// The main loop and delayed scheduler for tests: nothing runs until the test
/// drives it, and then the due work runs on the test's own thread, timed by
/// the test's `ManualClock` (its monotonic reading).
class ManualRunLoop final : public ScheduledLoop {
  public:
    explicit ManualRunLoop(std::shared_ptr<ManualClock> clock, std::string name = "manual");

    /// Moves the clock forward by `step`, stopping at each moment work falls due
    /// to run it there, as a loop that is never busy would.
    void advance(std::chrono::milliseconds step);

    /// Runs what is due at the clock's current time without moving it; after
    /// the clock was moved behind the loop's back, missed timer fires coalesce
    /// into one. Answers how many blocks ran.
    std::size_t runDueWork();

    bool isCurrent() const override;

  private:
    const std::shared_ptr<ManualClock> clock_;
    const std::string context_;
};

}  // namespace mvk

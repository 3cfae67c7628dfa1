#include "platform/ManualRunLoop.hpp"

#include "platform/GuardedCall.hpp"

namespace mvk {

namespace {
thread_local const ManualRunLoop* tCurrentManualLoop = nullptr;
}

ManualRunLoop::ManualRunLoop(std::shared_ptr<ManualClock> clock, std::string name)
    : ScheduledLoop([clock] { return clock->monotonicMillis(); }),
      clock_(std::move(clock)),
      context_("An operation on " + name) {}

void ManualRunLoop::advance(std::chrono::milliseconds step) {
    const std::int64_t target = clock_->monotonicMillis() + std::max<std::int64_t>(step.count(), 0);
    for (;;) {
        auto next = schedule_->nextDueTime();
        if (!next || *next > target) {
            break;
        }
        const std::int64_t now = clock_->monotonicMillis();
        if (*next > now) {
            clock_->advance(*next - now);
        }
        runDueWork();
    }
    const std::int64_t now = clock_->monotonicMillis();
    if (target > now) {
        clock_->advance(target - now);
    }
}

std::size_t ManualRunLoop::runDueWork() {
    const ManualRunLoop* outer = tCurrentManualLoop;
    tCurrentManualLoop = this;
    std::size_t count = 0;
    // Only what is due at this moment: a block that moves the clock (slow work)
    // leaves what falls due meanwhile to the next pass.
    const std::int64_t now = clock_->monotonicMillis();
    while (auto due = schedule_->popDue(now)) {
        callGuarded(context_, *due->block);
        ++count;
    }
    tCurrentManualLoop = outer;
    return count;
}

bool ManualRunLoop::isCurrent() const {
    return tCurrentManualLoop == this;
}

}  // namespace mvk

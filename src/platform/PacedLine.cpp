#include "platform/PacedLine.hpp"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <utility>
#include <vector>

#include "foundation/Clock.hpp"
#include "platform/ProcessExit.hpp"
#include "platform/RunLoop.hpp"

namespace mvk {

namespace {

/// The scheduler every paced line uses and the lines themselves, which live
/// as long as the process; made once, never destroyed.
struct Pacing {
    std::mutex mutex;
    std::shared_ptr<DelayedSchedulerProtocol> scheduler;
    std::vector<PacedLine*> lines;
};

Pacing& pacing() {
    static auto* shared = new Pacing();
    return *shared;
}

std::shared_ptr<DelayedSchedulerProtocol> currentScheduler() {
    {
        auto& p = pacing();
        std::lock_guard lock(p.mutex);
        if (p.scheduler) {
            return p.scheduler;
        }
    }
    return RunLoop::delayedScheduler();
}

}  // namespace

void PacedLine::useScheduler(std::shared_ptr<DelayedSchedulerProtocol> scheduler) {
    auto& p = pacing();
    std::vector<PacedLine*> lines;
    {
        std::lock_guard lock(p.mutex);
        p.scheduler.swap(scheduler);
        lines = p.lines;
    }
    for (auto* line : lines) {
        line->forgetFlush();
    }
    // The scheduler replaced, and the flushes it still holds, go here,
    // outside the lock.
}

PacedLine::PacedLine(std::function<bool()> pending, std::function<void()> tell)
    : pending_(std::move(pending)), tell_(std::move(tell)) {
    {
        auto& p = pacing();
        std::lock_guard lock(p.mutex);
        p.lines.push_back(this);
    }
    // The delayed scheduler starts nothing once the exit has begun.
    ProcessExit::install();
    ProcessExit::addStep(ProcessExit::Stage::commit, [this](ProcessExit::Deadline) { tellNow(); });
}

void PacedLine::counted() noexcept {
    try {
        if (!pending_()) {
            return;  // another thread told it already
        }
        const auto now = Clock::monotonicMillis();
        if (claimLine(now)) {
            tell_();
        } else {
            scheduleFlush(now);
        }
    } catch (...) {
        // A line that cannot be told is not worth failing the caller over.
    }
}

void PacedLine::tellNow() noexcept {
    try {
        if (pending_()) {
            lineAt_.store(Clock::monotonicMillis());
            tell_();
        }
    } catch (...) {
    }
}

void PacedLine::wrote() noexcept {
    try {
        lineAt_.store(Clock::monotonicMillis());
    } catch (...) {
    }
}

bool PacedLine::claimLine(std::int64_t now) noexcept {
    auto last = lineAt_.load();
    // A clock that went back (a test's, installed anew) does not hold the line up.
    if (last != never && now >= last && now - last < lineEveryMillis) {
        return false;
    }
    // Lost to another thread, which tells at this very moment and may have
    // taken the counts before this one's.
    return lineAt_.compare_exchange_strong(last, now);
}

void PacedLine::scheduleFlush(std::int64_t now) noexcept {
    const auto last = lineAt_.load();
    const auto due = last == never || now < last ? now + lineEveryMillis : last + lineEveryMillis;
    auto scheduled = flushDue_.load();
    do {
        // A flush due by then tells this count too. One due later on another
        // clock (a test's, installed anew) is not waited for, nor one long
        // overdue: the scheduler skipped it while the process was exiting.
        if (scheduled != never && scheduled <= due && scheduled > now - lineEveryMillis) {
            return;
        }
    } while (!flushDue_.compare_exchange_weak(scheduled, due));
    try {
        currentScheduler()->schedule(
            std::chrono::milliseconds(std::max<std::int64_t>(due - now, 0)),
            [this, due] { flush(due); });
    } catch (...) {
        auto expected = due;
        flushDue_.compare_exchange_strong(expected, never);
    }
}

void PacedLine::forgetFlush() noexcept {
    flushDue_.store(never);
}

void PacedLine::flush(std::int64_t due) noexcept {
    // Cleared before the counts are looked at: what is counted after this
    // look schedules a flush of its own.
    auto expected = due;
    flushDue_.compare_exchange_strong(expected, never);
    counted();
}

}  // namespace mvk

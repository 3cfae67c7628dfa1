#include "platform/BacklogBound.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "foundation/Logger.hpp"
#include "platform/ProcessExit.hpp"

namespace mvk {

namespace {
std::string calls(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " call" : " calls");
}
}  // namespace

BacklogBound::Charge::~Charge() {
    if (bound_ != nullptr) {
        finished();
        bound_->giveBack(bytes_);
    }
}

void BacklogBound::Charge::started() noexcept {
    if (unfinished_ && !running_ && bound_ != nullptr) {
        running_ = true;
        bound_->running_.fetch_add(1, std::memory_order_relaxed);
    }
}

void BacklogBound::Charge::finished() noexcept {
    if (unfinished_ && bound_ != nullptr) {
        unfinished_ = false;
        bound_->unfinished_.fetch_sub(1, std::memory_order_relaxed);
        if (std::exchange(running_, false)) {
            // Released after the count above: the exit that sees no block
            // running sees this one finished.
            bound_->running_.fetch_sub(1, std::memory_order_release);
        }
    }
}

BacklogBound::BacklogBound()
    : refusedLine_([this] { return refusedSinceLine_.load() != 0; },
                   [this] { writeRefusedLine(); }) {
    // After the refusal line's own exit step: the calls refused come first.
    ProcessExit::addStep(ProcessExit::Stage::commit,
                         [this](ProcessExit::Deadline deadline) { writeNotStoredLine(deadline); });
}

BacklogBound& BacklogBound::incomeQueue() {
    static auto* bound = new BacklogBound();
    return *bound;
}

BacklogBound::Charge BacklogBound::admit(std::size_t bytes, Carries carries) noexcept {
    if (bytes <= mostBytes) {
        const std::uint64_t added = oneCall + bytes;
        const std::uint64_t held = held_.fetch_add(added, std::memory_order_relaxed) + added;
        if ((held & byteMask) <= mostBytes && held >> callShift <= mostCalls) {
            const bool data = carries == Carries::data;
            if (data) {
                unfinished_.fetch_add(1, std::memory_order_relaxed);
            }
            return Charge(this, bytes, data);
        }
        held_.fetch_sub(added, std::memory_order_relaxed);
    }
    // Counted before the line is paced, so that the flush that the pacing
    // schedules, or the line another thread writes, sees it.
    refusedSinceLine_.fetch_add(1);
    refusedLine_.counted();
    return {};
}

void BacklogBound::tellRefused() noexcept {
    refusedLine_.tellNow();
}

BacklogBound::Charge BacklogBound::admitPastBound(std::size_t bytes) noexcept {
    held_.fetch_add(oneCall + bytes, std::memory_order_relaxed);
    return Charge(this, bytes, false);
}

void BacklogBound::giveBack(std::size_t bytes) noexcept {
    held_.fetch_sub(oneCall + bytes, std::memory_order_relaxed);
}

void BacklogBound::writeRefusedLine() noexcept {
    try {
        const auto refused = refusedSinceLine_.exchange(0);
        if (refused == 0) {
            return;
        }
        Logger::writeLog(MVKLogLevel::error,
                         "[Backlog] " + calls(refused) +
                             " refused since the last line: the calls waiting to be stored "
                             "already hold " +
                             std::to_string(mostBytes) + " bytes or " + std::to_string(mostCalls) +
                             " calls");
    } catch (...) {
        // A line that cannot be built is not worth failing the call over.
    }
}

void BacklogBound::writeNotStoredLine(ProcessExit::Deadline deadline) const noexcept {
    try {
        // Past the exit's drain no queued block starts again, and this step
        // runs before the commit steps. The one block that may still run,
        // cut off at the bound, mostly just lost the processor: given a
        // moment it finishes, with its writes in the group they commit. One
        // that does not finish by then is counted, since its writes may come
        // after the commit or never; should it finish right after this read,
        // it is counted and yet stored. The other way round a call would be
        // lost and not told.
        const auto waitUntil =
            std::min(deadline, std::chrono::steady_clock::now() + runningBlockWait);
        while (running_.load(std::memory_order_acquire) != 0 &&
               std::chrono::steady_clock::now() < waitUntil) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto waiting = unfinished_.load(std::memory_order_relaxed);
        if (waiting == 0) {
            return;
        }
        Logger::writeLog(
            MVKLogLevel::error,
            "[Backlog] " + calls(waiting) + " not stored: still queued when the process exited");
    } catch (...) {
    }
}

}  // namespace mvk

#include "platform/BacklogBound.hpp"

#include <string>

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
        started();
        bound_->giveBack(bytes_);
    }
}

void BacklogBound::Charge::started() noexcept {
    if (unstarted_ && bound_ != nullptr) {
        unstarted_ = false;
        bound_->unstarted_.fetch_sub(1, std::memory_order_relaxed);
    }
}

BacklogBound::BacklogBound()
    : refusedLine_([this] { return refusedSinceLine_.load() != 0; },
                   [this] { writeRefusedLine(); }) {
    // After the refusal line's own exit step: the calls refused come first.
    ProcessExit::addStep(ProcessExit::Stage::commit,
                         [this](ProcessExit::Deadline) { writeNotStoredLine(); });
}

BacklogBound& BacklogBound::incomeQueue() {
    static auto* bound = new BacklogBound();
    return *bound;
}

BacklogBound::Charge BacklogBound::admit(std::size_t bytes) noexcept {
    if (bytes <= mostBytes) {
        const std::uint64_t added = oneCall + bytes;
        const std::uint64_t held = held_.fetch_add(added, std::memory_order_relaxed) + added;
        if ((held & byteMask) <= mostBytes && held >> callShift <= mostCalls) {
            unstarted_.fetch_add(1, std::memory_order_relaxed);
            return Charge(this, bytes, true);
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

void BacklogBound::writeNotStoredLine() const noexcept {
    try {
        // Past the exit's drain no queued block starts again: the calls whose
        // blocks never began are lost with the process. A block cut off at
        // the bound has begun, and its writes are committed by this step.
        const auto waiting = unstarted_.load(std::memory_order_relaxed);
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

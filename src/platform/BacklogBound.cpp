#include "platform/BacklogBound.hpp"

#include <string>

#include "foundation/Clock.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

namespace {
constexpr std::int64_t lineEveryMillis = 1000;
}  // namespace

BacklogBound::Charge::~Charge() {
    if (bound_ != nullptr) {
        bound_->giveBack(bytes_);
    }
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
            return Charge(this, bytes);
        }
        held_.fetch_sub(added, std::memory_order_relaxed);
    }
    refusedSinceLine_.fetch_add(1, std::memory_order_relaxed);
    reportRefused();
    return {};
}

BacklogBound::Charge BacklogBound::admitPastBound(std::size_t bytes) noexcept {
    held_.fetch_add(oneCall + bytes, std::memory_order_relaxed);
    return Charge(this, bytes);
}

void BacklogBound::giveBack(std::size_t bytes) noexcept {
    held_.fetch_sub(oneCall + bytes, std::memory_order_relaxed);
    // Refusals after the last line are told once the queue moves again,
    // should no call come to be refused after them.
    if (refusedSinceLine_.load(std::memory_order_relaxed) != 0) {
        reportRefused();
    }
}

void BacklogBound::reportRefused() noexcept {
    try {
        if (refusedSinceLine_.load(std::memory_order_relaxed) == 0) {
            return;
        }
        const auto now = Clock::monotonicMillis();
        auto last = lineWrittenAt_.load(std::memory_order_relaxed);
        // A clock that went back (a test's, installed anew) does not hold the line up.
        if (last != neverWritten && now >= last && now - last < lineEveryMillis) {
            return;
        }
        if (!lineWrittenAt_.compare_exchange_strong(last, now, std::memory_order_relaxed)) {
            return;  // another thread writes this line
        }
        const auto refused = refusedSinceLine_.exchange(0, std::memory_order_relaxed);
        if (refused == 0) {
            return;
        }
        Logger::writeLog(
            MVKLogLevel::error,
            "[Backlog] " + std::to_string(refused) + (refused == 1 ? " call" : " calls") +
                " refused since the last line: the calls waiting to be stored "
                "already hold " +
                std::to_string(mostBytes) + " bytes or " + std::to_string(mostCalls) + " calls");
    } catch (...) {
        // A line that cannot be built is not worth failing the call over.
    }
}

}  // namespace mvk

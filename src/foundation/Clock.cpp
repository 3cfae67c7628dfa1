#include "foundation/Clock.hpp"

#include <mutex>

#include "foundation/SystemClock.hpp"

namespace mvk {

namespace {

struct ClockState {
    std::mutex mutex;
    std::shared_ptr<ClockProtocol> clock = std::make_shared<SystemClock>();
};

// Leaked on purpose: queue threads may still read the clock during exit.
ClockState& clockState() {
    static auto* s = new ClockState();
    return *s;
}

}  // namespace

std::shared_ptr<ClockProtocol> Clock::current() {
    auto& s = clockState();
    std::lock_guard lock(s.mutex);
    return s.clock;
}

std::int64_t Clock::nowMillis() {
    return current()->nowMillis();
}

std::int64_t Clock::monotonicMillis() {
    return current()->monotonicMillis();
}

void Clock::install(std::shared_ptr<ClockProtocol> clock) {
    auto& s = clockState();
    if (!clock) {
        clock = std::make_shared<SystemClock>();
    }
    std::lock_guard lock(s.mutex);
    s.clock = std::move(clock);
}

}  // namespace mvk

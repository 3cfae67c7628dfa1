#include "platform/ProcessExit.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace mvk {

namespace {

struct ExitState {
    std::atomic<bool> exiting{false};
    std::mutex mutex;
    std::condition_variable workEnded;
    long inFlight = 0;
};

ExitState& state() {
    // Never destroyed: threads read it while the process exits.
    static auto* s = new ExitState();
    return *s;
}

// Guards held by this thread: the exit handler must not wait for them when
// `exit()` was called from inside library work.
thread_local long tHeldHere = 0;

void onExit() {
    auto& s = state();
    s.exiting.store(true, std::memory_order_release);
    std::unique_lock lock(s.mutex);
    s.workEnded.wait_for(lock, ProcessExit::longestExitWait,
                         [&] { return s.inFlight <= tHeldHere; });
}

}  // namespace

ProcessExit::InFlight::InFlight() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    ++s.inFlight;
    ++tHeldHere;
}

ProcessExit::InFlight::~InFlight() {
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        --s.inFlight;
        --tHeldHere;
    }
    s.workEnded.notify_all();
}

void ProcessExit::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        state();
        std::atexit(onExit);
    });
}

bool ProcessExit::isExiting() noexcept {
    return state().exiting.load(std::memory_order_acquire);
}

void ProcessExit::markExitingForTesting() noexcept {
    state().exiting.store(true, std::memory_order_release);
}

void ProcessExit::resetForTesting() noexcept {
    state().exiting.store(false, std::memory_order_release);
}

}  // namespace mvk

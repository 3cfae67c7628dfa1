#include "platform/ProcessExit.hpp"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace mvk {

namespace {

std::atomic<bool>& exitingFlag() {
    // Never destroyed: threads read it while the process exits.
    static auto* flag = new std::atomic<bool>(false);
    return *flag;
}

void onExit() { exitingFlag().store(true, std::memory_order_release); }

}  // namespace

void ProcessExit::install() {
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(onExit); });
}

bool ProcessExit::isExiting() noexcept { return exitingFlag().load(std::memory_order_acquire); }

void ProcessExit::markExitingForTesting() noexcept { onExit(); }

void ProcessExit::resetForTesting() noexcept {
    exitingFlag().store(false, std::memory_order_release);
}

}  // namespace mvk

#include "platform/ProcessExit.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace mvk {

namespace {

struct RegisteredStep {
    std::uint64_t id;
    ProcessExit::Stage stage;
    ProcessExit::Step step;
};

struct ExitState {
    std::atomic<bool> exiting{false};
    std::atomic<ProcessExit::Deadline::rep> deadline{
        ProcessExit::Deadline::max().time_since_epoch().count()};
    /// While the exit handler lets queues that store the host's calls run
    /// them (stage 1); under `mutex`.
    bool draining = false;
    std::mutex mutex;
    std::condition_variable workEnded;
    long inFlight = 0;
    std::mutex stepsMutex;
    std::vector<RegisteredStep> steps;
    std::uint64_t lastStepId = 0;
};

ExitState& exitState() {
    // Never destroyed: threads read it while the process exits.
    static auto* s = new ExitState();
    return *s;
}

// Guards held by this thread: the exit handler must not wait for them when
// `exit()` was called from inside library work.
thread_local long tHeldHere = 0;

bool mayStartLocked(const ExitState& s, ProcessExit::InFlight::Start start) {
    switch (start) {
        case ProcessExit::InFlight::Start::always:
            return true;
        case ProcessExit::InFlight::Start::beforeExit:
            return !s.exiting.load(std::memory_order_relaxed);
        case ProcessExit::InFlight::Start::whileDraining:
            return !s.exiting.load(std::memory_order_relaxed) || s.draining;
    }
    return false;
}

void runSteps(ProcessExit::Stage stage, ProcessExit::Deadline deadline) {
    auto& s = exitState();
    std::vector<ProcessExit::Step> steps;
    {
        std::lock_guard lock(s.stepsMutex);
        for (const auto& registered : s.steps) {
            if (registered.stage == stage) {
                steps.push_back(registered.step);
            }
        }
    }
    for (const auto& step : steps) {
        try {
            step(deadline);
        } catch (...) {
            // The process ends in any case; the other steps still run.
        }
    }
}

void onExit() {
    auto& s = exitState();
    const auto started = std::chrono::steady_clock::now();
    const auto workDeadline = started + ProcessExit::longestExitWait - ProcessExit::commitReserve;
    s.deadline.store((started + ProcessExit::longestExitWait).time_since_epoch().count());
    {
        std::lock_guard lock(s.mutex);
        s.draining = true;
        s.exiting.store(true, std::memory_order_release);
    }
    runSteps(ProcessExit::Stage::drain, workDeadline);
    {
        std::unique_lock lock(s.mutex);
        s.draining = false;
        s.workEnded.wait_until(lock, workDeadline, [&] { return s.inFlight <= tHeldHere; });
    }
    runSteps(ProcessExit::Stage::commit, started + ProcessExit::longestExitWait);
}

}  // namespace

ProcessExit::InFlight::InFlight(Start start) {
    auto& s = exitState();
    std::lock_guard lock(s.mutex);
    if (!mayStartLocked(s, start)) {
        return;
    }
    admitted_ = true;
    ++s.inFlight;
    ++tHeldHere;
}

ProcessExit::InFlight::~InFlight() {
    if (!admitted_) {
        return;
    }
    auto& s = exitState();
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
        exitState();
        std::atexit(onExit);
    });
}

bool ProcessExit::isExiting() noexcept {
    return exitState().exiting.load(std::memory_order_acquire);
}

bool ProcessExit::mayStart(InFlight::Start start) {
    auto& s = exitState();
    if (!s.exiting.load(std::memory_order_acquire)) {
        return true;
    }
    std::lock_guard lock(s.mutex);
    return mayStartLocked(s, start);
}

ProcessExit::Deadline ProcessExit::deadline() noexcept {
    return Deadline(Deadline::duration(exitState().deadline.load(std::memory_order_relaxed)));
}

ProcessExit::Deadline ProcessExit::cutOffTime() noexcept {
    const auto end = deadline();
    return end == Deadline::max() ? end : end - commitReserve - windDownReserve;
}

std::uint64_t ProcessExit::addStep(Stage stage, Step step) {
    auto& s = exitState();
    std::lock_guard lock(s.stepsMutex);
    const auto id = ++s.lastStepId;
    s.steps.push_back({id, stage, std::move(step)});
    return id;
}

void ProcessExit::removeStep(std::uint64_t id) {
    auto& s = exitState();
    std::lock_guard lock(s.stepsMutex);
    std::erase_if(s.steps, [id](const RegisteredStep& registered) { return registered.id == id; });
}

void ProcessExit::markExitingForTesting(Deadline deadline) noexcept {
    auto& s = exitState();
    s.deadline.store(deadline.time_since_epoch().count());
    std::lock_guard lock(s.mutex);
    s.draining = false;
    s.exiting.store(true, std::memory_order_release);
}

void ProcessExit::resetForTesting() noexcept {
    auto& s = exitState();
    s.deadline.store(Deadline::max().time_since_epoch().count());
    std::lock_guard lock(s.mutex);
    s.draining = false;
    s.exiting.store(false, std::memory_order_release);
}

}  // namespace mvk

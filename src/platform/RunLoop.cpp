#include "platform/RunLoop.hpp"

#include "foundation/Clock.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/LibraryThread.hpp"
#include "platform/ProcessExit.hpp"

namespace mvk {

namespace {
thread_local const RunLoop* tCurrentLoop = nullptr;
}

RunLoop::RunLoop(std::string name)
    : ScheduledLoop([] { return Clock::monotonicMillis(); }), name_(std::move(name)) {
    ProcessExit::install();
    thread_ = std::thread([this] { run(); });
}

RunLoop::~RunLoop() {
    schedule_->stop();
    if (isCurrent()) {
        thread_.detach();
    } else if (thread_.joinable()) {
        thread_.join();
    }
}

// Leaked on purpose: a joinable thread in a static destructor would end the
// host process at exit.
const std::shared_ptr<RunLoop>& RunLoop::main() {
    static auto* loop =
        new std::shared_ptr<RunLoop>(std::make_shared<RunLoop>("com.morvanix.main"));
    return *loop;
}

const std::shared_ptr<RunLoop>& RunLoop::delayedScheduler() {
    static auto* loop =
        new std::shared_ptr<RunLoop>(std::make_shared<RunLoop>("com.morvanix.delayed"));
    return *loop;
}

bool RunLoop::isCurrent() const {
    return tCurrentLoop == this;
}

void RunLoop::run() {
    LibraryThread::begin(name_);
    tCurrentLoop = this;
    const std::string context = "An operation on " + name_;
    while (auto due = schedule_->waitForDue()) {
        // Timers falling due while the process exits start nothing: what they
        // would start could read what the exit is tearing down.
        if (ProcessExit::isExiting()) {
            continue;
        }
        ProcessExit::InFlight inFlight;
        callGuarded(context, *due->block);
    }
    tCurrentLoop = nullptr;
}

}  // namespace mvk

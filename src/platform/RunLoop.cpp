#include "platform/RunLoop.hpp"

#include <pthread.h>

#include "platform/Clock.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

namespace {
thread_local const RunLoop* tCurrentLoop = nullptr;
}

RunLoop::RunLoop(std::string name)
    : ScheduledLoop([] { return Clock::monotonicMillis(); }), name_(std::move(name)) {
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
    tCurrentLoop = this;
    // Thread names are limited to 15 characters; the last part of the loop's
    // name is the telling one.
    const std::string threadName = ("mvk-" + name_.substr(name_.rfind('.') + 1)).substr(0, 15);
    pthread_setname_np(pthread_self(), threadName.c_str());
    const std::string context = "An operation on " + name_;
    while (auto due = schedule_->waitForDue()) {
        callGuarded(context, *due->block);
    }
    tCurrentLoop = nullptr;
}

}  // namespace mvk

#include "platform/SerialQueue.hpp"

#include <exception>

#include "foundation/BriefLock.hpp"
#include "foundation/Logger.hpp"
#include "platform/LibraryThread.hpp"
#include "platform/ProcessExit.hpp"

namespace mvk {

namespace {
thread_local const SerialQueue* tCurrentQueue = nullptr;
}

SerialQueue::SerialQueue(std::string name) : name_(std::move(name)) {
    ProcessExit::install();
    thread_ = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (isCurrent()) {
        thread_.detach();
    } else if (thread_.joinable()) {
        thread_.join();
    }
}

SerialQueue::Ticket SerialQueue::addOperation(Block block) {
    Ticket ticket;
    {
        BriefLock lock(mutex_);
        ticket = ++lastTicket_;
        pending_.push_back(Entry{ticket, std::move(block)});
    }
    changed_.notify_all();
    return ticket;
}

void SerialQueue::pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
    changed_.notify_all();
}

void SerialQueue::resume() {
    {
        std::lock_guard lock(mutex_);
        paused_ = false;
    }
    changed_.notify_all();
}

bool SerialQueue::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

bool SerialQueue::isCurrent() const {
    return tCurrentQueue == this;
}

bool SerialQueue::waitUntilFinished(Ticket ticket) {
    if (isCurrent()) {
        return false;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        if (completed_ >= ticket) {
            return true;
        }
        // While paused or halted only the block already running can still finish.
        const bool stalled = paused_ || (halted_ && ProcessExit::isExiting());
        return stalled && !(running_ && runningTicket_ == ticket);
    });
    return completed_ >= ticket;
}

bool SerialQueue::addOperationAndWait(Block block) {
    if (isCurrent()) {
        // Queued behind the running block, it would wait for itself.
        block();
        return true;
    }
    return waitUntilFinished(addOperation(std::move(block)));
}

bool SerialQueue::waitUntilAllOperationsAreFinished() {
    Ticket last;
    {
        std::lock_guard lock(mutex_);
        last = lastTicket_;
    }
    return waitUntilFinished(last);
}

bool SerialQueue::drain(std::chrono::milliseconds timeout) {
    if (isCurrent()) {
        return false;
    }
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pending_.empty() && !running_; });
}

bool SerialQueue::addBoundaryHook(BoundaryHook hook) {
    if (!isCurrent() || !hook) {
        return false;
    }
    hooks_.push_back(std::move(hook));
    return true;
}

bool SerialQueue::nextRunsNow() const {
    return !paused_ && !pending_.empty() && !ProcessExit::isExiting();
}

void SerialQueue::askHooks(bool nextRunsNow) {
    ProcessExit::InFlight inFlight;
    auto asked = std::move(hooks_);
    hooks_.clear();
    for (auto& hook : asked) {
        bool again = false;
        try {
            again = hook(nextRunsNow);
        } catch (const std::exception& error) {
            Logger::writeLog(MVKLogLevel::error,
                             "A boundary hook on " + name_ + " has failed: " + error.what());
        } catch (...) {
            Logger::writeLog(MVKLogLevel::error, "A boundary hook on " + name_ + " has failed");
        }
        if (again && nextRunsNow) {
            hooks_.push_back(std::move(hook));
        }
    }
}

std::size_t SerialQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

bool SerialQueue::isExecuting() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void SerialQueue::run() {
    LibraryThread::begin(name_);
    tCurrentQueue = this;
    std::unique_lock lock(mutex_);
    for (;;) {
        // A pause or an exit may have come after the last hook was told that
        // another block follows: nothing runs now, so the hooks hear it.
        if (!hooks_.empty() && !nextRunsNow()) {
            lock.unlock();
            askHooks(false);
            lock.lock();
            continue;
        }
        changed_.wait(lock, [&] { return stopping_ || (!paused_ && !pending_.empty()); });
        if (ProcessExit::isExiting() && !paused_ && !pending_.empty()) {
            if (stopping_) {
                break;
            }
            // Queued blocks stay where they are, unrun: they could read what
            // the exit is tearing down. Waiters give up as on a paused queue.
            // The flag only ever drops again in tests, hence the polling.
            halted_ = true;
            changed_.notify_all();
            changed_.wait_for(lock, haltedRecheck);
            continue;
        }
        halted_ = false;
        if (paused_ || pending_.empty()) {
            break;  // stopping, and nothing more may run
        }
        Entry entry = std::move(pending_.front());
        pending_.pop_front();
        running_ = true;
        runningTicket_ = entry.ticket;
        lock.unlock();
        {
            // Counts until the captures are gone: their destructors are our work too.
            ProcessExit::InFlight inFlight;
            try {
                entry.block();
            } catch (const std::exception& error) {
                Logger::writeLog(MVKLogLevel::error,
                                 "An operation on " + name_ + " has failed: " + error.what());
            } catch (...) {
                Logger::writeLog(MVKLogLevel::error, "An operation on " + name_ + " has failed");
            }
            entry.block = nullptr;  // release captures before reporting completion
        }
        if (!hooks_.empty()) {
            lock.lock();
            const bool more = nextRunsNow();
            lock.unlock();
            askHooks(more);
        }
        BriefLock<std::mutex>::acquire(lock);
        running_ = false;
        completed_ = entry.ticket;
        changed_.notify_all();
    }
    tCurrentQueue = nullptr;
}

}  // namespace mvk

#include "platform/SerialQueue.hpp"

#include <algorithm>
#include <exception>
#include <system_error>

#include "foundation/Logger.hpp"
#include "platform/LibraryThread.hpp"
#include "platform/ProcessExit.hpp"

namespace mvk {

namespace {
thread_local const SerialQueue* tCurrentQueue = nullptr;

/// The order of the heap of taken jobs: the lowest ticket on top.
constexpr auto later = [](const auto* a, const auto* b) { return a->ticket > b->ticket; };

/// Taken jobs kept back after a burst would hold on to the heap's memory.
constexpr std::size_t keptCapacity = 1024;
}  // namespace

SerialQueue::SerialQueue(std::string name) : name_(std::move(name)) {
    ProcessExit::install();
    thread_ = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    if (const auto step = exitStep_.load()) {
        ProcessExit::removeStep(step);
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        workerSleeps_.store(false);
    }
    work_.notify_one();
    if (isCurrent()) {
        thread_.detach();
        return;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    // What a pause kept back is dropped unrun, captures and all.
    for (Job* job = intake_.exchange(nullptr); job != nullptr;) {
        std::unique_ptr<Job> owned(job);
        job = job->next;
    }
    for (Job* job : ordered_) {
        delete job;
    }
}

SerialQueue::Ticket SerialQueue::addOperation(Block block) {
    return push(std::make_unique<WorkJob<Block>>(std::move(block)));
}

SerialQueue::Ticket SerialQueue::push(std::unique_ptr<Job> owned) {
    Job* job = owned.release();
    const Ticket ticket = lastTicket_.fetch_add(1, std::memory_order_relaxed) + 1;
    job->ticket = ticket;
    job->next = intake_.load(std::memory_order_relaxed);
    // Sequentially consistent with the sleep flag below: either the queue's
    // thread sees this job when it looks again before sleeping, or this
    // thread sees it asleep and wakes it.
    while (!intake_.compare_exchange_weak(job->next, job, std::memory_order_seq_cst,
                                          std::memory_order_relaxed)) {
    }
    if (workerSleeps_.load(std::memory_order_seq_cst) && workerSleeps_.exchange(false)) {
        // Taking the lock once makes sure the thread is inside its wait, not
        // between its last look and the wait, when the notification comes.
        { std::lock_guard lock(mutex_); }
        work_.notify_one();
    }
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
    work_.notify_one();
}

bool SerialQueue::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

bool SerialQueue::isCurrent() const {
    return tCurrentQueue == this;
}

bool SerialQueue::waitUntilFinished(Ticket ticket, Deadline deadline) {
    if (isCurrent()) {
        return false;
    }
    std::unique_lock lock(mutex_);
    for (;;) {
        if (settled_ >= ticket) {
            return true;
        }
        // While paused or halted only a block that has already started can
        // still finish; its hooks are then asked at once.
        const bool stalled = paused_ || (halted_ && ProcessExit::isExiting());
        const bool ran = completed_ >= ticket || (running_ && runningTicket_ == ticket);
        if (stalled && !ran) {
            return false;
        }
        if (!awaitTicket(lock, ticket, deadline)) {
            return settled_ >= ticket;
        }
    }
}

bool SerialQueue::addOperationAndWait(Block block, Deadline deadline) {
    if (isCurrent()) {
        // Queued behind the running block, it would wait for itself.
        block();
        askHooks(false);
        return true;
    }
    return waitUntilFinished(addOperation(std::move(block)), deadline);
}

void SerialQueue::runQueuedBlocksAtExit() {
    if (runsQueuedAtExit_.exchange(true)) {
        return;
    }
    exitStep_ = ProcessExit::addStep(
        ProcessExit::Stage::drain,
        [this](ProcessExit::Deadline deadline) { awaitQueuedAtExit(deadline); });
}

void SerialQueue::awaitQueuedAtExit(std::chrono::steady_clock::time_point deadline) {
    if (isCurrent() && !continueOnStandIn()) {
        return;
    }
    std::unique_lock lock(mutex_);
    const Ticket queued = lastTicket_.load();
    while (settled_ < queued && !paused_) {
        if (!awaitTicket(lock, queued, deadline)) {
            return;
        }
    }
}

bool SerialQueue::continueOnStandIn() {
    // The exit came from one of this queue's blocks, and its thread never
    // comes back from it. Run there, the blocks behind would hold the exit
    // past its bound whenever one stalls on the disk or a lock; on a thread
    // of their own they are left at the bound like this queue's thread is.
    {
        std::lock_guard lock(mutex_);
        if (lastTicket_.load() <= started_) {
            return false;
        }
    }
    try {
        std::thread([this] { run(); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

ProcessExit::InFlight::Start SerialQueue::startRule() const {
    return runsQueuedAtExit_.load(std::memory_order_relaxed)
               ? ProcessExit::InFlight::Start::whileDraining
               : ProcessExit::InFlight::Start::beforeExit;
}

bool SerialQueue::waitUntilAllOperationsAreFinished() {
    return waitUntilFinished(lastTicket_.load());
}

bool SerialQueue::drain(std::chrono::milliseconds timeout) {
    if (isCurrent()) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        // Every ticket drawn so far has completed: nothing is queued or running.
        const Ticket last = lastTicket_.load();
        if (settled_ == last) {
            return true;
        }
        if (!awaitTicket(lock, last, deadline)) {
            return settled_ == lastTicket_.load();
        }
    }
}

bool SerialQueue::awaitTicket(std::unique_lock<std::mutex>& lock, Ticket ticket,
                              std::chrono::steady_clock::time_point deadline) {
    wakeAt_ = std::min(wakeAt_, ticket);
    // Every waiter wakes when the lowest one is reached and registers again.
    if (deadline == std::chrono::steady_clock::time_point::max()) {
        changed_.wait(lock);
        return true;
    }
    return changed_.wait_until(lock, deadline) == std::cv_status::no_timeout;
}

bool SerialQueue::addBoundaryHook(BoundaryHook hook) {
    if (!isCurrent() || !hook) {
        return false;
    }
    hooks_.push_back(std::move(hook));
    return true;
}

bool SerialQueue::takeIntake() {
    for (Job* job = intake_.exchange(nullptr); job != nullptr;) {
        Job* next = job->next;
        ordered_.push_back(job);
        std::push_heap(ordered_.begin(), ordered_.end(), later);
        job = next;
    }
    // A missing ticket belongs to a producer between drawing it and linking
    // its job in: the blocks after it wait for it.
    return !ordered_.empty() && ordered_.front()->ticket == started_ + 1;
}

bool SerialQueue::nextRunsNow() {
    return !paused_ && takeIntake() && ProcessExit::mayStart(startRule());
}

void SerialQueue::sleepUntilWoken(std::unique_lock<std::mutex>& lock) {
    if (paused_) {
        // Blocks added while paused need not wake the thread: a resume does.
        work_.wait(lock);
        return;
    }
    if (ordered_.empty() && ordered_.capacity() > keptCapacity) {
        std::vector<Job*>().swap(ordered_);
    }
    workerSleeps_.store(true);
    if (!takeIntake()) {
        work_.wait(lock, [&] { return !workerSleeps_.load() || stopping_ || paused_; });
    }
    workerSleeps_.store(false);
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

void SerialQueue::settle(Ticket ticket) {
    settled_ = ticket;
    if (settled_ >= wakeAt_) {
        wakeAt_ = noWaiter;
        changed_.notify_all();
    }
}

std::size_t SerialQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(lastTicket_.load() - started_);
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
        const bool next = !paused_ && takeIntake();
        // A pause or an exit may have come after the last hook was told that
        // another block follows: nothing runs now, so the hooks hear it.
        if (!hooks_.empty() && !(next && ProcessExit::mayStart(startRule()))) {
            lock.unlock();
            askHooks(false);
            lock.lock();
            settle(completed_);
            continue;
        }
        if (!next) {
            if (stopping_) {
                break;  // nothing more may run
            }
            sleepUntilWoken(lock);
            continue;
        }
        // Counts the block, its hooks and its captures for the exit handler;
        // taken before the block is chosen, so the handler either waits for
        // it or the block does not start.
        ProcessExit::InFlight inFlight(startRule());
        if (!inFlight.admitted()) {
            if (stopping_) {
                break;
            }
            // Queued blocks stay where they are, unrun: they could read what
            // the exit is tearing down. Waiters give up as on a paused queue.
            // The flag only ever drops again in tests, hence the polling.
            halted_ = true;
            changed_.notify_all();
            work_.wait_for(lock, haltedRecheck);
            continue;
        }
        halted_ = false;
        std::pop_heap(ordered_.begin(), ordered_.end(), later);
        std::unique_ptr<Job> job(ordered_.back());
        ordered_.pop_back();
        const Ticket ticket = job->ticket;
        started_ = ticket;
        running_ = true;
        runningTicket_ = ticket;
        lock.unlock();
        try {
            job->run();
        } catch (const std::exception& error) {
            Logger::writeLog(MVKLogLevel::error,
                             "An operation on " + name_ + " has failed: " + error.what());
        } catch (...) {
            Logger::writeLog(MVKLogLevel::error, "An operation on " + name_ + " has failed");
        }
        job.reset();  // release captures before reporting completion
        if (!hooks_.empty()) {
            lock.lock();
            // A thread waiting for this block (or an earlier one) is let go
            // only once what the hooks hold open is done.
            const bool more = nextRunsNow() && wakeAt_ > ticket;
            lock.unlock();
            askHooks(more);
        }
        lock.lock();
        running_ = false;
        completed_ = ticket;
        if (hooks_.empty()) {
            settle(ticket);
        }
    }
    tCurrentQueue = nullptr;
}

}  // namespace mvk

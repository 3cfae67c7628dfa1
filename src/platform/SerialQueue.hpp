#pragma once

#include <atomic>
#include <chrono>
#include <concepts>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/ProcessExit.hpp"

namespace mvk {

/// A queue that runs blocks one at a time, in the order they were added, on a
/// thread of its own. Pausing is a flag, not a counter: the running block
/// finishes, queued blocks wait, new blocks can still be added.
///
/// An exception escaping a block is logged and the queue goes on. Once the
/// process has begun to exit (`ProcessExit`) the queue starts no more blocks
/// (unless it runs what is queued at exit), and waits for blocks not yet run
/// give up as on a paused queue.
///
/// A block counts as finished for its waiters only once the boundary hooks
/// have been told that no block follows it: the work they hold open (a group
/// of writes) is then done, and the process may be killed the moment a wait
/// returns.
///
/// Adding a block takes no lock the queue's thread holds: the host's threads
/// add from game loops, and a hand-off of a contended lock (or the wake-up of
/// a thread sleeping on it) costs them microseconds. Blocks go onto a
/// lock-free intake that the queue's thread takes whole, and the thread is
/// woken only when it sleeps.
class SerialQueue {
    struct Job;

  public:
    using Block = std::function<void()>;
    /// Identifies an added block; tickets grow by one per block.
    using Ticket = std::uint64_t;
    /// Runs on this queue's thread between blocks. `nextRunsNow` tells whether
    /// another block starts right after; the answer says whether the hook wants
    /// to be asked again after that block. Once no block runs next (the queue
    /// is empty, paused or halted), or a thread waits for the block just
    /// run, every hook is asked with false and dropped, whatever it answers.
    using BoundaryHook = std::function<bool(bool nextRunsNow)>;

    explicit SerialQueue(std::string name);
    /// Runs what is queued (unless paused), then stops the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& name() const { return name_; }

    Ticket addOperation(Block block);
    /// The same for any callable: it is moved into the queued job itself, so
    /// a typical block costs one allocation and no `std::function`.
    template <typename Work>
    requires std::invocable < std::decay_t<Work>
    & > &&(!std::same_as<std::decay_t<Work>, Block>)Ticket addOperation(Work&& work) {
        return push(std::make_unique<WorkJob<std::decay_t<Work>>>(std::forward<Work>(work)));
    }

    void pause();
    void resume();
    bool isPaused() const;

    /// True when called from a block running on this queue.
    bool isCurrent() const;

    using Deadline = std::chrono::steady_clock::time_point;

    /// Waits until the block with `ticket` and all before it have run. Answers
    /// false without waiting when called on this queue, and gives up (false)
    /// when the queue is paused, or the process exits, before that block could
    /// run, or at `deadline`.
    bool waitUntilFinished(Ticket ticket, Deadline deadline = Deadline::max());

    /// Adds `block` and waits for it (and what is queued before it), by the
    /// rules of `waitUntilFinished`; on this queue it runs inline at once and
    /// the hooks are then asked as after a block with none behind it.
    /// True when the block has run; a block given up on still runs later.
    bool addOperationAndWait(Block block, Deadline deadline = Deadline::max());

    /// Waits for every block added so far, by the rules of `waitUntilFinished`.
    bool waitUntilAllOperationsAreFinished();

    /// Adds a hook, only from a block running on this queue (false otherwise).
    /// The block that adds it counts as completed only after the hook has
    /// been asked, so a waiter for the last block sees what the hook did.
    bool addBoundaryHook(BoundaryHook hook);

    /// From now on, when the process exits, this queue runs the blocks
    /// already queued (network transfers fail at once then) and the exit
    /// handler waits for them, within its bound, also when the exit comes
    /// from one of its blocks. Only for a queue that lives until the process
    /// ends.
    void runQueuedBlocksAtExit();

    /// For tests: waits until nothing is queued or running, at most `timeout`.
    /// A paused queue with waiting blocks never drains; this answers false then.
    bool drain(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    /// Blocks queued and not yet started.
    std::size_t operationCount() const;
    bool isExecuting() const;

  private:
    /// A queued block with its ticket, linked into the intake.
    struct Job {
        Job* next = nullptr;
        Ticket ticket = 0;
        virtual ~Job() = default;
        virtual void run() = 0;
    };
    template <typename Work>
    struct WorkJob final : Job {
        explicit WorkJob(Work&& work) : work(std::move(work)) {}
        explicit WorkJob(const Work& work) : work(work) {}
        void run() override { work(); }
        Work work;
    };

    Ticket push(std::unique_ptr<Job> job);
    void run();
    /// Moves the intake into `ordered_`; true when the block with the next
    /// ticket is there. Only on this queue's thread.
    bool takeIntake();
    /// True when the next block would start at once; under `mutex_`, on this
    /// queue's thread.
    bool nextRunsNow();
    /// Waits on `changed_` until the block with `ticket` completes, the
    /// queue stalls, or `deadline`; false on the deadline. Under `mutex_`.
    bool awaitTicket(std::unique_lock<std::mutex>& lock, Ticket ticket,
                     std::chrono::steady_clock::time_point deadline =
                         std::chrono::steady_clock::time_point::max());
    /// Sleeps until a producer adds a block, a resume, or the stop.
    void sleepUntilWoken(std::unique_lock<std::mutex>& lock);
    /// Asks the hooks, keeping those that want to be asked again; on this
    /// queue's thread without `mutex_`.
    void askHooks(bool nextRunsNow);
    /// Under `mutex_`: every block up to `ticket` has run and its hooks are done.
    void settle(Ticket ticket);
    /// The exit handler's step: waits until what was queued when the exit
    /// began has run, the queue is paused, or `deadline`.
    void awaitQueuedAtExit(std::chrono::steady_clock::time_point deadline);
    /// When the exit comes from a block of this queue: hands the blocks
    /// queued behind it to a thread that takes this one's place; false when
    /// none wait or no thread could be had.
    bool continueOnStandIn();
    /// When this queue may start a block while the process exits.
    ProcessExit::InFlight::Start startRule() const;

    const std::string name_;
    /// A ticket is drawn before the job is linked in, so jobs may reach the
    /// intake out of ticket order; the queue's thread puts them back in order.
    std::atomic<Ticket> lastTicket_{0};
    /// Jobs added and not yet taken by the queue's thread, newest first.
    std::atomic<Job*> intake_{nullptr};
    /// Set by the queue's thread before it sleeps for want of a block; the
    /// producer that clears it wakes the thread.
    std::atomic<bool> workerSleeps_{false};
    /// Taken jobs, a min-heap on the ticket; only the queue's thread touches it.
    std::vector<Job*> ordered_;

    mutable std::mutex mutex_;
    /// The queue's thread waits on `work_`; waiters for tickets on `changed_`.
    std::condition_variable work_;
    std::condition_variable changed_;
    /// The lowest ticket a thread in `waitUntilFinished` or `drain` waits
    /// for: a completed block notifies only once it is reached, so a waiter
    /// for a far ticket does not cost a wake-up per block.
    Ticket wakeAt_ = noWaiter;
    static constexpr Ticket noWaiter = ~Ticket{0};
    Ticket started_ = 0;
    Ticket completed_ = 0;
    /// The last block after which no hook was left waiting; what waiters see.
    Ticket settled_ = 0;
    Ticket runningTicket_ = 0;
    bool running_ = false;
    bool paused_ = false;
    bool stopping_ = false;
    /// Set while the process exits and blocks are no longer started.
    bool halted_ = false;
    static constexpr std::chrono::milliseconds haltedRecheck{100};
    /// Only touched on this queue's thread.
    std::vector<BoundaryHook> hooks_;
    std::atomic<bool> runsQueuedAtExit_{false};
    /// The id of the exit handler's step for this queue, or 0.
    std::atomic<std::uint64_t> exitStep_{0};
    std::thread thread_;
};

}  // namespace mvk

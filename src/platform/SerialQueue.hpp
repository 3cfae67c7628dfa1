#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mvk {

/// A queue that runs blocks one at a time, in the order they were added, on a
/// thread of its own. Pausing is a flag, not a counter: the running block
/// finishes, queued blocks wait, new blocks can still be added.
///
/// An exception escaping a block is logged and the queue goes on. Once the
/// process has begun to exit (`ProcessExit`) the queue starts no more blocks,
/// and waits for blocks not yet run give up as on a paused queue.
class SerialQueue {
  public:
    using Block = std::function<void()>;
    /// Identifies an added block; tickets grow by one per block.
    using Ticket = std::uint64_t;
    /// Runs on this queue's thread between blocks. `nextRunsNow` tells whether
    /// another block starts right after; the answer says whether the hook wants
    /// to be asked again after that block. Once no block runs next (the queue
    /// is empty, paused or halted) every hook is asked with false and dropped,
    /// whatever it answers.
    using BoundaryHook = std::function<bool(bool nextRunsNow)>;

    explicit SerialQueue(std::string name);
    /// Runs what is queued (unless paused), then stops the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& name() const { return name_; }

    Ticket addOperation(Block block);

    void pause();
    void resume();
    bool isPaused() const;

    /// True when called from a block running on this queue.
    bool isCurrent() const;

    /// Waits until the block with `ticket` and all before it have run. Answers
    /// false without waiting when called on this queue, and gives up (false)
    /// when the queue is paused, or the process exits, before that block could run.
    bool waitUntilFinished(Ticket ticket);

    /// Adds `block` and waits for it (and what is queued before it), by the
    /// rules of `waitUntilFinished`; on this queue it runs inline at once.
    /// True when the block has run.
    bool addOperationAndWait(Block block);

    /// Waits for every block added so far, by the rules of `waitUntilFinished`.
    bool waitUntilAllOperationsAreFinished();

    /// Adds a hook, only from a block running on this queue (false otherwise).
    /// The block that adds it counts as completed only after the hook has
    /// been asked, so a waiter for the last block sees what the hook did.
    bool addBoundaryHook(BoundaryHook hook);

    /// For tests: waits until nothing is queued or running, at most `timeout`.
    /// A paused queue with waiting blocks never drains; this answers false then.
    bool drain(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    /// Blocks queued and not yet started.
    std::size_t operationCount() const;
    bool isExecuting() const;

  private:
    void run();
    /// True when the next block would start at once; under `mutex_`.
    bool nextRunsNow() const;
    /// Asks the hooks, keeping those that want to be asked again; on this
    /// queue's thread without `mutex_`.
    void askHooks(bool nextRunsNow);

    struct Entry {
        Ticket ticket;
        Block block;
    };

    const std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> pending_;
    Ticket lastTicket_ = 0;
    Ticket completed_ = 0;
    Ticket runningTicket_ = 0;
    bool running_ = false;
    bool paused_ = false;
    bool stopping_ = false;
    /// Set while the process exits and blocks are no longer started.
    bool halted_ = false;
    static constexpr std::chrono::milliseconds haltedRecheck{100};
    /// Only touched on this queue's thread.
    std::vector<BoundaryHook> hooks_;
    std::thread thread_;
};

}  // namespace mvk

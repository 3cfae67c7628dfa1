#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/SerialQueue.hpp"
#include "storage/Connection.hpp"

namespace mvk {

/// Lets the writes of blocks queued one behind another on a serial queue share
/// one transaction, so a burst of stored events costs one commit instead of
/// one per event. A group opens at a write made on the queue while more blocks
/// wait behind the running one, and is committed between blocks when no block
/// runs next, when it is `Limits::maxAgeMillis` old, or when it holds
/// `Limits::maxWrites` writes. Any operation from another thread commits the
/// group first: what that thread reads or hands on (a report to send) is then
/// durable, and its own writes keep committing at once as before.
///
/// A process kill loses at most the writes of the open group, which are the
/// newest ones: never a hole, never a committed row.
///
/// Every member but the boundary hook runs under the connection's lock, taken
/// by the caller; the queue must outlive this object.
class GroupCommit : public std::enable_shared_from_this<GroupCommit> {
  public:
    struct Limits {
        std::int64_t maxAgeMillis = 50;
        std::int64_t maxWrites = 1000;
    };

    GroupCommit(std::shared_ptr<Connection> connection, SerialQueue& queue, Limits limits);

    GroupCommit(const GroupCommit&) = delete;
    GroupCommit& operator=(const GroupCommit&) = delete;

    /// Before taking the lock: on the queue's thread, commits the group another
    /// connection holds open there, since this connection could not write
    /// past its lock on the file before that group ends.
    void commitOtherGroupOfThisThread();

    /// Before an operation. Answers the failure text of a commit or begin that
    /// failed; the operation itself then runs as it would without a group.
    std::optional<std::string> prepare(bool writes);

    /// After an operation: counts a write, and notices when SQLite has rolled
    /// the whole group back after a failure (disk full, I/O error).
    std::optional<std::string> finish(bool wrote);

    bool isOpen() const { return open_; }

    /// Commits the open group, if any; on failure it is rolled back.
    std::optional<std::string> commit();

  private:
    bool onQueue() const { return queue_.isCurrent(); }
    std::optional<std::string> begin();
    /// The queue's boundary hook; takes the lock itself and logs outside it.
    bool atBoundary(bool nextRunsNow);
    std::string lostText(std::string_view reason) const;

    std::shared_ptr<Connection> connection_;
    SerialQueue& queue_;
    const Limits limits_;
    /// Set only on the queue's thread, cleared on any thread under the lock.
    std::atomic<bool> open_ = false;
    std::int64_t openedAt_ = 0;
    std::int64_t writes_ = 0;
};

}  // namespace mvk

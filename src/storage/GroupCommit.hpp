#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ProcessExit.hpp"
#include "platform/SerialQueue.hpp"
#include "storage/Connection.hpp"

namespace mvk {

/// Lets the grouped writes (`DatabaseProtocol::insertGrouped`) of blocks
/// queued one behind another on a serial queue share one transaction, so a
/// burst of stored events costs one commit instead of one per event. A group
/// opens at a grouped write made on the queue while more blocks wait behind
/// the running one, and is committed between blocks when no block runs next,
/// when a thread waits for the block just run, when it is
/// `Limits::maxAgeMillis` old, or when it holds `Limits::maxWrites` writes.
///
/// Every other write, on any thread, joins the open group and commits it as
/// soon as it ends (a `transaction` is a savepoint in it), so its answer comes
/// after that commit and a failed commit is its failure too; any other
/// operation from another thread commits the group before it runs. A row a
/// cache holds, an id kept as a reference, a transaction's true and what
/// another thread reads or hands on (a report to send) are thus never undone
/// by a later failure. A failed commit loses the group's grouped rows after
/// their ids were answered: it is logged with their number and counted in
/// `lostGroups`.
///
/// A process kill loses at most the writes of the open group, which are the
/// newest ones: never a hole, never a committed row. At process exit the open
/// group is committed (a step of the exit handler), whichever thread exits; a
/// COMMIT still under way at the exit's bound is cut off with the process,
/// which loses that group as a kill would.
///
/// Every member but the boundary hook and the exit step runs under the
/// connection's lock, taken by the caller; the queue must outlive this object.
class GroupCommit : public std::enable_shared_from_this<GroupCommit> {
  public:
    struct Limits {
        std::int64_t maxAgeMillis = 50;
        std::int64_t maxWrites = 1000;
    };

    /// What an operation does, as far as the group is concerned.
    enum class Access { read, write, groupedWrite };

    GroupCommit(std::shared_ptr<Connection> connection, SerialQueue& queue, Limits limits);
    ~GroupCommit();

    GroupCommit(const GroupCommit&) = delete;
    GroupCommit& operator=(const GroupCommit&) = delete;

    /// Before taking the lock: on the queue's thread, commits the group another
    /// connection holds open there, since this connection could not write
    /// past its lock on the file before that group ends.
    void commitOtherGroupOfThisThread();

    /// Before an operation. Answers the failure text of a commit or begin that
    /// failed, or of a group SQLite rolled back; the operation itself then runs
    /// as it would without a group. Inside a transaction of the caller
    /// (not `outermost`) nothing is committed: that would commit half the
    /// caller's unit.
    std::optional<std::string> prepare(Access access, bool outermost);

    /// After an operation: counts a grouped write, commits the group after a
    /// write that is not inside a transaction of the caller (`outermost`), and
    /// notices when SQLite has rolled the whole group back after a failure
    /// (disk full, I/O error). A failure text means the operation's writes
    /// are gone with the group.
    std::optional<std::string> finish(Access access, bool succeeded, bool outermost);

    /// True while a group is open: a transaction is then a savepoint in it.
    bool isOpen() const { return open_; }

    /// Commits the open group, if any; on failure it is rolled back.
    std::optional<std::string> commit();

    /// Once the open group's writes are copied to a new file (a damaged one
    /// replaced; a COMMIT there fails once SQLite has met the damage): ends
    /// the group without committing it. Answers the failure text when SQLite
    /// had already rolled it back, so that nothing was there to copy.
    std::optional<std::string> endCopied();

    std::uint64_t lostGroups() const { return lost_.load(); }

  private:
    bool onQueue() const { return queue_.isCurrent(); }
    std::optional<std::string> begin();
    /// Commits the open group (`keep`) or rolls it back; answers the line of
    /// writes that are lost.
    std::optional<std::string> end(bool keep);
    /// The queue's boundary hook; takes the lock itself and logs outside it.
    bool atBoundary(bool nextRunsNow);
    /// The exit handler's step: commits the open group unless the lock stays
    /// taken (a statement still runs) until `deadline`, and returns by then
    /// even while the COMMIT goes on.
    void commitAtExit(ProcessExit::Deadline deadline);
    /// Counts the open group as lost and answers the line that says so.
    std::string lose(std::string_view reason);

    std::shared_ptr<Connection> connection_;
    SerialQueue& queue_;
    const Limits limits_;
    /// Set only on the queue's thread, cleared on any thread under the lock.
    std::atomic<bool> open_ = false;
    std::int64_t openedAt_ = 0;
    std::int64_t writes_ = 0;
    std::atomic<std::uint64_t> lost_ = 0;
    /// The exit handler's step, added with the first group; 0 before.
    std::uint64_t exitStep_ = 0;
};

}  // namespace mvk

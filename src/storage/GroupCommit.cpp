#include "storage/GroupCommit.hpp"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "foundation/Clock.hpp"
#include "foundation/Logger.hpp"
#include "platform/LibraryThread.hpp"

namespace mvk {

namespace {

// One connection at a time may hold a group open on a thread: a second one on
// the same file would wait for the first's lock, on the very thread that
// commits it.
thread_local std::weak_ptr<GroupCommit> tOpenGroup;

}  // namespace

GroupCommit::GroupCommit(std::shared_ptr<Connection> connection, SerialQueue& queue, Limits limits)
    : connection_(std::move(connection)), queue_(queue), limits_(limits) {}

GroupCommit::~GroupCommit() {
    if (exitStep_ != 0) {
        ProcessExit::removeStep(exitStep_);
    }
}

void GroupCommit::commitOtherGroupOfThisThread() {
    if (!onQueue()) {
        return;
    }
    const auto other = tOpenGroup.lock();
    if (!other || other.get() == this) {
        return;
    }
    // Only this thread opens that group, so one found closed stays closed.
    // Its connection's lock is then not ours to wait for: a host thread may
    // hold it while it waits for the file lock of a transaction this thread
    // has open, and each would wait for the other until the busy timeout.
    if (!other->open_) {
        tOpenGroup.reset();
        return;
    }
    std::optional<std::string> failure;
    {
        auto lock = other->connection_->lock();
        failure = other->commit();
    }
    if (failure) {
        Logger::writeLog(MVKLogLevel::error, "[Database Module] " + *failure);
    }
}

std::optional<std::string> GroupCommit::prepare(Access access, bool outermost) {
    if (open_ && connection_->isAutocommit()) {
        open_ = false;
        return lose("SQLite rolled the transaction back after a failure");
    }
    // What another thread reads it may hand on: the group is committed first.
    // Its writes join the group and commit it in `finish`, as the queue's do.
    if (open_ && !onQueue() && access != Access::write && outermost) {
        return commit();
    }
    if (access == Access::groupedWrite && !open_ && onQueue() && connection_->isAutocommit() &&
        queue_.operationCount() > 0) {
        return begin();
    }
    return std::nullopt;
}

std::optional<std::string> GroupCommit::begin() {
    try {
        connection_->execute("BEGIN IMMEDIATE");
    } catch (const std::exception& error) {
        return std::string("Error in group commit: ") + error.what();
    }
    open_ = true;
    openedAt_ = Clock::monotonicMillis();
    writes_ = 0;
    tOpenGroup = weak_from_this();
    if (exitStep_ == 0) {
        exitStep_ = ProcessExit::addStep(ProcessExit::Stage::commit,
                                         [weak = weak_from_this()](ProcessExit::Deadline deadline) {
                                             if (const auto self = weak.lock()) {
                                                 self->commitAtExit(deadline);
                                             }
                                         });
    }
    queue_.addBoundaryHook([weak = weak_from_this()](bool nextRunsNow) {
        const auto self = weak.lock();
        return self && self->atBoundary(nextRunsNow);
    });
    return std::nullopt;
}

std::optional<std::string> GroupCommit::finish(Access access, bool succeeded, bool outermost) {
    if (!open_) {
        return std::nullopt;
    }
    if (connection_->isAutocommit()) {
        open_ = false;
        return lose("SQLite rolled the transaction back after a failure");
    }
    if (access == Access::groupedWrite && succeeded) {
        ++writes_;
    }
    if (access == Access::write && outermost) {
        // One commit for the group and the write: the write's answer waits
        // for it, and a failure of it is the write's failure too.
        return commit();
    }
    return std::nullopt;
}

std::optional<std::string> GroupCommit::commit() {
    return end(true);
}

std::optional<std::string> GroupCommit::endCopied() {
    return end(false);
}

std::optional<std::string> GroupCommit::end(bool keep) {
    if (!open_) {
        return std::nullopt;
    }
    std::optional<std::string> failure;
    if (connection_->isAutocommit()) {
        failure = lose("SQLite rolled the transaction back after a failure");
    } else {
        try {
            connection_->execute(keep ? "COMMIT" : "ROLLBACK");
        } catch (const std::exception& error) {
            // Left open, the group would hold the file's write lock and take
            // every later write down with it.
            try {
                if (!connection_->isAutocommit()) {
                    connection_->execute("ROLLBACK");
                }
            } catch (const std::exception&) {
            }
            if (keep) {
                failure = lose(error.what());
            }
        }
    }
    // Only now: the exit handler, which looks without the lock, must wait for
    // a commit under way instead of taking the group for done.
    open_ = false;
    return failure;
}

bool GroupCommit::atBoundary(bool nextRunsNow) {
    std::optional<std::string> failure;
    bool stillOpen = false;
    {
        auto lock = connection_->lock();
        if (!open_) {
            return false;
        }
        const bool young = Clock::monotonicMillis() - openedAt_ < limits_.maxAgeMillis;
        if (nextRunsNow && young && writes_ < limits_.maxWrites) {
            stillOpen = true;
        } else {
            failure = commit();
        }
    }
    if (failure) {
        Logger::writeLog(MVKLogLevel::error, "[Database Module] " + *failure);
    }
    return stillOpen;
}

void GroupCommit::commitAtExit(ProcessExit::Deadline deadline) {
    if (!open_) {
        return;
    }
    // A disk that stalls a write holds a COMMIT for as long, and nothing can
    // break into it: the COMMIT runs on a thread of its own, which the exit
    // leaves behind at its bound. Cut off there, SQLite rolls the group back
    // when the file is next opened; what was committed before stays whole.
    struct Outcome {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };
    const auto outcome = std::make_shared<Outcome>();
    auto commitBy = [self = shared_from_this(), deadline, outcome] {
        std::optional<std::string> failure;
        {
            auto lock = self->connection_->lockUntil(deadline);
            if (lock.owns_lock()) {
                failure = self->commit();
            }
        }
        if (failure) {
            Logger::writeLog(MVKLogLevel::error, "[Database Module] " + *failure);
        }
        {
            std::lock_guard lock(outcome->mutex);
            outcome->done = true;
        }
        outcome->ended.notify_all();
    };
    try {
        std::thread([commitBy] {
            LibraryThread::begin("exitCommit");
            commitBy();
        }).detach();
    } catch (const std::system_error&) {
        commitBy();
        return;
    }
    std::unique_lock lock(outcome->mutex);
    if (!outcome->ended.wait_until(lock, deadline, [&] { return outcome->done; })) {
        Logger::writeLog(MVKLogLevel::error,
                         "[Database Module] Error in group commit: the commit at exit did not "
                         "end within the exit's bound; the writes stored since the last commit "
                         "may be lost");
    }
}

std::string GroupCommit::lose(std::string_view reason) {
    ++lost_;
    return "Error in group commit: " + std::to_string(writes_) +
           " stored writes were not committed and are lost: " + std::string(reason);
}

}  // namespace mvk

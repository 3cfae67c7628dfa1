#include "storage/GroupCommit.hpp"

#include "foundation/Logger.hpp"
#include "platform/Clock.hpp"

namespace mvk {

namespace {

// One connection at a time may hold a group open on a thread: a second one on
// the same file would wait for the first's lock, on the very thread that
// commits it.
thread_local std::weak_ptr<GroupCommit> tOpenGroup;

}  // namespace

GroupCommit::GroupCommit(std::shared_ptr<Connection> connection, SerialQueue& queue, Limits limits)
    : connection_(std::move(connection)), queue_(queue), limits_(limits) {}

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

std::optional<std::string> GroupCommit::prepare(bool writes) {
    if (open_ && !onQueue()) {
        return commit();
    }
    if (writes && !open_ && onQueue() && connection_->isAutocommit() &&
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
    queue_.addBoundaryHook([weak = weak_from_this()](bool nextRunsNow) {
        const auto self = weak.lock();
        return self && self->atBoundary(nextRunsNow);
    });
    return std::nullopt;
}

std::optional<std::string> GroupCommit::finish(bool wrote) {
    if (!open_) {
        return std::nullopt;
    }
    if (connection_->isAutocommit()) {
        open_ = false;
        return lostText("SQLite rolled the transaction back after a failure");
    }
    if (wrote) {
        ++writes_;
    }
    return std::nullopt;
}

std::optional<std::string> GroupCommit::commit() {
    if (!open_) {
        return std::nullopt;
    }
    open_ = false;
    if (connection_->isAutocommit()) {
        return lostText("SQLite rolled the transaction back after a failure");
    }
    try {
        connection_->execute("COMMIT");
        return std::nullopt;
    } catch (const std::exception& error) {
        // Left open, the group would hold the file's write lock and take every
        // later write down with it.
        try {
            if (!connection_->isAutocommit()) {
                connection_->execute("ROLLBACK");
            }
        } catch (const std::exception&) {
        }
        return lostText(error.what());
    }
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

std::string GroupCommit::lostText(std::string_view reason) const {
    return "Error in group commit: " + std::to_string(writes_) +
           " stored writes were not committed and are lost: " + std::string(reason);
}

}  // namespace mvk

#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "storage/SQLiteError.hpp"

struct sqlite3;

namespace mvk {

/// One open SQLite database file. The file is opened read-write (created when
/// missing) and closed with the object.
///
/// The connection does not lock by itself: a caller that shares it between
/// threads holds `lock()` across a whole operation (prepare, steps, column
/// reads, row id, change count), so the row id or error message it reads
/// belongs to its own statement. The lock is recursive so that an operation
/// may run inside a transaction held by the same thread.
class Connection {
  public:
    /// A second process on the same file waits this long for its lock instead
    /// of failing at once.
    static constexpr int busyTimeoutMillis = 5000;
    /// How long to sleep before retry `attempt` (from 0) of a locked
    /// operation; 0 once the waits so far add up to the busy timeout.
    static int lockWaitMicros(int attempt);

    /// Throws `SQLiteError` with SQLite's message and result code, and the
    /// system's words as its reason when there are some, when the file cannot
    /// be opened or created.
    explicit Connection(const std::string& path);
    ~Connection();

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Runs SQL text that yields no rows; every statement in it runs. Throws
    /// `SQLiteError` with SQLite's message on failure.
    void execute(const std::string& sql);

    using Lock = std::unique_lock<std::recursive_timed_mutex>;

    [[nodiscard]] Lock lock() const { return Lock(mutex_); }
    /// The lock if it can be had by `deadline`; check `owns_lock()`.
    [[nodiscard]] Lock lockUntil(std::chrono::steady_clock::time_point deadline) const {
        return Lock(mutex_, deadline);
    }

    /// Closes the file, runs `whileClosed` (which may move it), and opens the
    /// path again, also when `whileClosed` throws; then rethrows that. The
    /// caller holds `lock()` and has finalised every statement of its own.
    /// When the open fails the connection stays closed: every later
    /// operation fails with `closedMessage`, and this throws that error.
    void reopen(const std::function<void()>& whileClosed);

    std::int64_t lastInsertRowId() const;
    std::int64_t changes() const;
    /// SQLite's message for the last failure on this connection.
    std::string errorMessage() const;
    /// The error of a failed call that answered `resultCode`, with SQLite's
    /// message. A code that says the file is damaged is remembered until the
    /// file is reopened.
    SQLiteError error(int resultCode) const;
    /// SQLite has answered that the file is corrupt or not a database.
    bool damageSeen() const { return damageSeen_; }
    /// The first such answer, described; or the reason given to `noteDamage`.
    std::string damage() const;
    void noteDamage(std::string reason) const;
    /// Answers and forgets the extended code of the last failure `error`
    /// made (SQLITE_OK when none since the last call).
    int takeLastFailure() const { return std::exchange(lastFailure_, 0); }
    /// Copies the write-ahead log back into the file and cuts the log to
    /// nothing, which gives back the room the log took. False when that
    /// could not be done (a reader holds it, the file can't grow). The caller
    /// holds `lock()` and has no transaction open.
    bool foldLogBack();
    /// Throws when the connection has no open file (a failed `reopen`).
    void requireHandle() const;
    /// False while a transaction is open.
    bool isAutocommit() const;

    sqlite3* handle() const { return handle_; }
    const std::string& path() const { return path_; }

    static constexpr const char* closedMessage = "the database file is not open";

  private:
    static sqlite3* openHandle(const std::string& path);
    void closeHandle();

    sqlite3* handle_ = nullptr;
    std::string path_;
    mutable std::recursive_timed_mutex mutex_;
    /// Set under the lock; read by the exit step without it.
    mutable std::atomic<bool> damageSeen_ = false;
    mutable std::string damage_;
    /// Under the lock.
    mutable int lastFailure_ = 0;
};

}  // namespace mvk

#include "storage/Connection.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

#include "foundation/Logger.hpp"
#include "platform/ProcessExit.hpp"
#include "storage/DamagedDatabase.hpp"
#include "storage/SQLiteError.hpp"

namespace mvk {

namespace {

int waitForLock(void* /*unused*/, int attempt) {
    const auto micros = Connection::lockWaitMicros(attempt);
    // Past the exit's bound the process is gone whatever this statement does.
    if (micros == 0 || std::chrono::steady_clock::now() >= ProcessExit::deadline()) {
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
    return 1;
}

}  // namespace

// SQLite's own handler sleeps a whole millisecond at once, then longer: a start
// that met a short write of another connection (a sent report deleted on the
// network thread) waited many times as long as that write took. Short sleeps
// first, growing to a millisecond, keep the same bound on the whole wait.
int Connection::lockWaitMicros(int attempt) {
    constexpr std::array<int, 6> firstSleeps = {20, 50, 100, 200, 500, 1000};
    constexpr std::int64_t longSleep = 1000;
    if (attempt < 0) {
        return 0;
    }
    std::int64_t waited = 0;
    const auto first = std::min<std::int64_t>(attempt, firstSleeps.size());
    for (std::int64_t index = 0; index < first; ++index) {
        waited += firstSleeps[static_cast<std::size_t>(index)];
    }
    waited += (attempt - first) * longSleep;
    if (waited >= std::int64_t{busyTimeoutMillis} * 1000) {
        return 0;
    }
    return attempt < static_cast<int>(firstSleeps.size())
               ? firstSleeps[static_cast<std::size_t>(attempt)]
               : static_cast<int>(longSleep);
}

Connection::Connection(const std::string& path) : path_(path) {
    handle_ = openHandle(path_);
}

// Throws with SQLite's words, and the system's beside them: the code alone
// reads the same for a read-only folder, a file where the folder should be and
// a missing one.
sqlite3* Connection::openHandle(const std::string& path) {
    sqlite3* handle = nullptr;
    const int result =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK || handle == nullptr) {
        std::string message = handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(result);
        std::optional<std::string> reason;
        if (const int error = handle != nullptr ? sqlite3_system_errno(handle) : 0; error != 0) {
            reason = std::generic_category().message(error);
        }
        sqlite3_close(handle);
        throw SQLiteError(std::move(message), result != SQLITE_OK ? result : SQLITE_INTERNAL,
                          std::nullopt, std::move(reason));
    }
    sqlite3_busy_handler(handle, waitForLock, nullptr);
    return handle;
}

void Connection::reopen(const std::function<void()>& whileClosed) {
    auto guard = lock();
    closeHandle();
    handle_ = nullptr;
    damageSeen_ = false;
    std::exception_ptr failure;
    try {
        whileClosed();
    } catch (...) {
        failure = std::current_exception();
    }
    // Opened again whatever happened meanwhile: every later operation needs a
    // handle, and one that fails here leaves none, which they answer as failures.
    handle_ = openHandle(path_);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void Connection::closeHandle() {
    if (handle_ != nullptr && sqlite3_close_v2(handle_) != SQLITE_OK) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string("[Database Module] Couldn't close the database: ") +
                             sqlite3_errmsg(handle_));
    }
}

SQLiteError Connection::error(int resultCode) const {
    const int extended = handle_ != nullptr ? sqlite3_extended_errcode(handle_) : resultCode;
    lastFailure_ = (extended & 0xff) == (resultCode & 0xff) ? extended : resultCode;
    SQLiteError error(errorMessage(), resultCode);
    if (DamagedDatabase::isDamage(resultCode) && !damageSeen_) {
        noteDamage(error.description());
    }
    return error;
}

void Connection::noteDamage(std::string reason) const {
    auto guard = lock();
    damage_ = std::move(reason);
    damageSeen_ = true;
}

std::string Connection::damage() const {
    auto guard = lock();
    return damage_;
}

Connection::~Connection() {
    closeHandle();
}

void Connection::execute(const std::string& sql) {
    auto guard = lock();
    requireHandle();
    const int result = sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr);
    if (!SQLiteError::isSuccessCode(result)) {
        throw error(result);
    }
}

std::int64_t Connection::lastInsertRowId() const {
    return handle_ != nullptr ? sqlite3_last_insert_rowid(handle_) : 0;
}

std::int64_t Connection::changes() const {
    return handle_ != nullptr ? sqlite3_changes(handle_) : 0;
}

std::string Connection::errorMessage() const {
    if (handle_ == nullptr) {
        return closedMessage;
    }
    const char* message = sqlite3_errmsg(handle_);
    return message != nullptr ? message : "";
}

void Connection::requireHandle() const {
    if (handle_ == nullptr) {
        throw SQLiteError(closedMessage, SQLITE_CANTOPEN);
    }
}

bool Connection::foldLogBack() {
    if (handle_ == nullptr) {
        return false;
    }
    return sqlite3_wal_checkpoint_v2(handle_, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                                     nullptr) == SQLITE_OK;
}

bool Connection::isAutocommit() const {
    return handle_ == nullptr || sqlite3_get_autocommit(handle_) != 0;
}

}  // namespace mvk

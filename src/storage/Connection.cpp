#include "storage/Connection.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <thread>

#include "foundation/Logger.hpp"
#include "platform/ProcessExit.hpp"
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
    sqlite3* handle = nullptr;
    const int result =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK) {
        // The code alone reads the same for a read-only folder, a file where
        // the folder should be and a missing one: the system's word tells them apart.
        std::string reason = handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(result);
        if (const int error = handle != nullptr ? sqlite3_system_errno(handle) : 0; error != 0) {
            reason += " (" + std::generic_category().message(error) + ")";
        }
        sqlite3_close(handle);
        throw SQLiteError("SQLite error", result, std::nullopt, std::move(reason));
    }
    Logger::writeLog(MVKLogLevel::debug,
                     "[Database Module] Successfully opened connection to database at " + path);
    if (handle == nullptr) {
        throw SQLiteError("SQLite error", SQLITE_INTERNAL);
    }
    handle_ = handle;
    sqlite3_busy_handler(handle_, waitForLock, nullptr);
}

Connection::~Connection() {
    if (sqlite3_close_v2(handle_) != SQLITE_OK) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string("[Database Module] Couldn't close the database: ") +
                             sqlite3_errmsg(handle_));
    }
}

void Connection::execute(const std::string& sql) {
    auto guard = lock();
    const int result = sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr);
    if (!SQLiteError::isSuccessCode(result)) {
        throw SQLiteError(errorMessage(), result);
    }
}

std::int64_t Connection::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(handle_);
}

std::int64_t Connection::changes() const {
    return sqlite3_changes(handle_);
}

std::string Connection::errorMessage() const {
    const char* message = sqlite3_errmsg(handle_);
    return message != nullptr ? message : "";
}

bool Connection::isAutocommit() const {
    return sqlite3_get_autocommit(handle_) != 0;
}

}  // namespace mvk

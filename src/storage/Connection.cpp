#include "storage/Connection.hpp"

#include <sqlite3.h>

#include "foundation/Logger.hpp"
#include "storage/SQLiteError.hpp"

namespace mvk {

Connection::Connection(const std::string& path) : path_(path) {
    sqlite3* handle = nullptr;
    const int result =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK) {
        sqlite3_close(handle);
        throw SQLiteError("SQLite error", result);
    }
    Logger::writeLog(MVKLogLevel::debug,
                     "[Database Module] Successfully opened connection to database at " + path);
    if (handle == nullptr) {
        throw SQLiteError("SQLite error", SQLITE_INTERNAL);
    }
    handle_ = handle;
    sqlite3_busy_timeout(handle_, busyTimeoutMillis);
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

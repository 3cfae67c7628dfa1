#include "storage/SQLiteError.hpp"

#include <sqlite3.h>

#include <algorithm>

namespace mvk {

bool SQLiteError::isSuccessCode(int code) {
    return std::find(successCodes.begin(), successCodes.end(), code) != successCodes.end();
}

bool SQLiteError::isOutOfRoom(int extendedCode) {
    return (extendedCode & 0xff) == SQLITE_FULL || extendedCode == SQLITE_IOERR_WRITE ||
           extendedCode == SQLITE_IOERR_SHMSIZE;
}

SQLiteError::SQLiteError(std::string message, int code, std::optional<std::string> statement,
                         std::optional<std::string> reason)
    : message_(std::move(message)),
      code_(code),
      statement_(std::move(statement)),
      reason_(std::move(reason)) {
    description_ = message_;
    if (statement_) {
        description_ += " (" + *statement_ + ")";
    }
    description_ += " (code: " + std::to_string(code_) + ")";
}

}  // namespace mvk

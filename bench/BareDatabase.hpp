#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "BenchSupport.hpp"

namespace mvk::bench {

/// SQLite alone, without the library: an events table of the library's shape
/// and a prepared insert of a typical event row. The file and its journals
/// are removed before and after.
class BareDatabase {
  public:
    explicit BareDatabase(const std::string& path) : path_(path) {
        remove();
        sqlite3_open(path.c_str(), &handle_);
        exec(
            "CREATE TABLE events (id INTEGER PRIMARY KEY AUTOINCREMENT, code TEXT, "
            "userId INTEGER, eventJson TEXT)");
        sqlite3_prepare_v2(handle_, "INSERT INTO events (code, userId, eventJson) VALUES(?,?,?)",
                           -1, &insert_, nullptr);
    }
    ~BareDatabase() {
        sqlite3_finalize(insert_);
        sqlite3_close(handle_);
        remove();
    }
    BareDatabase(const BareDatabase&) = delete;
    BareDatabase& operator=(const BareDatabase&) = delete;

    /// A file of this process in the system's temporary folder.
    static std::string temporaryPath() {
        return (std::filesystem::temp_directory_path() /
                ("mvk-bench-bare-" + std::to_string(::getpid()) + ".db"))
            .string();
    }

    void exec(const char* sql) { sqlite3_exec(handle_, sql, nullptr, nullptr, nullptr); }
    void insertRow() {
        sqlite3_bind_text(insert_, 1, "ce", 2, SQLITE_STATIC);
        sqlite3_bind_int64(insert_, 2, 1);
        sqlite3_bind_text(insert_, 3, typicalEventJson.data(),
                          static_cast<int>(typicalEventJson.size()), SQLITE_STATIC);
        sqlite3_step(insert_);
        sqlite3_reset(insert_);
    }

  private:
    void remove() const {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            std::error_code ignored;
            std::filesystem::remove(path_ + suffix, ignored);
        }
    }
    std::string path_;
    sqlite3* handle_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
};

}  // namespace mvk::bench

#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ApplicationSupportDirectory.hpp"
#include "support/TempDir.hpp"

namespace mvk::test {

/// Gives each test a fresh application-support directory.
class StorageTest : public ::testing::Test {
  protected:
    StorageTest() { ApplicationSupportDirectory::setOverride(dir_.path()); }
    ~StorageTest() override { ApplicationSupportDirectory::setOverride(std::nullopt); }

    std::filesystem::path folder() const { return dir_.path() / "morvanix"; }
    std::filesystem::path databasePath() const { return folder() / "morvanix.db"; }

    TempDir dir_;
};

/// A plain sqlite3 handle, so tests prepare and inspect files without going
/// through the layer they test.
class RawDatabase {
  public:
    explicit RawDatabase(const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        if (sqlite3_open(path.c_str(), &handle_) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(handle_));
        }
        // A library thread of a process beside the test may hold the write
        // lock for a moment.
        sqlite3_busy_timeout(handle_, 5000);
    }
    ~RawDatabase() { sqlite3_close(handle_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    void exec(const std::string& sql) {
        if (sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(handle_));
        }
    }

    /// Every row, each column as text ("NULL" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(handle_));
        }
        std::vector<std::vector<std::string>> result;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                const auto* text = sqlite3_column_text(statement, column);
                row.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
            }
            result.push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        return result;
    }

    std::string single(const std::string& sql) {
        auto result = rows(sql);
        return result.empty() || result[0].empty() ? "" : result[0][0];
    }

  private:
    sqlite3* handle_ = nullptr;
};

inline std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

}  // namespace mvk::test

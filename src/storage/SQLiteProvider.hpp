#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "storage/Connection.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// The library's database: the file "morvanix/morvanix.db" under the
/// application-support directory, brought to the current schema when it is
/// opened. One file holds the data of every application key.
///
/// Creation throws; afterwards every failure is logged at level 2 and
/// answered as a failure (false or absent), so storage trouble never stops the
/// library and is never mistaken for an empty table.
/// Each operation holds the connection's lock from prepare to its last column
/// read, so operations from several threads never interleave.
class SQLiteProvider final : public DatabaseProtocol {
  public:
    static constexpr std::string_view folderName = "morvanix";
    static constexpr std::string_view fileName = "morvanix.db";

    /// Throws `SQLiteError` ("SQLite error", code 1) when there is no
    /// application-support directory, `std::filesystem::filesystem_error` when
    /// the folder cannot be created, and the `SQLiteError` of a failed open or
    /// schema statement (the file is then left as it was).
    explicit SQLiteProvider(std::string_view applicationKey);

    /// The "morvanix" folder, or absent without an application-support
    /// directory; the folder is not created.
    static std::optional<std::filesystem::path> folderPath();

    bool queryRows(const SelectQuery& query, const RowVisitor& visitor) override;
    std::optional<std::int64_t> insert(std::string_view tableName,
                                       const ContentValues& content) override;
    std::optional<std::int64_t> update(std::string_view tableName, const ContentValues& values,
                                       std::string_view selection,
                                       const std::vector<SQLiteValue>& selectionArgs) override;
    std::optional<std::int64_t> deleteRows(std::string_view tableName, std::string_view selection,
                                           const std::vector<SQLiteValue>& selectionArgs) override;
    bool clear(std::string_view tableName) override;
    bool raw(const std::string& sql) override;
    bool transaction(const std::function<bool()>& body) override;

    /// The SQL texts the operations prepare.
    static std::string rawSql(const SelectQuery& query);
    static std::string insertSql(std::string_view tableName, const ContentValues& content);
    static std::string updateSql(std::string_view tableName, const ContentValues& values,
                                 std::string_view selection);
    static std::string deleteSql(std::string_view tableName, std::string_view selection);
    static std::string clearSql(std::string_view tableName);

  private:
    template <typename Result, typename Operation>
    Result guarded(std::string_view prefix, Result fallback, Operation&& operation);

    std::unique_ptr<Connection> database_;
    /// Set by every failed operation and cleared when a transaction begins, so
    /// the transaction sees what failed inside it. Only touched under the
    /// connection's lock.
    bool failedSinceBegin_ = false;
};

}  // namespace mvk

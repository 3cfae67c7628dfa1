#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/Cursor.hpp"
#include "storage/SQLiteValue.hpp"
#include "storage/SelectQuery.hpp"

namespace mvk {

/// Column name and value pairs of an insert or update, in the order they are
/// written into the SQL.
using ContentValues = std::vector<std::pair<std::string, SQLiteValue>>;

/// Called once per result row; the cursor is valid only during the call. It
/// runs while the database is locked, so it must not call the database.
using RowVisitor = std::function<void(const Cursor&)>;

/// The storage contract of the table repositories. Table and column names come
/// from `SQLiteContracts`; values are always bound, never pasted into SQL.
///
/// No operation throws: a failure is logged at level 2 with a
/// "[Database Module] " line and answers false or absent, never a value that
/// a success could answer too (no rows, 0 rows changed).
class DatabaseProtocol {
  public:
    virtual ~DatabaseProtocol() = default;

    /// Hands every result row to `visitor`, in SQLite's order. False when the
    /// query failed at any point; rows handed over before the failure must
    /// then be thrown away (`query<T>` in SQLiteConvertible.hpp does this).
    virtual bool queryRows(const SelectQuery& query, const RowVisitor& visitor) = 0;

    /// The new row's id, or absent on failure.
    virtual std::optional<std::int64_t> insert(std::string_view tableName,
                                               const ContentValues& content) = 0;

    /// The number of rows changed, or absent on failure.
    virtual std::optional<std::int64_t> update(std::string_view tableName,
                                               const ContentValues& values,
                                               std::string_view selection,
                                               const std::vector<SQLiteValue>& selectionArgs) = 0;

    /// The number of rows deleted, or absent on failure.
    virtual std::optional<std::int64_t> deleteRows(
        std::string_view tableName, std::string_view selection,
        const std::vector<SQLiteValue>& selectionArgs) = 0;

    /// Deletes every row of the table; the table's id sequence stays. False
    /// on failure.
    virtual bool clear(std::string_view tableName) = 0;

    /// Runs SQL text without results; false on failure.
    virtual bool raw(const std::string& sql) = 0;

    /// Runs `body` in one transaction that no other thread's operation can
    /// interleave with: committed when it answers true and no operation inside
    /// it failed, rolled back otherwise (also when it throws), so a body that
    /// overlooks a failed write still cannot commit half its work. Inside an
    /// open transaction the body joins it, and a joined body's failure rolls
    /// back the outer one. True when the changes were committed (or joined
    /// without failure).
    virtual bool transaction(const std::function<bool()>& body) = 0;
};

}  // namespace mvk

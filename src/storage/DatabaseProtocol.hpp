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

    /// The new row's id, or absent on failure. The row is committed when the
    /// id is answered (or joins the caller's open transaction).
    virtual std::optional<std::int64_t> insert(std::string_view tableName,
                                               const ContentValues& content) = 0;

    /// As `insert`, but the row may share one later commit with its
    /// neighbours (group commit), which is much faster for a stream of small
    /// rows. A failed commit then loses the rows of that group after their ids
    /// were answered (it logs how many, and `lostGroups` grows), and SQLite
    /// may answer those ids again. Only for rows that no cache holds and whose
    /// ids nothing keeps as a reference.
    virtual std::optional<std::int64_t> insertGrouped(std::string_view tableName,
                                                      const ContentValues& content) = 0;

    /// How many groups of `insertGrouped` rows a failed commit has lost
    /// since the database was opened, and damaged files replaced (whose rows
    /// on damaged pages are gone): a count kept beside such rows is read
    /// again when this changes.
    virtual std::uint64_t lostGroups() const = 0;

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

    /// For a cache that took a write made inside a transaction: `undo` runs
    /// (on the caller's thread, before `transaction` answers) when the
    /// outermost transaction does not commit, its group's commit included,
    /// so no cache keeps a row the rollback removed. Outside a transaction a
    /// write has answered as committed or failed, and `undo` is dropped.
    virtual void onRollback(std::function<void()> undo) = 0;
};

}  // namespace mvk

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Cursor.hpp"
#include "storage/SQLiteValue.hpp"

struct sqlite3_stmt;

namespace mvk {

class Connection;

/// One prepared statement, finalised with the object. Only the first SQL
/// statement of the text is prepared. The connection must outlive it.
///
/// Nothing here locks: the caller holds `Connection::lock()` while it uses the
/// statement (see `Connection`).
class Statement {
  public:
    /// Prepares `sql` and binds `arguments` when there are any. Throws
    /// `SQLiteError` with SQLite's message and result code when the text does
    /// not prepare, and `EmptyStatementError` when it holds no statement.
    Statement(Connection& database, std::string_view sql,
              const std::vector<SQLiteValue>& arguments = {});
    ~Statement();

    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    /// Binds `values` to parameters 1, 2, ... after a reset. An empty list
    /// leaves the statement and its bindings as they are. Throws `SQLiteError`
    /// when the number of values is not the number of parameters.
    Statement& bind(const std::vector<SQLiteValue>& values);

    /// Binds `values` when there are any, then steps the statement to its end.
    Statement& run(const std::vector<SQLiteValue>& values = {});

    /// Like `run`, but SQLite reads the texts where they are instead of
    /// copying them, and the bindings are cleared before it returns (also
    /// when it throws): a stored report's megabyte is then not held twice
    /// while it is written. Throws like `bind` and `run`.
    Statement& runBorrowing(const std::vector<const SQLiteValue*>& values);

    /// Goes back before the first row; bindings stay.
    void reset();

    /// Steps to the next row: its cursor, or absent after the last row. A
    /// failing step throws `SQLiteError` with SQLite's message.
    std::optional<Cursor> failableNext();

    Cursor cursor() const { return Cursor(handle_, columnCount()); }
    int columnCount() const;

    /// The statement's SQL text.
    std::string description() const;

    sqlite3_stmt* handle() const { return handle_; }

  private:
    bool step();
    /// Resets, clears and binds `valueAt(values[i])` to parameter i + 1.
    template <typename Values, typename Value>
    void bindEach(const Values& values, Value&& valueAt, bool copyTexts);

    sqlite3_stmt* handle_ = nullptr;
    Connection& database_;
    mutable std::optional<int> columnCount_;
};

}  // namespace mvk

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/SQLiteValue.hpp"

struct sqlite3_stmt;

namespace mvk {

/// Typed access to the current result row of a statement. Valid only until the
/// statement is stepped, reset or finalised.
///
/// Every reader answers absent for a column of another type, a column index
/// outside the row, or a type the library does not store (BLOB), so a file
/// written by someone else cannot make a row reader fail.
class Cursor {
  public:
    Cursor(sqlite3_stmt* handle, int columnCount) : handle_(handle), columnCount_(columnCount) {}

    int columnCount() const { return columnCount_; }

    /// SQLite's column type (SQLITE_INTEGER ... SQLITE_NULL); SQLITE_NULL outside the row.
    int type(int index) const;

    /// The column's text when its type is TEXT, with every byte (NULs included).
    std::optional<std::string> text(int index) const;
    std::optional<std::string> operator[](int index) const { return text(index); }
    std::optional<std::int64_t> integer(int index) const;
    std::optional<double> real(int index) const;

    /// The column's value by its type; NULL, BLOB and unknown types read as NULL.
    SQLiteValue value(int index) const;
    /// Every column's value, in column order.
    std::vector<SQLiteValue> values() const;

    sqlite3_stmt* handle() const { return handle_; }

  private:
    sqlite3_stmt* handle_;
    int columnCount_;
};

}  // namespace mvk

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Connection.hpp"
#include "storage/DatabaseProtocol.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/Statement.hpp"

namespace mvk::test {

/// An in-memory database for row readers: rows made up by a SELECT of
/// literals, or written with a row type's own content values into a table of
/// the real schema and read back with "SELECT *".
class MemoryDatabase {
  public:
    MemoryDatabase() : connection_(":memory:") {}

    void execute(std::string_view sql) { connection_.execute(std::string(sql)); }

    /// The first row of `sql` read by `T`, or absent when there is no row or
    /// `T` skips it.
    template <SQLiteConvertible T>
    std::optional<T> readRow(std::string_view sql) {
        Statement statement(connection_, sql);
        auto cursor = statement.failableNext();
        return cursor ? T::fromCursor(*cursor) : std::nullopt;
    }

    std::int64_t insert(std::string_view table, const ContentValues& content) {
        std::string columns;
        std::string marks;
        std::vector<SQLiteValue> values;
        for (const auto& [column, value] : content) {
            columns += (columns.empty() ? "" : ", ") + column;
            marks += marks.empty() ? "?" : ", ?";
            values.push_back(value);
        }
        Statement(connection_,
                  "INSERT INTO " + std::string(table) + " (" + columns + ") VALUES (" + marks + ")",
                  values)
            .run();
        return connection_.lastInsertRowId();
    }

    void update(std::string_view table, const ContentValues& content, std::int64_t id) {
        std::string assignments;
        std::vector<SQLiteValue> values;
        for (const auto& [column, value] : content) {
            assignments += (assignments.empty() ? "" : ", ") + column + " = ?";
            values.push_back(value);
        }
        values.emplace_back(id);
        Statement(connection_,
                  "UPDATE " + std::string(table) + " SET " + assignments + " WHERE id = ?", values)
            .run();
    }

    /// The single value of `sql`'s first row as text, or absent when it is not a text.
    std::optional<std::string> text(std::string_view sql) {
        Statement statement(connection_, sql);
        auto cursor = statement.failableNext();
        return cursor ? cursor->text(0) : std::nullopt;
    }

    template <SQLiteConvertible T>
    std::optional<T> readStored(std::string_view table, std::int64_t id) {
        return readRow<T>("SELECT * FROM " + std::string(table) +
                          " WHERE id = " + std::to_string(id));
    }

  private:
    Connection connection_;
};

}  // namespace mvk::test

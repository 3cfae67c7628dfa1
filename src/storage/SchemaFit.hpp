#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mvk {

class Connection;

/// Whether the library's tables in a file have what the library reads and
/// writes. `CREATE TABLE IF NOT EXISTS` passes over a table of the same name
/// that another program, or a later build, made with other columns; every
/// insert into it would then fail on every start. Tables the library does not
/// know are left alone.
class SchemaFit {
  public:
    struct Table {
        std::string name;
        /// In the order the current schema creates them; the first is "id".
        std::vector<std::string> columns;
        /// The statement SQLite keeps for it in a file of the current schema.
        std::string sql;
    };

    SchemaFit() = delete;

    /// The library's tables as the current schema creates them, read once
    /// from an in-memory database built by the schema's own statements, so
    /// they cannot drift from those.
    static const std::vector<Table>& tables();

    /// Absent when every table of `tables` is in the file with all its
    /// columns first and in their order, "id" as its row id, and no other
    /// column that refuses a row without a value; otherwise what does not
    /// fit, for the log. Reads only the schema. Throws the `SQLiteError` met
    /// while reading it.
    static std::optional<std::string> misfit(Connection& connection);
};

}  // namespace mvk

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mvk {

class Connection;

/// Brings a database file to the schema of `SQLiteContracts`. "PRAGMA
/// user_version" holds the index of the last group applied: 0 (a new file)
/// runs groups 0, 1 and 2, 1 runs group 2, 2 runs nothing.
///
/// The groups and the new user_version are written in one transaction, so a
/// run that stops half-way leaves the file as it was; the one ALTER is skipped
/// when its column is already there (a file half-upgraded by an older build).
/// A file from a later schema (above 2) is used as it is and never written.
///
/// A file whose library tables do not fit the current schema once the groups
/// it lacks have run (`SchemaFit`), or on which a group's statement fails
/// with SQLite's generic error (an index or view of another program under a
/// table's name), is left as it was: the caller moves it aside.
class SchemaMigration {
  public:
    static constexpr std::int64_t currentVersion = 2;

    SchemaMigration() = delete;

    /// Absent when the file now fits; otherwise what does not fit, and the
    /// file is unchanged. Throws `SQLiteError` when a statement fails for
    /// another reason (busy, full, damaged); the file is then unchanged too.
    static std::optional<std::string> apply(Connection& connection);

    /// "PRAGMA user_version"; 0 when it cannot be read.
    static std::int64_t readVersion(Connection& connection);

    static bool columnExists(Connection& connection, std::string_view table,
                             std::string_view column);

  private:
    /// Runs what the file lacks; answers the version found and what does not fit.
    static std::pair<std::int64_t, std::optional<std::string>> upgrade(Connection& connection);
};

}  // namespace mvk

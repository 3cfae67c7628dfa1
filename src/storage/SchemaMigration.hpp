#pragma once

#include <cstdint>
#include <string_view>

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
class SchemaMigration {
  public:
    static constexpr std::int64_t currentVersion = 2;

    SchemaMigration() = delete;

    /// Throws `SQLiteError` when a statement fails; the file is then unchanged.
    static void apply(Connection& connection);

    /// "PRAGMA user_version"; 0 when it cannot be read.
    static std::int64_t readVersion(Connection& connection);

    static bool columnExists(Connection& connection, std::string_view table,
                             std::string_view column);

  private:
    /// Runs what the file lacks; answers the version found.
    static std::int64_t upgrade(Connection& connection);
};

}  // namespace mvk

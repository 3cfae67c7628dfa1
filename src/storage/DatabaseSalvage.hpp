#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mvk {

class Connection;

/// Copies the rows of the library's tables that a damaged file still yields
/// into a fresh one of the current schema, with their ids, so that the rows
/// the caches hold and the ids kept as references stay valid, and the events
/// and reports not yet sent are still sent.
///
/// Each table is read from its first row up to the damage, then from its last
/// row back down to it: only the rows on the damaged pages are lost. Tables
/// the library does not use stay in the damaged file.
class DatabaseSalvage {
  public:
    struct Outcome {
        std::int64_t rows = 0;
        /// The tables with rows that could not be read.
        std::vector<std::string> damagedTables;
    };

    DatabaseSalvage() = delete;

    /// Both connections' locks are taken. Throws the `SQLiteError` of a
    /// failed write to `fresh`, which is then rolled back; failures to read
    /// `damaged` only end the reading of their table.
    static Outcome copy(Connection& damaged, Connection& fresh);
};

}  // namespace mvk

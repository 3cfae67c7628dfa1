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
/// Each table is read in id order. Where a read fails on a damaged page, the
/// ids after it are probed at doubling distances until a seek gets past the
/// damage, and the read goes on from the first id found that way: the rows on
/// damaged pages are lost, and rows on a sound page that lies between two
/// damaged stretches nearer together (in ids) than the first one is long may
/// be lost with them; every other row is kept. Tables the library does not
/// use stay in the damaged file.
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
    /// `damaged` are passed over as above.
    static Outcome copy(Connection& damaged, Connection& fresh);
};

}  // namespace mvk

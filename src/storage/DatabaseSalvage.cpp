#include "storage/DatabaseSalvage.hpp"

#include <limits>
#include <memory>
#include <optional>
#include <unordered_set>

#include "storage/Connection.hpp"
#include "storage/SQLiteError.hpp"
#include "storage/SchemaFit.hpp"
#include "storage/Statement.hpp"

namespace mvk {

namespace {

template <typename Item, typename Format>
std::string joined(const std::vector<Item>& items, Format&& format) {
    std::string text;
    for (std::size_t index = 0; index < items.size(); ++index) {
        text += index > 0 ? ", " : "";
        text += format(items[index]);
    }
    return text;
}

/// Steps `read` and hands each row's values to `write` until the end (true)
/// or a failure to read (false). `write`'s failures are thrown.
template <typename Write>
bool readEach(Statement& read, Write&& write) {
    for (;;) {
        std::vector<SQLiteValue> values;
        try {
            auto row = read.failableNext();
            if (!row) {
                return true;
            }
            values = row->values();
        } catch (const SQLiteError&) {
            return false;
        }
        write(values);
    }
}

/// A statement on the damaged file, or null when even that can't be read.
std::unique_ptr<Statement> reading(Connection& damaged, const std::string& sql,
                                   const std::vector<SQLiteValue>& arguments = {}) {
    try {
        return std::make_unique<Statement>(damaged, sql, arguments);
    } catch (const SQLiteError&) {
        return nullptr;
    }
}

constexpr auto lowestId = std::numeric_limits<std::int64_t>::min();
constexpr auto highestId = std::numeric_limits<std::int64_t>::max();

/// How far `to` lies past `from`, which is not after it.
std::uint64_t distance(std::int64_t from, std::int64_t to) {
    return static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from);
}

/// `from` moved on by `steps`, at most to the highest id.
std::int64_t advanced(std::int64_t from, std::uint64_t steps) {
    return distance(from, highestId) <= steps
               ? highestId
               : static_cast<std::int64_t>(static_cast<std::uint64_t>(from) + steps);
}

/// What a seek for the first row at or after an id meets: `seek` finds it,
/// which takes the pages down to that row.
struct Seek {
    bool reached = false;
    /// That row's id; none past the last row.
    std::optional<std::int64_t> id;
};

Seek seekFrom(Statement& seek, std::int64_t from) {
    Seek result;
    try {
        if (auto row = seek.bind({SQLiteValue(from)}).failableNext()) {
            result.id = row->integer(0);
        }
        result.reached = true;
    } catch (const SQLiteError&) {
    }
    seek.reset();
    return result;
}

/// The first id after `unreachable` from which a read gets past the damage,
/// or none up to the highest id. The ids after it are probed at doubling
/// distances, so a damaged stretch of any length, or ids spread far apart,
/// cost a few dozen seeks at most; the id found is then narrowed back
/// towards the damage by halving.
std::optional<std::int64_t> nextReachable(Statement& seek, std::int64_t unreachable) {
    std::int64_t failed = unreachable;
    for (std::uint64_t skip = 1;; skip = skip > highestId ? skip : skip * 2) {
        const auto probe = advanced(failed, skip);
        if (probe == failed) {
            return std::nullopt;
        }
        if (!seekFrom(seek, probe).reached) {
            failed = probe;
            continue;
        }
        auto reached = probe;
        while (distance(failed, reached) > 1) {
            const auto middle = advanced(failed, distance(failed, reached) / 2);
            (seekFrom(seek, middle).reached ? reached : failed) = middle;
        }
        return reached;
    }
}

/// Copies the rows of `table` in id order; false when some could not be read.
bool copyTable(Connection& damaged, Connection& fresh, const SchemaFit::Table& table,
               std::int64_t& rows) {
    const auto& id = table.columns.front();
    const auto columns = joined(table.columns, [](const std::string& name) { return name; });
    // Rows a damaged page makes up may break a constraint; they are left out.
    Statement insert(
        fresh, "INSERT OR IGNORE INTO " + table.name + " (" + columns + ") VALUES (" +
                   joined(table.columns, [](const std::string&) { return std::string("?"); }) +
                   ")");
    const auto after = " FROM " + table.name + " WHERE " + id + " >= ? ORDER BY " + id;
    auto read = reading(damaged, "SELECT " + columns + after);
    auto seek = reading(damaged, "SELECT " + id + after + " LIMIT 1");
    if (!read || !seek) {
        return false;
    }
    // Not an optional: gcc warns that one set in the lambda may be read unset.
    bool anyRead = false;
    std::int64_t lastId = 0;
    const auto write = [&](const std::vector<SQLiteValue>& values) {
        insert.bind(values).run();
        rows += fresh.changes();
        if (const auto* value = std::get_if<std::int64_t>(&values.front().storage())) {
            lastId = *value;
            anyRead = true;
        }
    };
    bool whole = true;
    for (std::optional<std::int64_t> from = lowestId; from;) {
        anyRead = false;
        read->bind({SQLiteValue(*from)});
        if (readEach(*read, write)) {
            break;
        }
        read->reset();
        whole = false;
        if (anyRead && lastId == highestId) {
            break;
        }
        // The row after the last one read could not be read: where the seek
        // still finds its id, the search starts past it, so that a row whose
        // own cells are damaged is passed at once however far its id lies.
        auto unreachable = anyRead ? lastId + 1 : *from;
        const auto next = seekFrom(*seek, unreachable);
        if (next.reached && !next.id) {
            break;
        }
        unreachable = next.id.value_or(unreachable);
        from = nextReachable(*seek, unreachable);
    }
    return whole;
}

/// Keeps each table's id sequence where it was, so that no id of a row lost
/// on a damaged page is handed out again.
void copySequences(Connection& damaged, Connection& fresh) {
    auto sequences = reading(damaged, "SELECT name, seq FROM sqlite_sequence");
    if (!sequences) {
        return;
    }
    std::unordered_set<std::string> ours;
    for (const auto& table : SchemaFit::tables()) {
        ours.insert(table.name);
    }
    Statement raise(fresh, "UPDATE sqlite_sequence SET seq = ?2 WHERE name = ?1 AND seq < ?2");
    Statement add(fresh,
                  "INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT EXISTS "
                  "(SELECT 1 FROM sqlite_sequence WHERE name = ?1)");
    readEach(*sequences, [&](const std::vector<SQLiteValue>& values) {
        const auto* name = values.size() == 2 ? values[0].text() : nullptr;
        if (name != nullptr && ours.count(*name) != 0) {
            raise.bind(values).run();
            add.bind(values).run();
        }
    });
}

}  // namespace

DatabaseSalvage::Outcome DatabaseSalvage::copy(Connection& damaged, Connection& fresh) {
    auto damagedGuard = damaged.lock();
    auto freshGuard = fresh.lock();
    Outcome outcome;
    fresh.execute("BEGIN");
    try {
        for (const auto& table : SchemaFit::tables()) {
            if (!copyTable(damaged, fresh, table, outcome.rows)) {
                outcome.damagedTables.push_back(table.name);
            }
        }
        copySequences(damaged, fresh);
        fresh.execute("COMMIT");
    } catch (...) {
        try {
            fresh.execute("ROLLBACK");
        } catch (const SQLiteError&) {
        }
        throw;
    }
    return outcome;
}

}  // namespace mvk

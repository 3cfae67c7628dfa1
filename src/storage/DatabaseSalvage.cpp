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

/// Copies the rows of `table`; false when some could not be read.
bool copyTable(Connection& damaged, Connection& fresh, const SchemaFit::Table& table,
               std::int64_t& rows) {
    const auto& id = table.columns.front();
    const auto columns = joined(table.columns, [](const std::string& name) { return name; });
    // Rows a damaged page makes up may break a constraint; they are left out.
    Statement insert(
        fresh, "INSERT OR IGNORE INTO " + table.name + " (" + columns + ") VALUES (" +
                   joined(table.columns, [](const std::string&) { return std::string("?"); }) +
                   ")");
    std::optional<std::int64_t> lastId;
    const auto write = [&](const std::vector<SQLiteValue>& values) {
        insert.bind(values).run();
        rows += fresh.changes();
        if (const auto* value = std::get_if<std::int64_t>(&values.front().storage())) {
            lastId = *value;
        }
    };
    const auto select = "SELECT " + columns + " FROM " + table.name;
    if (auto forward = reading(damaged, select + " ORDER BY " + id);
        forward && readEach(*forward, write)) {
        return true;
    }
    if (auto backward = reading(damaged, select + " WHERE " + id + " > ? ORDER BY " + id + " DESC",
                                {lastId.value_or(std::numeric_limits<std::int64_t>::min())})) {
        readEach(*backward, write);
    }
    return false;
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

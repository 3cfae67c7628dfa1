#include "storage/SchemaFit.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "storage/Connection.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/Statement.hpp"

namespace mvk {

namespace {

struct ColumnInfo {
    std::string type;
    bool required = false;
    bool key = false;
    /// A key SQLite keeps in an index of its own, which it does for every key
    /// but the row id: a column's INTEGER PRIMARY KEY DESC, an INT key, a
    /// key of several columns, any key of a table WITHOUT ROWID.
    bool keyIndexed = false;
};

// SQLite compares names without regard to ASCII case.
std::string folded(std::string_view name) {
    std::string text(name);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

using Columns = std::vector<std::pair<std::string, ColumnInfo>>;

/// The columns of every table in the main schema, by folded table name, in
/// their order. One statement: preparing one per table cost more than the
/// rest of opening the file.
std::unordered_map<std::string, Columns> columnsOfTables(Connection& connection) {
    Statement statement(connection,
                        "SELECT m.name, p.name, p.type, p.\"notnull\" != 0 AND p.dflt_value IS "
                        "NULL, p.pk != 0, p.pk != 0 AND EXISTS (SELECT 1 FROM "
                        "pragma_index_list(m.name, 'main') WHERE origin = 'pk') FROM "
                        "main.sqlite_master AS m, pragma_table_info(m.name, 'main') AS p WHERE "
                        "m.type = 'table' ORDER BY m.rowid, p.cid");
    std::unordered_map<std::string, Columns> tables;
    while (auto row = statement.failableNext()) {
        tables[folded(row->text(0).value_or(""))].emplace_back(
            row->text(1).value_or(""), ColumnInfo{.type = folded(row->text(2).value_or("")),
                                                  .required = row->integer(3).value_or(0) != 0,
                                                  .key = row->integer(4).value_or(0) != 0,
                                                  .keyIndexed = row->integer(5).value_or(0) != 0});
    }
    return tables;
}

std::optional<std::string> misfitOf(const Columns& columns, const SchemaFit::Table& table) {
    std::unordered_map<std::string, ColumnInfo> found;
    std::size_t keys = 0;
    for (const auto& [name, info] : columns) {
        keys += info.key ? 1 : 0;
        found.emplace(folded(name), info);
    }
    const auto head = "the table " + table.name;
    std::unordered_set<std::string> known;
    for (const auto& column : table.columns) {
        if (found.find(folded(column)) == found.end()) {
            return head + " has no column " + column;
        }
        known.insert(folded(column));
    }
    // Rows are read by position: a column of ours elsewhere would be read as
    // another, and its rows skipped as unreadable for good.
    for (std::size_t index = 0; index < table.columns.size(); ++index) {
        if (folded(columns[index].first) != folded(table.columns[index])) {
            return head + " has the column " + table.columns[index] + " out of its place";
        }
    }
    // Only an INTEGER PRIMARY KEY is the row id that an insert answers.
    const auto idName = std::string(SQLiteContracts::BaseEntry::id);
    const auto& id = found.at(folded(idName));
    if (!id.key || keys != 1 || id.type != "integer") {
        return head + " has no integer key " + idName;
    }
    // Spelt so and still kept apart from the row id, the key stays NULL in
    // every row an insert makes: no row could ever be named to send or delete.
    if (id.keyIndexed) {
        return head + " has a key " + idName + " that is not its row id";
    }
    for (const auto& [name, info] : found) {
        if (info.required && known.count(name) == 0) {
            return head + " has a column " + name + " that every row must fill";
        }
    }
    return std::nullopt;
}

}  // namespace

const std::vector<SchemaFit::Table>& SchemaFit::tables() {
    // Never destroyed: a queue thread may still open a database while the process exits.
    static const auto* tables = [] {
        Connection memory(":memory:");
        for (const auto& group : SQLiteContracts::map()) {
            for (const auto statement : group) {
                memory.execute(std::string(statement));
            }
        }
        auto* made = new std::vector<Table>();
        Statement names(memory,
                        "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name NOT "
                        "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
        while (auto row = names.failableNext()) {
            made->push_back(Table{.name = row->text(0).value_or(""),
                                  .columns = {},
                                  .sql = row->text(1).value_or("")});
        }
        const auto columns = columnsOfTables(memory);
        for (auto& table : *made) {
            for (const auto& [name, info] : columns.at(folded(table.name))) {
                table.columns.push_back(name);
            }
        }
        return made;
    }();
    return *tables;
}

std::optional<std::string> SchemaFit::misfit(Connection& connection) {
    const auto& expected = tables();
    auto guard = connection.lock();
    // A file of ours keeps the very statements of the schema: then nothing
    // else needs reading. Reading the columns of every table cost as much as
    // the rest of opening the file.
    std::unordered_map<std::string, std::string> stored;
    Statement statements(connection,
                         "SELECT name, sql FROM main.sqlite_master WHERE type = 'table'");
    while (auto row = statements.failableNext()) {
        stored.emplace(folded(row->text(0).value_or("")), row->text(1).value_or(""));
    }
    std::optional<std::unordered_map<std::string, Columns>> present;
    for (const auto& table : expected) {
        const auto statement = stored.find(folded(table.name));
        if (statement == stored.end()) {
            return "the table " + table.name + " is missing";
        }
        if (statement->second == table.sql) {
            continue;
        }
        if (!present) {
            present = columnsOfTables(connection);
        }
        if (auto misfit = misfitOf((*present)[folded(table.name)], table)) {
            return misfit;
        }
    }
    return std::nullopt;
}

}  // namespace mvk

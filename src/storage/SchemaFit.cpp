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
};

// SQLite compares names without regard to ASCII case.
std::string folded(std::string_view name) {
    std::string text(name);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

/// The columns of `table` in the main schema, in their order, by folded name.
std::vector<std::pair<std::string, ColumnInfo>> columnsOf(Connection& connection,
                                                          const std::string& table) {
    Statement statement(connection,
                        "SELECT name, type, \"notnull\" != 0 AND dflt_value IS NULL, pk != 0 "
                        "FROM pragma_table_info(?, 'main')",
                        {table});
    std::vector<std::pair<std::string, ColumnInfo>> columns;
    while (auto row = statement.failableNext()) {
        columns.emplace_back(row->text(0).value_or(""),
                             ColumnInfo{.type = folded(row->text(1).value_or("")),
                                        .required = row->integer(2).value_or(0) != 0,
                                        .key = row->integer(3).value_or(0) != 0});
    }
    return columns;
}

std::unordered_set<std::string> tableNames(Connection& connection) {
    Statement statement(connection, "SELECT name FROM main.sqlite_master WHERE type = 'table'");
    std::unordered_set<std::string> names;
    while (auto row = statement.failableNext()) {
        names.insert(folded(row->text(0).value_or("")));
    }
    return names;
}

std::optional<std::string> misfitOf(Connection& connection, const SchemaFit::Table& table) {
    std::unordered_map<std::string, ColumnInfo> found;
    std::size_t keys = 0;
    for (auto& [name, info] : columnsOf(connection, table.name)) {
        keys += info.key ? 1 : 0;
        found.emplace(folded(name), std::move(info));
    }
    const auto head = "the table " + table.name;
    std::unordered_set<std::string> known;
    for (const auto& column : table.columns) {
        if (found.find(folded(column)) == found.end()) {
            return head + " has no column " + column;
        }
        known.insert(folded(column));
    }
    // Only an INTEGER PRIMARY KEY is the row id that an insert answers.
    const auto& id = found.at(folded(SQLiteContracts::BaseEntry::id));
    if (!id.key || keys != 1 || id.type != "integer") {
        return head + " has no integer key " + std::string(SQLiteContracts::BaseEntry::id);
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
                        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                        "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
        while (auto row = names.failableNext()) {
            made->push_back(Table{.name = row->text(0).value_or(""), .columns = {}});
        }
        for (auto& table : *made) {
            for (auto& [name, info] : columnsOf(memory, table.name)) {
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
    const auto present = tableNames(connection);
    for (const auto& table : expected) {
        if (present.count(folded(table.name)) == 0) {
            return "the table " + table.name + " is missing";
        }
        if (auto misfit = misfitOf(connection, table)) {
            return misfit;
        }
    }
    return std::nullopt;
}

}  // namespace mvk

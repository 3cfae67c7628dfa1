#include "DatabaseDump.hpp"

#include <sqlite3.h>

#include <string>
#include <vector>

#include "Console.hpp"

namespace demo {

namespace {

constexpr std::size_t kLongestLine = 400;

/// A prepared statement that is finalised on every road out.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement_);
            statement_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return statement_ != nullptr; }
    bool nextRow() { return statement_ && sqlite3_step(statement_) == SQLITE_ROW; }
    sqlite3_stmt* get() const { return statement_; }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

std::string quoted(const std::string& table) {
    std::string name = "\"";
    for (const char c : table) {
        name += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return name + "\"";
}

void printTable(sqlite3* db, const std::string& table) {
    Statement rows(db, "SELECT * FROM " + quoted(table));
    std::vector<std::string> lines;
    while (rows.nextRow()) {
        std::string line = "    ";
        for (int column = 0; column < sqlite3_column_count(rows.get()); ++column) {
            const auto* text = sqlite3_column_text(rows.get(), column);
            line += std::string(column ? ", " : "") + sqlite3_column_name(rows.get(), column) +
                    "=" + (text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        lines.push_back(line.size() > kLongestLine ? line.substr(0, kLongestLine) + " ..." : line);
    }
    say("  " + table + ": " + std::to_string(lines.size()) + " row(s)");
    for (const auto& line : lines) {
        say(line);
    }
}

}  // namespace

void printDatabase(const std::filesystem::path& file) {
    step("What the library's database holds (" + file.string() + ")");
    sqlite3* db = nullptr;
    if (!std::filesystem::exists(file) ||
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        say("  (no database: start-up did not get that far)");
        sqlite3_close(db);
        return;
    }
    std::vector<std::string> tables;
    {
        Statement names(db,
                        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                        "'sqlite_%' ORDER BY rowid");
        while (names.nextRow()) {
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(names.get(), 0)));
        }
    }
    int empty = 0;
    for (const auto& table : tables) {
        Statement count(db, "SELECT COUNT(*) FROM " + quoted(table));
        if (count.nextRow() && sqlite3_column_int64(count.get(), 0) > 0) {
            printTable(db, table);
        } else {
            ++empty;
        }
    }
    say("  (" + std::to_string(empty) + " more table(s), all empty)");
    sqlite3_close(db);
}

}  // namespace demo

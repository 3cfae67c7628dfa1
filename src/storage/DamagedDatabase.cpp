#include "storage/DamagedDatabase.hpp"

#include <sqlite3.h>

#include <array>
#include <string>
#include <system_error>

#include "storage/Connection.hpp"
#include "storage/SQLiteError.hpp"
#include "storage/SchemaFit.hpp"
#include "storage/Statement.hpp"

namespace mvk {

namespace {

constexpr std::array<std::string_view, 3> companionSuffixes = {"-wal", "-journal", "-shm"};

void removeIfThere(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) {
        throw std::filesystem::filesystem_error("Couldn't remove", path, error);
    }
}

}  // namespace

bool DamagedDatabase::isDamage(int resultCode) {
    const int primary = resultCode & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

void DamagedDatabase::check(Connection& connection) {
    auto guard = connection.lock();
    Statement(connection, "SELECT count(*) FROM sqlite_master").failableNext();
}

void DamagedDatabase::checkNewestRows(Connection& connection) {
    // The largest row id is found along the right edge of a table's tree
    // alone: a few pages, and the ones written last. One statement for all
    // tables, since preparing costs more than that reading.
    static const auto* sql = [] {
        auto* text = new std::string("SELECT 1");
        for (const auto& table : SchemaFit::tables()) {
            *text += ", (SELECT max(rowid) FROM " + table.name + ")";
        }
        return text;
    }();
    auto guard = connection.lock();
    Statement(connection, *sql).failableNext();
}

std::filesystem::path DamagedDatabase::withSuffix(const std::filesystem::path& path,
                                                  std::string_view suffix) {
    auto named = path;
    named += std::string(suffix);
    return named;
}

void DamagedDatabase::remove(const std::filesystem::path& database) {
    removeIfThere(database);
    for (const auto suffix : companionSuffixes) {
        removeIfThere(withSuffix(database, suffix));
    }
}

std::filesystem::path DamagedDatabase::moveAside(const std::filesystem::path& database) {
    const auto aside = withSuffix(database, asideSuffix);
    // The older file's log would otherwise be read as the log of this one.
    for (const auto suffix : companionSuffixes) {
        removeIfThere(withSuffix(aside, suffix));
    }
    std::filesystem::rename(database, aside);
    // A log or journal left beside the fresh file would be replayed into it.
    for (const auto suffix : companionSuffixes) {
        const auto companion = withSuffix(database, suffix);
        std::error_code error;
        if (suffix != "-shm" && std::filesystem::exists(companion, error)) {
            std::filesystem::rename(companion, withSuffix(aside, suffix), error);
        }
        removeIfThere(companion);
    }
    return aside;
}

}  // namespace mvk

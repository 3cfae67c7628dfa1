#include "storage/SchemaMigration.hpp"

#include <sqlite3.h>

#include <string>

#include "foundation/Logger.hpp"
#include "storage/Connection.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/SQLiteError.hpp"
#include "storage/SchemaFit.hpp"
#include "storage/Statement.hpp"

namespace mvk {

namespace {

using Contracts = SQLiteContracts;

void runGroups(Connection& connection, std::int64_t version) {
    const auto& groups = Contracts::map();
    // 0 is also what a new file reads, so group 0 runs again there (it only
    // creates what is missing); any later version is the last group applied.
    const auto first = static_cast<std::size_t>(version == 0 ? 0 : version + 1);
    for (std::size_t group = first; group < groups.size(); ++group) {
        for (std::string_view statement : groups[group]) {
            if (statement == Contracts::updateTableDeviceIdentifiers &&
                SchemaMigration::columnExists(
                    connection, Contracts::DeviceIdentifiersEntry::tableName,
                    Contracts::DeviceIdentifiersEntry::morvanixIdTimestamp)) {
                continue;
            }
            connection.execute(std::string(statement));
        }
    }
    connection.execute("PRAGMA user_version = " + std::to_string(groups.size() - 1));
}

}  // namespace

std::int64_t SchemaMigration::readVersion(Connection& connection) {
    auto guard = connection.lock();
    try {
        Statement statement(connection, "PRAGMA user_version");
        if (auto row = statement.failableNext()) {
            return row->integer(0).value_or(0);
        }
    } catch (const std::exception&) {
        // An unreadable version counts as a file without schema.
    }
    return 0;
}

bool SchemaMigration::columnExists(Connection& connection, std::string_view table,
                                   std::string_view column) {
    auto guard = connection.lock();
    Statement statement(connection, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?",
                        {table, column});
    return statement.failableNext().has_value();
}

std::optional<std::string> SchemaMigration::apply(Connection& connection) {
    const auto [version, misfit] = upgrade(connection);
    if (!misfit && version > currentVersion) {
        // Logged outside the connection's lock: the logger may call the host.
        Logger::writeLog(MVKLogLevel::warning,
                         "[Database Module] The database has schema version " +
                             std::to_string(version) + ", newer than version " +
                             std::to_string(currentVersion) + "; it is used as it is");
    }
    return misfit;
}

std::pair<std::int64_t, std::optional<std::string>> SchemaMigration::upgrade(
    Connection& connection) {
    auto guard = connection.lock();
    std::int64_t version = readVersion(connection);
    if (version >= currentVersion) {
        return {version, SchemaFit::misfit(connection)};
    }
    // IMMEDIATE takes the write lock at once: two processes upgrading the same
    // file then wait for each other instead of one failing half-way.
    connection.execute("BEGIN IMMEDIATE");
    std::optional<std::string> misfit;
    try {
        // Another process may have upgraded the file since the first read.
        version = readVersion(connection);
        if (version < currentVersion) {
            try {
                runGroups(connection, version < 0 ? 0 : version);
            } catch (const SQLiteError& error) {
                // A statement of our own schema fails only on an object of
                // that name made by someone else: the file is not ours.
                if ((error.code() & 0xff) != SQLITE_ERROR) {
                    throw;
                }
                misfit = "the upgrade can't be applied: " + error.description();
            }
        }
        if (!misfit) {
            misfit = SchemaFit::misfit(connection);
        }
        // A file that does not fit goes aside as it was found.
        connection.execute(misfit ? "ROLLBACK" : "COMMIT");
    } catch (...) {
        try {
            connection.execute("ROLLBACK");
        } catch (const SQLiteError&) {
            // SQLite has already rolled back on its own; the first error is the one to report.
        }
        throw;
    }
    return {version, misfit};
}

}  // namespace mvk

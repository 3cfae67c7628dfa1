#pragma once

#include <filesystem>
#include <string_view>

namespace mvk {

class Connection;

/// A database file SQLite calls corrupt or not a database. Left where it is,
/// such a file fails every later start too and the installation never
/// reports again; moved aside, it is kept for a look by hand and a fresh file
/// takes its place.
class DamagedDatabase {
  public:
    /// Appended to the file's name; only the newest file moved aside is kept.
    static constexpr std::string_view asideSuffix = ".corrupt";
    /// A file beside the database that says it is damaged, left when it
    /// could not be replaced at once; the next start replaces it.
    static constexpr std::string_view markerSuffix = ".damaged";
    /// The fresh file while it is filled with what can still be read.
    static constexpr std::string_view freshSuffix = ".fresh";

    DamagedDatabase() = delete;

    /// SQLITE_CORRUPT and SQLITE_NOTADB, extended codes included. A busy,
    /// locked, full or read-only file is not damaged: it must stay.
    static bool isDamage(int resultCode);

    /// Reads the header and the schema, which every statement needs, and
    /// throws the `SQLiteError` met there: a file whose header is overwritten,
    /// of random bytes, or shorter than its header says fails here, before
    /// anything is written to it. A damaged page elsewhere shows only when it
    /// is read; checking every page would make each start read the whole file.
    static void check(Connection& connection);

    /// Reads the newest row of each of the library's tables, which a torn
    /// write damages first: a few pages per table. Throws like `check`; the
    /// tables must be there (after the schema is applied).
    static void checkNewestRows(Connection& connection);

    static std::filesystem::path withSuffix(const std::filesystem::path& path,
                                            std::string_view suffix);

    /// Removes the closed file `database`, then its write-ahead log, journal
    /// and shared-memory index: a journal left alone is deleted with the next
    /// one, a file left without its journal could pass for a whole one.
    /// Throws `std::filesystem::filesystem_error` when one stays.
    static void remove(const std::filesystem::path& database);

    /// Moves the closed file `database` and its write-ahead log and journal to
    /// the aside name, replacing the ones moved aside before, and removes its
    /// shared-memory index; answers the aside path. Throws
    /// `std::filesystem::filesystem_error` when the folder cannot be written;
    /// no log or journal is then left beside where the fresh file would go.
    static std::filesystem::path moveAside(const std::filesystem::path& database);
};

}  // namespace mvk

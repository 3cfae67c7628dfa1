#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/Logger.hpp"
#include "platform/SerialQueue.hpp"
#include "storage/Connection.hpp"
#include "storage/DatabaseProtocol.hpp"
#include "storage/GroupCommit.hpp"
#include "storage/Statement.hpp"

namespace mvk {

/// The library's database: the file "morvanix/morvanix.db" under the
/// application-support directory, brought to the current schema when it is
/// opened. One file holds the data of every application key.
///
/// Creation throws; afterwards every failure is logged at level 2 and
/// answered as a failure (false or absent), so storage trouble never stops the
/// library and is never mistaken for an empty table.
/// Each operation holds the connection's lock from prepare to its last column
/// read, so operations from several threads never interleave.
///
/// Grouped inserts made on the income queue while more blocks wait there
/// share one transaction (`GroupCommit`). Every other write, a `transaction`
/// included, is committed when it answers: made on the queue inside an open
/// group, it commits the group as it ends (a transaction is then a savepoint
/// of its own, whose failure undoes only its changes).
///
/// The file is kept in WAL journal mode with `synchronous=NORMAL`: a commit
/// is durable against a process kill without an fsync, and a power loss can
/// only take the newest commits, never leave a hole. The log and its index
/// stay beside the file after it is closed, the log emptied. A file written in
/// rollback mode is switched when it is opened, unless it is of a later
/// schema, whose journal mode is that version's choice.
///
/// A file SQLite calls corrupt or not a database when it is opened, and a
/// file whose library tables do not fit once the known upgrades ran
/// (`SchemaFit`), is moved aside (`DamagedDatabase`) and a fresh one made in
/// its place, with an error line naming both paths. Damage met later (the
/// newest rows read at start, any statement afterwards) replaces the file as
/// soon as the outermost operation ends: the rows that can still be read go
/// into a fresh file with their ids (`DatabaseSalvage`), the open group's
/// writes included, the damaged file goes aside, and a single write or a
/// query that handed over no row runs once more on the new file. Where that
/// fails, or the provider is closed first, a marker beside the file has the
/// next start do it.
class SQLiteProvider final : public DatabaseProtocol {
  public:
    static constexpr std::string_view folderName = "morvanix";
    static constexpr std::string_view fileName = "morvanix.db";
    /// The connection's page cache bound.
    static constexpr int pageCacheKibibytes = 512;

    /// Runs once the folder exists and before the file is opened, so that
    /// only the folder's owner reads, upgrades or replaces the file; what it
    /// throws fails the construction.
    using FolderClaim = std::function<void(const std::filesystem::path& folder)>;

    /// Throws `SQLiteError` (code SQLITE_CANTOPEN) when there is no
    /// application-support directory, `std::filesystem::filesystem_error` when
    /// the folder cannot be created or a damaged file cannot be moved aside,
    /// and the `SQLiteError` of a failed open or schema statement (a file that
    /// is not damaged is then left as it was) or of a file that can be read
    /// but not written, whose reports could be sent but never deleted.
    explicit SQLiteProvider(std::string_view applicationKey);
    /// Grouped on the income queue, with `claimFolder` run first.
    SQLiteProvider(std::string_view applicationKey, const FolderClaim& claimFolder);
    /// Groups the grouped inserts made on `groupQueue` (each commits at once
    /// when null); the queue must outlive the provider.
    SQLiteProvider(std::string_view applicationKey, SerialQueue* groupQueue,
                   GroupCommit::Limits limits = {}, const FolderClaim& claimFolder = {});
    /// Commits the open group.
    ~SQLiteProvider() override;

    SQLiteProvider(const SQLiteProvider&) = delete;
    SQLiteProvider& operator=(const SQLiteProvider&) = delete;

    /// Commits the open group now; false when that commit failed.
    bool commitPending();

    /// The "morvanix" folder, or absent without an application-support
    /// directory; the folder is not created.
    static std::optional<std::filesystem::path> folderPath();

    bool queryRows(const SelectQuery& query, const RowVisitor& visitor) override;
    std::optional<std::int64_t> insert(std::string_view tableName,
                                       const ContentValues& content) override;
    std::optional<std::int64_t> insertGrouped(std::string_view tableName,
                                              const ContentValues& content) override;
    std::uint64_t lostGroups() const override;
    std::optional<std::int64_t> update(std::string_view tableName, const ContentValues& values,
                                       std::string_view selection,
                                       const std::vector<SQLiteValue>& selectionArgs) override;
    std::optional<std::int64_t> deleteRows(std::string_view tableName, std::string_view selection,
                                           const std::vector<SQLiteValue>& selectionArgs) override;
    bool clear(std::string_view tableName) override;
    bool raw(const std::string& sql) override;
    bool transaction(const std::function<bool()>& body) override;
    void onRollback(std::function<void()> undo) override;

    /// The SQL texts the operations prepare.
    static std::string rawSql(const SelectQuery& query);
    static std::string insertSql(std::string_view tableName, const ContentValues& content);
    static std::string updateSql(std::string_view tableName, const ContentValues& values,
                                 std::string_view selection);
    static std::string deleteSql(std::string_view tableName, std::string_view selection);
    static std::string clearSql(std::string_view tableName);

  private:
    template <typename Result, typename Operation>
    Result guarded(std::string_view prefix, Result fallback, GroupCommit::Access access,
                   Operation&& operation, const std::function<bool()>& mayRetry = {});
    /// One run of `guarded`'s operation; `failed` says whether it failed.
    template <typename Result, typename Operation>
    Result attempt(std::string_view prefix, Result fallback, GroupCommit::Access access,
                   Operation& operation, bool& failed);
    /// Under the lock, outside any transaction: after a write found no room.
    bool makeRoom();
    std::optional<std::int64_t> insertWith(GroupCommit::Access access, std::string_view tableName,
                                           const ContentValues& content);
    /// `transaction` under the lock; hands out what the caches must undo.
    bool runTransaction(const std::function<bool()>& body,
                        std::vector<std::function<void()>>& undos);
    using Lines = std::vector<std::pair<MVKLogLevel, std::string>>;

    /// Opens, checks and upgrades the file at `path`; answers what does not fit.
    std::optional<std::string> open(const std::filesystem::path& path);
    /// Throws `SQLiteError` when the open file can't be written.
    void requireWritable();
    /// The error that fails the start on a file that can't be written.
    static SQLiteError unwritable(const SQLiteError& error);
    /// Checks and upgrades the open file; its lines go to `lines`.
    std::optional<std::string> configure(Lines& lines);
    /// Moves the file at `path` aside with a line saying it `what`, and opens a new one.
    void startAfresh(const std::filesystem::path& path, const std::string& what);
    static void finishReplacement(const std::filesystem::path& path);
    void replaceIfDamagedAtStart(const std::filesystem::path& path);
    /// `replaceDamagedFile` from an operation, which logs once it is over.
    bool replaceDamagedFile();
    /// Puts a fresh file with what can still be read in place of the damaged
    /// one, or an empty one when that copy fails; false when the damaged one
    /// stays in use.
    bool replaceDamagedFile(Lines& lines);
    /// Marks the file for the next start; answers the end of the line that says so.
    std::string leaveMarker(const std::filesystem::path& path);
    std::optional<std::string> useWriteAheadLog();
    void keepWriteAheadLogFiles();
    /// Runs `use` on a statement of `sql` prepared earlier when there is one,
    /// and keeps it for the next call unless `use` threw.
    template <typename Use>
    void withKeptStatement(std::string sql, Use&& use);

    std::shared_ptr<Connection> database_;
    /// Inserts prepared once per SQL text: preparing cost more than the insert
    /// itself. Only touched under the connection's lock; declared after the
    /// connection so the statements are finalised before it closes.
    std::unordered_map<std::string, std::unique_ptr<Statement>> insertStatements_;
    /// Queries and deletions, kept the same way: packing a report reads and
    /// deletes with the same texts again and again. Bounded, since a deletion
    /// by a list of ids has a text per list length.
    std::unordered_map<std::string, std::unique_ptr<Statement>> keptStatements_;
    /// Null when writes are not grouped.
    std::shared_ptr<GroupCommit> group_;
    /// Depth of the `transaction` bodies running; under the connection's lock.
    int transactionDepth_ = 0;
    /// Set by every failed operation and cleared when a transaction begins, so
    /// the transaction sees what failed inside it. Only touched under the
    /// connection's lock.
    bool failedSinceBegin_ = false;
    /// What the caches must undo if the outermost transaction does not
    /// commit; under the connection's lock.
    std::vector<std::function<void()>> rollbackUndos_;
    /// Damaged files replaced while open: rows on their damaged pages are gone.
    std::atomic<std::uint64_t> replacements_ = 0;
    /// Set while a damaged file could not be replaced; under the connection's lock.
    bool replaceGivenUp_ = false;
};

}  // namespace mvk

#include "storage/SQLiteProvider.hpp"

#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <utility>

#include "foundation/Logger.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/QueueManager.hpp"
#include "storage/DamagedDatabase.hpp"
#include "storage/DatabaseSalvage.hpp"
#include "storage/SQLiteError.hpp"
#include "storage/SchemaMigration.hpp"
#include "storage/Statement.hpp"

namespace mvk {

namespace {

// Holds the connection's lock for one operation. Failure lines are written only
// once this thread holds no operation any more: the logger may call the host's
// closure, and no host code may run under our lock (a transaction's body runs
// operations inside the outer one, so their lines wait for it too).
class LockedOperation {
  public:
    explicit LockedOperation(Connection& connection) : lock_(connection.lock()) { ++depth(); }
    ~LockedOperation() {
        lock_.unlock();
        if (--depth() == 0) {
            auto lines = std::move(pending());
            pending().clear();
            for (const auto& [level, line] : lines) {
                Logger::writeLog(level, line);
            }
        }
    }
    LockedOperation(const LockedOperation&) = delete;
    LockedOperation& operator=(const LockedOperation&) = delete;

    static void logFailure(std::string_view prefix, std::string_view description) {
        std::string line = "[Database Module] ";
        line += prefix;
        line += description;
        log(MVKLogLevel::error, std::move(line));
    }

    static void log(MVKLogLevel level, std::string line) {
        pending().emplace_back(level, std::move(line));
    }

    /// No other operation of this thread is under way around this one.
    static bool isOutermost() { return depth() == 1; }

  private:
    static int& depth() {
        thread_local int value = 0;
        return value;
    }
    static std::vector<std::pair<MVKLogLevel, std::string>>& pending() {
        thread_local std::vector<std::pair<MVKLogLevel, std::string>> lines;
        return lines;
    }

    Connection::Lock lock_;
};

/// The values of `content` where they are: a stored report's text is a
/// megabyte, so it is bound, not copied.
std::vector<const SQLiteValue*> valuesOf(const ContentValues& content, std::size_t extra = 0) {
    std::vector<const SQLiteValue*> values;
    values.reserve(content.size() + extra);
    for (const auto& [column, value] : content) {
        values.push_back(&value);
    }
    return values;
}

template <typename Item, typename Format>
std::string joined(const std::vector<Item>& items, std::string_view separator, Format&& format) {
    std::string text;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (index > 0) {
            text += separator;
        }
        text += format(items[index]);
    }
    return text;
}

}  // namespace

// Runs one operation under the connection's lock; any failure is logged after
// `prefix`, noted for an open transaction and answered with `fallback`.
// `access` says whether the operation may open a group, counts in it, or
// commits it when it ends; a write whose group commit fails has failed.
//
// A file found damaged is replaced once the outermost operation ends, and an
// operation that failed on it runs once more on the new file when `mayRetry`
// says that its failure left nothing behind; so does one that found no room
// on the disk, once the log is folded back.
template <typename Result, typename Operation>
Result SQLiteProvider::guarded(std::string_view prefix, Result fallback, GroupCommit::Access access,
                               Operation&& operation, const std::function<bool()>& mayRetry) {
    if (group_) {
        group_->commitOtherGroupOfThisThread();
    }
    LockedOperation scope(*database_);
    const bool alone = LockedOperation::isOutermost();
    if (alone) {
        database_->takeLastFailure();
    }
    bool failed = false;
    Result result = attempt(prefix, fallback, access, operation, failed);
    if (transactionDepth_ != 0 || !alone) {
        return result;
    }
    if (database_->damageSeen() && !replaceGivenUp_) {
        if (replaceDamagedFile() && failed && mayRetry && mayRetry()) {
            result = attempt(prefix, fallback, access, operation, failed);
        }
    } else if (failed && SQLiteError::isOutOfRoom(database_->takeLastFailure()) && makeRoom() &&
               mayRetry && mayRetry()) {
        result = attempt(prefix, fallback, access, operation, failed);
    }
    return result;
}

// The log grows with every write until a checkpoint, which runs only after a
// commit that succeeded: on a nearly full disk the log stayed as large as
// it was and every later write failed, the deletion of a sent report too.
// Folded back into the file, the log gives its room to the next writes.
bool SQLiteProvider::makeRoom() {
    // A transaction or group still open holds the log.
    if (!database_->isAutocommit() || !database_->foldLogBack()) {
        return false;
    }
    LockedOperation::log(MVKLogLevel::info,
                         "[Database Module] The disk had no room for a write; the write-ahead "
                         "log was folded back into the file to make some");
    return true;
}

template <typename Result, typename Operation>
Result SQLiteProvider::attempt(std::string_view prefix, Result fallback, GroupCommit::Access access,
                               Operation& operation, bool& failed) {
    failed = true;
    const auto noteGroup = [&](std::optional<std::string> failure) {
        if (failure) {
            LockedOperation::logFailure("", *failure);
        }
    };
    if (group_) {
        noteGroup(group_->prepare(access, transactionDepth_ == 0));
    }
    try {
        Result result = operation();
        if (group_) {
            if (auto failure = group_->finish(access, true, transactionDepth_ == 0)) {
                LockedOperation::logFailure("", *failure);
                if (access != GroupCommit::Access::read) {
                    failedSinceBegin_ = true;
                    return fallback;
                }
            }
        }
        failed = false;
        return result;
    } catch (const SQLiteError& error) {
        LockedOperation::logFailure(prefix, error.description());
    } catch (const std::exception& error) {
        LockedOperation::logFailure(prefix, error.what());
    } catch (...) {
        LockedOperation::logFailure(prefix, "unknown error");
    }
    failedSinceBegin_ = true;
    if (group_) {
        noteGroup(group_->finish(access, false, transactionDepth_ == 0));
    }
    return fallback;
}

std::optional<std::filesystem::path> SQLiteProvider::folderPath() {
    auto directory = ApplicationSupportDirectory::path();
    if (!directory) {
        return std::nullopt;
    }
    return *directory / folderName;
}

SQLiteProvider::SQLiteProvider(std::string_view applicationKey)
    : SQLiteProvider(applicationKey, &QueueManager::incomeQueue().queue()) {}

SQLiteProvider::SQLiteProvider(std::string_view applicationKey, const FolderClaim& claimFolder)
    : SQLiteProvider(applicationKey, &QueueManager::incomeQueue().queue(), {}, claimFolder) {}

SQLiteProvider::SQLiteProvider(std::string_view /*applicationKey*/, SerialQueue* groupQueue,
                               GroupCommit::Limits limits, const FolderClaim& claimFolder) {
    const auto folder = folderPath();
    if (!folder) {
        throw SQLiteError("there is no application-support directory", SQLITE_CANTOPEN);
    }
    std::error_code statusError;
    if (!std::filesystem::exists(*folder, statusError)) {
        Logger::writeLog(MVKLogLevel::debug, "[Database Module] It's a clean launch of the SDK");
        if (auto error = ApplicationSupportDirectory::createPrivateDirectories(*folder)) {
            throw std::filesystem::filesystem_error("Couldn't create the database folder", *folder,
                                                    error);
        }
    } else {
        Logger::writeLog(MVKLogLevel::debug, "[Database Module] Trying to load database");
    }
    if (claimFolder) {
        claimFolder(*folder);
    }
    const auto path = *folder / fileName;
    finishReplacement(path);
    std::optional<std::string> misfit;
    try {
        misfit = open(path);
    } catch (const SQLiteError& error) {
        if (!DamagedDatabase::isDamage(error.code())) {
            throw;
        }
        // Neither its header nor its schema can be read: nothing of it can be kept.
        startAfresh(path, "is damaged (" + error.description() + ")");
    }
    if (misfit) {
        startAfresh(path, "does not fit this library (" + *misfit + ")");
    }
    replaceIfDamagedAtStart(path);
    requireWritable();
    if (groupQueue != nullptr) {
        group_ = std::make_shared<GroupCommit>(database_, *groupQueue, limits);
    }
}

SQLiteError SQLiteProvider::unwritable(const SQLiteError& error) {
    return SQLiteError(error.message(), error.code(), std::nullopt,
                       "it can't be written; nothing is stored or sent until it can be");
}

// A file that can be read but not written would have its stored reports sent
// at every start and never deleted after the gateway took them: a mode
// without write bits, an immutable file or a read-only mount make SQLite open
// it for reading only, and a folder that cannot be written keeps a file in
// rollback journal mode from making its journal. A write that is rolled back
// finds both (the journal is made at the first changed page) and leaves
// nothing on disk. A full disk or a busy file is passing trouble, and the
// start goes on as before.
void SQLiteProvider::requireWritable() {
    try {
        database_->execute("BEGIN IMMEDIATE; CREATE TABLE main.morvanix_write_check(x); ROLLBACK");
        return;
    } catch (const SQLiteError& error) {
        if (!database_->isAutocommit()) {
            database_->execute("ROLLBACK");
        }
        const int primary = error.code() & 0xff;
        if (primary != SQLITE_READONLY && primary != SQLITE_CANTOPEN && primary != SQLITE_PERM) {
            Logger::writeLog(MVKLogLevel::debug,
                             "[Database Module] Couldn't check that the database can be written: " +
                                 error.description());
            return;
        }
        throw unwritable(error);
    }
}

std::optional<std::string> SQLiteProvider::open(const std::filesystem::path& path) {
    database_ = std::make_shared<Connection>(path.string());
    // Before the first read: reading a file in WAL mode makes its missing log
    // with the file's mode, and a log made without write bits failed the next
    // start too, once the file's own mode was put right.
    if (sqlite3_db_readonly(database_->handle(), "main") == 1) {
        throw unwritable(SQLiteError(sqlite3_errstr(SQLITE_READONLY), SQLITE_READONLY));
    }
    Logger::writeLog(
        MVKLogLevel::debug,
        "[Database Module] Successfully opened connection to database at " + path.string());
    Lines lines;
    auto misfit = configure(lines);
    for (const auto& [level, line] : lines) {
        Logger::writeLog(level, line);
    }
    return misfit;
}

std::optional<std::string> SQLiteProvider::configure(Lines& lines) {
    // SQLite's default page cache grows to 2 MiB once a backlog is read; the
    // rows are read and written in order, so a small cache costs no speed and
    // keeps the memory a game pays for a long offline spell low.
    database_->execute("PRAGMA cache_size=-" + std::to_string(pageCacheKibibytes));
    DamagedDatabase::check(*database_);
    // A file of a later schema is used as it is: its journal mode is that
    // version's choice. Switching before the schema is written lets a first
    // start commit it without the rollback journal's fsyncs.
    if (SchemaMigration::readVersion(*database_) <= SchemaMigration::currentVersion) {
        if (auto line = useWriteAheadLog()) {
            lines.emplace_back(MVKLogLevel::debug, std::move(*line));
        }
    }
    return SchemaMigration::apply(*database_);
}

void SQLiteProvider::startAfresh(const std::filesystem::path& path, const std::string& what) {
    database_.reset();
    const auto head = "[Database Module] The database " + path.string() + " " + what;
    std::filesystem::path aside;
    try {
        aside = DamagedDatabase::moveAside(path);
    } catch (const std::filesystem::filesystem_error& moveError) {
        Logger::writeLog(MVKLogLevel::error,
                         head + " and couldn't be moved aside: " + moveError.what());
        throw;
    }
    Logger::writeLog(MVKLogLevel::error, head + "; it was moved to " + aside.string() +
                                             " and a new database is made in its place");
    std::error_code ignored;
    std::filesystem::remove(DamagedDatabase::withSuffix(path, DamagedDatabase::markerSuffix),
                            ignored);
    if (auto misfit = open(path)) {
        throw SQLiteError("the new database does not fit: " + *misfit, SQLITE_ERROR);
    }
}

// A start that died between moving a damaged file aside and putting the
// fresh one in its place left the rows it saved under the fresh name.
void SQLiteProvider::finishReplacement(const std::filesystem::path& path) {
    const auto fresh = DamagedDatabase::withSuffix(path, DamagedDatabase::freshSuffix);
    std::error_code error;
    if (std::filesystem::exists(fresh, error) && !std::filesystem::exists(path, error)) {
        std::filesystem::rename(fresh, path, error);
    }
}

// Damage seen by an earlier start, which could not replace the file, or past
// the pages start-up reads (the newest rows, which a torn write hits first).
void SQLiteProvider::replaceIfDamagedAtStart(const std::filesystem::path& path) {
    const auto marker = DamagedDatabase::withSuffix(path, DamagedDatabase::markerSuffix);
    std::error_code error;
    if (std::filesystem::exists(marker, error)) {
        std::ifstream file(marker);
        std::string reason((std::istreambuf_iterator<char>(file)), {});
        database_->noteDamage(reason.empty() ? "seen by an earlier start" : reason);
    } else {
        try {
            DamagedDatabase::checkNewestRows(*database_);
        } catch (const SQLiteError& checkError) {
            if (!DamagedDatabase::isDamage(checkError.code())) {
                throw;
            }
        }
    }
    if (database_->damageSeen()) {
        Lines lines;
        replaceDamagedFile(lines);
        for (const auto& [level, line] : lines) {
            Logger::writeLog(level, line);
        }
    }
}

bool SQLiteProvider::replaceDamagedFile() {
    Lines lines;
    const bool replaced = replaceDamagedFile(lines);
    for (auto& [level, line] : lines) {
        LockedOperation::log(level, std::move(line));
    }
    return replaced;
}

// Under the connection's lock, with no transaction of ours open. The rows
// that can still be read go into a fresh file first; the damaged file is
// then moved aside as at start and the fresh one takes its name. A copy that
// cannot finish (a full disk) is removed, and the damaged file goes aside
// whole for an empty one: kept in use, it would fail the game's writes (a
// transaction that has met the damage fails every later write in it), and
// the copy would take the room they need. Where moving fails, a marker makes
// the next start try again.
bool SQLiteProvider::replaceDamagedFile(Lines& lines) {
    // Tried once per open: copying the rows again on every operation would
    // cost each of them as much; the marker left has the next start try.
    replaceGivenUp_ = true;
    const std::filesystem::path path = database_->path();
    const auto head = "[Database Module] The database " + path.string() + " is damaged (" +
                      database_->damage() + ")";
    const auto fresh = DamagedDatabase::withSuffix(path, DamagedDatabase::freshSuffix);
    // Their statements belong to the handle about to be closed.
    insertStatements_.clear();
    keptStatements_.clear();
    DatabaseSalvage::Outcome saved;
    std::optional<std::string> copyFailure;
    try {
        DamagedDatabase::remove(fresh);
        Connection target(fresh.string());
        if (auto misfit = SchemaMigration::apply(target)) {
            throw SQLiteError("the new database does not fit: " + *misfit, SQLITE_ERROR);
        }
        // Read inside the open group, so that the writes answered as stored
        // come along with the rest.
        saved = DatabaseSalvage::copy(*database_, target);
    } catch (const std::exception& error) {
        copyFailure = error.what();
    }
    if (copyFailure) {
        try {
            // Never left to pass for a finished copy at the next start.
            DamagedDatabase::remove(fresh);
        } catch (const std::exception& error) {
            lines.emplace_back(MVKLogLevel::error, head + " and its rows couldn't be saved (" +
                                                       *copyFailure + "; " + error.what() + ")" +
                                                       leaveMarker(path));
            return false;
        }
    }
    if (group_) {
        // Without a copy, the group's writes go aside with the file, if
        // SQLite still commits them there.
        if (auto failure = copyFailure ? group_->commit() : group_->endCopied()) {
            lines.emplace_back(MVKLogLevel::error, "[Database Module] " + *failure);
        }
    }
    std::filesystem::path aside;
    try {
        database_->reopen([&] {
            aside = DamagedDatabase::moveAside(path);
            if (!copyFailure) {
                std::filesystem::rename(fresh, path);
            }
        });
    } catch (const std::exception& error) {
        const bool moved = !aside.empty();
        const auto what = copyFailure ? " and its rows couldn't be saved (" + *copyFailure +
                                            ") nor the file moved aside ("
                                      : std::string(" and couldn't be replaced (");
        lines.emplace_back(MVKLogLevel::error,
                           head + what + error.what() + ")" + (moved ? "" : leaveMarker(path)));
        if (!moved) {
            return false;
        }
    }
    std::error_code ignored;
    std::filesystem::remove(DamagedDatabase::withSuffix(path, DamagedDatabase::markerSuffix),
                            ignored);
    ++replacements_;
    replaceGivenUp_ = false;
    try {
        if (auto misfit = configure(lines)) {
            throw SQLiteError(*misfit, SQLITE_ERROR);
        }
    } catch (const std::exception& error) {
        lines.emplace_back(MVKLogLevel::error, "[Database Module] The new database at " +
                                                   path.string() +
                                                   " can't be used: " + error.what());
        return false;
    }
    if (copyFailure) {
        lines.emplace_back(MVKLogLevel::error,
                           head + " and its rows couldn't be saved (" + *copyFailure +
                               "); it was moved to " + aside.string() +
                               " with all of them and a new, empty database is made in its place");
        return true;
    }
    std::string kept =
        "; " + std::to_string(saved.rows) + " rows that could still be read are in it";
    if (!saved.damagedTables.empty()) {
        kept += ", the other rows of the tables";
        for (std::size_t index = 0; index < saved.damagedTables.size(); ++index) {
            kept += (index > 0 ? ", " : " ") + saved.damagedTables[index];
        }
        kept += " are lost";
    }
    lines.emplace_back(MVKLogLevel::error, head + "; it was moved to " + aside.string() +
                                               " and a new database is made in its place" + kept);
    return true;
}

std::string SQLiteProvider::leaveMarker(const std::filesystem::path& path) {
    const auto marker = DamagedDatabase::withSuffix(path, DamagedDatabase::markerSuffix);
    std::ofstream file(marker, std::ios::trunc);
    file << database_->damage();
    file.close();
    if (!file) {
        return "; it stays in use, and no mark for the next start could be left beside it";
    }
    return "; it stays in use until the next start moves it aside";
}

SQLiteProvider::~SQLiteProvider() {
    commitPending();
    // Replacing the file would hold the exit up for as long as its rows take
    // to copy; the next start does it.
    auto lock = database_->lock();
    if (database_->damageSeen() && !replaceGivenUp_) {
        const auto line = "[Database Module] The database " + database_->path() + " is damaged (" +
                          database_->damage() + ")" + leaveMarker(database_->path());
        lock.unlock();
        Logger::writeLog(MVKLogLevel::error, line);
    }
}

std::uint64_t SQLiteProvider::lostGroups() const {
    return (group_ ? group_->lostGroups() : 0) + replacements_.load();
}

bool SQLiteProvider::commitPending() {
    if (!group_) {
        return true;
    }
    LockedOperation scope(*database_);
    if (auto failure = group_->commit()) {
        LockedOperation::logFailure("", *failure);
        return false;
    }
    return true;
}

// Without WAL every commit costs fsyncs of the journal and the file; with it a
// commit is an append that survives a process kill, and a power loss can only
// take the newest commits. Another process that keeps the file open in
// rollback mode can prevent the switch; the file then works as before.
// Answers the line that says so, for the caller to log outside any lock.
std::optional<std::string> SQLiteProvider::useWriteAheadLog() {
    try {
        Statement switchMode(*database_, "PRAGMA journal_mode=WAL");
        const auto row = switchMode.failableNext();
        if (row && (*row)[0] == std::optional<std::string>("wal")) {
            database_->execute("PRAGMA synchronous=NORMAL");
            keepWriteAheadLogFiles();
            return std::nullopt;
        }
    } catch (const SQLiteError& error) {
        if (DamagedDatabase::isDamage(error.code())) {
            throw;
        }
        return "[Database Module] The database stays in rollback journal mode: " +
               error.description();
    }
    return "[Database Module] The database stays in rollback journal mode";
}

// The last connection to close checkpoints the log; by default it then deletes
// the log and its index, and the next start (the next process, or the next
// core after a destroy) creates both again before its first read, which
// costs about as much as the rest of opening the file. Kept, they are reused; the
// log is cut to nothing once checkpointed, so the next open has no stale
// frames to read through. A kill leaves both behind in any case.
void SQLiteProvider::keepWriteAheadLogFiles() {
    int keep = 1;
    sqlite3_file_control(database_->handle(), "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
    database_->execute("PRAGMA journal_size_limit=0");
}

std::string SQLiteProvider::rawSql(const SelectQuery& query) {
    std::string sql = "SELECT ";
    if (query.projection && !query.projection->empty()) {
        sql += joined(*query.projection, ",", [](const std::string& column) { return column; });
    } else {
        sql += "*";
    }
    sql += " FROM " + query.tableName;
    if (query.join) {
        sql += " JOIN " + *query.join;
    }
    if (query.selection) {
        sql += " WHERE " + *query.selection;
    }
    if (query.groupBy) {
        sql += " GROUP BY " + *query.groupBy;
    }
    if (query.sortOrder) {
        sql += " ORDER BY " + *query.sortOrder;
    }
    if (query.limit) {
        sql += " LIMIT " + std::to_string(*query.limit);
    }
    return sql;
}

std::string SQLiteProvider::insertSql(std::string_view tableName, const ContentValues& content) {
    return "INSERT INTO " + std::string(tableName) + " (" +
           joined(content, ", ", [](const auto& pair) { return pair.first; }) + ") VALUES(" +
           joined(content, ", ", [](const auto&) { return std::string("?"); }) + ")";
}

std::string SQLiteProvider::updateSql(std::string_view tableName, const ContentValues& values,
                                      std::string_view selection) {
    return "UPDATE " + std::string(tableName) + " SET " +
           joined(values, ", ", [](const auto& pair) { return pair.first + "=?"; }) + " WHERE " +
           std::string(selection);
}

std::string SQLiteProvider::deleteSql(std::string_view tableName, std::string_view selection) {
    return "DELETE FROM " + std::string(tableName) + " WHERE " + std::string(selection);
}

std::string SQLiteProvider::clearSql(std::string_view tableName) {
    return "DELETE FROM " + std::string(tableName);
}

template <typename Use>
void SQLiteProvider::withKeptStatement(std::string sql, Use&& use) {
    constexpr std::size_t keptLimit = 32;
    // Taken out while in use: a visitor that runs the same text again gets a
    // statement of its own instead of stepping this one.
    auto kept = keptStatements_.extract(sql);
    std::unique_ptr<Statement> fresh;
    if (kept.empty()) {
        fresh = std::make_unique<Statement>(*database_, sql);
    }
    Statement& statement = kept.empty() ? *fresh : *kept.mapped();
    if (!kept.empty()) {
        // As a fresh statement: parameters the caller leaves out are NULL.
        sqlite3_clear_bindings(statement.handle());
    }
    use(statement);
    // A statement left mid-way would hold its read open against checkpoints
    // and schema changes.
    statement.reset();
    if (!kept.empty()) {
        keptStatements_.insert(std::move(kept));
    } else if (keptStatements_.size() < keptLimit) {
        keptStatements_.emplace(std::move(sql), std::move(fresh));
    }
}

bool SQLiteProvider::queryRows(const SelectQuery& query, const RowVisitor& visitor) {
    // Asked again on a replaced file only when the visitor has seen no row of
    // the damaged one: the caller would keep those beside the new ones.
    bool visited = false;
    return guarded(
        "Error in query: ", false, GroupCommit::Access::read,
        [&] {
            withKeptStatement(rawSql(query), [&](Statement& statement) {
                if (query.selectionArgs) {
                    statement.bind(*query.selectionArgs);
                }
                statement.reset();
                while (auto cursor = statement.failableNext()) {
                    visited = true;
                    visitor(*cursor);
                }
            });
            return true;
        },
        [&] { return !visited; });
}

std::optional<std::int64_t> SQLiteProvider::insert(std::string_view tableName,
                                                   const ContentValues& content) {
    return insertWith(GroupCommit::Access::write, tableName, content);
}

std::optional<std::int64_t> SQLiteProvider::insertGrouped(std::string_view tableName,
                                                          const ContentValues& content) {
    return insertWith(GroupCommit::Access::groupedWrite, tableName, content);
}

namespace {

/// A single statement that failed has changed nothing, and may run again.
bool always() {
    return true;
}

}  // namespace

std::optional<std::int64_t> SQLiteProvider::insertWith(GroupCommit::Access access,
                                                       std::string_view tableName,
                                                       const ContentValues& content) {
    return guarded(
        "Error in inserting: ", std::optional<std::int64_t>{}, access,
        [&] {
            auto sql = insertSql(tableName, content);
            auto cached = insertStatements_.find(sql);
            if (cached == insertStatements_.end()) {
                auto statement = std::make_unique<Statement>(*database_, sql);
                cached = insertStatements_.emplace(std::move(sql), std::move(statement)).first;
            }
            auto& statement = *cached->second;
            try {
                // Reset on return too: an active statement would hold its table
                // against a schema change.
                statement.runBorrowing(valuesOf(content));
            } catch (...) {
                // Prepared afresh next time, so a failure never sticks to the cache.
                insertStatements_.erase(cached);
                throw;
            }
            return std::optional(database_->lastInsertRowId());
        },
        always);
}

std::optional<std::int64_t> SQLiteProvider::update(std::string_view tableName,
                                                   const ContentValues& values,
                                                   std::string_view selection,
                                                   const std::vector<SQLiteValue>& selectionArgs) {
    return guarded(
        "Error in updating: ", std::optional<std::int64_t>{}, GroupCommit::Access::write,
        [&] {
            Statement statement(*database_, updateSql(tableName, values, selection));
            auto arguments = valuesOf(values, selectionArgs.size());
            for (const auto& argument : selectionArgs) {
                arguments.push_back(&argument);
            }
            statement.runBorrowing(arguments);
            return std::optional(database_->changes());
        },
        always);
}

std::optional<std::int64_t> SQLiteProvider::deleteRows(
    std::string_view tableName, std::string_view selection,
    const std::vector<SQLiteValue>& selectionArgs) {
    return guarded(
        "Error in delete: ", std::optional<std::int64_t>{}, GroupCommit::Access::write,
        [&] {
            withKeptStatement(deleteSql(tableName, selection),
                              [&](Statement& statement) { statement.bind(selectionArgs).run(); });
            return std::optional(database_->changes());
        },
        always);
}

bool SQLiteProvider::clear(std::string_view tableName) {
    return guarded(
        "Error in clear: ", false, GroupCommit::Access::write,
        [&] {
            Statement(*database_, clearSql(tableName)).run();
            return true;
        },
        always);
}

bool SQLiteProvider::raw(const std::string& sql) {
    return guarded("Error in raw: ", false, GroupCommit::Access::write, [&] {
        // Raw SQL may change the schema, and a kept `SELECT *` would go on
        // with its old column count.
        keptStatements_.clear();
        database_->execute(sql);
        return true;
    });
}

void SQLiteProvider::onRollback(std::function<void()> undo) {
    auto lock = database_->lock();
    if (transactionDepth_ > 0) {
        rollbackUndos_.push_back(std::move(undo));
    }
}

bool SQLiteProvider::transaction(const std::function<bool()>& body) {
    std::vector<std::function<void()>> undos;
    const bool committed = runTransaction(body, undos);
    if (!committed) {
        for (const auto& undo : undos) {
            undo();
        }
    }
    return committed;
}

// The outermost transaction takes the undos out as it ends, under the lock;
// they run only once its answer is known, since the group's commit comes
// after the body.
bool SQLiteProvider::runTransaction(const std::function<bool()>& body,
                                    std::vector<std::function<void()>>& undos) {
    return guarded("Error in transaction: ", false, GroupCommit::Access::write, [&] {
        if (transactionDepth_ > 0) {
            ++transactionDepth_;
            bool answered = false;
            try {
                answered = body();
            } catch (...) {
                --transactionDepth_;
                throw;
            }
            --transactionDepth_;
            if (answered) {
                return true;
            }
            // Only the outer transaction can undo what this body did.
            failedSinceBegin_ = true;
            return false;
        }
        // Inside a group the body gets a savepoint: its failure must not take
        // the writes of earlier blocks with it. The group is committed as
        // this operation ends, before its true is answered.
        const bool inGroup = group_ && group_->isOpen();
        struct TakeUndos {
            std::vector<std::function<void()>>& from;
            std::vector<std::function<void()>>& to;
            ~TakeUndos() { to = std::exchange(from, {}); }
        } takeUndos{rollbackUndos_, undos};
        database_->execute(inGroup ? "SAVEPOINT unit" : "BEGIN IMMEDIATE");
        failedSinceBegin_ = false;
        const auto undo = [&] {
            // After some failures SQLite has already rolled everything back.
            if (database_->isAutocommit()) {
                return;
            }
            database_->execute(inGroup ? "ROLLBACK TO unit; RELEASE unit" : "ROLLBACK");
        };
        ++transactionDepth_;
        try {
            const bool answered = body();
            --transactionDepth_;
            if (answered && !failedSinceBegin_) {
                database_->execute(inGroup ? "RELEASE unit" : "COMMIT");
                return true;
            }
            if (answered) {
                LockedOperation::logFailure("Error in transaction: ",
                                            "an operation inside it failed; rolled back");
            }
        } catch (...) {
            transactionDepth_ = 0;
            undo();
            throw;
        }
        undo();
        return false;
    });
}

}  // namespace mvk

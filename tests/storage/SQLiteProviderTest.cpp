#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "StorageTestSupport.hpp"
#include "events/EventObject.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"
#include "support/FailingVfs.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using test::LogCapture;

class SQLiteProviderTest : public test::StorageTest {
  protected:
    std::optional<std::int64_t> insertEvent(const std::string& code, std::int64_t userId,
                                            const std::string& json) {
        return provider_.insert("events",
                                {{"code", code}, {"userId", userId}, {"eventJson", json}});
    }

    std::optional<std::vector<EventObject>> read(const SelectQuery& select) {
        return query<EventObject>(provider_, select);
    }
    std::vector<EventObject> events(SelectQuery select = {.tableName = "events"}) {
        return read(select).value();
    }

    /// Raw SQL through a second connection, as another process would write.
    void rawWrite(const std::string& sql) { test::RawDatabase(databasePath()).exec(sql); }

    SQLiteProvider provider_{"app-key"};
};

/// A provider whose write-ahead log lies on a nearly full disk.
class SQLiteProviderRoomTest : public test::StorageTest {
  protected:
    test::FailingVfs vfs_;
    SQLiteProvider provider_{"app-key"};
};

// The log grows with each commit until a checkpoint, which SQLite runs only
// after a commit that succeeded and once the log is long. On a nearly full
// disk it could not grow and nothing cut it back, so every later write failed
// (a sent report was never deleted and went again at each start). A write
// that finds no room now folds the log back into the file and runs once more.
TEST_F(SQLiteProviderRoomTest, AWriteThatFindsNoRoomForTheLogSucceedsOnceTheLogIsFoldedBack) {
    LogCapture log(MVKLogLevel::info);
    constexpr long long pagesOfRoom = 16;
    vfs_.limitLog(pagesOfRoom * 4096);
    // Each commit adds at least a page to the log: many more than it holds.
    constexpr std::int64_t rounds = 4 * pagesOfRoom;
    const std::string text(1000, 'x');
    const std::vector<std::pair<const char*, std::function<bool(std::int64_t)>>> writes = {
        {"an insert",
         [&](std::int64_t n) {
             return provider_.insert("events", {{"code", "ce"}, {"userId", n}, {"eventJson", text}})
                 .has_value();
         }},
        {"an update",
         [&](std::int64_t n) {
             return provider_.update("events", {{"code", "ss"}}, "userId = ?", {n}) == 1;
         }},
        {"a deletion",
         [&](std::int64_t n) { return provider_.deleteRows("events", "userId = ?", {n}) == 1; }},
    };
    for (const auto& [name, write] : writes) {
        SCOPED_TRACE(name);
        const auto failedBefore = vfs_.failed();
        for (std::int64_t n = 0; n < rounds; ++n) {
            ASSERT_TRUE(write(n)) << "write " << n;
        }
        EXPECT_GT(vfs_.failed(), failedBefore);
    }
    EXPECT_EQ(test::RawDatabase(databasePath()).single("SELECT COUNT(*) FROM events"), "0");
    EXPECT_TRUE(log.contains(MVKLogLevel::info,
                             "[Database Module] The disk had no room for a write; the write-ahead "
                             "log was folded back into the file to make some"));
}

TEST(SQLiteProviderSqlTest, TextShapes) {
    struct Case {
        std::string sql, expected;
    };
    const ContentValues three = {{"code", "ss"}, {"userId", 1}, {"eventJson", "{}"}};
    const Case cases[] = {
        {SQLiteProvider::rawSql({.tableName = "events"}), "SELECT * FROM events"},
        {SQLiteProvider::rawSql({.tableName = "events", .projection = std::vector<std::string>{}}),
         "SELECT * FROM events"},
        {SQLiteProvider::rawSql(
             {.tableName = "events", .projection = std::vector<std::string>{"code", "userId"}}),
         "SELECT code,userId FROM events"},
        {SQLiteProvider::rawSql({.tableName = "events", .selection = "userId = ?", .limit = 10}),
         "SELECT * FROM events WHERE userId = ? LIMIT 10"},
        {SQLiteProvider::rawSql({.tableName = "a",
                                 .join = "b ON a.id = b.id",
                                 .selection = "",
                                 .groupBy = "a.id",
                                 .sortOrder = "a.id DESC",
                                 .limit = 0}),
         "SELECT * FROM a JOIN b ON a.id = b.id WHERE  GROUP BY a.id ORDER BY a.id DESC LIMIT 0"},
        {SQLiteProvider::insertSql("events", three),
         "INSERT INTO events (code, userId, eventJson) VALUES(?, ?, ?)"},
        {SQLiteProvider::insertSql("events", {}), "INSERT INTO events () VALUES()"},
        {SQLiteProvider::updateSql("events", three, "id=?"),
         "UPDATE events SET code=?, userId=?, eventJson=? WHERE id=?"},
        {SQLiteProvider::deleteSql("events", "id IN (?, ?)"),
         "DELETE FROM events WHERE id IN (?, ?)"},
        {SQLiteProvider::clearSql("events"), "DELETE FROM events"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.sql, c.expected);
    }
}

TEST_F(SQLiteProviderTest, EventRowsRoundTripAndIdsNeverComeBack) {
    const std::string json = std::string(R"({"code":"ce","name":"a)") + '\0' + R"(b"})";
    auto first = insertEvent("ce", 3, json);
    auto second = insertEvent("ss", 4, "{}");
    ASSERT_TRUE(first && second);
    EXPECT_LT(*first, *second);

    EXPECT_EQ(events(),
              (std::vector<EventObject>{{"ce", *first, 3, json}, {"ss", *second, 4, "{}"}}));

    EXPECT_EQ(provider_.deleteRows("events", "id IN (?)", {*second}), 1);
    EXPECT_GT(insertEvent("al", 4, "{}"), second);
    provider_.clear("events");
    EXPECT_TRUE(events().empty());
    EXPECT_GT(insertEvent("al", 4, "{}"), *second + 1);
}

TEST_F(SQLiteProviderTest, QueryBindsItsArgumentsAndKeepsSQLitesOrder) {
    for (int user : {1, 2, 1, 1}) {
        insertEvent("ce", user, "{}");
    }
    auto rows = events({.tableName = "events",
                        .selection = "userId = ?",
                        .selectionArgs = std::vector<SQLiteValue>{1},
                        .sortOrder = "id DESC",
                        .limit = 2});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].idKey, 4);
    EXPECT_EQ(rows[1].idKey, 3);
}

TEST_F(SQLiteProviderTest, RowsOfOtherColumnTypesAreSkippedAndTheRestRead) {
    insertEvent("ce", 1, "{}");
    rawWrite("INSERT INTO events (code, userId, eventJson) VALUES (NULL, 1, '{}')");
    rawWrite("INSERT INTO events (code, userId, eventJson) VALUES ('ce', 1, NULL)");
    rawWrite("INSERT INTO events (code, userId, eventJson) VALUES ('ce', 'one', '{}')");
    rawWrite("INSERT INTO events (code, userId, eventJson) VALUES ('ce', 1, X'7B7D')");
    insertEvent("ss", 1, "{}");

    auto rows = events();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].code, "ce");
    EXPECT_EQ(rows[1].code, "ss");
}

TEST_F(SQLiteProviderTest, AStepFailingMidwayAnswersNothingAndSaysSo) {
    insertEvent("ce", 1, "{}");
    insertEvent("ce", INT64_MIN, "{}");  // abs() of it overflows on the second row
    LogCapture log(MVKLogLevel::debug);

    // Absent, not the first row: a part of a table must not pass for all of it.
    EXPECT_FALSE(read({.tableName = "events", .selection = "abs(userId) >= 0"}));
    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{
                  "ERROR [Database Module] Error in query: integer overflow (code: 1)"}));
}

TEST_F(SQLiteProviderTest, FailuresAreLoggedAndAnsweredAsFailures) {
    insertEvent("ce", 1, "{}");
    provider_.insert("projects", {{"applicationKey", "k"}});
    LogCapture log(MVKLogLevel::debug);

    EXPECT_FALSE(read({.tableName = "nowhere"}));
    EXPECT_EQ(provider_.insert("events", {}), std::nullopt);
    EXPECT_EQ(provider_.insert("projects", {{"applicationKey", "k"}}), std::nullopt);
    EXPECT_EQ(provider_.update("events", {}, "id=?", {1}), std::nullopt);
    EXPECT_EQ(provider_.update("events", {{"code", "x"}}, "id=? AND userId=?", {1}), std::nullopt);
    EXPECT_EQ(provider_.deleteRows("nowhere", "id=?", {1}), std::nullopt);
    EXPECT_FALSE(provider_.clear("nowhere"));
    EXPECT_FALSE(provider_.raw("DROP TABLE nowhere"));

    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{
                  "ERROR [Database Module] Error in query: no such table: nowhere (code: 1)",
                  "ERROR [Database Module] Error in inserting: near \")\": syntax error (code: 1)",
                  "ERROR [Database Module] Error in inserting: UNIQUE constraint failed: "
                  "projects.applicationKey (code: 19)",
                  "ERROR [Database Module] Error in updating: near \"WHERE\": syntax error (code: "
                  "1)",
                  "ERROR [Database Module] Error in updating: 3 values expected, 2 passed (UPDATE "
                  "events SET code=? WHERE id=? AND userId=?) (code: 25)",
                  "ERROR [Database Module] Error in delete: no such table: nowhere (code: 1)",
                  "ERROR [Database Module] Error in clear: no such table: nowhere (code: 1)",
                  "ERROR [Database Module] Error in raw: no such table: nowhere (code: 1)",
              }));
    EXPECT_EQ(events().size(), 1u);
}

// Inserts reuse their prepared statements: values of one insert must never
// leak into the next, a failed insert must not spoil the following ones, and
// a statement kept between inserts must not block a change of the schema.
TEST_F(SQLiteProviderTest, RepeatedInsertsKeepTheirOwnValuesAcrossFailuresAndSchemaChanges) {
    const auto e1 = insertEvent("ce", 1, R"({"n":1})");
    ASSERT_TRUE(provider_.insert("projects", {{"applicationKey", "k"}}));
    const auto e2 = insertEvent("ss", 2, R"({"n":2})");
    EXPECT_EQ(provider_.insert("projects", {{"applicationKey", "k"}}), std::nullopt);
    const auto e3 = insertEvent("al", 3, "{}");

    ASSERT_TRUE(provider_.raw("ALTER TABLE events ADD COLUMN extra TEXT"));
    const auto e4 = insertEvent("ce", 4, "[]");
    const auto e5 = provider_.insert(
        "events", {{"code", "ce"}, {"userId", 5}, {"eventJson", "{}"}, {"extra", "x"}});
    EXPECT_TRUE(provider_.raw("DROP TABLE projects"));
    EXPECT_EQ(provider_.insert("projects", {{"applicationKey", "k2"}}), std::nullopt);
    EXPECT_TRUE(provider_.raw("CREATE TABLE projects (applicationKey TEXT UNIQUE)"));
    EXPECT_TRUE(provider_.insert("projects", {{"applicationKey", "k2"}}));

    ASSERT_TRUE(e1 && e2 && e3 && e4 && e5);
    EXPECT_EQ(events(), (std::vector<EventObject>{{"ce", *e1, 1, R"({"n":1})"},
                                                  {"ss", *e2, 2, R"({"n":2})"},
                                                  {"al", *e3, 3, "{}"},
                                                  {"ce", *e4, 4, "[]"},
                                                  {"ce", *e5, 5, "{}"}}));
}

// Queries and deletions keep their prepared statements as well: each call
// binds its own arguments, a visitor may run the very same text while the
// outer query is still stepping, and a kept `SELECT *` sees a column added
// after it was prepared.
TEST_F(SQLiteProviderTest, RepeatedQueriesAndDeletionsKeepTheirOwnArguments) {
    for (int user : {1, 2, 2, 3}) {
        insertEvent("ce", user, "{}");
    }
    const auto ofUser = [](std::int64_t user) {
        return SelectQuery{.tableName = "events",
                           .selection = "userId = ?",
                           .selectionArgs = std::vector<SQLiteValue>{user}};
    };
    const struct {
        std::int64_t user;
        std::size_t rows;
    } reads[] = {{2, 2}, {1, 1}, {9, 0}, {2, 2}};
    for (const auto& c : reads) {
        SCOPED_TRACE(c.user);
        EXPECT_EQ(events(ofUser(c.user)).size(), c.rows);
    }

    std::vector<std::size_t> inner;
    std::size_t outer = 0;
    ASSERT_TRUE(provider_.queryRows(ofUser(2), [&](const Cursor&) {
        ++outer;
        inner.push_back(events(ofUser(3)).size());
    }));
    EXPECT_EQ(outer, 2u);
    EXPECT_EQ(inner, (std::vector<std::size_t>{1, 1}));

    const struct {
        std::int64_t user;
        std::int64_t deleted;
    } deletions[] = {{2, 2}, {2, 0}, {1, 1}};
    for (const auto& c : deletions) {
        SCOPED_TRACE(c.user);
        EXPECT_EQ(provider_.deleteRows("events", "userId = ?", {c.user}), c.deleted);
    }

    const auto columns = [&] {
        int count = 0;
        provider_.queryRows({.tableName = "events"},
                            [&](const Cursor& cursor) { count = cursor.columnCount(); });
        return count;
    };
    const int before = columns();
    ASSERT_TRUE(provider_.raw("ALTER TABLE events ADD COLUMN extra TEXT"));
    EXPECT_EQ(columns(), before + 1);
}

TEST_F(SQLiteProviderTest, ChangeCountsWithoutErrors) {
    auto id = insertEvent("ce", 1, "{}");
    insertEvent("ce", 2, "{}");
    LogCapture log(MVKLogLevel::debug);

    EXPECT_EQ(provider_.update("events", {{"code", "ss"}, {"userId", nullptr}}, "id=?", {*id}), 1);
    EXPECT_EQ(provider_.update("events", {{"code", "ss"}}, "id=?", {999}), 0);
    EXPECT_EQ(provider_.deleteRows("events", "id IN ()", {}), 0);
    EXPECT_EQ(provider_.deleteRows("events", "id=?", {999}), 0);
    EXPECT_TRUE(log.messages().empty());

    // The updated row now has a NULL userId, which the event reader refuses.
    EXPECT_EQ(events().size(), 1u);
}

TEST_F(SQLiteProviderTest, TransactionsCommitRollBackAndNest) {
    EXPECT_TRUE(provider_.transaction([&] {
        insertEvent("ce", 1, "{}");
        return provider_.transaction([&] { return insertEvent("ce", 2, "{}").has_value(); });
    }));
    EXPECT_FALSE(provider_.transaction([&] {
        insertEvent("ce", 3, "{}");
        return false;
    }));
    LogCapture log(MVKLogLevel::debug);
    EXPECT_FALSE(provider_.transaction([&]() -> bool {
        insertEvent("ce", 4, "{}");
        throw std::runtime_error("body failed");
    }));

    EXPECT_EQ(
        log.messages(),
        (std::vector<std::string>{"ERROR [Database Module] Error in transaction: body failed"}));
    std::vector<std::int64_t> users;
    for (const auto& event : events()) {
        users.push_back(event.userId);
    }
    EXPECT_EQ(users, (std::vector<std::int64_t>{1, 2}));
}

TEST_F(SQLiteProviderTest, ABodyThatOverlooksAFailedOperationIsRolledBack) {
    struct Case {
        const char* name;
        std::function<void()> failing;
    };
    const Case cases[] = {
        {"query", [&] { read({.tableName = "nowhere"}); }},
        {"insert",
         [&] {
             provider_.insert("nowhere", {{"a", 1}});
         }},
        {"update",
         [&] {
             provider_.update("nowhere", {{"a", 1}}, "id=?", {1});
         }},
        {"delete", [&] { provider_.deleteRows("nowhere", "id=?", {1}); }},
        {"clear", [&] { provider_.clear("nowhere"); }},
        {"raw", [&] { provider_.raw("DROP TABLE nowhere"); }},
        {"joined transaction", [&] { provider_.transaction([] { return false; }); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log(MVKLogLevel::debug);
        EXPECT_FALSE(provider_.transaction([&] {
            insertEvent("ce", 1, "{}");
            c.failing();
            return true;
        }));
        EXPECT_TRUE(events().empty());
        EXPECT_TRUE(log.containsFragment(
            "Error in transaction: an operation inside it failed; rolled back"));
    }
    // The failures belonged to those transactions only.
    EXPECT_TRUE(provider_.transaction([&] { return insertEvent("ce", 2, "{}").has_value(); }));
    EXPECT_EQ(events().size(), 1u);
}

TEST_F(SQLiteProviderTest, FailureLinesReachTheHostOnlyAfterTheLockIsReleased) {
    LogCapture log(MVKLogLevel::debug);
    std::vector<std::optional<std::int64_t>> fromOtherThread;
    // A host closure that waits for another thread's storage call would hang
    // if the line were written while the connection is still locked.
    Logger::setEngineLoggerMessageClosure([&](MVKLogLevel, const std::string&) {
        std::thread([&] { fromOtherThread.push_back(insertEvent("ce", 9, "{}")); }).join();
    });
    read({.tableName = "nowhere"});
    provider_.transaction([&] {
        provider_.insert("nowhere", {{"a", 1}});
        return true;
    });
    Logger::setEngineLoggerMessageClosure(nullptr);

    // The failed query, the failed insert and the rollback it caused.
    ASSERT_EQ(fromOtherThread.size(), 3u);
    for (const auto& id : fromOtherThread) {
        EXPECT_TRUE(id);
    }
}

TEST(SQLiteProviderCreationTest, AFolderThatCannotBeCreatedFailsCreation) {
    test::TempDir dir;
    std::ofstream(dir.path() / "file") << "in the way";
    ApplicationSupportDirectory::setOverride(dir.path() / "file");
    EXPECT_THROW(SQLiteProvider("app-key"), std::filesystem::filesystem_error);
    ApplicationSupportDirectory::setOverride(std::nullopt);
}

// The log stays beside the file once it is closed, so the next open need not
// create it again; it is emptied only after everything in it has reached the
// file, so the file alone holds every committed row.
class SQLiteProviderClosingTest : public test::StorageTest {};

TEST_F(SQLiteProviderClosingTest, ClosingLeavesAnEmptyLogAndEveryRowInTheFile) {
    for (const int rows : {0, 1, 3000}) {
        SCOPED_TRACE(rows);
        std::filesystem::remove_all(folder());
        {
            SQLiteProvider provider("app-key");
            ASSERT_TRUE(provider.transaction([&] {
                for (int n = 0; n < rows; ++n) {
                    if (!provider.insert("events", {{"code", "ce"},
                                                    {"userId", 1},
                                                    {"eventJson", std::string(500, 'x')}})) {
                        return false;
                    }
                }
                return true;
            }));
        }
        const auto log = folder() / "morvanix.db-wal";
        ASSERT_TRUE(std::filesystem::exists(log));
        EXPECT_EQ(std::filesystem::file_size(log), 0u);

        const auto alone = dir_.path() / "alone" / "morvanix.db";
        std::filesystem::create_directories(alone.parent_path());
        std::filesystem::copy_file(databasePath(), alone,
                                   std::filesystem::copy_options::overwrite_existing);
        test::RawDatabase copy(alone);
        EXPECT_EQ(copy.single("SELECT COUNT(*) FROM events"), std::to_string(rows));
        EXPECT_EQ(copy.single("PRAGMA integrity_check"), "ok");

        SQLiteProvider reopened("app-key");
        int seen = 0;
        ASSERT_TRUE(reopened.queryRows({.tableName = "events"}, [&](const Cursor&) { ++seen; }));
        EXPECT_EQ(seen, rows);
    }
}

}  // namespace
}  // namespace mvk

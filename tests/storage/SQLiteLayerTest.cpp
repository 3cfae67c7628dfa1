#include <gtest/gtest.h>
#include <sqlite3.h>

#include "StorageTestSupport.hpp"
#include "storage/Connection.hpp"
#include "storage/EmptyStatementError.hpp"
#include "storage/SQLiteError.hpp"
#include "storage/Statement.hpp"

namespace mvk {
namespace {

class SQLiteLayerTest : public ::testing::Test {
  protected:
    SQLiteLayerTest() : connection_((dir_.path() / "layer.db").string()) {
        connection_.execute("CREATE TABLE t (a, b NOT NULL DEFAULT 0, c)");
    }

    std::vector<std::vector<SQLiteValue>> all(const std::string& sql) {
        Statement statement(connection_, sql);
        std::vector<std::vector<SQLiteValue>> rows;
        while (auto cursor = statement.failableNext()) {
            rows.push_back(cursor->values());
        }
        return rows;
    }

    test::TempDir dir_;
    Connection connection_;
};

TEST(ConnectionTest, OpeningInAMissingFolderFailsWithSQLitesCode) {
    test::TempDir dir;
    try {
        Connection connection((dir.path() / "missing" / "x.db").string());
        FAIL() << "open should fail";
    } catch (const SQLiteError& error) {
        EXPECT_EQ(error.description(), "unable to open database file (code: 14)");
    }
}

// A connection that meets another's lock retries soon (that other write is
// usually short), then every millisecond, and gives up only once its waits add
// up to the busy timeout.
TEST(ConnectionTest, LockWaitsStartShortAndEndAtTheBusyTimeout) {
    const std::pair<int, int> cases[] = {{-1, 0},  {0, 20},   {1, 50},   {2, 100},   {3, 200},
                                         {4, 500}, {5, 1000}, {6, 1000}, {99, 1000}, {6000, 0}};
    for (const auto& [attempt, micros] : cases) {
        EXPECT_EQ(Connection::lockWaitMicros(attempt), micros) << "attempt " << attempt;
    }
    std::int64_t total = 0;
    for (int attempt = 0; Connection::lockWaitMicros(attempt) > 0; ++attempt) {
        total += Connection::lockWaitMicros(attempt);
    }
    EXPECT_GE(total, std::int64_t{Connection::busyTimeoutMillis} * 1000);
    EXPECT_LT(total, std::int64_t{Connection::busyTimeoutMillis} * 1000 + 1000);
}

TEST_F(SQLiteLayerTest, ExecuteRunsEveryStatementWhileAStatementPreparesOnlyTheFirst) {
    connection_.execute("INSERT INTO t (a) VALUES (1); INSERT INTO t (a) VALUES (2);");
    Statement(connection_, "INSERT INTO t (a) VALUES (3); INSERT INTO t (a) VALUES (4);").run();
    EXPECT_EQ(all("SELECT a FROM t"), (std::vector<std::vector<SQLiteValue>>{{1}, {2}, {3}}));
}

TEST_F(SQLiteLayerTest, FailuresDescribeThemselves) {
    struct Case {
        const char* name;
        std::function<void()> action;
        std::string description;
    };
    const Case cases[] = {
        {"exec of a missing table", [&] { connection_.execute("DELETE FROM nowhere"); },
         "no such table: nowhere (code: 1)"},
        {"prepare of bad SQL", [&] { Statement(connection_, "SELEC 1"); },
         "near \"SELEC\": syntax error (code: 1)"},
        {"step breaking a constraint",
         [&] { Statement(connection_, "INSERT INTO t (a, b) VALUES (1, NULL)").run(); },
         "NOT NULL constraint failed: t.b (code: 19)"},
        {"too few values",
         [&] { Statement(connection_, "INSERT INTO t (a, b) VALUES (?, ?)", {1}); },
         "2 values expected, 1 passed (INSERT INTO t (a, b) VALUES (?, ?)) (code: 25)"},
        {"values for a statement without parameters",
         [&] { Statement(connection_, "SELECT 1").bind({1}); },
         "0 values expected, 1 passed (SELECT 1) (code: 25)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.action();
            ADD_FAILURE() << "no error";
        } catch (const SQLiteError& error) {
            EXPECT_EQ(error.description(), c.description);
            EXPECT_STREQ(error.what(), c.description.c_str());
        }
    }
    EXPECT_THROW(Statement(connection_, "  -- only a comment"), EmptyStatementError);
}

TEST_F(SQLiteLayerTest, ValuesComeBackAsTheyWereBound) {
    const std::vector<std::vector<SQLiteValue>> rows = {
        {nullptr, 0, std::string("a\0b", 3)},  // a NUL inside a text is kept
        {std::int64_t{INT64_MIN}, 1.5, "grüße ✓"},
        {true, false, std::optional<std::string>()},
    };
    Statement insert(connection_, "INSERT INTO t (a, b, c) VALUES (?, ?, ?)");
    for (const auto& row : rows) {
        insert.run(row);
    }
    const std::vector<std::vector<SQLiteValue>> expected = {
        {nullptr, 0, std::string("a\0b", 3)},
        {std::int64_t{INT64_MIN}, 1.5, "grüße ✓"},
        {1, 0, nullptr},
    };
    EXPECT_EQ(all("SELECT a, b, c FROM t"), expected);
}

TEST_F(SQLiteLayerTest, BorrowedValuesAreWrittenAsTheyAreAndNeverLeftBound) {
    struct Case {
        const char* name;
        std::vector<SQLiteValue> values;
        bool fails;
        std::vector<std::vector<SQLiteValue>> rows;
    };
    const std::string large(300'000, 'x');
    const Case cases[] = {
        {"texts, a NUL inside one, and numbers",
         {std::string("a\0b", 3), 1.5, large},
         false,
         {{std::string("a\0b", 3), 1.5, large}}},
        // b is NOT NULL: the step fails after the texts were bound.
        {"a failing step", {large, nullptr, "c"}, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connection_.execute("DELETE FROM t");
        Statement insert(connection_, "INSERT INTO t (a, b, c) VALUES (?, ?, ?)");
        std::vector<const SQLiteValue*> borrowed;
        for (const auto& value : c.values) {
            borrowed.push_back(&value);
        }
        if (c.fails) {
            EXPECT_THROW(insert.runBorrowing(borrowed), SQLiteError);
        } else {
            insert.runBorrowing(borrowed);
        }
        EXPECT_EQ(all("SELECT a, b, c FROM t"), c.rows);
        // Nothing may point into the caller's values once the run is over.
        char* expanded = sqlite3_expanded_sql(insert.handle());
        ASSERT_NE(expanded, nullptr);
        EXPECT_STREQ(expanded, "INSERT INTO t (a, b, c) VALUES (NULL, NULL, NULL)");
        sqlite3_free(expanded);
    }
}

TEST_F(SQLiteLayerTest, BindingNothingKeepsEarlierBindings) {
    Statement insert(connection_, "INSERT INTO t (a) VALUES (?)", {7});
    insert.bind({}).run();
    insert.run();
    EXPECT_EQ(all("SELECT a FROM t"), (std::vector<std::vector<SQLiteValue>>{{7}, {7}}));
}

TEST_F(SQLiteLayerTest, ReadersAnswerAbsentForAnyOtherTypeAndForBlobs) {
    connection_.execute("INSERT INTO t (a, b, c) VALUES (5, 'five', X'00FF')");
    connection_.execute("INSERT INTO t (a, b, c) VALUES (NULL, 2.5, 'x')");
    Statement select(connection_, "SELECT a, b, c FROM t");

    auto first = select.failableNext();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->integer(0), 5);
    EXPECT_EQ((*first)[0], std::nullopt);
    EXPECT_EQ(first->text(1), "five");
    EXPECT_EQ(first->integer(1), std::nullopt);
    EXPECT_EQ(first->text(2), std::nullopt);
    EXPECT_EQ(first->value(2), SQLiteValue());
    EXPECT_EQ(first->value(3), SQLiteValue());
    EXPECT_EQ(first->text(-1), std::nullopt);
    EXPECT_EQ(first->values().size(), 3u);

    auto second = select.failableNext();
    ASSERT_TRUE(second);
    EXPECT_EQ((*second)[0], std::nullopt);
    EXPECT_EQ(second->value(0), SQLiteValue());
    EXPECT_EQ(second->real(1), 2.5);
    EXPECT_FALSE(select.failableNext());
}

}  // namespace
}  // namespace mvk

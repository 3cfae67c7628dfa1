#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <set>

#include "StorageTestSupport.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/SQLiteError.hpp"
#include "storage/SQLiteProvider.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using test::LogCapture;
using test::RawDatabase;

// The tables as SQLite keeps them: "IF NOT EXISTS" and the final ";" dropped,
// and the upgrade's column spliced in before the last ")". A line that ends in
// a blank is written here with a trailing '·' so editors cannot strip it.
const std::map<std::string, std::string> kStoredTables = {
    {"projects", R"(CREATE TABLE projects (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    applicationKey TEXT NOT NULL UNIQUE,
    activeUserId INTEGER,
    trackingAvailable INTEGER,
    applicationBundle TEXT,
    applicationVersion TEXT,
    applicationBuildVersion TEXT,
    configuration TEXT DEFAULT '{}' NOT NULL,
    isReferralSent INTEGER,
    savedTime INTEGER,
    categoriesVersion INTEGER,
    isMigrated INTEGER DEFAULT 0 NOT NULL
))"},
    {"users", R"(CREATE TABLE users (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    projectId INTEGER NOT NULL CONSTRAINT users_projects_id_fk REFERENCES projects(id),
    level INTEGER DEFAULT 1 NOT NULL,
    sessionId INTEGER,
    userId TEXT,
    previousUserId TEXT,
    lastForegroundTime INTEGER,
    lastBackgroundTime INTEGER,
    isDefaultUser INTEGER,
    isResourceAggregationEnable INTEGER,·
UNIQUE(projectId, userId)))"},
    {"events", R"(CREATE TABLE events (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    code TEXT,
    userId INTEGER CONSTRAINT events_users_id_fk REFERENCES users(id),
    eventJson TEXT
))"},
    {"reports", R"(CREATE TABLE reports (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    userId INTEGER CONSTRAINT reports_users_id_fk REFERENCES users(id),
    packagesJson TEXT,
    uuid TEXT DEFAULT '{}' NOT NULL
))"},
    {"levelResource", R"(CREATE TABLE levelResource (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    userId INTEGER CONSTRAINT levelResource_users_id_fk REFERENCES users(id),
    type INTEGER NOT NULL,
    name TEXT,
    amount INTEGER NOT NULL
))"},
    {"currencyAccrualResources", R"(CREATE TABLE currencyAccrualResources (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    userId INTEGER CONSTRAINT currencyAccrualResources_users_id_fk REFERENCES users(id),
    type INTEGER NOT NULL,
    name TEXT,
    amount INTEGER NOT NULL,
    source TEXT,
    timestamp INTEGER NOT NULL
))"},
    {"deviceIdentifiers", R"(CREATE TABLE deviceIdentifiers (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,·
    projectId INTEGER NOT NULL CONSTRAINT identifiers_projects_id_fk REFERENCES projects(id),
    deviceIdentifier TEXT,
    previousDeviceIdentifier TEXT,
    morvanixId INTEGER,
    crossPlatformMorvanixId INTEGER,
    uuid TEXT
, morvanixIdTimestamp INTEGER))"},
    {"realPaymentMarks", R"(CREATE TABLE realPaymentMarks (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    projectId INTEGER CONSTRAINT realPaymentMarks_projects_id_fk REFERENCES  projects(id),
    orderId TEXT
))"},
    {"tutorialMarkEntry", R"(CREATE TABLE tutorialMarkEntry (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    userId INTEGER CONSTRAINTtutorialMarkEntry_users_id_fk REFERENCES  users(id),
    step INTEGER
))"},
    {"peopleCards", R"(CREATE TABLE peopleCards (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    userId INTEGER CONSTRAINT peopleCardEntry_users_id_fk REFERENCES  users(id),
    json TEXT,
    updated INTEGER DEFAULT 0 NOT NULL,
    cleared INTEGER DEFAULT 0 NOT NULL,
    changedKeys TEXT
))"},
    {"messagingCategory", R"(CREATE TABLE messagingCategory (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,·
    identifier TEXT,
    buttons TEXT))"},
    {"sdkTools", R"(CREATE TABLE sdkTools (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,·
    metadata TEXT DEFAULT '[]'))"},
    {"subscriptions", R"(CREATE TABLE subscriptions (
    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,·
    projectId INTEGER NOT NULL CONSTRAINT subscriptions_projects_id_fk REFERENCES projects(id),·
    products TEXT DEFAULT '[]',·
    restoredTransaction TEXT DEFAULT '[]',·
    alreadyRestored INTEGER DEFAULT 0 NOT NULL,·
    productIsChanged INTEGER DEFAULT 0 NOT NULL,·
    alreadySendRestoreEvent INTEGER DEFAULT 0 NOT NULL
))"},
    {"abTestProject", R"(CREATE TABLE abTestProject (
   id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,·
   projectId INTEGER NOT NULL CONSTRAINT abTests_id_fk REFERENCES projects (id),·
   version INTEGER DEFAULT 0 NOT NULL,·
   userProperties TEXT))"},
    {"abtestExperiments", R"(CREATE TABLE abtestExperiments (
   id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,·
   projectId INTEGER NOT NULL CONSTRAINT abtest_experiments_state_id_fk REFERENCES projects (id),·
   experimentId INTEGER,
   creationDate INTEGER,·
   updateDate INTEGER,·
   completionDate INTEGER,·
   isTesting INTEGER DEFAULT 0 NOT NULL,·
   parameters TEXT,·
   conditions TEXT·
))"},
    {"abTestExperimentsState", R"(CREATE TABLE abTestExperimentsState (
   id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,·
   userId INTEGER NOT NULL CONSTRAINT experimentsStateEntry_users_id_fk REFERENCES users (id),·
   experimentId INTEGER NOT NULL CONSTRAINT experimentsStateEntry_exp_id_fk REFERENCES abTestExperimentsState (id),·
   runAbility INTEGER,
   involvement TEXT·
))"},
};

std::string withBlanks(std::string text) {
    const std::string marker = "·\n";
    for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
        text.replace(at, marker.size(), " \n");
    }
    return text;
}

std::map<std::string, std::string> storedTables(RawDatabase& database) {
    std::map<std::string, std::string> tables;
    for (const auto& row :
         database.rows("SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name != "
                       "'sqlite_sequence'")) {
        tables[row[0]] = row[1];
    }
    return tables;
}

std::set<std::string> tableNames(RawDatabase& database) {
    std::set<std::string> names;
    for (const auto& [name, sql] : storedTables(database)) {
        names.insert(name);
    }
    return names;
}

// Writes the groups up to `lastGroup` with a plain handle, as an older build did.
void writeGroups(RawDatabase& database, std::size_t lastGroup, int version) {
    for (std::size_t group = 0; group <= lastGroup; ++group) {
        for (auto statement : SQLiteContracts::map()[group]) {
            database.exec(std::string(statement));
        }
    }
    database.exec("PRAGMA user_version = " + std::to_string(version));
}

class SchemaTest : public test::StorageTest {};

TEST_F(SchemaTest, FirstStartCreatesThePrivateFolderAndTheExactSchema) {
    LogCapture log(MVKLogLevel::debug);
    SQLiteProvider provider("app-key");

    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{
                  "DEBUG [Database Module] It's a clean launch of the SDK",
                  "DEBUG [Database Module] Successfully opened connection to database at " +
                      databasePath().string(),
              }));
    struct stat info {};
    ASSERT_EQ(stat(folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    RawDatabase database(databasePath());
    std::map<std::string, std::string> expected;
    for (const auto& [name, sql] : kStoredTables) {
        expected[name] = withBlanks(sql);
    }
    EXPECT_EQ(storedTables(database), expected);
    EXPECT_EQ(database.single("PRAGMA user_version"), "2");
    EXPECT_EQ(
        database.single("SELECT group_concat(name) FROM pragma_table_info('deviceIdentifiers')"),
        "id,projectId,deviceIdentifier,previousDeviceIdentifier,morvanixId,"
        "crossPlatformMorvanixId,uuid,morvanixIdTimestamp");
}

TEST_F(SchemaTest, SecondStartReadsOnlyAndWritesNothing) {
    { SQLiteProvider first("app-key"); }
    const std::string before = test::fileBytes(databasePath());

    LogCapture log(MVKLogLevel::debug);
    SQLiteProvider second("app-key");

    EXPECT_TRUE(log.contains(MVKLogLevel::debug, "[Database Module] Trying to load database"));
    EXPECT_FALSE(
        log.contains(MVKLogLevel::debug, "[Database Module] It's a clean launch of the SDK"));
    // The whole file, its change counter (bytes 24 to 27) included.
    EXPECT_EQ(test::fileBytes(databasePath()), before);
}

TEST_F(SchemaTest, VersionOneGainsExactlyTheThreeABTablesAndKeepsRows) {
    std::set<std::string> before;
    {
        RawDatabase database(databasePath());
        writeGroups(database, 1, 1);
        database.exec("INSERT INTO events (code, userId, eventJson) VALUES ('ss', 1, '{}')");
        before = tableNames(database);
    }

    SQLiteProvider provider("app-key");

    RawDatabase database(databasePath());
    std::set<std::string> added;
    for (const auto& name : tableNames(database)) {
        if (!before.count(name)) {
            added.insert(name);
        }
    }
    EXPECT_EQ(added, (std::set<std::string>{"abTestProject", "abtestExperiments",
                                            "abTestExperimentsState"}));
    EXPECT_EQ(database.single("PRAGMA user_version"), "2");
    EXPECT_EQ(database.single("SELECT count(*) FROM events"), "1");
}

struct StartCase {
    const char* name;
    std::size_t lastGroup;
    int version;
};

TEST_F(SchemaTest, FilesBelowTheCurrentVersionReachItWhateverTheyHold) {
    // A file whose upgrade stopped after the ALTER but before user_version was
    // written; a file with only group 0 at version 0; an impossible negative version.
    const StartCase cases[] = {
        {"half-upgraded", 1, 0},
        {"group 0 only", 0, 0},
        {"negative version", 1, -3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder());
        {
            RawDatabase database(databasePath());
            writeGroups(database, c.lastGroup, c.version);
        }

        SQLiteProvider provider("app-key");

        RawDatabase database(databasePath());
        EXPECT_EQ(storedTables(database).size(), kStoredTables.size());
        EXPECT_EQ(database.single("PRAGMA user_version"), "2");
        EXPECT_EQ(database.single("SELECT count(*) FROM pragma_table_info('deviceIdentifiers') "
                                  "WHERE name = 'morvanixIdTimestamp'"),
                  "1");
    }
}

TEST_F(SchemaTest, FileOfALaterSchemaStaysByteIdentical) {
    {
        RawDatabase database(databasePath());
        writeGroups(database, 2, 2);
        database.exec("CREATE TABLE futureTable (id INTEGER)");
        database.exec("PRAGMA user_version = 7");
    }
    const std::string before = test::fileBytes(databasePath());
    LogCapture log(MVKLogLevel::debug);

    SQLiteProvider provider("app-key");

    EXPECT_EQ(test::fileBytes(databasePath()), before);
    EXPECT_TRUE(log.contains(MVKLogLevel::warning,
                             "[Database Module] The database has schema version 7, newer than "
                             "version 2; it is used as it is"));
}

// The file is not ours then: it goes aside as it was found, and a fresh one
// takes its place.
TEST_F(SchemaTest, UpgradeThatFailsHalfWayLeavesTheFileAsItWas) {
    {
        RawDatabase database(databasePath());
        writeGroups(database, 0, 0);
        // An index takes the name of a group-2 table, so its CREATE fails after
        // group 1 has already run inside the transaction.
        database.exec("CREATE INDEX abTestProject ON events (code)");
    }
    LogCapture log(MVKLogLevel::error);

    { SQLiteProvider provider("app-key"); }

    EXPECT_TRUE(log.containsFragment(
        "does not fit this library (the upgrade can't be applied: there is already an index "
        "named abTestProject (code: 1))"));
    RawDatabase aside(folder() / "morvanix.db.corrupt");
    EXPECT_EQ(aside.single("PRAGMA user_version"), "0");
    EXPECT_FALSE(tableNames(aside).count("subscriptions"));
    EXPECT_EQ(aside.single("SELECT count(*) FROM pragma_table_info('deviceIdentifiers') "
                           "WHERE name = 'morvanixIdTimestamp'"),
              "0");
    EXPECT_EQ(RawDatabase(databasePath()).single("PRAGMA user_version"), "2");
}

// A damaged file goes aside in place of the one moved aside before, whose
// journal must not pass for this file's, and a fresh file is made; where the
// aside name cannot be taken, creation fails and the file stays as it was.
TEST_F(SchemaTest, ANonDatabaseFileIsMovedAsideUnlessItCannotBe) {
    struct Case {
        const char* name;
        bool asideBlocked;
    };
    for (const auto& [name, asideBlocked] :
         {Case{"aside name free", false}, Case{"aside name is a full folder", true}}) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(folder());
        std::filesystem::create_directories(folder());
        const auto aside = folder() / "morvanix.db.corrupt";
        const std::string garbage(4096, 'x');
        std::ofstream(databasePath(), std::ios::binary) << garbage;
        if (asideBlocked) {
            std::filesystem::create_directories(aside / "taken");
        } else {
            std::ofstream(aside, std::ios::binary) << "older damaged file";
            std::ofstream(folder() / "morvanix.db.corrupt-journal") << "older journal";
        }

        LogCapture log(MVKLogLevel::error);
        if (asideBlocked) {
            EXPECT_THROW(SQLiteProvider("app-key"), std::filesystem::filesystem_error);
            EXPECT_EQ(test::fileBytes(databasePath()), garbage);
            continue;
        }
        { SQLiteProvider provider("app-key"); }

        EXPECT_EQ(test::fileBytes(aside), garbage);
        EXPECT_FALSE(std::filesystem::exists(folder() / "morvanix.db.corrupt-journal"));
        EXPECT_EQ(RawDatabase(databasePath()).single("PRAGMA user_version"), "2");
        const auto messages = log.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("ERROR [Database Module] The database " +
                                   databasePath().string() + " is damaged"),
                  std::string::npos)
            << messages[0];
        EXPECT_NE(messages[0].find("moved to " + aside.string()), std::string::npos) << messages[0];
    }
}

}  // namespace
}  // namespace mvk

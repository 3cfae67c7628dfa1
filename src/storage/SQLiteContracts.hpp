#pragma once

#include <string_view>
#include <vector>

namespace mvk {

/// The database's schema: table and column names, the exact statement texts
/// (SQLite keeps them in the file, blanks and odd constraint names included),
/// and the groups in which they are applied. "PRAGMA user_version" holds the
/// index of the last group applied.
class SQLiteContracts {
  public:
    SQLiteContracts() = delete;

    struct BaseEntry {
        static constexpr std::string_view id = "id";
    };

    struct ProjectEntry : BaseEntry {
        static constexpr std::string_view tableName = "projects";
        static constexpr std::string_view applicationKey = "applicationKey";
        static constexpr std::string_view activeUserId = "activeUserId";
        static constexpr std::string_view trackingAvailable = "trackingAvailable";
        static constexpr std::string_view applicationBundle = "applicationBundle";
        static constexpr std::string_view applicationVersion = "applicationVersion";
        static constexpr std::string_view applicationBuildVersion = "applicationBuildVersion";
        static constexpr std::string_view configuration = "configuration";
        static constexpr std::string_view isReferralSent = "isReferralSent";
        static constexpr std::string_view savedTime = "savedTime";
        static constexpr std::string_view categoriesVersion = "categoriesVersion";
        static constexpr std::string_view isMigrated = "isMigrated";
    };

    struct UserEntry : BaseEntry {
        static constexpr std::string_view tableName = "users";
        static constexpr std::string_view projectId = "projectId";
        static constexpr std::string_view level = "level";
        static constexpr std::string_view sessionId = "sessionId";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view previousUserId = "previousUserId";
        static constexpr std::string_view lastForegroundTime = "lastForegroundTime";
        static constexpr std::string_view lastBackgroundTime = "lastBackgroundTime";
        static constexpr std::string_view isDefaultUser = "isDefaultUser";
        static constexpr std::string_view isResourceAggregationEnable =
            "isResourceAggregationEnable";
    };

    struct EventEntry : BaseEntry {
        static constexpr std::string_view tableName = "events";
        static constexpr std::string_view code = "code";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view eventJson = "eventJson";
    };

    struct ReportEntry : BaseEntry {
        static constexpr std::string_view tableName = "reports";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view packagesJson = "packagesJson";
        static constexpr std::string_view uuid = "uuid";
    };

    struct LevelResourceEntry : BaseEntry {
        static constexpr std::string_view tableName = "levelResource";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view type = "type";
        static constexpr std::string_view name = "name";
        static constexpr std::string_view amount = "amount";
    };

    struct CurrencyAccrualResourcesEntry : BaseEntry {
        static constexpr std::string_view tableName = "currencyAccrualResources";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view type = "type";
        static constexpr std::string_view name = "name";
        static constexpr std::string_view amount = "amount";
        static constexpr std::string_view source = "source";
        static constexpr std::string_view timestamp = "timestamp";
    };

    struct DeviceIdentifiersEntry : BaseEntry {
        static constexpr std::string_view tableName = "deviceIdentifiers";
        static constexpr std::string_view projectId = "projectId";
        static constexpr std::string_view deviceIdentifier = "deviceIdentifier";
        static constexpr std::string_view previousDeviceIdentifier = "previousDeviceIdentifier";
        static constexpr std::string_view morvanixId = "morvanixId";
        static constexpr std::string_view crossPlatformMorvanixId = "crossPlatformMorvanixId";
        static constexpr std::string_view uuid = "uuid";
        static constexpr std::string_view morvanixIdTimestamp = "morvanixIdTimestamp";
    };

    struct RealPaymentMarkEntry : BaseEntry {
        static constexpr std::string_view tableName = "realPaymentMarks";
        static constexpr std::string_view projectId = "projectId";
        static constexpr std::string_view orderId = "orderId";
    };

    struct TutorialMarkEntry : BaseEntry {
        static constexpr std::string_view tableName = "tutorialMarkEntry";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view step = "step";
    };

    struct PeopleCardEntry : BaseEntry {
        static constexpr std::string_view tableName = "peopleCards";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view json = "json";
        static constexpr std::string_view updated = "updated";
        static constexpr std::string_view cleared = "cleared";
        static constexpr std::string_view changedKeys = "changedKeys";
    };

    struct MessagingCategoryEntry : BaseEntry {
        static constexpr std::string_view tableName = "messagingCategory";
        static constexpr std::string_view identifier = "identifier";
        static constexpr std::string_view buttons = "buttons";
    };

    struct SdkToolsEntry : BaseEntry {
        static constexpr std::string_view tableName = "sdkTools";
        static constexpr std::string_view metadata = "metadata";
    };

    struct SubscriptionEntry : BaseEntry {
        static constexpr std::string_view tableName = "subscriptions";
        static constexpr std::string_view projectId = "projectId";
        static constexpr std::string_view products = "products";
        static constexpr std::string_view restoredTransaction = "restoredTransaction";
        static constexpr std::string_view alreadyRestored = "alreadyRestored";
        static constexpr std::string_view productIsChanged = "productIsChanged";
        static constexpr std::string_view alreadySendRestoreEvent = "alreadySendRestoreEvent";
    };

    struct ABTestProjectEntry : BaseEntry {
        static constexpr std::string_view tableName = "abTestProject";
        static constexpr std::string_view projectId = "projectId";
        static constexpr std::string_view version = "version";
        static constexpr std::string_view userProperties = "userProperties";
    };

    struct ABTestExperimentsEntry : BaseEntry {
        static constexpr std::string_view tableName = "abtestExperiments";
        static constexpr std::string_view projectId = "projectId";
        static constexpr std::string_view experimentId = "experimentId";
        static constexpr std::string_view creationDate = "creationDate";
        static constexpr std::string_view updateDate = "updateDate";
        static constexpr std::string_view completionDate = "completionDate";
        static constexpr std::string_view isTesting = "isTesting";
        static constexpr std::string_view parameters = "parameters";
        static constexpr std::string_view conditions = "conditions";
    };

    struct ABTestExperimentsStateEntry : BaseEntry {
        static constexpr std::string_view tableName = "abTestExperimentsState";
        static constexpr std::string_view userId = "userId";
        static constexpr std::string_view experimentId = "experimentId";
        static constexpr std::string_view runAbility = "runAbility";
        static constexpr std::string_view involvement = "involvement";
    };

    static constexpr std::string_view createTableProjects =
        "CREATE TABLE IF NOT EXISTS projects (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    applicationKey TEXT NOT NULL UNIQUE,\n"
        "    activeUserId INTEGER,\n"
        "    trackingAvailable INTEGER,\n"
        "    applicationBundle TEXT,\n"
        "    applicationVersion TEXT,\n"
        "    applicationBuildVersion TEXT,\n"
        "    configuration TEXT DEFAULT '{}' NOT NULL,\n"
        "    isReferralSent INTEGER,\n"
        "    savedTime INTEGER,\n"
        "    categoriesVersion INTEGER,\n"
        "    isMigrated INTEGER DEFAULT 0 NOT NULL\n"
        ");";

    static constexpr std::string_view createTableUsers =
        "CREATE TABLE IF NOT EXISTS users (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    projectId INTEGER NOT NULL CONSTRAINT users_projects_id_fk REFERENCES projects(id),\n"
        "    level INTEGER DEFAULT 1 NOT NULL,\n"
        "    sessionId INTEGER,\n"
        "    userId TEXT,\n"
        "    previousUserId TEXT,\n"
        "    lastForegroundTime INTEGER,\n"
        "    lastBackgroundTime INTEGER,\n"
        "    isDefaultUser INTEGER,\n"
        "    isResourceAggregationEnable INTEGER, \n"
        "UNIQUE(projectId, userId));";

    static constexpr std::string_view createTableEvents =
        "CREATE TABLE IF NOT EXISTS events (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    code TEXT,\n"
        "    userId INTEGER CONSTRAINT events_users_id_fk REFERENCES users(id),\n"
        "    eventJson TEXT\n"
        ");";

    static constexpr std::string_view createTableReports =
        "CREATE TABLE IF NOT EXISTS reports (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    userId INTEGER CONSTRAINT reports_users_id_fk REFERENCES users(id),\n"
        "    packagesJson TEXT,\n"
        "    uuid TEXT DEFAULT '{}' NOT NULL\n"
        ");";

    static constexpr std::string_view createTableLevelResources =
        "CREATE TABLE IF NOT EXISTS levelResource (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    userId INTEGER CONSTRAINT levelResource_users_id_fk REFERENCES users(id),\n"
        "    type INTEGER NOT NULL,\n"
        "    name TEXT,\n"
        "    amount INTEGER NOT NULL\n"
        ");";

    static constexpr std::string_view createTableCurrencyAccrualResources =
        "CREATE TABLE IF NOT EXISTS currencyAccrualResources (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    userId INTEGER CONSTRAINT currencyAccrualResources_users_id_fk REFERENCES users(id),\n"
        "    type INTEGER NOT NULL,\n"
        "    name TEXT,\n"
        "    amount INTEGER NOT NULL,\n"
        "    source TEXT,\n"
        "    timestamp INTEGER NOT NULL\n"
        ");";

    static constexpr std::string_view createTableDeviceIdentifiers =
        "CREATE TABLE IF NOT EXISTS deviceIdentifiers (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, \n"
        "    projectId INTEGER NOT NULL CONSTRAINT identifiers_projects_id_fk REFERENCES "
        "projects(id),\n"
        "    deviceIdentifier TEXT,\n"
        "    previousDeviceIdentifier TEXT,\n"
        "    morvanixId INTEGER,\n"
        "    crossPlatformMorvanixId INTEGER,\n"
        "    uuid TEXT\n"
        ");";

    static constexpr std::string_view createTableRealPaymentMarks =
        "CREATE TABLE IF NOT EXISTS realPaymentMarks (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    projectId INTEGER CONSTRAINT realPaymentMarks_projects_id_fk REFERENCES  "
        "projects(id),\n"
        "    orderId TEXT\n"
        ");";

    static constexpr std::string_view createTableTutorialMarks =
        "CREATE TABLE IF NOT EXISTS tutorialMarkEntry (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    userId INTEGER CONSTRAINTtutorialMarkEntry_users_id_fk REFERENCES  users(id),\n"
        "    step INTEGER\n"
        ");";

    static constexpr std::string_view createPeopleCardEntry =
        "CREATE TABLE IF NOT EXISTS peopleCards (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,\n"
        "    userId INTEGER CONSTRAINT peopleCardEntry_users_id_fk REFERENCES  users(id),\n"
        "    json TEXT,\n"
        "    updated INTEGER DEFAULT 0 NOT NULL,\n"
        "    cleared INTEGER DEFAULT 0 NOT NULL,\n"
        "    changedKeys TEXT\n"
        ");";

    static constexpr std::string_view createTableMessagingCategory =
        "CREATE TABLE IF NOT EXISTS messagingCategory (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, \n"
        "    identifier TEXT,\n"
        "    buttons TEXT);";

    static constexpr std::string_view createTableSdkTools =
        "CREATE TABLE IF NOT EXISTS sdkTools (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, \n"
        "    metadata TEXT DEFAULT '[]');";

    static constexpr std::string_view createTableSubscriptions =
        "CREATE TABLE IF NOT EXISTS subscriptions (\n"
        "    id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, \n"
        "    projectId INTEGER NOT NULL CONSTRAINT subscriptions_projects_id_fk REFERENCES "
        "projects(id), \n"
        "    products TEXT DEFAULT '[]', \n"
        "    restoredTransaction TEXT DEFAULT '[]', \n"
        "    alreadyRestored INTEGER DEFAULT 0 NOT NULL, \n"
        "    productIsChanged INTEGER DEFAULT 0 NOT NULL, \n"
        "    alreadySendRestoreEvent INTEGER DEFAULT 0 NOT NULL\n"
        ");";

    static constexpr std::string_view updateTableDeviceIdentifiers =
        "ALTER TABLE deviceIdentifiers ADD COLUMN morvanixIdTimestamp INTEGER;";

    static constexpr std::string_view createTableABTestsProject =
        "CREATE TABLE IF NOT EXISTS abTestProject (\n"
        "   id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, \n"
        "   projectId INTEGER NOT NULL CONSTRAINT abTests_id_fk REFERENCES projects (id), \n"
        "   version INTEGER DEFAULT 0 NOT NULL, \n"
        "   userProperties TEXT);";

    static constexpr std::string_view createTableABTestExperiments =
        "CREATE TABLE IF NOT EXISTS abtestExperiments (\n"
        "   id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, \n"
        "   projectId INTEGER NOT NULL CONSTRAINT abtest_experiments_state_id_fk REFERENCES "
        "projects (id), \n"
        "   experimentId INTEGER,\n"
        "   creationDate INTEGER, \n"
        "   updateDate INTEGER, \n"
        "   completionDate INTEGER, \n"
        "   isTesting INTEGER DEFAULT 0 NOT NULL, \n"
        "   parameters TEXT, \n"
        "   conditions TEXT \n"
        ");";

    static constexpr std::string_view createTableABTestExperimentsState =
        "CREATE TABLE IF NOT EXISTS abTestExperimentsState (\n"
        "   id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, \n"
        "   userId INTEGER NOT NULL CONSTRAINT experimentsStateEntry_users_id_fk REFERENCES users "
        "(id), \n"
        "   experimentId INTEGER NOT NULL CONSTRAINT experimentsStateEntry_exp_id_fk REFERENCES "
        "abTestExperimentsState (id), \n"
        "   runAbility INTEGER,\n"
        "   involvement TEXT \n"
        ");";

    /// The schema groups in the order they are applied; a group's index is the
    /// user_version written once it has run.
    static const std::vector<std::vector<std::string_view>>& map();
};

}  // namespace mvk

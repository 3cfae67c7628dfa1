#include "StateHarness.hpp"

#include "platform/ApplicationSupportDirectory.hpp"
#include "state/CoreManager.hpp"
#include "state/DeviceManager.hpp"
#include "state/SDKMigrationManager.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"

namespace mvk::test {

bool CountingDatabase::queryRows(const SelectQuery& query, const RowVisitor& visitor) {
    ++queries;
    return inner_->queryRows(query, visitor);
}

std::optional<std::int64_t> CountingDatabase::insert(std::string_view tableName,
                                                     const ContentValues& content) {
    if (failInsertsInto.contains(tableName)) {
        return std::nullopt;
    }
    ++writes;
    return inner_->insert(tableName, content);
}

std::optional<std::int64_t> CountingDatabase::insertGrouped(std::string_view tableName,
                                                            const ContentValues& content) {
    if (failInsertsInto.contains(tableName)) {
        return std::nullopt;
    }
    ++writes;
    return inner_->insertGrouped(tableName, content);
}

std::optional<std::int64_t> CountingDatabase::update(
    std::string_view tableName, const ContentValues& values, std::string_view selection,
    const std::vector<SQLiteValue>& selectionArgs) {
    ++writes;
    return inner_->update(tableName, values, selection, selectionArgs);
}

std::optional<std::int64_t> CountingDatabase::deleteRows(
    std::string_view tableName, std::string_view selection,
    const std::vector<SQLiteValue>& selectionArgs) {
    ++writes;
    return inner_->deleteRows(tableName, selection, selectionArgs);
}

bool CountingDatabase::clear(std::string_view tableName) {
    ++writes;
    return inner_->clear(tableName);
}

bool CountingDatabase::raw(const std::string& sql) {
    return inner_->raw(sql);
}

bool CountingDatabase::transaction(const std::function<bool()>& body) {
    return inner_->transaction(body);
}

void RecordingMigration::migrateUserData(const std::shared_ptr<Project>& project) {
    const auto& factory = harness.factory;
    ++calls;
    projectIdSeen = project->idKey;
    activeUserSeen = project->activeUserId;
    deviceRowsSeen = factory->identifiersRepository()->list().value().size();
    userRowsSeen = factory->userRepository()->list().value().size();
    if (importedUserId) {
        auto user = std::make_shared<User>(project->idKey, importedUserId, false);
        user->level = 7;
        factory->userRepository()->insert(user);
        project->activeUserId = user->idKey;
        project->isMigrated = true;
        factory->projectRepository()->update(project);
    }
}

StateHarness::StateHarness() {
    ApplicationSupportDirectory::setOverride(dir_.path());
}

StateHarness::~StateHarness() {
    ApplicationSupportDirectory::setOverride(std::nullopt);
}

void StateHarness::open() {
    auto faults =
        std::make_shared<FaultyDatabase>(std::make_shared<SQLiteProvider>(applicationKey));
    if (faultsPerLaunch) {
        faultsPerLaunch(*faults);
    }
    database = std::make_shared<CountingDatabase>(std::move(faults));
    database->failInsertsInto = failInsertsInto;
    factory = std::make_shared<CoreFactory>(nullptr, nullptr, platform, database);
}

std::shared_ptr<StateManager> StateHarness::start(
    const std::optional<std::string>& userId, bool userCounting,
    std::shared_ptr<SDKMigrationManagerProtocol> migration) {
    open();
    if (auto project = factory->projectRepository()->get(applicationKey).value_or(nullptr)) {
        project->configuration.userCounting = userCounting;
        factory->projectRepository()->update(project);
    }
    database->writes = 0;
    auto deviceManager = std::make_shared<DeviceManager>(factory->identifiersRepository(),
                                                         factory->toolsRepository(), platform);
    auto coreManager = std::make_shared<CoreManager>(applicationKey, factory->projectRepository(),
                                                     factory->userRepository());
    if (!migration && useLegacyImport) {
        migration = std::make_shared<SDKMigrationManager>(
            MigrationRepositories{factory->database(), factory->projectRepository(),
                                  factory->userRepository(), factory->peopleRepository(),
                                  factory->realPaymentRepository(), factory->tutorialRepository()},
            applicationKey);
    }
    return StateManager::make(deviceManager, coreManager, std::move(migration), userId,
                              [this] { return editorMode; });
}

namespace {

template <class Row>
std::vector<Row> readTable(std::string_view table) {
    SQLiteProvider provider(StateHarness::applicationKey);
    return query<Row>(provider, {.tableName = std::string(table)}).value();
}

}  // namespace

std::vector<User> StateHarness::storedUsers() const {
    return readTable<User>(SQLiteContracts::UserEntry::tableName);
}

std::vector<Project> StateHarness::storedProjects() const {
    return readTable<Project>(SQLiteContracts::ProjectEntry::tableName);
}

std::vector<DeviceIdentifiers> StateHarness::storedDeviceRows() const {
    return readTable<DeviceIdentifiers>(SQLiteContracts::DeviceIdentifiersEntry::tableName);
}

std::vector<SdkTools> StateHarness::storedTools() const {
    return readTable<SdkTools>(SQLiteContracts::SdkToolsEntry::tableName);
}

void StateHarness::storeBackendIdentifiers(std::int64_t morvanixId) {
    SQLiteProvider provider(applicationKey);
    provider.update(SQLiteContracts::DeviceIdentifiersEntry::tableName,
                    {{"morvanixId", morvanixId}, {"morvanixIdTimestamp", std::int64_t{1000}}},
                    "id > ?", {std::int64_t{0}});
}

}  // namespace mvk::test

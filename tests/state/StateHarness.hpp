#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/CoreFactory.hpp"
#include "device/PlatformProtocol.hpp"
#include "state/DeviceIdentifiers.hpp"
#include "state/Project.hpp"
#include "state/SDKMigrationManagerProtocol.hpp"
#include "state/SdkTools.hpp"
#include "state/StateManager.hpp"
#include "state/User.hpp"
#include "storage/DatabaseProtocol.hpp"
#include "support/FaultyDatabase.hpp"
#include "support/TempDir.hpp"

namespace mvk::test {

/// A device whose UIDs and application versions the test chooses.
struct FakePlatform final : PlatformProtocol {
    ApplicationData getApplicationData() override { return application; }
    DeviceData getDeviceData() override { return {}; }
    IdentifierData getIdentifierData() override {
        IdentifierData data;
        data.deviceUIDs = {currentUid, previousUid};
        data.uuid = uuid;
        return data;
    }
    SdkData getSdkData() override { return {}; }

    std::string currentUid = "uid-current";
    std::optional<std::string> previousUid = "uid-before";
    std::string uuid = "custom-uuid";
    ApplicationData application{.applicationVersion = "1.4.2",
                                .applicationBuildVersion = "1402",
                                .applicationBundle = "com.example.game"};
};

/// Passes every call to a real database, counting the writes and refusing
/// inserts into the tables named in `failInsertsInto`.
class CountingDatabase final : public DatabaseProtocol {
  public:
    explicit CountingDatabase(std::shared_ptr<DatabaseProtocol> inner) : inner_(std::move(inner)) {}

    bool queryRows(const SelectQuery& query, const RowVisitor& visitor) override;
    std::optional<std::int64_t> insert(std::string_view tableName,
                                       const ContentValues& content) override;
    std::optional<std::int64_t> insertGrouped(std::string_view tableName,
                                              const ContentValues& content) override;
    std::uint64_t lostGroups() const override { return inner_->lostGroups(); }
    std::optional<std::int64_t> update(std::string_view tableName, const ContentValues& values,
                                       std::string_view selection,
                                       const std::vector<SQLiteValue>& selectionArgs) override;
    std::optional<std::int64_t> deleteRows(std::string_view tableName, std::string_view selection,
                                           const std::vector<SQLiteValue>& selectionArgs) override;
    bool clear(std::string_view tableName) override;
    bool raw(const std::string& sql) override;
    bool transaction(const std::function<bool()>& body) override;
    void onRollback(std::function<void()> undo) override { inner_->onRollback(std::move(undo)); }

    std::size_t queries = 0;
    std::size_t writes = 0;
    std::set<std::string, std::less<>> failInsertsInto;

  private:
    std::shared_ptr<DatabaseProtocol> inner_;
};

class StateHarness;

/// Records when the legacy import runs and what the database holds then; may
/// point the project at a user of its own, as a real import does. Works
/// through the factory of the harness's current launch.
struct RecordingMigration final : SDKMigrationManagerProtocol {
    explicit RecordingMigration(StateHarness& harness) : harness(harness) {}
    void migrateUserData(const std::shared_ptr<Project>& project) override;

    StateHarness& harness;
    std::optional<std::string> importedUserId;

    int calls = 0;
    std::int64_t projectIdSeen = -1;
    std::optional<std::int64_t> activeUserSeen;
    std::size_t deviceRowsSeen = 0;
    std::size_t userRowsSeen = 0;
};

/// One application key's database in a temporary application-support
/// directory. Each `start` is one launch of the library: a fresh provider and
/// factory (so every cache is read again) over the same file.
class StateHarness {
  public:
    static constexpr const char* applicationKey = "app-key";

    StateHarness();
    ~StateHarness();

    /// Starts a state manager. When the project exists already, its stored
    /// configuration first gets the given `userCounting`.
    std::shared_ptr<StateManager> start(
        const std::optional<std::string>& userId, bool userCounting = true,
        std::shared_ptr<SDKMigrationManagerProtocol> migration = {});

    /// Opens the same file on the side, as the next launch would read it.
    std::vector<User> storedUsers() const;
    std::vector<Project> storedProjects() const;
    std::vector<DeviceIdentifiers> storedDeviceRows() const;
    std::vector<SdkTools> storedTools() const;

    /// Gives the stored device row backend identifiers, so a test can see
    /// whether the next launch clears them.
    void storeBackendIdentifiers(std::int64_t morvanixId);

    std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>();
    std::shared_ptr<CountingDatabase> database;
    std::shared_ptr<CoreFactory> factory;
    bool editorMode = false;
    /// Each launch runs the real legacy import over its own repositories
    /// (unless the test hands in a migration of its own).
    bool useLegacyImport = false;
    /// Applied to each launch's database.
    std::set<std::string, std::less<>> failInsertsInto;
    /// Chooses the failures of each launch's database, below the counting.
    std::function<void(FaultyDatabase&)> faultsPerLaunch;

  private:
    void open();

    TempDir dir_;
};

}  // namespace mvk::test

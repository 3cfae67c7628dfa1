#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "state/User.hpp"
#include "state/MigrationObject.hpp"
#include "state/MigrationRepositories.hpp"
#include "state/SDKMigrationManagerProtocol.hpp"

namespace mvk {

/// Imports the user that an earlier native SDK (a keyed archive) or an earlier
/// engine SDK (a JSON file) left under the application-support directory: the
/// user row, the project's active user and tracking flag, the user card, and
/// the payment order ids and tutorial steps already reported. The old files
/// are only read.
///
/// Both sources are read before anything is written, and everything they
/// yield is written in one transaction together with the project's done
/// flag, so an import interrupted half-way is never half-done or done twice.
/// Used on the income queue only, like the repositories.
class SDKMigrationManager final : public SDKMigrationManagerProtocol {
  public:
    static constexpr std::string_view engineFileName = "migrationData.json";
    static constexpr std::uintmax_t maxEngineFileSize = 16u * 1024 * 1024;

    SDKMigrationManager(MigrationRepositories repositories, std::string applicationKey);

    void migrateUserData(const std::shared_ptr<Project>& project) override;

  private:
    /// The native archive's folder; absent without an application-support directory.
    std::optional<std::filesystem::path> getNativeMigratePath() const;
    /// A file in the engine SDK's folder; absent without an application-support directory.
    std::optional<std::filesystem::path> getUnityMigratePath(std::string_view fileName) const;

    static std::optional<MigrationObject> readNativeSDK(const std::filesystem::path& folder);
    static std::optional<MigrationObject> readUnitySDK(const std::filesystem::path& file);

    /// False when a row could not be stored; the caller then rolls back.
    bool migrateFromObject(const MigrationObject& object, const std::shared_ptr<Project>& project);
    std::shared_ptr<User> getOrCreateUser(std::int64_t projectId, std::int64_t level,
                                          const std::string& userId,
                                          const std::optional<std::string>& previousUserId);

    /// After a rollback the caches hold rows the table no longer has.
    void reloadCaches();

    MigrationRepositories repositories_;
    std::string applicationKey_;
};

}  // namespace mvk

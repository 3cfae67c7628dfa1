#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "state/CoreManagerProtocol.hpp"
#include "state/DeviceManagerProtocol.hpp"
#include "state/SDKMigrationManagerProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// Holds the active project, user and device identifiers of one core. Built
/// once by the core's start-up, which is when it checks the stored SDK
/// version, finds or creates the project, fixes the device identifiers, runs
/// the legacy import and picks the active user.
///
/// The project and user it hands out are the objects the repositories cache.
/// Everything runs on the income queue, which is the only guard of that state.
class StateManager final : public StateManagerProtocol {
  public:
    /// Reads the core's editor-mode flag, which the host may set from any thread.
    using EditorModeSource = std::function<bool()>;

    /// Runs the start-up steps. Null when the project or the first active
    /// user could not be stored: a library running on rows that do not exist
    /// would lose every event it records.
    ///
    /// With `childrensPrivacy`, the device identifier in use before this one
    /// (which an earlier run without it may have derived from the machine) is
    /// forgotten: it is no longer sent as the previous device identifier, and
    /// a user known by it (the anonymous user is named after the device)
    /// takes the current device identifier instead. Null as well when the
    /// users could not be read for that.
    static std::shared_ptr<StateManager> make(
        std::shared_ptr<DeviceManagerProtocol> deviceManager,
        std::shared_ptr<CoreManagerProtocol> coreManager,
        std::shared_ptr<SDKMigrationManagerProtocol> migrationManager,
        const std::optional<std::string>& userId, EditorModeSource isEditorMode = {},
        bool childrensPrivacy = false);

    bool isEditorMode() const override;
    std::shared_ptr<Project> getActiveProject() const override { return activeProject_; }
    std::shared_ptr<User> getActiveUser() const override { return activeUser_; }
    std::shared_ptr<DeviceIdentifiers> getActiveDeviceIdentifiers() override;
    std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() override;
    std::optional<std::vector<std::shared_ptr<User>>> getInactiveProjectUsers() override;
    void replaceUserId(const std::shared_ptr<User>& user, const std::string& newId) override;
    void activateUser(const std::string& userId) override;
    void activateUser(const std::string& userId,
                      const std::function<void()>& beforeSwitch) override;
    Identifiers getIdentifiers(const User& user) override;
    Versions getVersion() override;
    ApplicationData getAppData() override { return deviceManager_->getAppData(); }
    SdkData getSdkData() override { return deviceManager_->getSdkData(); }
    IdentifierData getIdentifiersData() override { return deviceManager_->getIdentifiersData(); }
    DeviceData getDeviceData() override { return deviceManager_->getDeviceData(); }
    void updateDeviceIdentifiers(std::optional<std::int64_t> morvanixId,
                                 std::optional<std::int64_t> crossPlatformMorvanixId,
                                 std::optional<std::int64_t> morvanixIdTimestamp) override;

  private:
    StateManager(std::shared_ptr<DeviceManagerProtocol> deviceManager,
                 std::shared_ptr<CoreManagerProtocol> coreManager,
                 std::shared_ptr<SDKMigrationManagerProtocol> migrationManager,
                 EditorModeSource isEditorMode, bool childrensPrivacy);

    bool start(const std::optional<std::string>& userId);
    /// False when the users could not be read, and nothing was changed.
    bool forgetPreviousDeviceIdentifier(const Project& project);
    void clearBackendIdentifiers() {
        updateDeviceIdentifiers(std::nullopt, std::nullopt, std::nullopt);
    }

    const std::shared_ptr<CoreManagerProtocol> coreManager_;
    const std::shared_ptr<DeviceManagerProtocol> deviceManager_;
    const std::shared_ptr<SDKMigrationManagerProtocol> migrationManager_;
    const EditorModeSource isEditorMode_;
    const bool childrensPrivacy_;
    std::shared_ptr<Project> activeProject_;
    std::shared_ptr<User> activeUser_;
    std::shared_ptr<DeviceIdentifiers> deviceIdentifiers_;
};

}  // namespace mvk

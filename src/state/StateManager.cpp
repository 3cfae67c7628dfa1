#include "state/StateManager.hpp"

#include <utility>

#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"

namespace mvk {

std::shared_ptr<StateManager> StateManager::make(
    std::shared_ptr<DeviceManagerProtocol> deviceManager,
    std::shared_ptr<CoreManagerProtocol> coreManager,
    std::shared_ptr<SDKMigrationManagerProtocol> migrationManager,
    const std::optional<std::string>& userId, EditorModeSource isEditorMode,
    bool childrensPrivacy) {
    std::shared_ptr<StateManager> manager(
        new StateManager(std::move(deviceManager), std::move(coreManager),
                         std::move(migrationManager), std::move(isEditorMode), childrensPrivacy));
    if (!manager->start(userId)) {
        return nullptr;
    }
    return manager;
}

StateManager::StateManager(std::shared_ptr<DeviceManagerProtocol> deviceManager,
                           std::shared_ptr<CoreManagerProtocol> coreManager,
                           std::shared_ptr<SDKMigrationManagerProtocol> migrationManager,
                           EditorModeSource isEditorMode, bool childrensPrivacy)
    : coreManager_(std::move(coreManager)),
      deviceManager_(std::move(deviceManager)),
      migrationManager_(std::move(migrationManager)),
      isEditorMode_(std::move(isEditorMode)),
      childrensPrivacy_(childrensPrivacy) {}

bool StateManager::start(const std::optional<std::string>& userId) {
    if (deviceManager_->sdkVersionIsChanged() == true) {
        Logger::writeLog(MVKLogLevel::debug, "SDK version updated");
    }
    auto project = coreManager_->createOrActivateProject();
    if (!project) {
        return false;
    }
    deviceIdentifiers_ = deviceManager_->initializeDeviceId(*project);
    if (!deviceIdentifiers_) {
        return false;
    }
    if (childrensPrivacy_ && !forgetPreviousDeviceIdentifier(*project)) {
        Logger::writeLog(MVKLogLevel::error,
                         "The users could not be read to forget the earlier device identifier");
        return false;
    }
    const std::string deviceId = deviceIdentifiers_->deviceIdentifier;
    // The import may point the project at the imported user, which the choice
    // below then keeps.
    if (migrationManager_) {
        migrationManager_->migrateUserData(project);
    }

    UserActivation activation;
    if (!userId) {
        activation = coreManager_->createOrActivateUser(deviceId, project, true);
    } else if (!userId->empty()) {
        activation = coreManager_->createOrActivateUser(*userId, project, false);
    } else {
        activation = coreManager_->createOrActivateDefaultUser(deviceId, project);
    }
    if (!activation.user) {
        return false;
    }
    activeProject_ = std::move(project);
    activeUser_ = std::move(activation.user);
    if (activation.resetFlag) {
        clearBackendIdentifiers();
    }
    return true;
}

bool StateManager::forgetPreviousDeviceIdentifier(const Project& project) {
    auto& device = *deviceIdentifiers_;
    if (!device.previousDeviceIdentifier) {
        return true;
    }
    const auto users = coreManager_->getAllUsers();
    if (!users) {
        // Forgetting the identifier first would leave a user named after it
        // with nothing left to recognise it by.
        return false;
    }
    const std::string forgotten = *device.previousDeviceIdentifier;
    bool currentIdTaken = false;
    for (const auto& user : *users) {
        currentIdTaken = currentIdTaken || (user && user->projectId == project.idKey &&
                                            user->userId == device.deviceIdentifier);
    }
    for (const auto& user : *users) {
        if (!user || user->projectId != project.idKey) {
            continue;
        }
        bool changed = false;
        // Two rows of one id would break the users table's rule.
        if (user->userId == forgotten && !currentIdTaken) {
            user->userId = device.deviceIdentifier;
            changed = true;
        }
        if (user->previousUserId == forgotten) {
            user->previousUserId.reset();
            changed = true;
        }
        if (changed) {
            coreManager_->replaceUserId(user);
        }
    }
    device.previousDeviceIdentifier.reset();
    // The row is the repository's cached one: storing its backend
    // identifiers unchanged stores the forgotten one as gone.
    deviceManager_->updateDeviceIdentifiers(
        project, device.morvanixId, device.crossPlatformMorvanixId, device.morvanixIdTimestamp);
    return true;
}

bool StateManager::isEditorMode() const {
    return isEditorMode_ && isEditorMode_();
}

std::shared_ptr<DeviceIdentifiers> StateManager::getActiveDeviceIdentifiers() {
    // After a failed read the row read before still stands.
    if (auto identifiers = deviceManager_->initializeDeviceId(*activeProject_)) {
        deviceIdentifiers_ = std::move(identifiers);
    }
    return deviceIdentifiers_;
}

std::optional<std::vector<std::shared_ptr<User>>> StateManager::getAllUsers() {
    return coreManager_->getAllUsers();
}

std::optional<std::vector<std::shared_ptr<User>>> StateManager::getInactiveProjectUsers() {
    auto all = coreManager_->getAllUsers();
    if (!all) {
        return std::nullopt;
    }
    std::vector<std::shared_ptr<User>> users;
    for (auto& user : *all) {
        if (user && user->projectId == activeProject_->idKey && user->idKey != activeUser_->idKey) {
            users.push_back(std::move(user));
        }
    }
    return users;
}

void StateManager::replaceUserId(const std::shared_ptr<User>& user, const std::string& newId) {
    if (!user) {
        return;
    }
    user->previousUserId = user->userId;
    user->userId = newId;
    user->isDefaultUser = false;
    coreManager_->replaceUserId(user);
    if (user->idKey == activeUser_->idKey) {
        activeUser_ = user;
        clearBackendIdentifiers();
    }
}

void StateManager::activateUser(const std::string& userId) {
    activateUser(userId, {});
}

void StateManager::activateUser(const std::string& userId,
                                const std::function<void()>& beforeSwitch) {
    const auto identifiers = getActiveDeviceIdentifiers();
    const UserActivation activation =
        userId.empty() ? coreManager_->createOrActivateDefaultUser(identifiers->deviceIdentifier,
                                                                   activeProject_)
                       : coreManager_->createOrActivateUser(userId, activeProject_, false);
    // Without a stored user the current one stays active: events recorded for
    // a user without a row would never be sent.
    if (activation.user) {
        if (beforeSwitch && activation.user->idKey != activeUser_->idKey) {
            beforeSwitch();
        }
        activeUser_ = activation.user;
    }
    if (activation.resetFlag) {
        clearBackendIdentifiers();
    }
}

Identifiers StateManager::getIdentifiers(const User& user) {
    const auto device = getActiveDeviceIdentifiers();
    return Identifiers{
        .deviceId = device->deviceIdentifier,
        .previousDeviceId = device->previousDeviceIdentifier,
        .userId = user.userId,
        .previousUserId = user.previousUserId,
        .morvanixId = device->morvanixId,
        .crossPlatformMorvanixId = device->crossPlatformMorvanixId,
        .morvanixIdTimestamp = device->morvanixIdTimestamp,
    };
}

Versions StateManager::getVersion() {
    Versions versions;
    versions.sdkVersion = SdkConstraints::sdkVersion();
    versions.sdkCodeVersion = SdkConstraints::sdkCodeVersion;
    if (!isEditorMode()) {
        const ApplicationData application = deviceManager_->getAppData();
        versions.appVersion = application.applicationVersion;
        versions.appBuildVersion = application.applicationBuildVersion;
    }
    const Config& configuration = activeProject_->configuration;
    if (configuration.exclude) {
        versions.excludeVersion = configuration.exclude->version;
    }
    versions.sbsConfigVersion = configuration.sbsConfigVersion;
    return versions;
}

void StateManager::updateDeviceIdentifiers(std::optional<std::int64_t> morvanixId,
                                           std::optional<std::int64_t> crossPlatformMorvanixId,
                                           std::optional<std::int64_t> morvanixIdTimestamp) {
    deviceManager_->updateDeviceIdentifiers(*activeProject_, morvanixId, crossPlatformMorvanixId,
                                            morvanixIdTimestamp);
    Logger::writeLog(MVKLogLevel::debug, "Backend identifiers has been reseted!");
}

}  // namespace mvk

#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/StateManagerProtocol.hpp"

namespace mvk::test {

/// A state manager over objects the test owns: one project, its users and one
/// device row. Switching users picks (or adds) the user with that id.
class FakeStateManager final : public StateManagerProtocol {
  public:
    FakeStateManager() {
        project->idKey = 1;
        project->configuration = Config::defaulConfiguration();
        addUser("player-1");
        user = users.front();
        project->activeUserId = user->idKey;
    }

    std::shared_ptr<User> addUser(const std::string& userId) {
        auto added = std::make_shared<User>(project->idKey, userId, false);
        added->idKey = static_cast<std::int64_t>(users.size()) + 1;
        users.push_back(added);
        return added;
    }

    bool isEditorMode() const override { return false; }
    std::shared_ptr<Project> getActiveProject() const override { return project; }
    std::shared_ptr<User> getActiveUser() const override { return user; }
    std::shared_ptr<DeviceIdentifiers> getActiveDeviceIdentifiers() override { return device; }
    std::vector<std::shared_ptr<User>> getAllUsers() override { return users; }
    std::vector<std::shared_ptr<User>> getInactiveProjectUsers() override {
        std::vector<std::shared_ptr<User>> inactive;
        std::copy_if(users.begin(), users.end(), std::back_inserter(inactive),
                     [&](const auto& other) { return other->idKey != user->idKey; });
        return inactive;
    }
    void replaceUserId(const std::shared_ptr<User>& target, const std::string& newId) override {
        target->previousUserId = target->userId;
        target->userId = newId;
        target->isDefaultUser = false;
    }
    void activateUser(const std::string& userId) override {
        auto found = std::find_if(users.begin(), users.end(),
                                  [&](const auto& other) { return other->userId == userId; });
        user = found != users.end() ? *found : addUser(userId);
        project->activeUserId = user->idKey;
    }
    Identifiers getIdentifiers(const User& of) override {
        Identifiers identifiers;
        identifiers.deviceId = device->deviceIdentifier;
        identifiers.userId = of.userId;
        identifiers.morvanixId = device->morvanixId;
        return identifiers;
    }
    Versions getVersion() override {
        Versions versions;
        versions.sdkVersion = "2.2.6";
        return versions;
    }
    ApplicationData getAppData() override { return {}; }
    SdkData getSdkData() override { return {}; }
    IdentifierData getIdentifiersData() override { return {}; }
    DeviceData getDeviceData() override { return {}; }
    void updateDeviceIdentifiers(std::optional<std::int64_t> morvanixId,
                                 std::optional<std::int64_t> crossPlatformMorvanixId,
                                 std::optional<std::int64_t> morvanixIdTimestamp) override {
        device->morvanixId = morvanixId;
        device->crossPlatformMorvanixId = crossPlatformMorvanixId;
        device->morvanixIdTimestamp = morvanixIdTimestamp;
        ++deviceIdentifierUpdates;
    }

    std::shared_ptr<Project> project = std::make_shared<Project>("app-key");
    std::vector<std::shared_ptr<User>> users;
    std::shared_ptr<User> user;
    std::shared_ptr<DeviceIdentifiers> device =
        std::make_shared<DeviceIdentifiers>(1, "device-uid", "uuid", std::nullopt);
    int deviceIdentifierUpdates = 0;
};

}  // namespace mvk::test

#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <deque>
#include <mutex>

#include "abtest/ABTestManagerProtocol.hpp"
#include "backend/BackendProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

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
    std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() override { return users; }
    std::optional<std::vector<std::shared_ptr<User>>> getInactiveProjectUsers() override {
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
    void activateUser(const std::string& userId) override { activateUser(userId, {}); }
    void activateUser(const std::string& userId,
                      const std::function<void()>& beforeSwitch) override {
        auto found = std::find_if(users.begin(), users.end(),
                                  [&](const auto& other) { return other->userId == userId; });
        auto next = found != users.end() ? *found : addUser(userId);
        if (beforeSwitch && next != user) {
            beforeSwitch();
        }
        user = std::move(next);
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

/// A gateway that answers from per-request scripts (a request past the end of
/// its script fails) and records what it was asked. Called on the
/// configuration queue while the test reads, hence the lock.
class FakeBackend final : public BackendProtocol {
  public:
    struct Identification {
        std::int64_t attempt;
        Identifiers identifiers;
    };

    void scriptConfig(ConfigRequestResult result) {
        locked([&] { configs.push_back(result); });
    }
    void scriptIdentification(BackendIdentifiers result) {
        locked([&] { identifications.push_back(std::move(result)); });
    }
    void scriptABConfig(std::optional<RemoteConfig> result) {
        locked([&] { abConfigs.push_back(std::move(result)); });
    }
    void scriptOffer(std::optional<InvolvedExperimentsContainer> result) {
        locked([&] { offers.push_back(std::move(result)); });
    }

    std::vector<Versions> configRequests() const {
        return locked([&] { return configSent; });
    }
    std::vector<Identification> identificationRequests() const {
        return locked([&] { return identificationSent; });
    }
    std::vector<Versions> abConfigRequests() const {
        return locked([&] { return abConfigSent; });
    }
    std::vector<SuitableExperiments> offerRequests() const {
        return locked([&] { return offerSent; });
    }

    std::shared_ptr<BackendRepositoryProtocol> repository() const override { return nullptr; }
    bool hasGateway() const override { return true; }
    /// Runs on the requesting thread before each configuration answer, so a
    /// test can hold a request under way.
    void setBeforeConfigAnswer(std::function<void()> hook) {
        locked([&] { beforeConfigAnswer = std::move(hook); });
    }

    ConfigRequestResult requestConfig(const std::string&, const Identifiers&,
                                      const Versions& versions) override {
        if (auto hook = locked([&] { return beforeConfigAnswer; })) {
            hook();
        }
        return locked([&] {
            configSent.push_back(versions);
            return next(configs, ConfigRequestResult{Config::defaulConfiguration(), true});
        });
    }
    BackendIdentifiers requestIdentification(const std::string&, std::int64_t attempt,
                                             const Identifiers& identifiers) override {
        return locked([&] {
            identificationSent.push_back({attempt, identifiers});
            return next(identifications, BackendIdentifiers::error("no script"));
        });
    }
    SendAnalyticsResult sendAnalytics(const std::string&, const Identifiers&, Reports) override {
        return SendAnalyticsResult::success();
    }
    MVKVerifyResponse sendVerifyReceipt(const std::string&, const Receipt&,
                                        const Identifiers&) override {
        return MVKVerifyResponse(MVKReceiptStatus::serverError);
    }
    std::optional<MessagingConfig> requestMessagingConfig(const std::string&,
                                                          const MessagingRequestObject&,
                                                          const Identifiers&) override {
        return std::nullopt;
    }
    std::optional<RemoteConfig> requestABTestConfig(const std::string&, const Identifiers&,
                                                    const Versions& versions) override {
        return locked([&] {
            abConfigSent.push_back(versions);
            return next(abConfigs, std::optional<RemoteConfig>{});
        });
    }
    std::optional<InvolvedExperimentsContainer> requestAbTestOffer(
        const std::string&, const Identifiers&, const SuitableExperiments& suitable) override {
        return locked([&] {
            offerSent.push_back(suitable);
            return next(offers, std::optional<InvolvedExperimentsContainer>{});
        });
    }

  private:
    template <class Work>
    auto locked(Work work) const -> decltype(work()) {
        std::lock_guard lock(mutex_);
        return work();
    }
    template <class T>
    static T next(std::deque<T>& script, T fallback) {
        if (script.empty()) {
            return fallback;
        }
        T value = std::move(script.front());
        script.pop_front();
        return value;
    }

    mutable std::mutex mutex_;
    std::deque<ConfigRequestResult> configs;
    std::deque<BackendIdentifiers> identifications;
    std::deque<std::optional<RemoteConfig>> abConfigs;
    std::deque<std::optional<InvolvedExperimentsContainer>> offers;
    std::vector<Versions> configSent;
    std::vector<Identification> identificationSent;
    std::vector<Versions> abConfigSent;
    std::vector<SuitableExperiments> offerSent;
    std::function<void()> beforeConfigAnswer;
};

class FakeABTestManager final : public ABTestManagerProtocol {
  public:
    std::optional<std::int64_t> configVersion() const override { return version; }
    void setConfigVersion(std::optional<std::int64_t> value) override { version = value; }
    std::vector<std::int64_t> suitableExperiments() const override { return suitable; }
    void setSuitableExperiments(std::vector<std::int64_t> value) override {
        suitable = std::move(value);
    }
    MVKRemoteConfigParameters config() const override { return parameters; }
    void setConfig(MVKRemoteConfigParameters value) override { parameters = std::move(value); }

    std::optional<std::int64_t> version;
    std::vector<std::int64_t> suitable;
    MVKRemoteConfigParameters parameters;
};

}  // namespace mvk::test

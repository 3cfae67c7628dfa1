#pragma once

#include <memory>
#include <optional>

#include "state/StateManagerProtocol.hpp"
#include "state/UserServiceProtocol.hpp"
#include "state/TutorialRepositoryProtocol.hpp"
#include "state/UserRepositoryProtocol.hpp"

namespace mvk {

/// The active user as the logic objects see it. Used on the income queue
/// only; its callbacks are installed once by their one subscriber.
class UserService final : public UserServiceProtocol {
  public:
    /// Backend ids are renewed after this long when the configuration says nothing.
    static constexpr std::int64_t defaultMorvanixIdTimeout = 86'400'000;

    UserService(std::shared_ptr<StateManagerProtocol> stateManager,
                std::shared_ptr<UserRepositoryProtocol> userRepository,
                std::shared_ptr<TutorialRepositoryProtocol> tutorialRepository);

    bool isDefaultUser() override;
    bool hasMorVanixIds() override;
    bool needResetMorVanixIds() override;
    bool alwaysNeedRequest() override { return alwaysNeedRequestFlag_; }
    void turnOnIdsRequest() override { alwaysNeedRequestFlag_ = true; }
    void replaceUserId(const std::shared_ptr<User>& user, const std::string& newId) override;
    void activateUser(const std::string& userId) override;
    void activateUser(const std::string& userId,
                      const std::function<void()>& beforeSwitch) override;
    std::optional<std::string> getActiveUserId() override;
    void setUserLevel(std::int64_t level) override;
    std::int64_t getUserLevel() override;
    void activateLocation(Location location) override { location_ = std::move(location); }
    std::optional<Location> getLocation() override { return location_; }
    void clearLocation(bool writeLog) override;
    MarkLookup isTutorialStepMarked(std::int64_t step) override;
    bool markTutorialStep(std::int64_t step) override;
    std::optional<std::vector<std::shared_ptr<User>>> getInactiveUsers() override;
    bool removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) override;
    std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() override;
    void resourceAggregation(bool isActive) override;
    void changeCurBalanceSentMark(bool isSent) override;
    bool isBalanceSentForActiveUser() override;

    LevelIsChanged levelIsChanged() const override { return levelIsChanged_; }
    void setLevelIsChanged(LevelIsChanged callback) override {
        levelIsChanged_ = std::move(callback);
    }
    UserIsChanged userIsChanged() const override { return userIsChanged_; }
    void setUserIsChanged(UserIsChanged callback) override { userIsChanged_ = std::move(callback); }
    UsersIdsForDelete usersIdsForDelete() const override { return usersIdsForDelete_; }
    void setUsersIdsForDelete(UsersIdsForDelete callback) override {
        usersIdsForDelete_ = std::move(callback);
    }

  private:
    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<UserRepositoryProtocol> userRepository_;
    const std::shared_ptr<TutorialRepositoryProtocol> tutorialRepository_;
    std::optional<Location> location_;
    bool alwaysNeedRequestFlag_ = false;
    LevelIsChanged levelIsChanged_;
    UserIsChanged userIsChanged_;
    UsersIdsForDelete usersIdsForDelete_;
};

}  // namespace mvk

#pragma once

#include <memory>
#include <string>
#include <utility>

#include "services/ServiceFactoryProtocol.hpp"

namespace mvk::test {

/// A user service that leaves the active row in place when asked for
/// `stuckId`, as a failed read or write of the users would; every other call
/// goes to the real one.
class StuckUserService final : public UserServiceProtocol {
  public:
    StuckUserService(std::shared_ptr<UserServiceProtocol> inner, std::string stuckId)
        : inner_(std::move(inner)), stuckId_(std::move(stuckId)) {}

    void activateUser(const std::string& userId) override { activateUser(userId, {}); }
    void activateUser(const std::string& userId,
                      const std::function<void()>& beforeSwitch) override {
        if (userId != stuckId_) {
            inner_->activateUser(userId, beforeSwitch);
        }
    }

    bool isDefaultUser() override { return inner_->isDefaultUser(); }
    bool hasMorVanixIds() override { return inner_->hasMorVanixIds(); }
    bool needResetMorVanixIds() override { return inner_->needResetMorVanixIds(); }
    bool alwaysNeedRequest() override { return inner_->alwaysNeedRequest(); }
    void turnOnIdsRequest() override { inner_->turnOnIdsRequest(); }
    void replaceUserId(const std::shared_ptr<User>& user, const std::string& newId) override {
        inner_->replaceUserId(user, newId);
    }
    std::optional<std::string> getActiveUserId() override { return inner_->getActiveUserId(); }
    void setUserLevel(std::int64_t level) override { inner_->setUserLevel(level); }
    std::int64_t getUserLevel() override { return inner_->getUserLevel(); }
    void activateLocation(Location location) override {
        inner_->activateLocation(std::move(location));
    }
    std::optional<Location> getLocation() override { return inner_->getLocation(); }
    void clearLocation(bool writeLog) override { inner_->clearLocation(writeLog); }
    MarkLookup isTutorialStepMarked(std::int64_t step) override {
        return inner_->isTutorialStepMarked(step);
    }
    bool markTutorialStep(std::int64_t step) override { return inner_->markTutorialStep(step); }
    std::optional<std::vector<std::shared_ptr<User>>> getInactiveUsers() override {
        return inner_->getInactiveUsers();
    }
    bool removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) override {
        return inner_->removeInactiveUserData(users);
    }
    std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() override {
        return inner_->getAllUsers();
    }
    void resourceAggregation(bool isActive) override { inner_->resourceAggregation(isActive); }
    void changeCurBalanceSentMark(bool isSent) override {
        inner_->changeCurBalanceSentMark(isSent);
    }
    bool isBalanceSentForActiveUser() override { return inner_->isBalanceSentForActiveUser(); }
    LevelIsChanged levelIsChanged() const override { return inner_->levelIsChanged(); }
    void setLevelIsChanged(LevelIsChanged callback) override {
        inner_->setLevelIsChanged(std::move(callback));
    }
    UserIsChanged userIsChanged() const override { return inner_->userIsChanged(); }
    void setUserIsChanged(UserIsChanged callback) override {
        inner_->setUserIsChanged(std::move(callback));
    }
    UsersIdsForDelete usersIdsForDelete() const override { return inner_->usersIdsForDelete(); }
    void setUsersIdsForDelete(UsersIdsForDelete callback) override {
        inner_->setUsersIdsForDelete(std::move(callback));
    }

  private:
    const std::shared_ptr<UserServiceProtocol> inner_;
    const std::string stuckId_;
};

/// The start-up's services, with the user service stuck on `stuckId`.
class StuckUserFactory final : public ServiceFactoryProtocol {
  public:
    StuckUserFactory(ServiceFactoryProtocol& inner, const std::string& stuckId)
        : inner_(inner),
          userService_(std::make_shared<StuckUserService>(inner.userService(), stuckId)) {}

    std::shared_ptr<UserServiceProtocol> userService() override { return userService_; }

    std::shared_ptr<ProjectServiceProtocol> projectService() override {
        return inner_.projectService();
    }
    std::shared_ptr<TimerServiceProtocol> timerService() override { return inner_.timerService(); }
    std::shared_ptr<AnalyticsConfigServiceProtocol> analyticsAnalyticsConfigService() override {
        return inner_.analyticsAnalyticsConfigService();
    }
    std::shared_ptr<ActivityServiceProtocol> activityService() override {
        return inner_.activityService();
    }
    std::shared_ptr<ABTestConfigServiceProtocol> abTestConfigService() override {
        return inner_.abTestConfigService();
    }
    std::shared_ptr<RemoteConfigServiceProtocol> remoteConfigService() override {
        return inner_.remoteConfigService();
    }
    std::shared_ptr<InvolvedExperimentsServiceProtocol> involvedExpService() override {
        return inner_.involvedExpService();
    }
    std::shared_ptr<UserConfigServiceProtocol> userConfigService() override {
        return inner_.userConfigService();
    }
    std::shared_ptr<SuitableExperimentsServiceProtocol> suitableExpService() override {
        return inner_.suitableExpService();
    }
    std::shared_ptr<TaskServiceProtocol> taskService() override { return inner_.taskService(); }
    std::shared_ptr<EventsServiceProtocol> eventsService() override {
        return inner_.eventsService();
    }
    std::shared_ptr<ReportServiceProtocol> reportService() override {
        return inner_.reportService();
    }
    std::shared_ptr<PeopleServiceProtocol> peopleService() override {
        return inner_.peopleService();
    }
    std::shared_ptr<SubscriptionServiceProtocol> subscriptionService() override {
        return inner_.subscriptionService();
    }
    std::shared_ptr<CurrencyAccrualServiceProtocol> currencyAccrualService() override {
        return inner_.currencyAccrualService();
    }
    std::shared_ptr<LevelResourceServiceProtocol> levelResourceService() override {
        return inner_.levelResourceService();
    }
    std::shared_ptr<AntiCheatServiceProctocol> antiCheatService() override {
        return inner_.antiCheatService();
    }
    std::shared_ptr<MessagingServiceProtocol> messagingService() override {
        return inner_.messagingService();
    }

  private:
    ServiceFactoryProtocol& inner_;
    const std::shared_ptr<UserServiceProtocol> userService_;
};

}  // namespace mvk::test

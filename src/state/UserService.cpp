#include "state/UserService.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "state/SaturatingTime.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

UserService::UserService(std::shared_ptr<StateManagerProtocol> stateManager,
                         std::shared_ptr<UserRepositoryProtocol> userRepository,
                         std::shared_ptr<TutorialRepositoryProtocol> tutorialRepository)
    : stateManager_(std::move(stateManager)),
      userRepository_(std::move(userRepository)),
      tutorialRepository_(std::move(tutorialRepository)) {}

bool UserService::isDefaultUser() {
    return stateManager_->getActiveUser()->isDefaultUser;
}

bool UserService::hasMorVanixIds() {
    const auto identifiers = stateManager_->getActiveDeviceIdentifiers();
    return identifiers && identifiers->morvanixId && identifiers->morvanixIdTimestamp;
}

bool UserService::needResetMorVanixIds() {
    const auto identifiers = stateManager_->getActiveDeviceIdentifiers();
    if (!identifiers || !identifiers->morvanixIdTimestamp) {
        return true;
    }
    const Config& config = stateManager_->getActiveProject()->configuration;
    const std::int64_t timeout = config.morvanixIdTimeout.value_or(defaultMorvanixIdTimeout);
    // Either direction: a timestamp from the future is as suspect as an old one.
    std::int64_t age = saturatingDifference(Clock::nowMillis(), *identifiers->morvanixIdTimestamp);
    if (age < 0) {
        age = age == std::numeric_limits<std::int64_t>::min()
                  ? std::numeric_limits<std::int64_t>::max()
                  : -age;
    }
    return age >= timeout;
}

void UserService::replaceUserId(const std::shared_ptr<User>& user, const std::string& newId) {
    stateManager_->replaceUserId(user, newId);
}

void UserService::activateUser(const std::string& userId) {
    activateUser(userId, {});
}

void UserService::activateUser(const std::string& userId,
                               const std::function<void()>& beforeSwitch) {
    const auto previous = stateManager_->getActiveUser();
    stateManager_->activateUser(userId, beforeSwitch);
    const auto current = stateManager_->getActiveUser();
    if (previous && current && previous->idKey != current->idKey && userIsChanged_) {
        userIsChanged_(previous);
    }
}

std::optional<std::string> UserService::getActiveUserId() {
    return stateManager_->getActiveUser()->userId;
}

void UserService::setUserLevel(std::int64_t level) {
    const auto user = stateManager_->getActiveUser();
    user->level = level;
    userRepository_->update(user);
    if (levelIsChanged_) {
        levelIsChanged_();
    }
}

std::int64_t UserService::getUserLevel() {
    return stateManager_->getActiveUser()->level;
}

void UserService::clearLocation(bool writeLog) {
    if (location_ && writeLog) {
        Logger::writeLog(MVKLogLevel::debug,
                         "The location: " + location_->name + " has been canceled");
    }
    location_.reset();
}

MarkLookup UserService::isTutorialStepMarked(std::int64_t step) {
    const std::int64_t userId = stateManager_->getActiveUser()->idKey;
    const auto marks = tutorialRepository_->list();
    if (!marks) {
        return MarkLookup::unknown;
    }
    return std::any_of(
               marks->begin(), marks->end(),
               [&](const TutorialMark& mark) { return mark.userId == userId && mark.step == step; })
               ? MarkLookup::marked
               : MarkLookup::notMarked;
}

bool UserService::markTutorialStep(std::int64_t step) {
    return tutorialRepository_
        ->insert(TutorialMark{.userId = stateManager_->getActiveUser()->idKey, .step = step})
        .has_value();
}

std::optional<std::vector<std::shared_ptr<User>>> UserService::getInactiveUsers() {
    return stateManager_->getInactiveProjectUsers();
}

bool UserService::removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) {
    const auto ids = User::rowIds(users);
    if (!userRepository_->deleteItems(users)) {
        return false;
    }
    if (usersIdsForDelete_) {
        usersIdsForDelete_(ids);
    }
    return true;
}

std::optional<std::vector<std::shared_ptr<User>>> UserService::getAllUsers() {
    return stateManager_->getAllUsers();
}

void UserService::resourceAggregation(bool isActive) {
    const auto user = stateManager_->getActiveUser();
    user->isResourceAggregationEnable = isActive;
    userRepository_->update(user);
    Logger::writeLog(MVKLogLevel::debug,
                     std::string("Resource aggregation is ") + (isActive ? "Enable" : "Disable"));
}

void UserService::changeCurBalanceSentMark(bool isSent) {
    stateManager_->getActiveUser()->balanceIsSent = isSent;
}

bool UserService::isBalanceSentForActiveUser() {
    return stateManager_->getActiveUser()->balanceIsSent;
}

}  // namespace mvk

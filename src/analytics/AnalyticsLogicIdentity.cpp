#include "analytics/AnalyticsLogic.hpp"

#include <optional>
#include <string>

#include "analytics/AnalyticsLogicSupport.hpp"
#include "events/TrackingStatus.hpp"
#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"

namespace mvk {

namespace {

std::string trackingStateText(bool enabled) {
    return enabled ? "Enable" : "Disable";
}

}  // namespace

// ---- identity, levels and tracking ----

void AnalyticsLogic::getDeviceId(const TextCompletion& completion) {
    completion(stateManager_->getActiveDeviceIdentifiers()->deviceIdentifier);
}

void AnalyticsLogic::getSDKVersion(const TextCompletion& completion) {
    completion(SdkConstraints::sdkVersion());
}

void AnalyticsLogic::getTrackingAvailability(const FlagCompletion& completion) {
    completion(trackingOn());
}

void AnalyticsLogic::getUserId(const TextCompletion& completion) {
    completion(stateManager_->getActiveUser()->userId.value_or(""));
}

void AnalyticsLogic::getCurrentLevel(const NumberCompletion& completion) {
    completion(level());
}

void AnalyticsLogic::requestBackendIdsIfNeeded() {
    if (userService_->alwaysNeedRequest() || (!userService_->hasMorVanixIds() && trackingOn())) {
        configService_->receiveUserBackendIds();
    }
}

void AnalyticsLogic::setTrackingAvailability(bool allowed) {
    if (allowed == trackingOn()) {
        Logger::writeLog(MVKLogLevel::info,
                         "Tracking status is already " + trackingStateText(allowed));
        if (allowed) {
            storeRecord(TrackingStatus{.trackingAllowed = true});
        }
        return;
    }
    if (allowed) {
        projectService_->setTrackingAvailable(true);
        storeRecord(TrackingStatus{.trackingAllowed = true});
        if (started_) {
            reportService_->sendBufferedEvents();
            startActivity();
            configService_->receiveAnalyticsConfig();
            configService_->receiveUserBackendIds();
        } else {
            startSDK();
        }
        return;
    }
    removeEventsAndResources();
    stopActivity();
    storeRecord(TrackingStatus{.trackingAllowed = false});
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    projectService_->setTrackingAvailable(false);
    stateManager_->updateDeviceIdentifiers(std::nullopt, std::nullopt, std::nullopt);
}

void AnalyticsLogic::removeEventsAndResources() {
    // Through the services rather than the tables: their row caches would
    // otherwise keep the deleted events and pack them into the next report.
    eventsService_->removeAllEvents();
    reportService_->removeAllReports();
    levelResourceService_->removeAllResources();
    currencyAccrualService_->removeAllResources();
}

void AnalyticsLogic::setUserId(const std::string& userId) {
    const auto active = stateManager_->getActiveUser();
    if (active->userId && *active->userId == userId) {
        Logger::writeLog(MVKLogLevel::warning,
                         "The current userId is equal to the new userId [" + userId + "]!");
        return;
    }
    if (userId == stateManager_->getActiveDeviceIdentifiers()->deviceIdentifier) {
        Logger::writeLog(MVKLogLevel::warning, "The userId matches the deviceId [" + userId +
                                                   "]!\t\nSetting up a userId is not possible!");
        return;
    }
    if (active->isDefaultUser && userId.empty()) {
        Logger::writeLog(MVKLogLevel::warning, "The current user is already a default user!");
        return;
    }
    const std::string oldId = active->userId.value_or("");
    // Naming the anonymous user, or renaming the one user of a project that
    // does not count users, keeps the row: its activity goes on.
    const bool wasRunning = activityService_->isActive();
    if (switchUser(userId)) {
        sendDeviceInfo();
        if (wasRunning) {
            startActivity();
        }
        reportService_->sendBufferedEvents();
    }
    const auto now = stateManager_->getActiveUser();
    Logger::writeLog(MVKLogLevel::info,
                     "The userId [" + oldId + "] changed to [" + now->userId.value_or("") + "]!");
    if (now->isDefaultUser) {
        Logger::writeLog(MVKLogLevel::debug, "Default user activated!");
    }
    requestBackendIdsIfNeeded();
}

void AnalyticsLogic::replaceUserId(const std::string& fromUserId, const std::string& toUserId) {
    const auto projectId = stateManager_->getActiveProject()->idKey;
    const auto users = stateManager_->getAllUsers();
    if (!users) {
        // Nothing is replaced or deleted on the strength of a failed read.
        Logger::writeLog(MVKLogLevel::error,
                         "The users could not be read!\t\nReplace not possible!");
        return;
    }
    std::shared_ptr<User> found;
    std::shared_ptr<User> holder;
    for (const auto& user : *users) {
        if (user->projectId != projectId) {
            continue;
        }
        if (!found && user->userId == fromUserId) {
            found = user;
        }
        if (!holder && user->userId == toUserId) {
            holder = user;
        }
    }
    if (!found) {
        Logger::writeLog(MVKLogLevel::warning,
                         "The userId: [" + fromUserId + "] not found!\t\nReplace not possible!");
        return;
    }
    if (toUserId == stateManager_->getActiveDeviceIdentifiers()->deviceIdentifier) {
        Logger::writeLog(MVKLogLevel::warning, "The toUserId matches the deviceId [" + toUserId +
                                                   "]!\t\nReplace not possible!");
        return;
    }
    if (fromUserId == toUserId) {
        Logger::writeLog(MVKLogLevel::warning, "The fromUserId is equal to the toUserId [" +
                                                   toUserId + "]!\t\nReplace not possible!");
        return;
    }
    const auto rememberedId = stateManager_->getActiveUser()->userId;
    const bool wasRunning = activityService_->isActive();
    bool switched = false;
    if (holder && holder != found) {
        if (holder->idKey == stateManager_->getActiveUser()->idKey) {
            switched = switchUser(fromUserId);
            // The holder's row and data go only once another row stands.
            if (stateManager_->getActiveUser()->idKey == holder->idKey) {
                Logger::writeLog(MVKLogLevel::error, "The userId: [" + fromUserId +
                                                         "] could not be activated!\t\nReplace "
                                                         "not possible!");
                return;
            }
        }
        removeUsers({holder});
    }
    stateManager_->replaceUserId(found, toUserId);
    requestBackendIdsIfNeeded();
    const auto active = stateManager_->getActiveUser();
    if (!active->isDefaultUser && stateManager_->getActiveProject()->configuration.userCounting &&
        active->userId != rememberedId) {
        userService_->clearLocation(true);
    }
    sendDeviceInfo();
    if (switched && wasRunning) {
        startActivity();
    }
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    Logger::writeLog(MVKLogLevel::info,
                     "UserId: [" + fromUserId + "] renamed to [" + toUserId + "]");
}

bool AnalyticsLogic::switchUser(const std::string& userId) {
    bool switched = false;
    userService_->activateUser(userId, [this, &switched] {
        switched = true;
        userService_->changeCurBalanceSentMark(false);
        addCurrencyAccrual();
        if (activityService_->isActive()) {
            stopActivity();
        } else {
            // Packed now, what the user played leaves under their own experiment.
            reportService_->sendBufferedEvents();
        }
    });
    if (switched) {
        userService_->clearLocation(true);
    }
    return switched;
}

void AnalyticsLogic::setCurrentLevel(std::int64_t newLevel) {
    if (newLevel != level()) {
        addCurrencyAccrual();
        reportService_->sendBufferedEvents();
        levelResourceService_->removeResourcesForActiveUser();
        userService_->resourceAggregation(false);
    }
    userService_->setUserLevel(newLevel);
    Logger::writeLog(MVKLogLevel::info, "Set level [" + std::to_string(newLevel) + "] for user [" +
                                            stateManager_->getActiveUser()->userId.value_or("") +
                                            "]");
}

void AnalyticsLogic::removeUsers(const std::vector<std::shared_ptr<User>>& users) {
    if (users.empty()) {
        return;
    }
    std::string ids;
    for (const auto& user : users) {
        if (!ids.empty()) {
            ids += ", ";
        }
        ids += user->userId.value_or("");
    }
    Logger::writeLog(MVKLogLevel::debug, "Remove inactive users [" + ids + "]");
    userService_->removeInactiveUserData(users);
    eventsService_->removeInactiveUserData(users);
    currencyAccrualService_->removeInactiveUserData(users);
    levelResourceService_->removeInactiveUserData(users);
    reportService_->removeInactiveUserData(users);
    peopleService_->removeInactiveUserData(users);
}

}  // namespace mvk

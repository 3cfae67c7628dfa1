#include "analytics/AnalyticsLogic.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "analytics/Validator.hpp"
#include "events/AdImpression.hpp"
#include "events/Alive.hpp"
#include "events/CurrencyAccrual.hpp"
#include "events/CurrencyAccrualResource.hpp"
#include "events/CurrentBalance.hpp"
#include "events/CustomEvent.hpp"
#include "events/DeviceInfo.hpp"
#include "events/LevelResource.hpp"
#include "events/LevelUp.hpp"
#include "events/PeopleEvent.hpp"
#include "events/ProgressionEvent.hpp"
#include "events/RealCurrencyPayment.hpp"
#include "events/Referral.hpp"
#include "events/RestoredTransactionsEvent.hpp"
#include "events/SessionStart.hpp"
#include "events/SocialNetworkConnect.hpp"
#include "events/SocialNetworkPost.hpp"
#include "events/StorableEvent.hpp"
#include "events/SubscriptionPayment.hpp"
#include "events/SubscriptionProductsEvent.hpp"
#include "events/TrackingStatus.hpp"
#include "events/Tutorial.hpp"
#include "events/UserEngagement.hpp"
#include "events/VirtualCurrencyPayment.hpp"
#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"
#include "platform/Clock.hpp"
#include "purchases/SubscriptionService.hpp"

namespace mvk {

namespace {

const std::string notActiveLine = "SDK not active!\n\t Tracking status is Disable!";

std::string enableText(bool enabled) {
    return enabled ? "Enable" : "Disable";
}

template <class Map>
std::optional<Map> unlessEmpty(const Map& map) {
    if (map.empty()) {
        return std::nullopt;
    }
    return map;
}

}  // namespace

std::shared_ptr<AnalyticsLogic> AnalyticsLogic::make(
    ServiceFactoryProtocol& factory, std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle, SerialQueue& incomeQueue) {
    std::shared_ptr<AnalyticsLogic> logic(
        new AnalyticsLogic(factory, std::move(stateManager), std::move(lifeCycle), incomeQueue));
    logic->lifeCycle_->subscibeLifeCycle(logic);
    return logic;
}

AnalyticsLogic::AnalyticsLogic(ServiceFactoryProtocol& factory,
                               std::shared_ptr<StateManagerProtocol> stateManager,
                               std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle,
                               SerialQueue& incomeQueue)
    : lifeCycle_(std::move(lifeCycle)),
      stateManager_(std::move(stateManager)),
      projectService_(factory.projectService()),
      userService_(factory.userService()),
      eventsService_(factory.eventsService()),
      reportService_(factory.reportService()),
      activityService_(factory.activityService()),
      timerService_(factory.timerService()),
      currencyAccrualService_(factory.currencyAccrualService()),
      levelResourceService_(factory.levelResourceService()),
      configService_(factory.analyticsAnalyticsConfigService()),
      antiCheatService_(factory.antiCheatService()),
      peopleService_(factory.peopleService()),
      subscriptionService_(factory.subscriptionService()),
      incomeQueue_(incomeQueue),
      eventParamsCount_(stateManager_->getActiveProject()->configuration.eventParamsCount) {}

template <class Block>
void AnalyticsLogic::queueWeakly(Block block) {
    incomeQueue_.addOperation([weak = weak_from_this(), block = std::move(block)] {
        if (auto logic = weak.lock()) {
            block(*logic);
        }
    });
}

// ---- state read through the services ----

bool AnalyticsLogic::trackingOn() const {
    return stateManager_->getActiveProject()->trackingAvailable;
}

bool AnalyticsLogic::timersRun() const {
    return trackingOn() && activityService_->isActive();
}

std::optional<std::int64_t> AnalyticsLogic::sessionId() const {
    return stateManager_->getActiveUser()->sessionId;
}

std::int64_t AnalyticsLogic::level() const {
    return stateManager_->getActiveUser()->level;
}

std::optional<std::vector<std::string>> AnalyticsLogic::inProgress() const {
    if (auto location = userService_->getLocation()) {
        return std::vector<std::string>{location->name};
    }
    return std::nullopt;
}

std::int64_t AnalyticsLogic::numberOfCurrencies() const {
    return projectService_->getNumberOfCurrencies();
}

bool AnalyticsLogic::store(const Storable& event) {
    return eventsService_->addEvent(event);
}

template <class Record>
void AnalyticsLogic::storeRecord(Record record) {
    store(StorableEvent<Record>(std::move(record)));
}

void AnalyticsLogic::setOnParamsCountChange(std::function<void()> callback) {
    onParamsCountChange_ = std::move(callback);
}

void AnalyticsLogic::refreshParamsCount() {
    eventParamsCount_.store(stateManager_->getActiveProject()->configuration.eventParamsCount);
    if (onParamsCountChange_) {
        onParamsCountChange_();
    }
}

// ---- callbacks ----

void AnalyticsLogic::prepareCallBacks() {
    prepareTimersCallback();
    prepareConfigCallbacks();
    prepareRerportSendCallback();
    preparePeopleCardCallback();
}

void AnalyticsLogic::prepareTimersCallback() {
    const std::weak_ptr<AnalyticsLogic> weak = weak_from_this();
    timerService_->setOnAliveTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->sendAlive();
        }
    });
    timerService_->setOnCurrencyAccrualTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly([](AnalyticsLogic& self) {
                Logger::writeLog(MVKLogLevel::debug, "Currency accrual timer tick");
                self.addCurrencyAccrual();
            });
        }
    });
    timerService_->setOnRequestTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly([](AnalyticsLogic& self) {
                self.generatePeopleEvent(false);
                self.reportService_->sendBufferedEvents();
            });
        }
    });
    timerService_->setOnActivityTimerTick([weak] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly(
                [](AnalyticsLogic& self) { self.activityService_->updateLastBackgroundTime(); });
        }
    });
    eventsService_->setOnFullStackAction([weak] {
        if (auto logic = weak.lock()) {
            Logger::writeLog(MVKLogLevel::debug, "There are enough events for dispatching");
            logic->reportService_->sendBufferedEvents();
        }
    });
}

void AnalyticsLogic::prepareConfigCallbacks() {
    configService_->setOnSdkConfigUpdate([weak = weak_from_this()](const Config& config) {
        if (auto logic = weak.lock()) {
            logic->applyReceivedConfiguration(config);
        }
    });
}

void AnalyticsLogic::prepareRerportSendCallback() {
    reportService_->setOnReportSendAction([weak = weak_from_this()] {
        if (auto logic = weak.lock()) {
            logic->queueWeakly([](AnalyticsLogic& self) {
                if (self.timersRun()) {
                    self.timerService_->resetRequestTimer();
                    self.timerService_->resetAliveTimer();
                }
            });
        }
    });
}

void AnalyticsLogic::preparePeopleCardCallback() {
    const std::weak_ptr<AnalyticsLogic> weak = weak_from_this();
    peopleService_->setOnClearedCard([weak] {
        if (auto logic = weak.lock()) {
            logic->generatePeopleEvent(false);
            logic->reportService_->sendBufferedEvents();
        }
    });
    peopleService_->setOnFilledCustomParams([weak] {
        if (auto logic = weak.lock()) {
            logic->generatePeopleEvent(true);
            logic->reportService_->sendBufferedEvents();
        }
    });
}

AnalyticsLogic::BackendIdentifiersUpdate AnalyticsLogic::onBackendIdentifiersUpdate() const {
    return configService_->onIdentifiersUpdate();
}

void AnalyticsLogic::setOnBackendIdentifiersUpdate(BackendIdentifiersUpdate update) {
    configService_->setOnIdentifiersUpdate(std::move(update));
}

void AnalyticsLogic::forceUpdate() {
    const auto identifiers = stateManager_->getActiveDeviceIdentifiers();
    if (auto update = configService_->onIdentifiersUpdate()) {
        update(identifiers->morvanixId);
    }
}

// ---- configuration and start ----

void AnalyticsLogic::applyReceivedConfiguration(const Config& config) {
    const bool historyReset = subscriptionService_->isHistoryNeedReset(config);
    projectService_->applyConfig(config);
    projectService_->updateValidator();
    refreshParamsCount();
    if (!stateManager_->getActiveProject()->configuration.userCounting) {
        // Unreadable users are left alone: deleting on a failed read is never safe.
        if (auto users = stateManager_->getInactiveProjectUsers()) {
            removeUsers(*users);
        }
    }
    if (historyReset) {
        subscriptionService_->resetHistoryMark();
    }
    // The new intervals take effect on the timers that run; an answer that
    // comes after an opt-out or in the background starts none of them.
    timerService_->stopTimers();
    if (timersRun()) {
        timerService_->startTimers();
    }
    startSubscriptionsService();
}

void AnalyticsLogic::startSubscriptionsService() {
    const auto& bundles = stateManager_->getActiveProject()->configuration.sbsBundles;
    if (!bundles) {
        return;
    }
    const auto session = sessionId();
    if (!session) {
        Logger::writeLog(MVKLogLevel::error,
                         "Start subscription service is failed, sessionId is lost");
        return;
    }
    subscriptionService_->setProductList(*bundles);
    subscriptionService_->requestUserProducts(
        [weak = weak_from_this(),
         session = *session](const std::optional<std::vector<SubscriptionProduct>>& products) {
            if (auto logic = weak.lock()) {
                logic->onSubscriptionProducts(session, products);
            }
        });
}

void AnalyticsLogic::applyAnalyticsConfiguration(
    const std::optional<MVKAnalyticsConfigurationLocal>& configuration) {
    if (!trackingOn() && configuration &&
        configuration->trackingAvailability == MVKTrackingStatus::enable) {
        projectService_->setTrackingAvailable(true);
        storeRecord(TrackingStatus{.trackingAllowed = true});
    }
    if (!configuration) {
        return;
    }
    if (trackingOn() && configuration->trackingAvailability == MVKTrackingStatus::disable) {
        removeEventsAndResources();
        timerService_->stopTimers();
        projectService_->setTrackingAvailable(false);
    }
    if (!configuration->level) {
        return;
    }
    const std::int64_t newLevel = *configuration->level;
    if (newLevel != level()) {
        addSavedCurrencyAccrualResources();
        levelResourceService_->removeResourcesForActiveUser();
        userService_->resourceAggregation(false);
    }
    userService_->setUserLevel(newLevel);
    Logger::writeLog(MVKLogLevel::info, "Set level [" + std::to_string(newLevel) + "] for user [" +
                                            stateManager_->getActiveUser()->userId.value_or("") +
                                            "]");
}

void AnalyticsLogic::removeEventsAndResources() {
    // Through the services rather than the tables: their row caches would
    // otherwise keep the deleted events and pack them into the next report.
    eventsService_->removeAllEvents();
    reportService_->removeAllReports();
    levelResourceService_->removeAllResources();
    currencyAccrualService_->removeAllResources();
}

void AnalyticsLogic::tryStartSDK() {
    refreshParamsCount();
    if (!trackingOn()) {
        reportService_->sendFlashEvent(
            StorableEvent<TrackingStatus>(TrackingStatus{.trackingAllowed = false}));
        Logger::writeLog(MVKLogLevel::info, notActiveLine);
        return;
    }
    startSDK();
}

void AnalyticsLogic::startSDK() {
    if (started_) {
        Logger::writeLog(MVKLogLevel::error, "The SDK is already running!");
    }
    if (activityService_->isActive()) {
        Logger::writeLog(MVKLogLevel::error, "Activity cannot be launched before the SDK starts!");
        return;
    }
    addSavedCurrencyAccrualResources();
    // The stored exclusions must stand before the first device information,
    // or an excluded "di" goes out at a process's first start.
    projectService_->updateValidator();
    sendDeviceInfo();
    startActivity();
    generatePeopleEvent(true);
    reportService_->sendBufferedEvents();
    projectService_->updateValidator();
    configService_->receiveAnalyticsConfig();
    if (!(userService_->hasMorVanixIds() && !userService_->alwaysNeedRequest() &&
          !userService_->needResetMorVanixIds())) {
        configService_->receiveUserBackendIds();
    }
    started_ = true;
}

// ---- activity and life cycle ----

void AnalyticsLogic::goActive() {
    queueWeakly([](AnalyticsLogic& self) { self.startActivity(); });
}

void AnalyticsLogic::goInactive() {
    stopSession();
}

void AnalyticsLogic::goBackground() {
    stopSession();
}

void AnalyticsLogic::goTerminate() {
    stopSession();
}

void AnalyticsLogic::stopSession() {
    // Waits for its own block only: inline when already on the income queue,
    // and not at all while the queue is paused, so the host never hangs.
    incomeQueue_.addOperationAndWait([weak = weak_from_this()] {
        if (auto logic = weak.lock()) {
            logic->stopActivity();
        }
    });
}

void AnalyticsLogic::startActivity() {
    if (activityService_->isActive()) {
        return;
    }
    if (!trackingOn()) {
        Logger::writeLog(MVKLogLevel::info, notActiveLine);
        return;
    }
    // The application may have left the foreground before start-up or a
    // change of user ran: opened now, the timers would run in the background
    // and the next activation would continue the session silently. That
    // activation opens it instead.
    if (!lifeCycle_->isApplicationActive()) {
        Logger::writeLog(MVKLogLevel::debug, "The application is not active, the activity waits");
        return;
    }
    Logger::writeLog(MVKLogLevel::debug, "Start activity");
    const auto isNewSession = activityService_->startActivity();
    if (isNewSession.value_or(false)) {
        if (const auto session = sessionId()) {
            storeRecord(SessionStart{.timestamp = *session,
                                     .sessionId = *session,
                                     .level = level(),
                                     .inProgress = inProgress()});
            reportService_->sendBufferedEvents();
        }
    }
    timerService_->startTimers();
}

void AnalyticsLogic::stopActivity() {
    if (!activityService_->isActive()) {
        return;
    }
    Logger::writeLog(MVKLogLevel::debug, "Stop activity");
    addCurrencyAccrual();
    generatePeopleEvent(false);
    const auto session = sessionId();
    // Ended even without a session, or no later start could ever run.
    const auto length = activityService_->stopActivity();
    if (session) {
        if (length && *length >= 1) {
            storeRecord(UserEngagement{.sessionId = *session,
                                       .level = level(),
                                       .length = *length,
                                       .inProgress = inProgress()});
        } else if (length) {
            Logger::writeLog(MVKLogLevel::debug,
                             "The user engagement event was not generated, session length is zero");
        }
    }
    reportService_->sendBufferedEvents();
    timerService_->stopTimers();
}

void AnalyticsLogic::stopSDK() {
    lifeCycle_->unsubscibe(shared_from_this());
    stopActivity();
}

void AnalyticsLogic::sendAlive() {
    queueWeakly([](AnalyticsLogic& self) {
        // A tick queued before an opt-out or a stop runs after it.
        if (!self.timersRun() || Validator::isExcluded("al", std::nullopt)) {
            return;
        }
        if (const auto session = self.sessionId()) {
            self.reportService_->sendFlashEvent(StorableEvent<Alive>(Alive{.sessionId = *session}));
        }
    });
}

void AnalyticsLogic::sendDeviceInfo() {
    if (Validator::isExcluded("di", std::nullopt)) {
        return;
    }
    const auto device = projectService_->getDeviceData();
    const auto identifiers = projectService_->getIdentifiersData();
    const auto application = projectService_->getAppData();
    std::optional<double> diagonal;
    if (device.displayDiagonal) {
        diagonal = DeviceInfo::roundedDiagonal(*device.displayDiagonal);
    }
    storeRecord(DeviceInfo{.osVersion = device.osVersion,
                           .os = device.osName,
                           .displayPpi = device.displayPpi,
                           .displayResolution = device.displayResolution,
                           .displayDiagonal = diagonal,
                           .manufacturer = device.manufacturer,
                           .model = device.model,
                           .timeZoneOffset = device.timeZoneOffset,
                           .isLimitAdTrackingEnabled = !identifiers.idfa.has_value(),
                           .idfv = identifiers.idfv,
                           .idfa = identifiers.idfa,
                           .uuid = identifiers.uuid,
                           .sandboxState = application.sandboxState});
}

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
        Logger::writeLog(MVKLogLevel::info, "Tracking status is already " + enableText(allowed));
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

void AnalyticsLogic::levelUp(std::int64_t newLevel, const Amounts& balance) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    addCurrencyAccrual();
    LevelUp event{.sessionId = *session,
                  .level = newLevel,
                  .balance = unlessEmpty(balance),
                  .inProgress = inProgress()};
    const std::int64_t current = level();
    // A stored level may be INT64_MAX: "current + 1" only below it.
    if (current < std::numeric_limits<std::int64_t>::max() && newLevel == current + 1) {
        const auto n = numberOfCurrencies();
        event.spent = levelResourceService_->getSpentResources(n);
        event.earned = levelResourceService_->getEarnedResources(n);
        event.bought = levelResourceService_->getBoughtResources(n);
    }
    userService_->resourceAggregation(true);
    userService_->setUserLevel(newLevel);
    storeRecord(std::move(event));
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    levelResourceService_->removeResourcesForActiveUser();
    // Accruals the event above could not carry wait for the next one, unless
    // none can ever be carried.
    if (numberOfCurrencies() == 0) {
        currencyAccrualService_->removeResourcesForActiveUser();
    }
}

void AnalyticsLogic::currentBalance(const Amounts& balance) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (userService_->isBalanceSentForActiveUser()) {
        Logger::writeLog(MVKLogLevel::warning,
                         "The CurrentBalance event is already sent, in this game session");
        return;
    }
    storeRecord(CurrentBalance{.sessionId = *session, .level = level(), .balance = balance});
    userService_->changeCurBalanceSentMark(true);
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

// ---- event calls ----

void AnalyticsLogic::customEvent(const std::string& name,
                                 const std::optional<AnyCodable::Object>& parameters) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(CustomEvent{.sessionId = *session,
                            .level = level(),
                            .name = name,
                            .parameters = parameters,
                            .inProgress = inProgress()});
}

void AnalyticsLogic::sendBufferedEvents() {
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
}

void AnalyticsLogic::virtualCurrencyPayment(const std::string& purchaseId,
                                            const std::string& purchaseType,
                                            std::int64_t purchaseAmount,
                                            const Amounts& purchasePrice) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    for (const auto& [currency, amount] : purchasePrice) {
        levelResourceService_->addLevelResource(
            LevelResource{.type = LevelResourceType::spent, .name = currency, .amount = amount});
    }
    storeRecord(VirtualCurrencyPayment{.sessionId = *session,
                                       .level = level(),
                                       .purchaseId = purchaseId,
                                       .purchaseAmount = purchaseAmount,
                                       .purchasePrice = purchasePrice,
                                       .purchaseType = purchaseType,
                                       .inProgress = inProgress()});
}

void AnalyticsLogic::currencyAccrual(const std::string& currencyName, std::int64_t amount,
                                     const std::string& source, MVKAccrualType type) {
    levelResourceService_->addLevelResource(LevelResource{.type = type == MVKAccrualType::bought
                                                                      ? LevelResourceType::bought
                                                                      : LevelResourceType::earned,
                                                          .name = currencyName,
                                                          .amount = amount});
    currencyAccrualService_->addCurrencyAccrual(CurrencyAccrualResource{
        .type = type, .name = currencyName, .amount = amount, .source = source});
}

void AnalyticsLogic::startProgressionEvent(
    const std::string& name, const MVKStartProgressionEventParametersLocal& parameters) {
    userService_->activateLocation(Location{.name = name,
                                            .source = parameters.source,
                                            .difficulty = parameters.difficulty,
                                            .startTimestamp = Clock::nowMillis()});
    Logger::writeLog(MVKLogLevel::info, "Activated ProgressionEvent: [" + name + "]");
}

void AnalyticsLogic::finishProgressionEvent(
    const std::string& name, const MVKFinishProgressionEventParametersLocal& parameters) {
    const auto location = userService_->getLocation();
    if (!location) {
        Logger::writeLog(MVKLogLevel::warning,
                         "Progression event can't be finished!\n\tDoesn't have any started "
                         "progression events");
        return;
    }
    if (location->name != name) {
        Logger::writeLog(MVKLogLevel::warning,
                         "Progression event can't be finished!\n\tStarted progression event name "
                         "is [" +
                             location->name + "]\n\tCurrent event name is [" + name + "]");
        return;
    }
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(ProgressionEvent{
        .sessionId = *session,
        .level = level(),
        .name = name,
        .spent = unlessEmpty(parameters.spent),
        .earned = unlessEmpty(parameters.earned),
        .parameters = ProgressionEventParams::finishing(*location, parameters.successfulCompletion,
                                                        parameters.duration, Clock::nowMillis())});
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    userService_->clearLocation(false);
    Logger::writeLog(MVKLogLevel::info, "The ProgressionEvent [" + name + "] is finished");
}

bool AnalyticsLogic::isNewPaymentId(const std::string& orderId, MVKLogLevel usedLevel,
                                    const std::string& usedLine) {
    const auto mark = projectService_->isCurrencyPaymentMarked(orderId);
    if (mark == MarkLookup::marked) {
        Logger::writeLog(usedLevel, usedLine);
    }
    return mark == MarkLookup::notMarked;
}

void AnalyticsLogic::realCurrencyPayment(const std::string& orderId, double price,
                                         const std::string& productId,
                                         const std::string& currencyCode) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (!isNewPaymentId(orderId, MVKLogLevel::warning,
                        "Real payment with orderId [" + orderId + "]  is already used!")) {
        return;
    }
    storeRecord(RealCurrencyPayment{.sessionId = *session,
                                    .level = level(),
                                    .productId = productId,
                                    .orderId = orderId,
                                    .price = price,
                                    .currencyCode = currencyCode,
                                    .inProgress = inProgress()});
    projectService_->markCurrencyPayment(orderId);
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
}

void AnalyticsLogic::socialNetworkConnect(const MVKSocialNetworkLocal& network) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(SocialNetworkConnect{.sessionId = *session,
                                     .level = level(),
                                     .socialNetwork = network.name,
                                     .inProgress = inProgress()});
}

void AnalyticsLogic::socialNetworkPost(const MVKSocialNetworkLocal& network,
                                       const std::string& reason) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(SocialNetworkPost{.sessionId = *session,
                                  .level = level(),
                                  .socialNetwork = network.name,
                                  .postReason = reason,
                                  .inProgress = inProgress()});
}

void AnalyticsLogic::tutorial(std::int64_t step) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    const auto mark = userService_->isTutorialStepMarked(step);
    if (mark == MarkLookup::unknown) {
        return;
    }
    if (mark == MarkLookup::marked) {
        Logger::writeLog(MVKLogLevel::warning,
                         "Tutorial step [" + std::to_string(step) + "] is already used");
        return;
    }
    storeRecord(Tutorial{
        .sessionId = *session, .level = level(), .step = step, .inProgress = inProgress()});
    userService_->markTutorialStep(step);
    Logger::writeLog(MVKLogLevel::info,
                     "The tutorial step [" + std::to_string(step) + "] is saved");
}

void AnalyticsLogic::referrer(const ReferralData& data) {
    if (projectService_->isRefererSent()) {
        Logger::writeLog(MVKLogLevel::info, "The referrer has been sent");
        return;
    }
    const auto session = sessionId();
    if (!session) {
        return;
    }
    const auto value = [&](const MVKReferralProperty& key) -> std::optional<std::string> {
        const auto found = data.find(key);
        if (found == data.end()) {
            return std::nullopt;
        }
        return found->second;
    };
    storeRecord(Referral{.sessionId = *session,
                         .source = value(MVKReferralProperty::source()),
                         .campaign = value(MVKReferralProperty::campaign()),
                         .content = value(MVKReferralProperty::content()),
                         .medium = value(MVKReferralProperty::medium()),
                         .term = value(MVKReferralProperty::term())});
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    projectService_->setIsRefererSent(true);
}

void AnalyticsLogic::adImpression(const std::string& network, double revenue,
                                  const std::optional<std::string>& placement,
                                  const std::optional<std::string>& unit) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(AdImpression{.sessionId = *session,
                             .network = network,
                             .revenue = revenue,
                             .placement = placement,
                             .unit = unit,
                             .inProgress = inProgress()});
}

std::int64_t AnalyticsLogic::getCustomEventParamsCount() const {
    return eventParamsCount_.load();
}

// ---- subscriptions ----

void AnalyticsLogic::isRestoreTransactionHistoryRequired(const FlagCompletion& completion) {
    completion(subscriptionService_->isNeedRestoreHistory());
}

void AnalyticsLogic::subscriptionPayment(const MVKStoreTransaction& transaction,
                                         const MVKStoreProduct& product) {
    const auto transactionId = transaction.originalTransactionIdentifier
                                   ? transaction.originalTransactionIdentifier
                                   : transaction.transactionIdentifier;
    if (!transactionId) {
        Logger::writeLog(MVKLogLevel::error, "Subscription payment transactionIdentifier is nil");
        return;
    }
    const bool isRenewal =
        transaction.transactionIdentifier &&
        transaction.transactionIdentifier != transaction.originalTransactionIdentifier;
    const auto subscriptionProduct = SubscriptionService::makeProduct(product);
    if (!subscriptionProduct) {
        return;
    }
    subscriptionPayment(*subscriptionProduct, *transactionId, isRenewal);
}

void AnalyticsLogic::subscriptionPayment(const SubscriptionProduct& product,
                                         const std::string& transactionId, bool isRenewal) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    const auto mark = projectService_->isCurrencyPaymentMarked(transactionId);
    if (mark == MarkLookup::unknown) {
        return;
    }
    bool stored = false;
    if (mark == MarkLookup::marked) {
        if (isRenewal) {
            Logger::writeLog(MVKLogLevel::debug, "Subscription payment with orderId [" +
                                                     transactionId + "] is renewal");
        }
    } else {
        storeRecord(SubscriptionPayment{.sessionId = *session,
                                        .level = level(),
                                        .orderId = transactionId,
                                        .productId = product.productId,
                                        .regionCode = product.regionCode,
                                        .currencyCode = product.currencyCode,
                                        .inProgress = inProgress()});
        projectService_->markCurrencyPayment(transactionId);
        stored = true;
    }
    if (!subscriptionService_->checkIfContains(product)) {
        if (const auto current = sessionId()) {
            storeRecord(SubscriptionProductsEvent{.sessionId = *current, .products = {product}});
            stored = true;
        }
    }
    if (stored) {
        generatePeopleEvent(false);
        reportService_->sendBufferedEvents();
    }
}

void AnalyticsLogic::subscriptionPayment(const std::string& productId,
                                         const std::string& transactionId) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (!isNewPaymentId(transactionId, MVKLogLevel::debug,
                        "Subscription payment with orderId [" + transactionId + "] is renewal")) {
        return;
    }
    const auto local = subscriptionService_->findLocalProduct(productId);
    storeRecord(SubscriptionPayment{.sessionId = *session,
                                    .level = level(),
                                    .orderId = transactionId,
                                    .productId = productId,
                                    .regionCode = local ? local->regionCode : "",
                                    .currencyCode = local ? local->currencyCode : "",
                                    .inProgress = inProgress()});
    projectService_->markCurrencyPayment(transactionId);
    reportService_->sendBufferedEvents();
}

void AnalyticsLogic::subscriptionHistory(const TransactionHistory& history) {
    if (!subscriptionService_->isNeedRestoreHistory()) {
        return;
    }
    subscriptionService_->markAsRestoredHistory();
    if (history.empty()) {
        Logger::writeLog(MVKLogLevel::debug, "subscriptionHistory transactions is empty");
        return;
    }
    subscriptionService_->processTransactions(history);
    sendSubscriptionsHistoryEvent();
}

void AnalyticsLogic::subscriptionHistory(const std::vector<MVKStoreTransaction>& transactions) {
    subscriptionHistory(subscriptionService_->prepareTransactions(transactions));
}

void AnalyticsLogic::sendSubscriptionsHistoryEvent() {
    if (!subscriptionService_->isNeedSendRestoredHistory()) {
        return;
    }
    const auto data = subscriptionService_->getDataForSBSREvent();
    if (!data) {
        Logger::writeLog(MVKLogLevel::debug,
                         "SubscriptionsHistory: No information about completed transactions");
        return;
    }
    if (!data->currencyCode) {
        Logger::writeLog(MVKLogLevel::debug,
                         "SubscriptionsHistory: Not enough data to send the event, \n\tmissing "
                         "product CurrencyCode");
        return;
    }
    const auto session = sessionId();
    if (!session) {
        Logger::writeLog(MVKLogLevel::error,
                         "Failed to generate subscriptions history event, sessionId is lost");
        return;
    }
    storeRecord(RestoredTransactionsEvent{.sessionId = *session,
                                          .currencyCode = *data->currencyCode,
                                          .transactions = data->transactions});
    reportService_->sendBufferedEvents();
    subscriptionService_->markAsRestoredHistory();
    subscriptionService_->markAsSendRestoredHistory();
    subscriptionService_->clearSubscriptionHistory();
}

void AnalyticsLogic::onSubscriptionProducts(
    std::int64_t session, const std::optional<std::vector<SubscriptionProduct>>& products) {
    if (!products || products->empty()) {
        return;
    }
    subscriptionService_->updateProducts(*products);
    if (subscriptionService_->needSendProducts()) {
        storeRecord(SubscriptionProductsEvent{.sessionId = session, .products = *products});
        reportService_->sendBufferedEvents();
        subscriptionService_->resetSendProductsMark();
        subscriptionService_->resetHistoryMark();
    }
    sendSubscriptionsHistoryEvent();
}

// ---- gathered events ----

void AnalyticsLogic::generatePeopleEvent(bool needFullCard) {
    if (!trackingOn()) {
        return;
    }
    const auto card = peopleService_->getPeopleCard();
    if (!card || (!card->updated && !needFullCard)) {
        return;
    }
    const auto session = sessionId();
    if (!session) {
        return;
    }
    std::optional<PeopleProperties> parameters;
    if (!card->cleared) {
        parameters = peopleService_->getParameters(needFullCard);
        peopleService_->clearChangedKeys();
        if (!parameters || parameters->empty()) {
            return;
        }
    }
    storeRecord(PeopleEvent{.sessionId = *session,
                            .level = level(),
                            .parameters = std::move(parameters),
                            .inProgress = inProgress()});
    peopleService_->removeNulls();
    peopleService_->unmarkUpdated();
    peopleService_->unmarkCleared();
}

void AnalyticsLogic::addCurrencyAccrual() {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (currencyAccrualService_->isContainsCurrencyAccrual()) {
        prepareCurrencyAccrualEvent(*session, level(), std::nullopt, nullptr);
    }
}

void AnalyticsLogic::prepareCurrencyAccrualEvent(std::int64_t session, std::int64_t currentLevel,
                                                 std::optional<std::int64_t> timestamp,
                                                 const std::shared_ptr<User>& user) {
    const auto n = numberOfCurrencies();
    CurrencyAccrual event{.sessionId = session,
                          .level = currentLevel,
                          .earned = currencyAccrualService_->getEarnedResources(n, user),
                          .bought = currencyAccrualService_->getBoughtResources(n, user)};
    if (timestamp) {
        event.timestamp = *timestamp;
    }
    const StorableEvent<CurrencyAccrual> storable(std::move(event));
    const bool stored = user ? eventsService_->addEvent(storable, *user) : store(storable);
    // The rows are the player's only record of these accruals until an event
    // that holds them is in the table.
    if (!stored) {
        Logger::writeLog(MVKLogLevel::error,
                         "The currency accrual event can't be stored; its accruals stay for the "
                         "next one");
        return;
    }
    removeReportedAccruals(user);
}

void AnalyticsLogic::removeReportedAccruals(const std::shared_ptr<User>& user) {
    const auto n = numberOfCurrencies();
    if (n > 0) {
        currencyAccrualService_->removeReportedResources(n, user);
    } else if (user) {
        currencyAccrualService_->removeResources(*user);
    } else {
        currencyAccrualService_->removeResourcesForActiveUser();
    }
}

void AnalyticsLogic::addSavedCurrencyAccrualResources() {
    const auto all = userService_->getAllUsers();
    if (!all) {
        return;
    }
    const auto projectId = stateManager_->getActiveProject()->idKey;
    std::vector<std::shared_ptr<User>> users;
    for (const auto& user : *all) {
        if (user->projectId == projectId && user->sessionId) {
            users.push_back(user);
        }
    }
    // Users without a session keep their rows, so only those with one are sorted.
    std::stable_sort(users.begin(), users.end(),
                     [](const auto& a, const auto& b) { return *a->sessionId < *b->sessionId; });
    for (const auto& user : users) {
        const auto latest = currencyAccrualService_->getLastCreatedTime(*user);
        if (!latest) {
            continue;
        }
        prepareCurrencyAccrualEvent(*user->sessionId, user->level, latest, user);
    }
}

}  // namespace mvk

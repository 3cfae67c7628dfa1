#include "analytics/AnalyticsLogic.hpp"

#include <utility>

#include "analytics/AnalyticsLogicSupport.hpp"
#include "events/StorableEvent.hpp"
#include "events/TrackingStatus.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

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

void AnalyticsLogic::setOnParamsCountChange(std::function<void()> callback) {
    onParamsCountChange_ = std::move(callback);
}

void AnalyticsLogic::refreshParamsCount() {
    eventParamsCount_.store(stateManager_->getActiveProject()->configuration.eventParamsCount);
    if (onParamsCountChange_) {
        onParamsCountChange_();
    }
}

std::int64_t AnalyticsLogic::getCustomEventParamsCount() const {
    return eventParamsCount_.load();
}

// ---- callbacks ----

void AnalyticsLogic::prepareCallBacks() {
    prepareTimersCallback();
    prepareConfigCallbacks();
    prepareRerportSendCallback();
    preparePeopleCardCallback();
}

void AnalyticsLogic::prepareConfigCallbacks() {
    configService_->setOnSdkConfigUpdate([weak = weak_from_this()](const Config& config) {
        if (auto logic = weak.lock()) {
            logic->applyReceivedConfiguration(config);
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

void AnalyticsLogic::tryStartSDK() {
    refreshParamsCount();
    if (!trackingOn()) {
        reportService_->sendFlashEvent(
            StorableEvent<TrackingStatus>(TrackingStatus{.trackingAllowed = false}));
        Logger::writeLog(MVKLogLevel::info, analytics_logic_detail::notActiveLine);
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

}  // namespace mvk

#include "abtest/ABTestLogic.hpp"

#include <cstdio>
#include <utility>

#include "foundation/Logger.hpp"
#include "platform/GuardedCall.hpp"
#include "records/AudienceLocalData.hpp"

namespace mvk {

namespace {

constexpr std::string_view prefix = "[A/B-Test Module] ";

void log(MVKLogLevel level, const std::string& message) {
    Logger::writeLog(level, std::string(prefix) + message);
}

std::string idList(const std::vector<std::int64_t>& ids) {
    std::string text = "[";
    for (std::size_t index = 0; index < ids.size(); ++index) {
        if (index > 0) {
            text += ", ";
        }
        text += std::to_string(ids[index]);
    }
    return text + "]";
}

/// A hold-up as the host set it, with one decimal at least: 10 reads "10.0".
std::string seconds(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text = buffer;
    if (text.find_first_of(".eEn") == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string cancelled(std::int64_t id, std::string_view reason) {
    return std::string(prefix) + "Involved experiment [" + std::to_string(id) +
           "] was cancelled.\n\t" + "Reason: " + std::string(reason);
}

}  // namespace

template <class Work>
auto ABTestLogic::weakly(Work work) {
    return [weak = weak_from_this(), work = std::move(work)](auto&&... args) {
        if (auto logic = weak.lock()) {
            work(*logic, std::forward<decltype(args)>(args)...);
        }
    };
}

ABTestLogic::ABTestLogic(Services services,
                         std::shared_ptr<EventControllerProtocol> eventController,
                         SerialQueue& incomeQueue)
    : services_(std::move(services)),
      eventController_(std::move(eventController)),
      incomeQueue_(incomeQueue) {}

std::shared_ptr<ABTestLogic> ABTestLogic::make(
    Services services, std::shared_ptr<EventControllerProtocol> eventController,
    const std::shared_ptr<LifeCycleRepositoryProtocol>& lifeCycle, SerialQueue& incomeQueue) {
    std::shared_ptr<ABTestLogic> logic(
        new ABTestLogic(std::move(services), std::move(eventController), incomeQueue));
    if (lifeCycle) {
        lifeCycle->subscibeLifeCycle(logic);
        logic->isApplicationForeground_ = lifeCycle->isApplicationActive();
    }
    return logic;
}

// Host notification --------------------------------------------------------

void ABTestLogic::notifyReceived(MVKRemoteConfigReceiveResult result) {
    if (auto listener = remoteConfigListener_) {
        callGuarded("The remote-configuration listener",
                    [&] { listener->onReceivedResult(result); });
    }
}

void ABTestLogic::notifyPrepare() {
    if (auto listener = remoteConfigListener_) {
        callGuarded("The remote-configuration listener", [&] { listener->onPrepareToChange(); });
    }
}

void ABTestLogic::notifyChanged(MVKRemoteConfigChangeResult result,
                                std::optional<std::string> error) {
    if (auto listener = remoteConfigListener_) {
        callGuarded("The remote-configuration listener",
                    [&] { listener->onChangedResult(result, error); });
    }
}

// Wiring -------------------------------------------------------------------

void ABTestLogic::setRemoteConfigListener(std::shared_ptr<MVKRemoteConfigListener> listener) {
    remoteConfigListener_ = std::move(listener);
}

void ABTestLogic::prepareInitialState(std::shared_ptr<MVKRemoteConfigListener> listener) {
    setRemoteConfigListener(std::move(listener));
    services_.userService->turnOnIdsRequest();
    prepareBackendCallBacks();
    offerCallBacks();
    servicesCallBacks();
    services_.remoteConfigService->prepareInitialState();
}

void ABTestLogic::prepareBackendCallBacks() {
    auto& config = *services_.abTestConfigService;
    config.setConfigUpdate(weakly(
        [](ABTestLogic& logic, const RemoteConfig& remote) { logic.onConfigUpdate(remote); }));
    config.setOnBackendUserDataUpdate(weakly(
        [](ABTestLogic& logic, const UserData& userData) { logic.onBackendUserData(userData); }));
}

void ABTestLogic::offerCallBacks() {
    auto& config = *services_.abTestConfigService;
    config.setOfferUpdate(weakly([](ABTestLogic& logic, OfferGeneration generation,
                                    const std::vector<InvolvedExperiment>& involved,
                                    const SuitableExperiments& suitable) {
        logic.onOfferUpdate(generation, involved, suitable);
    }));
    config.setOfferNoConnection(weakly([](ABTestLogic& logic, OfferGeneration generation) {
        logic.onOfferNoConnection(generation);
    }));
    config.setOfferUserChanged(
        weakly([](ABTestLogic& logic, OfferGeneration generation, const MVKError& error) {
            logic.onOfferUserChanged(generation, error);
        }));
}

void ABTestLogic::servicesCallBacks() {
    auto audienceChanged = weakly([](ABTestLogic& logic) {
        logic.updateAudienceState(std::nullopt);
        logic.searchSuitableExperiment(nullptr);
    });
    services_.userService->setLevelIsChanged(audienceChanged);
    services_.peopleService->setPeopleCardIsChanged(audienceChanged);
    services_.userService->setUsersIdsForDelete(
        weakly([](ABTestLogic& logic, const std::vector<std::int64_t>& userIds) {
            logic.services_.remoteConfigService->deleteInactiveExperimentsState(userIds);
        }));
    services_.userService->setUserIsChanged(
        weakly([](ABTestLogic& logic, const std::shared_ptr<User>& previousUser) {
            if (logic.remoteConfigListener_ && logic.services_.projectService->userCounting()) {
                logic.changeUser(previousUser);
            }
        }));
}

// Small steps --------------------------------------------------------------

std::optional<ExperimentMarker> ABTestLogic::involvedMarker() {
    return services_.involvedExpService->tryLoadExperimentMarker();
}

bool ABTestLogic::hasStoredInvolvement() {
    auto user = services_.stateManager->getActiveUser();
    return user && services_.involvedExpService->isUserHasInvolvedGroup(*user);
}

void ABTestLogic::clearInvolvement() {
    services_.involvedExpService->clearExperimentMarker();
}

void ABTestLogic::installEventListener() {
    eventController_->setEventProvider(weakly([](ABTestLogic& logic, const EventObject& event) {
        logic.searchSuitableExperiment(&event);
    }));
}

void ABTestLogic::removeEventListener() {
    eventController_->setEventProvider(std::nullopt);
}

void ABTestLogic::startReportSending() {
    eventController_->clearFreezedEvent();
    eventController_->startReportSending();
    log(MVKLogLevel::info, "Report sending is started");
    services_.reportService->sendBufferedEvents();
}

void ABTestLogic::stopReportSending() {
    eventController_->stopReportSending();
    log(MVKLogLevel::info, "Report sending is stopped");
}

void ABTestLogic::removeCheckMarks() {
    services_.suitableExpService->removeAudienceCheckMarks();
}

// The machine --------------------------------------------------------------

void ABTestLogic::startABTestLogic() {
    configActualization();
    auto marker = involvedMarker();
    if (!marker) {
        searchSuitableExperiment(nullptr);
        installEventListener();
        return;
    }
    if (!services_.involvedExpService->isExperimentTesting(marker->idKey) ||
        services_.involvedExpService->isNeedCacheTestingExperiment()) {
        tryActivateExperiment(*marker);
        return;
    }
    services_.remoteConfigService->markAsRefused({marker->idKey});
    clearInvolvement();
    searchSuitableExperiment(nullptr);
    installEventListener();
}

void ABTestLogic::configActualization() {
    services_.remoteConfigService->deleteExpiredExperiments();
    updateAudienceState(std::nullopt);
    services_.abTestConfigService->receiveABConfig();
    auto task = services_.taskService->configTask();
    if (task && !task->isTimeoutValid() && task->getHoldUpTime() > 0) {
        task->launchTask(weakly([](ABTestLogic& logic) {
            logic.isABLogicStopped_ = true;
            logic.notifyReceived(MVKRemoteConfigReceiveResult::failure);
            log(MVKLogLevel::debug, "ABTestLogic is stopped, because a config timer is expired");
        }));
    }
}

void ABTestLogic::configReceivedNotification() {
    if (involvedMarker()) {
        return;
    }
    auto task = services_.taskService->configTask();
    if (task && (task->isTimeoutValid() || task->getHoldUpTime() == 0)) {
        task->stopTask();
        notifyReceived(MVKRemoteConfigReceiveResult::success);
    }
}

void ABTestLogic::onConfigUpdate(const RemoteConfig& config) {
    configReceivedNotification();
    if (auto task = services_.taskService->configTask()) {
        task->stopTask();
    }
    bool anyTesting = false;
    for (const auto& experiment : config.experiments) {
        anyTesting = anyTesting || experiment.isTesting;
    }
    const auto storedVersion = services_.remoteConfigService->getABTestsProjectVersion();
    if (anyTesting || !storedVersion || *storedVersion != config.version) {
        services_.remoteConfigService->applyRemoteConfig(config);
        services_.remoteConfigService->applyExperiments(config.experiments);
    }
    services_.remoteConfigService->createExperimentState();
    updateAudienceState(std::nullopt);
    if (!involvedMarker()) {
        searchSuitableExperiment(nullptr);
    }
}

void ABTestLogic::onBackendUserData(UserData userData) {
    if (!userData.firstVersion) {
        userData.firstVersion = services_.projectService->getAppData().applicationVersion;
    }
    updateAudienceState(userData);
    if (!involvedMarker()) {
        searchSuitableExperiment(nullptr);
    }
}

void ABTestLogic::updateAudienceState(const std::optional<UserData>& userData) {
    if (isABLogicStopped_) {
        return;
    }
    const auto device = services_.projectService->getDeviceData();
    AudienceLocalData local{.displayDiagonal = device.displayDiagonal, .language = device.language};
    if (auto properties = services_.remoteConfigService->getUserProperties()) {
        local.country = properties->country;
    }
    auto user = services_.stateManager->getActiveUser();
    local.level = user ? user->level : 0;
    std::optional<PeopleEvent> people;
    if (auto card = services_.peopleService->getPeopleCard()) {
        people = PeopleEvent{.sessionId = 0, .level = local.level, .parameters = card->properties};
    }
    removeCheckMarks();
    services_.suitableExpService->updateActiveAudienceState(local, std::move(people), userData);
}

bool ABTestLogic::isTrackingOn() {
    return services_.projectService->getTrackingAvailable();
}

void ABTestLogic::searchSuitableExperiment(const EventObject* event) {
    // After an opt-out no offer may carry the player's identity to the gateway.
    if (isABLogicStopped_ || hasStoredInvolvement() || !isTrackingOn()) {
        return;
    }
    const auto ids = services_.suitableExpService->searchSuitableExperiments(event);
    if (!eventController_->isReportSendingEnable() || ids.empty()) {
        return;
    }
    log(MVKLogLevel::info, "Suitable experiment is found!");
    if (event != nullptr) {
        eventController_->freezeEvent(*event);
    }
    services_.reportService->sendBufferedEvents();
    stopReportSending();
    removeEventListener();
    services_.suitableExpService->addSuitableExperiments(ids);
    auto configTask = services_.taskService->configTask();
    if (configTask && configTask->isTimeoutValid()) {
        configTask->stopTask();
        notifyReceived(MVKRemoteConfigReceiveResult::success);
    }
    notifyPrepare();
    if (auto task = services_.taskService->activationTask()) {
        task->launchTask(weakly([](ABTestLogic& logic) { logic.onOfferExpired(); }));
    }
    beginOffer();
}

void ABTestLogic::beginOffer() {
    pendingOffer_ = ++lastOfferGeneration_;
    requestOffer();
}

void ABTestLogic::requestOffer() {
    if (!pendingOffer_) {
        return;
    }
    if (!isTrackingOn()) {
        // The player opted out while the offer was pending: asking on until
        // the wait ends would send their identity, and holding sending until
        // then would hold their opt-out status too.
        log(MVKLogLevel::info, "Offer is not requested again: tracking is disabled");
        onOfferExpired();
        return;
    }
    if (offerInFlight_) {
        offerRequestWaiting_ = true;
        log(MVKLogLevel::debug, "Offer request waits for the one still on its way");
        return;
    }
    offerInFlight_ = true;
    offerRequestWaiting_ = false;
    services_.abTestConfigService->receiveAbBackendOffers(*pendingOffer_);
}

void ABTestLogic::endOffer() {
    pendingOffer_.reset();
    offerRequestWaiting_ = false;
}

bool ABTestLogic::settleOfferRequest(OfferGeneration generation) {
    offerInFlight_ = false;
    if (pendingOffer_ == generation) {
        return true;
    }
    log(MVKLogLevel::debug, "Offer result ignored: its offer is no longer pending");
    if (offerRequestWaiting_) {
        requestOffer();
    }
    return false;
}

void ABTestLogic::refusedLate(const std::vector<std::int64_t>& ids, MVKLogLevel refusedLineLevel) {
    auto task = services_.taskService->activationTask();
    const double holdUp = task ? task->getHoldUpTime() : 0.0;
    notifyChanged(MVKRemoteConfigChangeResult::failure,
                  std::string(prefix) + "Offer from morvanix not received within the allotted [" +
                      seconds(holdUp) + "] seconds");
    services_.suitableExpService->markAsProcessed(ids);
    log(refusedLineLevel, "Suitable experiments [" + idList(ids) + "] marked as refused");
    restartSearchExperiment();
}

void ABTestLogic::onOfferUpdate(OfferGeneration generation,
                                const std::vector<InvolvedExperiment>& involved,
                                const SuitableExperiments& suitable) {
    if (!settleOfferRequest(generation)) {
        return;
    }
    const auto& ids = suitable.suitableExperiments;
    auto task = services_.taskService->activationTask();
    if (involved.empty()) {
        notifyChanged(MVKRemoteConfigChangeResult::failure,
                      std::string(prefix) + "Server refused to conduct the experiment");
        services_.remoteConfigService->markAsRefused(ids);
        restartSearchExperiment();
        log(MVKLogLevel::error, "Suitable experiments [" + idList(ids) + "] marked as refused");
        return;
    }
    if (!task || !task->isTimeoutValid()) {
        // The wait is over and its expiry only queued.
        onOfferExpired();
        return;
    }
    endOffer();
    const auto& first = involved.front();
    log(MVKLogLevel::info, "Offer accept experiment id:[" + std::to_string(first.id) + "] group:[" +
                               first.group + "]");
    ExperimentMarker marker{.idKey = first.id, .group = first.group};
    services_.involvedExpService->cacheExperimentMarker(marker);
    tryIntersectionParameters(marker);
}

void ABTestLogic::onOfferNoConnection(OfferGeneration generation) {
    if (!settleOfferRequest(generation)) {
        return;
    }
    auto task = services_.taskService->activationTask();
    if (task && task->isTimeoutValid()) {
        requestOffer();
    } else {
        onOfferExpired();
    }
}

void ABTestLogic::onOfferExpired() {
    if (auto marker = involvedMarker()) {
        services_.suitableExpService->markAsProcessed({marker->idKey});
        Logger::writeLog(MVKLogLevel::warning, cancelled(marker->idKey, "time is over"));
    } else if (pendingOffer_) {
        // The host heard "prepare" and waits for the outcome.
        refusedLate(services_.suitableExpService->getSuitableExperiments(), MVKLogLevel::warning);
        return;
    }
    restartSearchExperiment();
}

void ABTestLogic::onActivationExpired() {
    if (auto marker = involvedMarker()) {
        Logger::writeLog(MVKLogLevel::error, cancelled(marker->idKey, "time is over"));
        services_.suitableExpService->markAsProcessed({marker->idKey});
    } else {
        log(MVKLogLevel::error, "Init activation task error: involved experiment is loose");
    }
    restartSearchExperiment();
}

void ABTestLogic::onOfferUserChanged(OfferGeneration generation, const MVKError& error) {
    if (!settleOfferRequest(generation)) {
        return;
    }
    Logger::writeLog(MVKLogLevel::error, error.description());
    notifyChanged(MVKRemoteConfigChangeResult::failure, error.description());
    restartSearchExperiment();
}

void ABTestLogic::tryActivateExperiment(const ExperimentMarker& marker) {
    stopReportSending();
    if (auto task = services_.taskService->configTask()) {
        task->stopTask();
    }
    if (auto task = services_.taskService->activationTask()) {
        task->launchTask(weakly([](ABTestLogic& logic) { logic.onActivationExpired(); }));
    }
    notifyReceived(MVKRemoteConfigReceiveResult::success);
    notifyPrepare();
    tryIntersectionParameters(marker);
}

void ABTestLogic::tryIntersectionParameters(const ExperimentMarker& marker) {
    if (services_.userConfigService->toRemoteConfigParameters(marker)) {
        notifyChanged(MVKRemoteConfigChangeResult::success, std::nullopt);
        return;
    }
    const auto error = cancelled(marker.idKey, "remote configuration intersection error");
    services_.suitableExpService->markAsProcessed({marker.idKey});
    eventController_->setExperimentMarker(std::nullopt);
    restartSearchExperiment();
    notifyChanged(MVKRemoteConfigChangeResult::failure, error);
}

void ABTestLogic::tryStartInvolvedExperiment() {
    auto& involved = *services_.involvedExpService;
    const auto marker = involved.getCacheExperimentMarker();
    if (!marker) {
        log(MVKLogLevel::warning, "Current user is not involved into the experiment");
        return;
    }
    if (involved.isActiveExperimentStarted()) {
        log(MVKLogLevel::warning, "Involved experiment is already active");
        return;
    }
    if (auto task = services_.taskService->activationTask()) {
        task->stopTask();
    }
    involved.startActiveExperiment();
    involved.activateExperimentMarker();
    eventController_->setExperimentMarker(marker);
    removeEventListener();
    startReportSending();
}

MVKRemoteConfigParameters ABTestLogic::getConfig() {
    return services_.userConfigService->getUserConfig();
}

void ABTestLogic::resetConfig() {
    if (auto marker = involvedMarker()) {
        services_.suitableExpService->markAsProcessed({marker->idKey});
        eventController_->setExperimentMarker(std::nullopt);
        restartSearchExperiment();
        log(MVKLogLevel::warning,
            "Involved experiment [" + std::to_string(marker->idKey) + "] canceled!");
        return;
    }
    const auto ids = services_.suitableExpService->getSuitableExperiments();
    if (ids.empty()) {
        log(MVKLogLevel::warning, "Unable to reset configuration, no suitable experiments found");
        return;
    }
    services_.suitableExpService->markAsProcessed(ids);
    eventController_->setExperimentMarker(std::nullopt);
    restartSearchExperiment();
    log(MVKLogLevel::warning,
        "Offer request aborted, suitable experiments [" + idList(ids) + "] canceled!");
}

void ABTestLogic::restartSearchExperiment() {
    // Whatever wait was running ends here, so its expiry cannot end a later one.
    if (auto task = services_.taskService->activationTask()) {
        task->stopTask();
    }
    endOffer();
    services_.userConfigService->clearRemoteConfigParameters();
    clearInvolvement();
    installEventListener();
    startReportSending();
}

void ABTestLogic::changeUser(const std::shared_ptr<User>& previousUser) {
    if (auto task = services_.taskService->activationTask()) {
        task->stopTask();
    }
    endOffer();
    isABLogicStopped_ = false;
    removeCheckMarks();
    eventController_->setExperimentMarker(std::nullopt);
    removeEventListener();
    auto& involved = *services_.involvedExpService;
    involved.cacheExperimentMarker(std::nullopt);
    services_.suitableExpService->clearTemporaryProcessedExperiments();
    involved.stopActiveExperiment();
    services_.remoteConfigService->createExperimentState();
    services_.suitableExpService->resetAudienceState();
    configActualization();
    if (auto marker = involvedMarker()) {
        tryActivateExperiment(*marker);
        return;
    }
    // A group offered to the previous user may have left sending off, and
    // with no involvement nothing else would turn it on for this user.
    if (!eventController_->isReportSendingEnable()) {
        startReportSending();
    }
    if (previousUser && involved.isUserHasInvolvedGroup(*previousUser)) {
        services_.userConfigService->clearRemoteConfigParameters();
        notifyPrepare();
        notifyChanged(MVKRemoteConfigChangeResult::success, std::nullopt);
    }
    searchSuitableExperiment(nullptr);
    installEventListener();
}

void ABTestLogic::goActive() {
    incomeQueue_.addOperation(weakly([](ABTestLogic& logic) {
        logic.isApplicationForeground_ = true;
        if (!logic.hasStoredInvolvement() && !logic.eventController_->eventProvider()) {
            logic.installEventListener();
        }
    }));
}

void ABTestLogic::goBackground() {
    incomeQueue_.addOperation(weakly([](ABTestLogic& logic) {
        logic.isApplicationForeground_ = false;
        auto task = logic.services_.taskService->activationTask();
        if (task && task->isTimeoutValid()) {
            task->stopTask();
            logic.endOffer();
            logic.startReportSending();
            logic.services_.userConfigService->clearRemoteConfigParameters();
            logic.services_.suitableExpService->markAsProcessed(
                logic.services_.suitableExpService->getSuitableExperiments());
            if (!logic.services_.involvedExpService->getCacheExperimentMarker()) {
                logic.notifyChanged(
                    MVKRemoteConfigChangeResult::failure,
                    std::string(prefix) + "Offer refused because application enter background");
            }
            logic.clearInvolvement();
        }
        logic.removeEventListener();
    }));
}

}  // namespace mvk

#include "core/ConfigService.hpp"

#include <chrono>
#include <utility>

#include "foundation/Logger.hpp"
#include "platform/QueueManager.hpp"
#include "platform/RunLoop.hpp"
#include "state/SaturatingTime.hpp"

namespace mvk {
namespace {

constexpr const char* trackingDisabledText =
    "The query result was not applied. Tracking is Disabled";

std::string userIdText(const User& user) {
    return user.userId.value_or("");
}

}  // namespace

ConfigService::ConfigService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<ABTestManagerProtocol> abTestManager,
    std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
    std::shared_ptr<BackendProtocol> backend, SerialQueue& incomeQueue, SerialQueue& configQueue,
    std::shared_ptr<DelayedSchedulerProtocol> scheduler)
    : stateManager_(std::move(stateManager)),
      abTestManager_(std::move(abTestManager)),
      projectRepository_(std::move(projectRepository)),
      abTestsExperimentRepository_(std::move(abTestsExperimentRepository)),
      backend_(std::move(backend)),
      incomeQueue_(incomeQueue),
      configQueue_(configQueue),
      scheduler_(std::move(scheduler)) {}

std::shared_ptr<ConfigService> ConfigService::make(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<ABTestManagerProtocol> abTestManager,
    std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
    std::shared_ptr<BackendProtocol> backend) {
    return std::make_shared<ConfigService>(
        std::move(stateManager), std::move(abTestManager), std::move(projectRepository),
        std::move(abTestsExperimentRepository), std::move(backend),
        QueueManager::incomeQueue().queue(), QueueManager::configQueue().queue(),
        RunLoop::delayedScheduler());
}

ConfigService::~ConfigService() {
    cancelPendingRetries();
}

void ConfigService::stop() {
    stopped_->store(true);
    cancelPendingRetries();
}

template <class Step>
void ConfigService::onIncomeQueue(Step step) {
    incomeQueue_.addOperation(
        [weak = weak_from_this(), stopped = stopped_, step = std::move(step)] {
            if (stopped->load()) {
                return;
            }
            if (auto self = weak.lock()) {
                step(*self);
            }
        });
}

template <class Send, class Apply>
void ConfigService::sendThenApply(Send send, Apply apply) {
    configQueue_.addOperation([weak = weak_from_this(), stopped = stopped_,
                               incomeQueue = &incomeQueue_, send = std::move(send),
                               apply = std::move(apply)]() mutable {
        if (stopped->load() || weak.expired()) {
            return;
        }
        auto answer = send();
        incomeQueue->addOperation([weak = std::move(weak), stopped = std::move(stopped),
                                   answer = std::move(answer), apply = std::move(apply)] {
            // A core destroyed while the request ran has stopped this service:
            // its answer must not reach the caches a newer core reads.
            if (stopped->load()) {
                return;
            }
            if (auto self = weak.lock()) {
                apply(*self, answer);
            }
        });
    });
}

bool ConfigService::isTrackingAvailable() const {
    return stateManager_->getActiveProject()->trackingAvailable;
}

// MARK: analytics configuration

void ConfigService::receiveAnalyticsConfig() {
    // Without a gateway the default configuration stays; nothing is retried.
    if (stopped_->load() || !backend_->hasGateway()) {
        return;
    }
    replacePendingRetry(configurationRetry, nullptr);
    const auto project = stateManager_->getActiveProject();
    const auto user = stateManager_->getActiveUser();
    Versions versions = stateManager_->getVersion();
    Identifiers identifiers = stateManager_->getIdentifiers(*user);
    Logger::writeLog(MVKLogLevel::debug, "Trying to get analytics configuration from the server");
    sendThenApply(
        [backend = backend_, key = project->applicationKey(), identifiers = std::move(identifiers),
         versions = std::move(versions)] {
            return backend->requestConfig(key, identifiers, versions);
        },
        [](ConfigService& self, const ConfigRequestResult& result) {
            self.processResultAnalyticsConfig(result.config, result.isDefault);
        });
}

void ConfigService::processResultAnalyticsConfig(const Config& config, bool isDefault) {
    if (isDefault) {
        retryAfter(configurationRetry, sdkConfigAttempt_, attemptTimeoutSeconds,
                   "Failed to get analytics configuration, using the default configuration",
                   &ConfigService::receiveAnalyticsConfig);
        return;
    }
    if (onSdkConfigUpdate_) {
        onSdkConfigUpdate_(config);
    }
}

// MARK: backend identifiers

void ConfigService::receiveUserBackendIds() {
    if (stopped_->load() || !backend_->hasGateway()) {
        return;
    }
    const auto user = stateManager_->getActiveUser();
    if (backendIDsRequestInProcess_.exchange(true)) {
        Logger::writeLog(MVKLogLevel::debug, "Receiving operation for user backend identifiers [" +
                                                 userIdText(*user) + "] has been canceled");
        return;
    }
    replacePendingRetry(identificationRetry, nullptr);
    const auto project = stateManager_->getActiveProject();
    requestIdentification(1, project->applicationKey(), stateManager_->getIdentifiers(*user),
                          user->idKey);
}

void ConfigService::requestIdentification(std::int64_t attempt, const std::string& applicationKey,
                                          const Identifiers& identifiers, std::int64_t userRowId) {
    sendThenApply(
        [backend = backend_, attempt, applicationKey, identifiers] {
            return backend->requestIdentification(applicationKey, attempt, identifiers);
        },
        [attempt, applicationKey, identifiers, userRowId](ConfigService& self,
                                                          const BackendIdentifiers& result) {
            self.applyIdentification(result, attempt, applicationKey, identifiers, userRowId);
        });
}

void ConfigService::applyIdentification(const BackendIdentifiers& result, std::int64_t attempt,
                                        const std::string& applicationKey,
                                        const Identifiers& identifiers, std::int64_t userRowId) {
    switch (result.kind()) {
        case BackendIdentifiers::Case::identifiers:
            backendIDsRequestInProcess_ = false;
            if (isTrackingAvailable()) {
                processResultBackendIdentifiers(*result.summary(), userRowId);
            } else {
                Logger::writeLog(MVKLogLevel::info, trackingDisabledText);
            }
            break;
        case BackendIdentifiers::Case::retryAfter: {
            // A hostile or broken answer must not make a busy loop nor park
            // the identification for ever.
            const std::int64_t delay = clampMillis(
                *result.retryAfterMillis(), minimumRetryAfterMillis, maximumRetryAfterMillis);
            Logger::writeLog(MVKLogLevel::debug,
                             "BackendIdentifiers: let's retry after: " + std::to_string(delay));
            scheduleIdentificationRetry(delay, attempt, applicationKey, identifiers, userRowId);
            break;
        }
        case BackendIdentifiers::Case::error:
            Logger::writeLog(MVKLogLevel::error, "BackendIdentifiers: " + *result.errorMessage());
            backendIDsRequestInProcess_ = false;
            retryAfter(identificationRetry, backendIDsAttempt_, attemptTimeoutSeconds,
                       "Failed to get user backend identifiers",
                       &ConfigService::receiveUserBackendIds);
            break;
        case BackendIdentifiers::Case::doNotRetry:
            Logger::writeLog(MVKLogLevel::debug, "BackendIdentifiers: doNotRetry");
            backendIDsRequestInProcess_ = false;
            break;
    }
}

void ConfigService::scheduleIdentificationRetry(std::int64_t delayMillis, std::int64_t attempt,
                                                const std::string& applicationKey,
                                                const Identifiers& identifiers,
                                                std::int64_t userRowId) {
    // The scheduler's thread only hops: the request itself blocks the
    // configuration queue, like every other request. The in-process flag stays
    // set meanwhile, so no second identification starts.
    replacePendingRetry(
        identificationRetry,
        scheduler_->schedule(std::chrono::milliseconds(delayMillis), [weak = weak_from_this(),
                                                                      attempt, applicationKey,
                                                                      identifiers, userRowId] {
            if (auto self = weak.lock()) {
                self->onIncomeQueue([=](ConfigService& self) {
                    self.requestIdentification(attempt + 1, applicationKey, identifiers, userRowId);
                });
            }
        }));
}

void ConfigService::replacePendingRetry(RetryKind kind,
                                        std::shared_ptr<ScheduledWorkProtocol> task) {
    std::shared_ptr<ScheduledWorkProtocol> replaced;
    {
        std::lock_guard lock(retryMutex_);
        replaced = std::exchange(pendingRetries_[kind], std::move(task));
    }
    if (replaced) {
        replaced->cancel();
    }
}

void ConfigService::cancelPendingRetries() {
    std::array<std::shared_ptr<ScheduledWorkProtocol>, retryKinds> tasks;
    {
        std::lock_guard lock(retryMutex_);
        tasks.swap(pendingRetries_);
    }
    for (const auto& task : tasks) {
        if (task) {
            task->cancel();
        }
    }
}

void ConfigService::processResultBackendIdentifiers(const SummaryBackendData& summary,
                                                    std::int64_t userRowId) {
    const auto user = stateManager_->getActiveUser();
    if (user->idKey != userRowId) {
        Logger::writeLog(MVKLogLevel::debug,
                         "In the process of receiving backendidentifiers from the server, the "
                         "user was changed. Request the identifiers again.");
        receiveUserBackendIds();
        return;
    }
    const UserIdentifiers& ids = summary.userIdentifications;
    stateManager_->updateDeviceIdentifiers(ids.morvanixId, ids.crossPlatformMorvanixId,
                                           ids.morvanixIdTimestamp);
    Logger::writeLog(MVKLogLevel::info, "For [" + userIdText(*user) + "] user the updated " +
                                            "backendIdentifiers are:\n" + ids.description());
    if (onIdentifiersUpdate_) {
        onIdentifiersUpdate_(ids.morvanixId);
    }
    Logger::writeLog(MVKLogLevel::info, "For [" + userIdText(*user) + "] user the updated " +
                                            "backendUserInfo are:\n" +
                                            summary.userData.description());
    if (onBackendUserDataUpdate_) {
        onBackendUserDataUpdate_(summary.userData);
    }
}

// MARK: A/B configuration

void ConfigService::receiveABConfig() {
    if (stopped_->load() || !backend_->hasGateway()) {
        return;
    }
    const auto user = stateManager_->getActiveUser();
    if (abConfigRequestInProcess_.exchange(true)) {
        Logger::writeLog(MVKLogLevel::debug,
                         "[A/B-Test Module] Receiving operation for A/B Test configuration [" +
                             userIdText(*user) + "] has been canceled");
        return;
    }
    replacePendingRetry(abConfigRetry, nullptr);
    const auto project = stateManager_->getActiveProject();
    Versions versions = stateManager_->getVersion();
    versions.remoteConfigVersion = abTestManager_->configVersion();
    Logger::writeLog(MVKLogLevel::debug,
                     "[A/B-Test Module] Trying to get A/B Test configuration from server");
    sendThenApply(
        [backend = backend_, key = project->applicationKey(),
         identifiers = stateManager_->getIdentifiers(*user), versions = std::move(versions)] {
            return backend->requestABTestConfig(key, identifiers, versions);
        },
        [userRowId = user->idKey](ConfigService& self, const std::optional<RemoteConfig>& answer) {
            self.abConfigRequestInProcess_ = false;
            if (self.isTrackingAvailable()) {
                self.processResultABConfig(answer, userRowId);
            } else {
                Logger::writeLog(MVKLogLevel::info, trackingDisabledText);
            }
        });
}

void ConfigService::processResultABConfig(const std::optional<RemoteConfig>& config,
                                          std::int64_t userRowId) {
    if (!config) {
        retryAfter(abConfigRetry, remoteConfigAttempt_, attemptTimeoutSeconds,
                   "[A/B-Test Module] Failed to get A/B Test configuration",
                   &ConfigService::receiveABConfig);
        return;
    }
    if (stateManager_->getActiveUser()->idKey != userRowId) {
        Logger::writeLog(MVKLogLevel::debug,
                         "[A/B-Test Module] In the process of receiving A/B Test configuration "
                         "from the server, the user was changed. Request the configuration again.");
        receiveABConfig();
        return;
    }
    if (configUpdate_) {
        configUpdate_(*config);
    }
}

// MARK: group offer

void ConfigService::receiveAbBackendOffers(OfferGeneration generation) {
    if (stopped_->load()) {
        return;
    }
    if (!backend_->hasGateway()) {
        // The offer's caller waits for an outcome: it hears "unanswered" at
        // the pace of a lost connection until its own wait ends, with no
        // request and no line.
        handBackUnansweredOffer(generation);
        return;
    }
    const auto project = stateManager_->getActiveProject();
    const auto user = stateManager_->getActiveUser();
    SuitableExperiments suitable{abTestManager_->suitableExperiments()};
    Logger::writeLog(MVKLogLevel::debug, "[A/B-Test Module] Trying get A/B Test offer from server");
    sendThenApply(
        [backend = backend_, key = project->applicationKey(),
         identifiers = stateManager_->getIdentifiers(*user),
         suitable] { return backend->requestAbTestOffer(key, identifiers, suitable); },
        [suitable, generation, userRowId = user->idKey](
            ConfigService& self, const std::optional<InvolvedExperimentsContainer>& offer) {
            if (self.isTrackingAvailable()) {
                self.processResultRecivingOffer(offer, suitable, generation, userRowId);
            } else {
                Logger::writeLog(MVKLogLevel::info, trackingDisabledText);
                // The caller still hears that this request is over, at once:
                // it asks nothing more while tracking is off, so there is no
                // retry to pace.
                self.tellOfferUnanswered(generation);
            }
        });
}

void ConfigService::processResultRecivingOffer(
    const std::optional<InvolvedExperimentsContainer>& offer, const SuitableExperiments& suitable,
    OfferGeneration generation, std::int64_t userRowId) {
    // An offer made for another user is never applied to this one.
    if (stateManager_->getActiveUser()->idKey != userRowId) {
        if (offerUserChanged_) {
            offerUserChanged_(
                generation,
                MVKError("[A/B-Test Module]  In the process of receiving offer from the server, "
                         "the user was changed. Offer has been canceled."));
        }
        return;
    }
    if (offer) {
        if (offerUpdate_) {
            offerUpdate_(generation, offer->involvedExperiments, suitable);
        }
        return;
    }
    Logger::writeLog(MVKLogLevel::error, "Failed to get experiment offer, retrying after " +
                                             std::to_string(offerRetrySeconds) + " seconds");
    handBackUnansweredOffer(generation);
}

void ConfigService::handBackUnansweredOffer(OfferGeneration generation) {
    scheduler_->schedule(
        std::chrono::seconds(offerRetrySeconds), [weak = weak_from_this(), generation] {
            if (auto self = weak.lock()) {
                self->onIncomeQueue(
                    [generation](ConfigService& self) { self.tellOfferUnanswered(generation); });
            }
        });
}

void ConfigService::tellOfferUnanswered(OfferGeneration generation) {
    if (offerNoConnection_) {
        offerNoConnection_(generation);
    }
}

// MARK: retries

void ConfigService::retryAfter(std::optional<RetryKind> kind, std::int64_t& attempt,
                               std::int64_t attemptTimeout, const std::string& message,
                               Selector retrySelector) {
    const std::int64_t delay = attempt * attemptTimeout;
    Logger::writeLog(MVKLogLevel::error,
                     message + ", retrying after " + std::to_string(delay) + " seconds");
    auto task = scheduler_->schedule(std::chrono::seconds(delay), [weak = weak_from_this(),
                                                                   retrySelector] {
        if (auto self = weak.lock()) {
            self->onIncomeQueue([retrySelector](ConfigService& self) { (self.*retrySelector)(); });
        }
    });
    if (kind) {
        replacePendingRetry(*kind, std::move(task));
    }
    attempt = attempt < maximumAttempt ? attempt + 1 : maximumAttempt;
}

}  // namespace mvk

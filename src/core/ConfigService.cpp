#include "core/ConfigService.hpp"

#include <chrono>
#include <utility>

#include "core/SaturatingTime.hpp"
#include "foundation/Logger.hpp"
#include "foundation/QueueManager.hpp"
#include "platform/RunLoop.hpp"

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
    cancelRetryTimerTask();
}

template <class Step>
void ConfigService::onConfigQueue(Step step) {
    configQueue_.addOperation([weak = weak_from_this(), step = std::move(step)] {
        if (auto self = weak.lock()) {
            step(*self);
        }
    });
}

template <class Step>
void ConfigService::onIncomeQueue(Step step) {
    incomeQueue_.addOperation([weak = weak_from_this(), step = std::move(step)] {
        if (auto self = weak.lock()) {
            step(*self);
        }
    });
}

bool ConfigService::isTrackingAvailable() const {
    return stateManager_->getActiveProject()->trackingAvailable;
}

// MARK: analytics configuration

void ConfigService::receiveAnalyticsConfig() {
    const auto project = stateManager_->getActiveProject();
    const auto user = stateManager_->getActiveUser();
    Versions versions = stateManager_->getVersion();
    Identifiers identifiers = stateManager_->getIdentifiers(*user);
    Logger::writeLog(MVKLogLevel::debug, "Trying to get analytics configuration from the server");
    onConfigQueue([key = project->applicationKey(), identifiers = std::move(identifiers),
                   versions = std::move(versions)](ConfigService& self) {
        auto result = self.backend_->requestConfig(key, identifiers, versions);
        self.onIncomeQueue([result = std::move(result)](ConfigService& self) {
            self.processResultAnalyticsConfig(result.config, result.isDefault);
        });
    });
}

void ConfigService::processResultAnalyticsConfig(const Config& config, bool isDefault) {
    if (isDefault) {
        retryAfter(sdkConfigAttempt_, attemptTimeoutSeconds,
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
    const auto user = stateManager_->getActiveUser();
    if (backendIDsRequestInProcess_.exchange(true)) {
        Logger::writeLog(MVKLogLevel::debug, "Receiving operation for user backend identifiers [" +
                                                 userIdText(*user) + "] has been canceled");
        return;
    }
    const auto project = stateManager_->getActiveProject();
    onConfigQueue([key = project->applicationKey(),
                   identifiers = stateManager_->getIdentifiers(*user),
                   userRowId = user->idKey](ConfigService& self) {
        self.cancelRetryTimerTask();
        self.getBackendIdentifiers(1, key, identifiers, userRowId);
    });
}

void ConfigService::getBackendIdentifiers(std::int64_t attempt, const std::string& applicationKey,
                                          const Identifiers& identifiers, std::int64_t userRowId) {
    auto result = backend_->requestIdentification(applicationKey, attempt, identifiers);
    switch (result.kind()) {
        case BackendIdentifiers::Case::identifiers:
            onIncomeQueue([summary = *result.summary(), userRowId](ConfigService& self) {
                self.backendIDsRequestInProcess_ = false;
                if (self.isTrackingAvailable()) {
                    self.processResultBackendIdentifiers(summary, userRowId);
                } else {
                    Logger::writeLog(MVKLogLevel::info, trackingDisabledText);
                }
            });
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
            onIncomeQueue([](ConfigService& self) {
                self.backendIDsRequestInProcess_ = false;
                self.retryAfter(self.backendIDsAttempt_, attemptTimeoutSeconds,
                                "Failed to get user backend identifiers",
                                &ConfigService::receiveUserBackendIds);
            });
            break;
        case BackendIdentifiers::Case::doNotRetry:
            Logger::writeLog(MVKLogLevel::debug, "BackendIdentifiers: doNotRetry");
            onIncomeQueue([](ConfigService& self) { self.backendIDsRequestInProcess_ = false; });
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
    auto task = scheduler_->schedule(
        std::chrono::milliseconds(delayMillis),
        [weak = weak_from_this(), attempt, applicationKey, identifiers, userRowId] {
            if (auto self = weak.lock()) {
                self->onConfigQueue([=](ConfigService& self) {
                    self.getBackendIdentifiers(attempt + 1, applicationKey, identifiers, userRowId);
                });
            }
        });
    std::shared_ptr<ScheduledWorkProtocol> replaced;
    {
        std::lock_guard lock(retryMutex_);
        replaced = std::exchange(retryTimerTask_, std::move(task));
    }
    if (replaced) {
        replaced->cancel();
    }
}

void ConfigService::cancelRetryTimerTask() {
    std::shared_ptr<ScheduledWorkProtocol> task;
    {
        std::lock_guard lock(retryMutex_);
        task = std::move(retryTimerTask_);
    }
    if (task) {
        task->cancel();
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
    const auto user = stateManager_->getActiveUser();
    if (abConfigRequestInProcess_.exchange(true)) {
        Logger::writeLog(MVKLogLevel::debug,
                         "[A/B-Test Module] Receiving operation for A/B Test configuration [" +
                             userIdText(*user) + "] has been canceled");
        return;
    }
    const auto project = stateManager_->getActiveProject();
    Versions versions = stateManager_->getVersion();
    versions.remoteConfigVersion = abTestManager_->configVersion();
    Logger::writeLog(MVKLogLevel::debug,
                     "[A/B-Test Module] Trying to get A/B Test configuration from server");
    onConfigQueue([key = project->applicationKey(),
                   identifiers = stateManager_->getIdentifiers(*user),
                   versions = std::move(versions), userRowId = user->idKey](ConfigService& self) {
        auto answer = self.backend_->requestABTestConfig(key, identifiers, versions);
        self.onIncomeQueue([answer = std::move(answer), userRowId](ConfigService& self) {
            self.abConfigRequestInProcess_ = false;
            if (self.isTrackingAvailable()) {
                self.processResultABConfig(answer, userRowId);
            } else {
                Logger::writeLog(MVKLogLevel::info, trackingDisabledText);
            }
        });
    });
}

void ConfigService::processResultABConfig(const std::optional<RemoteConfig>& config,
                                          std::int64_t userRowId) {
    if (!config) {
        retryAfter(remoteConfigAttempt_, attemptTimeoutSeconds,
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

void ConfigService::receiveAbBackendOffers() {
    const auto project = stateManager_->getActiveProject();
    const auto user = stateManager_->getActiveUser();
    SuitableExperiments suitable{abTestManager_->suitableExperiments()};
    Logger::writeLog(MVKLogLevel::debug, "[A/B-Test Module] Trying get A/B Test offer from server");
    onConfigQueue([key = project->applicationKey(),
                   identifiers = stateManager_->getIdentifiers(*user),
                   suitable = std::move(suitable), userRowId = user->idKey](ConfigService& self) {
        auto offer = self.backend_->requestAbTestOffer(key, identifiers, suitable);
        self.onIncomeQueue([offer = std::move(offer), suitable, userRowId](ConfigService& self) {
            if (self.isTrackingAvailable()) {
                self.processResultRecivingOffer(offer, suitable, userRowId);
            } else {
                Logger::writeLog(MVKLogLevel::info, trackingDisabledText);
            }
        });
    });
}

void ConfigService::processResultRecivingOffer(
    const std::optional<InvolvedExperimentsContainer>& offer, const SuitableExperiments& suitable,
    std::int64_t userRowId) {
    // An offer made for another user is never applied to this one.
    if (stateManager_->getActiveUser()->idKey != userRowId) {
        if (offerUserChanged_) {
            offerUserChanged_(MVKError(
                "[A/B-Test Module]  In the process of receiving offer from the server, the user "
                "was changed. Offer has been canceled."));
        }
        return;
    }
    if (offer) {
        if (offerUpdate_) {
            offerUpdate_(offer->involvedExperiments, suitable);
        }
        return;
    }
    // A fresh counter: the offer is always handed back after the same short wait.
    std::int64_t attempt = 1;
    retryAfter(attempt, offerRetrySeconds, "Failed to get experiment offer",
               &ConfigService::notifyOfferNoConnection);
}

void ConfigService::notifyOfferNoConnection() {
    if (offerNoConnection_) {
        offerNoConnection_();
    }
}

// MARK: retries

void ConfigService::retryAfter(std::int64_t& attempt, std::int64_t attemptTimeout,
                               const std::string& message, Selector retrySelector) {
    const std::int64_t delay = attempt * attemptTimeout;
    Logger::writeLog(MVKLogLevel::error,
                     message + ", retrying after " + std::to_string(delay) + " seconds");
    scheduler_->schedule(std::chrono::seconds(delay), [weak = weak_from_this(), retrySelector] {
        if (auto self = weak.lock()) {
            self->onIncomeQueue([retrySelector](ConfigService& self) { (self.*retrySelector)(); });
        }
    });
    attempt = attempt < maximumAttempt ? attempt + 1 : maximumAttempt;
}

}  // namespace mvk

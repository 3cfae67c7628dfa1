#include "state/ProjectService.hpp"

#include <algorithm>
#include <utility>

#include "foundation/JsonCoding.hpp"
#include "foundation/Logger.hpp"

namespace mvk {
namespace {

const char* enableText(bool isEnabled) {
    return isEnabled ? "Enable" : "Disable";
}

}  // namespace

ProjectService::ProjectService(std::shared_ptr<StateManagerProtocol> stateManager,
                               std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                               std::shared_ptr<RealPaymentRepositoryProtocol> realPaymentRepository,
                               std::shared_ptr<ValidatorSettingsProtocol> validator)
    : stateManager_(std::move(stateManager)),
      projectRepository_(std::move(projectRepository)),
      realPaymentRepository_(std::move(realPaymentRepository)),
      validator_(std::move(validator)) {}

const Config& ProjectService::configuration() const {
    return stateManager_->getActiveProject()->configuration;
}

bool ProjectService::userCounting() {
    return configuration().userCounting;
}

bool ProjectService::isRefererSent() {
    return stateManager_->getActiveProject()->isReferralSent;
}

void ProjectService::setIsRefererSent(bool isSent) {
    const auto project = stateManager_->getActiveProject();
    if (!project->trackingAvailable) {
        return;
    }
    project->isReferralSent = isSent;
    projectRepository_->update(project);
}

std::int64_t ProjectService::paramsCount() {
    return configuration().eventParamsCount;
}

MarkLookup ProjectService::isCurrencyPaymentMarked(const std::string& orderId) {
    const RealPaymentMark wanted{.projectId = stateManager_->getActiveProject()->idKey,
                                 .orderId = orderId};
    const auto marks = realPaymentRepository_->list();
    if (!marks) {
        return MarkLookup::unknown;
    }
    return std::find(marks->begin(), marks->end(), wanted) != marks->end() ? MarkLookup::marked
                                                                           : MarkLookup::notMarked;
}

bool ProjectService::markCurrencyPayment(const std::string& orderId) {
    const MarkLookup lookup = isCurrencyPaymentMarked(orderId);
    if (lookup == MarkLookup::unknown) {
        return false;
    }
    if (lookup == MarkLookup::marked) {
        Logger::writeLog(MVKLogLevel::warning, "Real currency payment with same order id [" +
                                                   orderId + "] already marked!");
        return true;
    }
    return realPaymentRepository_
        ->insert(RealPaymentMark{.projectId = stateManager_->getActiveProject()->idKey,
                                 .orderId = orderId})
        .has_value();
}

void ProjectService::setTrackingAvailable(bool isAvailable) {
    const auto projects = projectRepository_->list();
    if (!projects) {
        Logger::writeLog(MVKLogLevel::error, "The projects could not be read; tracking unchanged");
        return;
    }
    for (const auto& project : *projects) {
        project->trackingAvailable = isAvailable;
        projectRepository_->update(project);
    }
    Logger::writeLog(MVKLogLevel::info,
                     std::string("Tracking status is ") + enableText(isAvailable));
}

bool ProjectService::getTrackingAvailable() {
    return stateManager_->getActiveProject()->trackingAvailable;
}

void ProjectService::applyConfig(const Config& config) {
    const auto project = stateManager_->getActiveProject();
    const Config& stored = project->configuration;
    Config merged = config;

    const bool sameExclude = stored.exclude && config.exclude
                                 ? stored.exclude->version == config.exclude->version
                                 : !stored.exclude && !config.exclude;
    if (sameExclude) {
        merged.exclude = stored.exclude;
    }
    if (stored.sbsConfigVersion == config.sbsConfigVersion) {
        merged.sbsBundles = stored.sbsBundles;
    }

    project->configuration = std::move(merged);
    projectRepository_->update(project);
    Logger::writeLog(MVKLogLevel::debug, "The SDK analytics configuration has been received:\n " +
                                             toPrettyJson(project->configuration));
}

bool ProjectService::checkIfNeedRemoveUsersData() {
    return !configuration().userCounting;
}

void ProjectService::updateValidator() {
    if (!validator_) {
        return;
    }
    const Config& config = configuration();
    validator_->setExcludedOptions(config.exclude ? config.exclude->events : std::nullopt);
    validator_->setNumberOfCurrencies(getNumberOfCurrencies());
}

std::int64_t ProjectService::getNumberOfCurrencies() {
    return configuration().numberOfCurrencies.value_or(defaultNumberOfCurrencies);
}

std::int64_t ProjectService::getUserCardKeysCount() {
    return configuration().userCardKeysCount.value_or(defaultUserCardKeysCount);
}

}  // namespace mvk

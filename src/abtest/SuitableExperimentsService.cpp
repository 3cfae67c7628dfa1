#include "abtest/SuitableExperimentsService.hpp"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "abtest/ABTestRows.hpp"
#include "abtest/ConditionMatcher.hpp"

namespace mvk {

namespace {

bool contains(const std::vector<std::int64_t>& ids, std::int64_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool contains(const std::vector<std::string>& codes, const std::string& code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

SuitableExperimentsService::SuitableExperimentsService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<ABTestManagerProtocol> abTestManager,
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
    std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository)
    : stateManager_(std::move(stateManager)),
      abTestManager_(std::move(abTestManager)),
      experiments_(std::move(abTestsExperimentRepository)),
      states_(std::move(abTestsExperimentStateRepository)) {}

std::vector<std::int64_t> SuitableExperimentsService::getExperimentStateIdsForActiveUser() {
    std::vector<std::int64_t> ids;
    auto user = stateManager_->getActiveUser();
    auto rows = readRows(*states_);
    if (!user || !rows) {
        return ids;
    }
    for (const auto& row : *rows) {
        if (row->userId == user->idKey && row->runAbility &&
            !contains(temporaryProcessedExperiments_, row->experimentId)) {
            ids.push_back(row->experimentId);
        }
    }
    return ids;
}

std::vector<std::shared_ptr<ABTestsExperiment>> SuitableExperimentsService::getAllExperiments() {
    std::vector<std::shared_ptr<ABTestsExperiment>> candidates;
    auto project = stateManager_->getActiveProject();
    const auto ids = getExperimentStateIdsForActiveUser();
    if (!project || ids.empty()) {
        return candidates;
    }
    auto rows = readRows(*experiments_);
    if (!rows) {
        return candidates;
    }
    // The gateway decides how many experiments there are: no search per row.
    const std::unordered_set<std::int64_t> wanted(ids.begin(), ids.end());
    for (auto& row : *rows) {
        if (row->projectId == project->idKey && wanted.contains(row->experimentId)) {
            candidates.push_back(std::move(row));
        }
    }
    return candidates;
}

void SuitableExperimentsService::updateActiveAudienceState(
    const AudienceLocalData& localData, std::optional<PeopleEvent> peopleData,
    const std::optional<UserData>& backendUserData) {
    if (!audienceState_) {
        audienceState_.emplace();
    }
    audienceState_->displayDiagonal = localData.displayDiagonal;
    audienceState_->country = localData.country;
    audienceState_->language = localData.language;
    audienceState_->userLevel = localData.level;
    audienceState_->people = std::move(peopleData);
    audienceState_->setBackendUserData(backendUserData);
    audienceState_->updateLifeTime();
    audience_ = audienceState_->dictionary();
    updateExperimentsMask();
}

void SuitableExperimentsService::resetAudienceState() {
    audienceState_.reset();
    audience_ = AnyCodable::Object{};
}

void SuitableExperimentsService::removeAudienceCheckMarks() {
    for (const auto& experiment : getAllExperiments()) {
        for (auto& condition : experiment->conditions) {
            if (condition.conditionsType == ConditionsType::backend) {
                condition.isChecked = false;
            }
        }
    }
}

void SuitableExperimentsService::updateExperimentsMask() {
    experimentsMask_.clear();
    for (const auto& experiment : getAllExperiments()) {
        std::vector<std::string> codes;
        for (const auto& condition : experiment->conditions) {
            if (!contains(codes, condition.eventCode)) {
                codes.push_back(condition.eventCode);
            }
        }
        if (!codes.empty()) {
            experimentsMask_.push_back(ExperimentMask{experiment->experimentId, std::move(codes)});
        }
    }
}

const ExperimentMask* SuitableExperimentsService::maskOf(std::int64_t experimentId) const {
    for (const auto& mask : experimentsMask_) {
        if (mask.experimentId == experimentId) {
            return &mask;
        }
    }
    return nullptr;
}

bool SuitableExperimentsService::isMasked(const std::string& code) const {
    return std::any_of(
        experimentsMask_.begin(), experimentsMask_.end(),
        [&](const ExperimentMask& mask) { return contains(mask.eventKeysMask, code); });
}

std::vector<std::int64_t> SuitableExperimentsService::searchSuitableExperiments(
    const EventObject* event) {
    std::vector<std::int64_t> ids;
    auto candidates = getAllExperiments();
    if (candidates.empty()) {
        return ids;
    }
    // Most stored events name no experiment's code; those are never decoded,
    // and the others only once for every candidate.
    std::optional<AnyCodable> eventJson;
    if (event != nullptr && isMasked(event->code)) {
        eventJson = AnyCodable::parse(event->json);
        if (eventJson && !eventJson->isObject()) {
            eventJson.reset();
        }
    }
    for (const auto& experiment : candidates) {
        if (experiment->isTesting) {
            ids.push_back(experiment->experimentId);
        } else if (auto id = checkCurrentExperiment(event, eventJson ? &*eventJson : nullptr,
                                                    *experiment)) {
            ids.push_back(*id);
        }
    }
    return ids;
}

std::optional<std::int64_t> SuitableExperimentsService::checkCurrentExperiment(
    const EventObject* event, const AnyCodable* eventJson, ABTestsExperiment& experiment) {
    for (auto& condition : experiment.conditions) {
        if (condition.isChecked) {
            continue;
        }
        std::optional<AnyCodable> value;
        if (condition.conditionsType == ConditionsType::backend) {
            value = ConditionMatcher::searchAudienceValue(condition,
                                                          audienceState_ ? &audience_ : nullptr);
        } else if (event != nullptr && eventJson != nullptr) {
            // The event's code is matched against the experiment's whole mask,
            // not against the condition's own code.
            const auto* mask = maskOf(experiment.experimentId);
            if (mask != nullptr && contains(mask->eventKeysMask, event->code)) {
                value = ConditionMatcher::searchFieldValue(*eventJson, condition.searchPath);
            }
        }
        if (!value ||
            !ConditionMatcher::compareValues(condition.searchPath, *value, condition.comparison)) {
            return std::nullopt;
        }
        if (condition.conditionsType == ConditionsType::backend) {
            condition.isChecked = true;
        }
    }
    return experiment.experimentId;
}

void SuitableExperimentsService::addSuitableExperiments(std::vector<std::int64_t> experimentIds) {
    abTestManager_->setSuitableExperiments(std::move(experimentIds));
}

std::vector<std::int64_t> SuitableExperimentsService::getSuitableExperiments() const {
    return abTestManager_->suitableExperiments();
}

void SuitableExperimentsService::markAsProcessed(const std::vector<std::int64_t>& experimentIds) {
    temporaryProcessedExperiments_.insert(temporaryProcessedExperiments_.end(),
                                          experimentIds.begin(), experimentIds.end());
    auto pending = abTestManager_->suitableExperiments();
    std::erase_if(pending, [&](std::int64_t id) { return contains(experimentIds, id); });
    abTestManager_->setSuitableExperiments(std::move(pending));
}

void SuitableExperimentsService::clearTemporaryProcessedExperiments() {
    temporaryProcessedExperiments_.clear();
}

}  // namespace mvk

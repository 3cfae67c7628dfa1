#include "abtest/InvolvedExperimentsService.hpp"

#include <utility>

#include "abtest/ABTestRows.hpp"

namespace mvk {

InvolvedExperimentsService::InvolvedExperimentsService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<ABTestManagerProtocol> abTestManager,
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
    std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository,
    ABTestInitalData abTestInitialData)
    : stateManager_(std::move(stateManager)),
      abTestManager_(std::move(abTestManager)),
      experiments_(std::move(abTestsExperimentRepository)),
      states_(std::move(abTestsExperimentStateRepository)),
      abTestInitialData_(abTestInitialData) {}

void InvolvedExperimentsService::cacheExperimentMarker(std::optional<ExperimentMarker> marker) {
    experimentMarker_ = std::move(marker);
}

std::optional<ExperimentMarker> InvolvedExperimentsService::getCacheExperimentMarker() const {
    return experimentMarker_;
}

std::shared_ptr<ABTestsExperimentState>
InvolvedExperimentsService::searchInvolvedExperimentState() {
    auto user = stateManager_->getActiveUser();
    auto rows = readRows(*states_);
    if (!user || !rows) {
        return nullptr;
    }
    for (const auto& row : *rows) {
        if (row->userId == user->idKey && row->involvement) {
            return row;
        }
    }
    return nullptr;
}

std::optional<ExperimentMarker> InvolvedExperimentsService::tryLoadExperimentMarker() {
    if (!experimentMarker_) {
        if (auto state = searchInvolvedExperimentState()) {
            experimentMarker_ = state->involvement;
        }
    }
    return experimentMarker_;
}

void InvolvedExperimentsService::activateExperimentMarker() {
    auto user = stateManager_->getActiveUser();
    auto rows = readRows(*states_);
    if (!experimentMarker_ || !user || !rows) {
        return;
    }
    for (const auto& row : *rows) {
        if (row->userId == user->idKey && row->experimentId == experimentMarker_->idKey) {
            row->involvement = experimentMarker_;
            states_->update(row);
            return;
        }
    }
}

void InvolvedExperimentsService::clearExperimentMarker() {
    experimentMarker_.reset();
    if (auto state = searchInvolvedExperimentState()) {
        state->involvement.reset();
        states_->update(state);
    }
}

bool InvolvedExperimentsService::isMarkedExperimentFound() const {
    return experimentMarker_.has_value();
}

void InvolvedExperimentsService::startActiveExperiment() {
    isExperimentActivated_ = true;
}

void InvolvedExperimentsService::stopActiveExperiment() {
    isExperimentActivated_ = false;
}

bool InvolvedExperimentsService::isActiveExperimentStarted() const {
    return isExperimentActivated_;
}

bool InvolvedExperimentsService::isUserHasInvolvedGroup(const User& user) {
    auto rows = readRows(*states_);
    if (!rows) {
        return false;
    }
    for (const auto& row : *rows) {
        if (row->userId == user.idKey && row->involvement) {
            return true;
        }
    }
    return false;
}

bool InvolvedExperimentsService::isNeedCacheTestingExperiment() const {
    return abTestInitialData_.cacheTestExperiment;
}

bool InvolvedExperimentsService::isExperimentTesting(std::int64_t idKey) {
    auto project = stateManager_->getActiveProject();
    auto rows = readRows(*experiments_);
    if (!project || !rows) {
        return false;
    }
    for (const auto& row : *rows) {
        if (row->projectId == project->idKey && row->experimentId == idKey) {
            return row->isTesting;
        }
    }
    return false;
}

}  // namespace mvk

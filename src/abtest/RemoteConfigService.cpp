#include "abtest/RemoteConfigService.hpp"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "abtest/ABTestRows.hpp"
#include "foundation/Clock.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

namespace {

bool holdsExperiment(const std::vector<std::int64_t>& ids, std::int64_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

RemoteConfigService::RemoteConfigService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<ABTestManagerProtocol> abTestManager,
    std::shared_ptr<ABTestsProjectRepositoryProtocol> abTestsProjectRepository,
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
    std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository)
    : stateManager_(std::move(stateManager)),
      abTestManager_(std::move(abTestManager)),
      projects_(std::move(abTestsProjectRepository)),
      experiments_(std::move(abTestsExperimentRepository)),
      states_(std::move(abTestsExperimentStateRepository)) {}

std::optional<std::shared_ptr<ABTestsProject>> RemoteConfigService::projectRow() {
    auto project = stateManager_->getActiveProject();
    auto rows = readRows(*projects_);
    if (!project || !rows) {
        return std::nullopt;
    }
    for (auto& row : *rows) {
        if (row->projectId == project->idKey) {
            return row;
        }
    }
    return std::shared_ptr<ABTestsProject>{};
}

std::optional<RemoteConfigService::ExperimentRows> RemoteConfigService::projectExperiments() {
    auto project = stateManager_->getActiveProject();
    auto rows = readRows(*experiments_);
    if (!project || !rows) {
        return std::nullopt;
    }
    std::erase_if(*rows, [&](const auto& row) { return row->projectId != project->idKey; });
    return rows;
}

std::optional<RemoteConfigService::StateRows> RemoteConfigService::userStates() {
    auto user = stateManager_->getActiveUser();
    auto rows = readRows(*states_);
    if (!user || !rows) {
        return std::nullopt;
    }
    std::erase_if(*rows, [&](const auto& row) { return row->userId != user->idKey; });
    return rows;
}

void RemoteConfigService::insertState(std::int64_t experimentId) {
    auto user = stateManager_->getActiveUser();
    states_->insert(std::make_shared<ABTestsExperimentState>(
        ABTestsExperimentState{.userId = user->idKey, .experimentId = experimentId}));
}

void RemoteConfigService::deleteStatesOf(const std::vector<std::int64_t>& experimentIds) {
    auto rows = readRows(*states_);
    if (experimentIds.empty() || !rows) {
        return;
    }
    std::erase_if(
        *rows, [&](const auto& row) { return !holdsExperiment(experimentIds, row->experimentId); });
    if (!rows->empty()) {
        states_->deleteItems(*rows);
    }
}

void RemoteConfigService::prepareInitialState() {
    if (auto row = projectRow()) {
        abTestManager_->setConfigVersion(*row ? std::optional((*row)->version) : std::nullopt);
    }
}

std::optional<std::int64_t> RemoteConfigService::getABTestsProjectVersion() {
    auto row = projectRow();
    return row && *row ? std::optional((*row)->version) : std::nullopt;
}

std::optional<ABTestUserProperties> RemoteConfigService::getUserProperties() {
    auto row = projectRow();
    return row && *row ? (*row)->userProperties : std::nullopt;
}

void RemoteConfigService::applyRemoteConfig(const RemoteConfig& remoteConfig) {
    auto row = projectRow();
    auto user = stateManager_->getActiveUser();
    if (!row || !user) {
        return;
    }
    if (*row) {
        (*row)->userProperties = remoteConfig.userProperties;
        (*row)->version = remoteConfig.version;
        projects_->update(*row);
    } else {
        projects_->insert(std::make_shared<ABTestsProject>(
            ABTestsProject{.projectId = stateManager_->getActiveProject()->idKey,
                           .version = remoteConfig.version,
                           .userProperties = remoteConfig.userProperties}));
    }
    abTestManager_->setConfigVersion(remoteConfig.version);

    std::string experiments;
    for (const auto& experiment : remoteConfig.experiments) {
        if (!experiments.empty()) {
            experiments += ",";
        }
        experiments += experiment.debugDescription();
    }
    Logger::writeLog(MVKLogLevel::debug,
                     "[A/B-Test Module] For user [" + user->userId.value_or("") + "] " +
                         "the remote configuration has been received:" +
                         "\n\tcurrent config version: " + std::to_string(remoteConfig.version) +
                         "\n\texperiments: " + experiments);
}

void RemoteConfigService::applyExperiments(
    const std::vector<ABTestsExperiment>& remoteExperiments) {
    auto local = projectExperiments();
    auto states = userStates();
    if (!local || !states) {
        return;
    }
    const std::int64_t projectId = stateManager_->getActiveProject()->idKey;
    std::vector<std::int64_t> leftover;
    leftover.reserve(local->size());
    for (const auto& experiment : *local) {
        leftover.push_back(experiment->experimentId);
    }

    // An answer listing an id twice would store two rows of one experiment;
    // the next answer would then delete both with every user's state of it.
    std::unordered_set<std::int64_t> applied;
    for (const auto& remote : remoteExperiments) {
        if (!applied.insert(remote.experimentId).second) {
            continue;
        }
        if (auto it = std::find(leftover.begin(), leftover.end(), remote.experimentId);
            it != leftover.end()) {
            leftover.erase(it);
        }
        auto found = std::find_if(local->begin(), local->end(), [&](const auto& experiment) {
            return experiment->experimentId == remote.experimentId;
        });
        if (found == local->end()) {
            auto inserted = std::make_shared<ABTestsExperiment>(remote);
            inserted->idKey = -1;
            inserted->projectId = projectId;
            experiments_->insert(inserted);
            insertState(remote.experimentId);
            continue;
        }
        const auto rearmed = updateExperiment(*found, remote);
        if (!rearmed) {
            continue;
        }
        auto state = std::find_if(states->begin(), states->end(),
                                  [&](const auto& row) { return row->experimentId == *rearmed; });
        if (state != states->end()) {
            (*state)->runAbility = true;
            states_->update(*state);
        }
    }

    ExperimentRows gone;
    std::copy_if(local->begin(), local->end(), std::back_inserter(gone),
                 [&](const auto& experiment) {
                     return holdsExperiment(leftover, experiment->experimentId);
                 });
    if (!gone.empty()) {
        experiments_->deleteItems(gone);
    }
    deleteStatesOf(leftover);
}

std::optional<std::int64_t> RemoteConfigService::updateExperiment(
    const std::shared_ptr<ABTestsExperiment>& localExperiment,
    const ABTestsExperiment& remoteExperiment) {
    auto& local = *localExperiment;
    const bool testing = local.isTesting || remoteExperiment.isTesting;
    const bool updated = local.updateDate != remoteExperiment.updateDate;
    if (!updated && !testing && local.completionDate == remoteExperiment.completionDate) {
        return std::nullopt;
    }
    const auto result = updated || testing ? std::optional(local.experimentId) : std::nullopt;
    local.completionDate = remoteExperiment.completionDate;
    local.updateDate = remoteExperiment.updateDate;
    local.conditions = remoteExperiment.conditions;
    local.parameters = remoteExperiment.parameters;
    local.isTesting = remoteExperiment.isTesting;
    experiments_->update(localExperiment);
    return result;
}

void RemoteConfigService::createExperimentState() {
    auto experiments = projectExperiments();
    auto states = userStates();
    if (!experiments || !states) {
        return;
    }
    std::unordered_set<std::int64_t> present;
    for (const auto& state : *states) {
        present.insert(state->experimentId);
    }
    for (const auto& experiment : *experiments) {
        if (present.insert(experiment->experimentId).second) {
            insertState(experiment->experimentId);
        }
    }
}

void RemoteConfigService::deleteExpiredExperiments() {
    auto experiments = projectExperiments();
    if (!experiments) {
        return;
    }
    const std::int64_t now = Clock::nowMillis();
    std::erase_if(*experiments, [now](const auto& experiment) {
        return experiment->completionDate == 0 || experiment->completionDate > now;
    });
    if (experiments->empty()) {
        return;
    }
    std::vector<std::int64_t> expired;
    for (const auto& experiment : *experiments) {
        expired.push_back(experiment->experimentId);
    }
    experiments_->deleteItems(*experiments);
    deleteStatesOf(expired);
}

void RemoteConfigService::markAsRefused(const std::vector<std::int64_t>& experimentIds) {
    if (auto states = userStates()) {
        for (const auto& state : *states) {
            if (holdsExperiment(experimentIds, state->experimentId)) {
                state->runAbility = false;
                states_->update(state);
            }
        }
    }
    auto suitable = abTestManager_->suitableExperiments();
    std::erase_if(suitable, [&](std::int64_t id) { return holdsExperiment(experimentIds, id); });
    abTestManager_->setSuitableExperiments(std::move(suitable));
}

void RemoteConfigService::deleteInactiveExperimentsState(const std::vector<std::int64_t>& userIds) {
    if (!userIds.empty()) {
        states_->deleteForDataForUsers(userIds);
    }
}

}  // namespace mvk

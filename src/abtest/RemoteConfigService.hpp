#pragma once

#include <memory>

#include "abtest/ABTestManagerProtocol.hpp"
#include "abtest/ABTestsExperimentStateRepositoryProtocol.hpp"
#include "abtest/ABTestsProjectRepositoryProtocol.hpp"
#include "records/ABTestsExperimentRepositoryProtocol.hpp"
#include "services/RemoteConfigServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// Holds no state of its own; rows are filtered in memory from the row caches.
class RemoteConfigService final : public RemoteConfigServiceProtocol {
  public:
    RemoteConfigService(
        std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<ABTestManagerProtocol> abTestManager,
        std::shared_ptr<ABTestsProjectRepositoryProtocol> abTestsProjectRepository,
        std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
        std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository);

    void prepareInitialState() override;
    std::optional<std::int64_t> getABTestsProjectVersion() override;
    std::optional<ABTestUserProperties> getUserProperties() override;
    void applyRemoteConfig(const RemoteConfig& remoteConfig) override;
    void applyExperiments(const std::vector<ABTestsExperiment>& remoteExperiments) override;
    void createExperimentState() override;
    void deleteExpiredExperiments() override;
    void markAsRefused(const std::vector<std::int64_t>& experimentIds) override;
    void deleteInactiveExperimentsState(const std::vector<std::int64_t>& userIds) override;

  private:
    using ExperimentRows = std::vector<std::shared_ptr<ABTestsExperiment>>;
    using StateRows = std::vector<std::shared_ptr<ABTestsExperimentState>>;

    /// The active project's row: none when the read failed, null when there is none.
    std::optional<std::shared_ptr<ABTestsProject>> projectRow();
    /// The active project's experiments; none when the read failed.
    std::optional<ExperimentRows> projectExperiments();
    /// The active user's state rows; none when the read failed.
    std::optional<StateRows> userStates();
    void insertState(std::int64_t experimentId);
    /// Deletes the state rows of every user for these experiments.
    void deleteStatesOf(const std::vector<std::int64_t>& experimentIds);
    /// Rewrites the stored experiment when the gateway changed it; answers its
    /// id when the user may be offered it again.
    std::optional<std::int64_t> updateExperiment(
        const std::shared_ptr<ABTestsExperiment>& localExperiment,
        const ABTestsExperiment& remoteExperiment);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ABTestManagerProtocol> abTestManager_;
    const std::shared_ptr<ABTestsProjectRepositoryProtocol> projects_;
    const std::shared_ptr<ABTestsExperimentRepositoryProtocol> experiments_;
    const std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> states_;
};

}  // namespace mvk

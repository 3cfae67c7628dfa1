#pragma once

#include <memory>

#include "abtest/ABTestInitalData.hpp"
#include "abtest/ABTestManagerProtocol.hpp"
#include "abtest/ABTestsExperimentState.hpp"
#include "abtest/ABTestsExperimentStateRepositoryProtocol.hpp"
#include "records/ABTestsExperimentRepositoryProtocol.hpp"
#include "services/InvolvedExperimentsServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

class InvolvedExperimentsService final : public InvolvedExperimentsServiceProtocol {
  public:
    /// `abTestInitialData` is copied: settings changed later do not reach the service.
    InvolvedExperimentsService(
        std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<ABTestManagerProtocol> abTestManager,
        std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
        std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository,
        ABTestInitalData abTestInitialData);

    void cacheExperimentMarker(std::optional<ExperimentMarker> marker) override;
    std::optional<ExperimentMarker> getCacheExperimentMarker() const override;
    std::optional<ExperimentMarker> tryLoadExperimentMarker() override;
    void activateExperimentMarker() override;
    void clearExperimentMarker() override;
    bool isMarkedExperimentFound() const override;
    void startActiveExperiment() override;
    void stopActiveExperiment() override;
    bool isActiveExperimentStarted() const override;
    bool isUserHasInvolvedGroup(const User& user) override;
    bool isNeedCacheTestingExperiment() const override;
    bool isExperimentTesting(std::int64_t idKey) override;

    /// The active user's first state row with an involvement, in table order.
    std::shared_ptr<ABTestsExperimentState> searchInvolvedExperimentState();

  private:
    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ABTestManagerProtocol> abTestManager_;
    const std::shared_ptr<ABTestsExperimentRepositoryProtocol> experiments_;
    const std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> states_;
    const ABTestInitalData abTestInitialData_;
    std::optional<ExperimentMarker> experimentMarker_;
    bool isExperimentActivated_ = false;
};

}  // namespace mvk

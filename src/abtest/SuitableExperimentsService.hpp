#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "abtest/ABTestManagerProtocol.hpp"
#include "abtest/ABTestsExperimentStateRepositoryProtocol.hpp"
#include "abtest/AudienceState.hpp"
#include "abtest/ExperimentMask.hpp"
#include "foundation/AnyCodable.hpp"
#include "records/ABTestsExperimentRepositoryProtocol.hpp"
#include "services/SuitableExperimentsServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

class SuitableExperimentsService final : public SuitableExperimentsServiceProtocol {
  public:
    SuitableExperimentsService(
        std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<ABTestManagerProtocol> abTestManager,
        std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
        std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository);

    void updateActiveAudienceState(const AudienceLocalData& localData,
                                   std::optional<PeopleEvent> peopleData,
                                   const std::optional<UserData>& backendUserData) override;
    void resetAudienceState() override;
    void removeAudienceCheckMarks() override;
    std::vector<std::int64_t> searchSuitableExperiments(const EventObject* event) override;
    void addSuitableExperiments(std::vector<std::int64_t> experimentIds) override;
    std::vector<std::int64_t> getSuitableExperiments() const override;
    void markAsProcessed(const std::vector<std::int64_t>& experimentIds) override;
    void clearTemporaryProcessedExperiments() override;
    std::vector<std::shared_ptr<ABTestsExperiment>> getAllExperiments() override;

    /// The experiment's id when it fits for the event whose decoded JSON is
    /// `eventJson` (none: no event, or it did not decode). A backend condition
    /// met here stays met until the marks are removed.
    std::optional<std::int64_t> checkCurrentExperiment(const EventObject* event,
                                                       const AnyCodable* eventJson,
                                                       ABTestsExperiment& experiment);

  private:
    std::vector<std::int64_t> getExperimentStateIdsForActiveUser();
    void updateExperimentsMask();
    const ExperimentMask* maskOf(std::int64_t experimentId) const;
    bool isMasked(const std::string& code) const;

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ABTestManagerProtocol> abTestManager_;
    const std::shared_ptr<ABTestsExperimentRepositoryProtocol> experiments_;
    const std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> states_;

    std::vector<ExperimentMask> experimentsMask_;
    std::vector<std::int64_t> temporaryProcessedExperiments_;
    std::optional<AudienceState> audienceState_;
    /// The audience as the backend conditions read it, built once per update.
    AnyCodable::Object audience_;
};

}  // namespace mvk

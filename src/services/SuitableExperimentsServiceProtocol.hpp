#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "records/ABTestsExperiment.hpp"
#include "records/AudienceLocalData.hpp"
#include "records/UserData.hpp"
#include "events/EventObject.hpp"
#include "events/PeopleEvent.hpp"

namespace mvk {

/// Which stored experiments the active user may still enter, and which of
/// them fit now: the audience state, the event codes each experiment listens
/// to, and the experiments dropped for the rest of the run. Income queue only.
class SuitableExperimentsServiceProtocol {
  public:
    virtual ~SuitableExperimentsServiceProtocol() = default;

    /// Refreshes the audience and rebuilds the event-code masks of the
    /// candidates; none for `backendUserData` keeps the gateway's view.
    virtual void updateActiveAudienceState(const AudienceLocalData& localData,
                                           std::optional<PeopleEvent> peopleData,
                                           const std::optional<UserData>& backendUserData) = 0;
    virtual void resetAudienceState() = 0;
    /// Backend conditions met earlier are checked again.
    virtual void removeAudienceCheckMarks() = 0;
    /// The ids of the candidates that fit now, in candidate order: a test
    /// experiment at once, any other when its conditions hold for `event`
    /// (none: only backend conditions can hold).
    virtual std::vector<std::int64_t> searchSuitableExperiments(const EventObject* event) = 0;
    virtual void addSuitableExperiments(std::vector<std::int64_t> experimentIds) = 0;
    virtual std::vector<std::int64_t> getSuitableExperiments() const = 0;
    /// Drops the experiments for the rest of the run (memory only) and from
    /// the pending offer.
    virtual void markAsProcessed(const std::vector<std::int64_t>& experimentIds) = 0;
    virtual void clearTemporaryProcessedExperiments() = 0;
    /// The project's experiments the active user may still run; empty when
    /// the rows cannot be read.
    virtual std::vector<std::shared_ptr<ABTestsExperiment>> getAllExperiments() = 0;
};

}  // namespace mvk

#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "records/ExperimentMarker.hpp"
#include "state/User.hpp"

namespace mvk {

/// The experiment and group the user is in: the cached marker, whether it was
/// activated in this run, and the involvement stored in the user's state row,
/// which survives restarts. Income queue only.
class InvolvedExperimentsServiceProtocol {
  public:
    virtual ~InvolvedExperimentsServiceProtocol() = default;

    virtual void cacheExperimentMarker(std::optional<ExperimentMarker> marker) = 0;
    virtual std::optional<ExperimentMarker> getCacheExperimentMarker() const = 0;
    /// The cached marker, else the stored involvement, which is then cached.
    virtual std::optional<ExperimentMarker> tryLoadExperimentMarker() = 0;
    /// Stores the cached marker as the involvement of the user's state row.
    virtual void activateExperimentMarker() = 0;
    /// Clears the cached marker and the stored involvement.
    virtual void clearExperimentMarker() = 0;
    virtual bool isMarkedExperimentFound() const = 0;
    virtual void startActiveExperiment() = 0;
    virtual void stopActiveExperiment() = 0;
    virtual bool isActiveExperimentStarted() const = 0;
    /// Any of that user's state rows holds an involvement.
    virtual bool isUserHasInvolvedGroup(const User& user) = 0;
    virtual bool isNeedCacheTestingExperiment() const = 0;
    /// False for an experiment not stored for the active project.
    virtual bool isExperimentTesting(std::int64_t idKey) = 0;
};

}  // namespace mvk
